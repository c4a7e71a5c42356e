#include "Serialise/XMLDecimal.h"

namespace vantorix {

XMLDecimal::XMLDecimal(double& value, const char* tag, bool isAttribute, const char* nameSpace)
    : XMLTypeProxy<double>(value, tag, isAttribute, nameSpace)
{
}

XMLDecimal::~XMLDecimal() = default;

bool XMLDecimal::write(String& text)
{
    text = String(QString::number(getValue(), 'f', decimals));
    return true;
}

} // namespace vantorix
