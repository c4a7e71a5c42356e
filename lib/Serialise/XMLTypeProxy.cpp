#include "Serialise/XMLTypeProxy.h"

#include "Utility/Convert.h"

#include <QLocale>

namespace vantorix {

bool XMLValueText<short>::write(const short& value, String& text)
{
    text = ToString(value).value();
    return true;
}

namespace {
// Plain decimal text ("-12", "800") is by far the most common; it is parsed
// here directly, with the same result as the general conversion.
bool plainInteger(const QString& text, int& value)
{
    const int size = text.size();
    int i = 0;
    bool negative = false;
    if (i < size && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    if (i == size || size - i > 9)
        return false;
    int result = 0;
    for (; i < size; ++i) {
        const ushort c = text.at(i).unicode();
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + (c - '0');
    }
    value = negative ? -result : result;
    return true;
}

// Plain decimal fractions without exponent ("49.5", "-0.25"), short enough
// not to overflow.
bool plainFraction(const QString& text)
{
    const int size = text.size();
    if (size == 0 || size > 24)
        return false;
    int i = 0;
    if (text.at(0) == QLatin1Char('-') || text.at(0) == QLatin1Char('+'))
        ++i;
    int digits = 0;
    bool point = false;
    for (; i < size; ++i) {
        const ushort c = text.at(i).unicode();
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c == '.' && !point)
            point = true;
        else
            return false;
    }
    return digits > 0 && text.at(0) != QLatin1Char('.') && text.at(size - 1) != QLatin1Char('.');
}
} // namespace

bool XMLValueText<short>::read(short& value, const String& text)
{
    int number = 0;
    if (!plainInteger(text.qString(), number))
        number = ToInt32(text).value();
    value = static_cast<short>(number);
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
    bool ok = false;
    if (plainFraction(text.qString()))
        value = QLocale::c().toDouble(text.qString(), &ok);
    if (!ok)
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
