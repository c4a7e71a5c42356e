#include "Serialise/XMLCurrency.h"

namespace vantorix {

XMLCurrency::XMLCurrency(double& value, const char* tag, bool isAttribute, const char* nameSpace)
    : XMLNumber(value, tag, isAttribute, nameSpace, 2)
{
}

XMLCurrency::~XMLCurrency() = default;

bool XMLCurrency::read(const String& text)
{
    if (!XMLNumber::read(text))
        return false;
    setValue(round(getValue(), 0.01));
    return true;
}

} // namespace vantorix
