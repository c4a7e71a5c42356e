#ifndef VANTORIX_SERIALISE_XMLNUMBER_H
#define VANTORIX_SERIALISE_XMLNUMBER_H

#include "Serialise/XMLTypeProxy.h"

namespace vantorix {

// A number leaf written in fixed notation with getPrecision() decimals. The
// value is rounded half up to that many decimals first (the rounding that
// XMLCurrency applies when reading), so that writing and reading agree on
// halves. Reading is that of any number leaf: bad text reads as 0.
class XMLNumber : public XMLTypeProxy<double> {
public:
    XMLNumber(double& value, const char* tag, bool isAttribute = false, const char* nameSpace = nullptr,
              int precision = 0);
    ~XMLNumber() override;

    // Number of decimals written.
    virtual int getPrecision() const { return m_precision; }
    bool write(String& text) override;

    // value in fixed notation with `decimals` decimals, rounded half up.
    static String fixed(double value, int decimals);

private:
    int m_precision;
};

} // namespace vantorix

#endif
