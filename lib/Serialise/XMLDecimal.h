#ifndef VANTORIX_SERIALISE_XMLDECIMAL_H
#define VANTORIX_SERIALISE_XMLDECIMAL_H

#include "Serialise/XMLTypeProxy.h"

namespace vantorix {

// A number leaf written in fixed notation with six decimals (2.05 as
// "2.050000"), where the plain number leaf would keep only six significant
// digits. Reading is that of any number leaf.
class XMLDecimal : public XMLTypeProxy<double> {
public:
    static const int decimals = 6;

    XMLDecimal(double& value, const char* tag, bool isAttribute = false, const char* nameSpace = nullptr);
    ~XMLDecimal() override;

    bool write(String& text) override;
};

} // namespace vantorix

#endif
