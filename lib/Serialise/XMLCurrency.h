#ifndef VANTORIX_SERIALISE_XMLCURRENCY_H
#define VANTORIX_SERIALISE_XMLCURRENCY_H

#include "Serialise/XMLNumber.h"

namespace vantorix {

// An amount of money: written with two decimals (12.5 as "12.50") and rounded
// to 0.01 when read.
class XMLCurrency : public XMLNumber {
public:
    XMLCurrency(double& value, const char* tag, bool isAttribute = false, const char* nameSpace = nullptr);
    ~XMLCurrency() override;

    int getPrecision() const override { return 2; }
    bool read(const String& text) override;
};

} // namespace vantorix

#endif
