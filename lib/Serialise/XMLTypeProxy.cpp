#include "Serialise/XMLTypeProxy.h"

#include "Utility/Convert.h"

namespace vantorix {

bool XMLValueText<short>::write(const short& value, String& text)
{
    text = ToString(value).value();
    return true;
}

bool XMLValueText<short>::read(short& value, const String& text)
{
    value = static_cast<short>(ToInt32(text).value());
    return true;
}

bool XMLValueText<String>::write(const String& value, String& text)
{
    text = value;
    return true;
}

bool XMLValueText<String>::read(String& value, const String& text)
{
    value = text;
    return true;
}

bool XMLValueText<bool>::write(const bool& value, String& text)
{
    text = value ? "1" : "0";
    return true;
}

bool XMLValueText<bool>::read(bool& value, const String& text)
{
    const QString& raw = text.qString();
    if (raw == QLatin1String("1") || raw.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
        value = true;
        return true;
    }
    if (raw == QLatin1String("0") || raw.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
        value = false;
        return true;
    }
    return false;
}

bool XMLValueText<Guid>::write(const Guid& value, String& text)
{
    text = value.toString();
    return true;
}

bool XMLValueText<Guid>::read(Guid& value, const String& text)
{
    value = text;
    return true;
}

bool XMLValueText<double>::write(const double& value, String& text)
{
    text = ToString(value, 0).value();
    return true;
}

bool XMLValueText<double>::read(double& value, const String& text)
{
    value = ToDouble(text).value();
    return true;
}

bool writeEnumName(int index, const char* const* names, int count, String& text)
{
    if (index < 0 || index >= count)
        return false;
    text = names[index];
    return true;
}

bool readEnumName(int& index, const char* const* names, int count, const String& text)
{
    const QString& raw = text.qString();
    for (int i = 0; i < count; ++i) {
        if (raw == QLatin1String(names[i])) {
            index = i;
            return true;
        }
    }
    return false;
}

XMLUnitProxy::XMLUnitProxy(XMLUnit& target, const char* tag, bool isAttribute, const char* nameSpace)
    : XMLUnit(isAttribute), m_target(target), m_tag(tag), m_nameSpace(nameSpace)
{
}

XMLUnitProxy::~XMLUnitProxy() = default;

} // namespace vantorix
