#include "Serialise/XMLNumber.h"

#include <cmath>

namespace vantorix {

XMLNumber::XMLNumber(double& value, const char* tag, bool isAttribute, const char* nameSpace, int precision)
    : XMLTypeProxy<double>(value, tag, isAttribute, nameSpace), m_precision(precision < 0 ? 0 : precision)
{
}

XMLNumber::~XMLNumber() = default;

String XMLNumber::fixed(double value, int decimals)
{
    if (std::isfinite(value) && decimals <= 15) {
        value = round(value, std::pow(10.0, -decimals));
        if (value == 0.0)
            value = 0.0;  // no "-0.00"
    }
    return String(QString::number(value, 'f', decimals));
}

bool XMLNumber::write(String& text)
{
    text = fixed(getValue(), getPrecision());
    return true;
}

} // namespace vantorix
