#include "Utility/Convert.h"

#include "Database/Guid.h"

#include <cstdio>
#include <sstream>
#include <type_traits>

namespace vantorix {

ToString::ToString(bool value) : m_value(value ? "1" : "0") {}
ToString::ToString(short value) : m_value(QString::number(value)) {}
ToString::ToString(unsigned short value) : m_value(QString::number(value)) {}
ToString::ToString(int value) : m_value(QString::number(value)) {}
ToString::ToString(unsigned int value) : m_value(QString::number(value)) {}
ToString::ToString(long value) : m_value(QString::number(value)) {}
ToString::ToString(unsigned long value) : m_value(QString::number(value)) {}
ToString::ToString(long long value) : m_value(QString::number(value)) {}
ToString::ToString(unsigned long long value) : m_value(QString::number(value)) {}

ToString::ToString(double value, double precision)
{
    if (precision != 0.0)
        value = round(value, precision);
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    m_value = text;
}

ToString::ToString(const Guid& value) : m_value(value.toString()) {}

template <typename T>
bool NumberFromText<T>::setValue(const String& text)
{
    m_value = 0;
    m_valid = false;
    if (text.empty())
        return false;
    std::istringstream stream(std::string(text.data()));
    T parsed = 0;
    // The stream would wrap a negative text into a huge unsigned value.
    if (std::is_unsigned<T>::value && (stream >> std::ws).peek() == '-')
        return false;
    stream >> parsed;
    if (stream.fail())
        return false;
    m_value = parsed;
    m_valid = true;
    return true;
}

template class NumberFromText<std::int32_t>;
template class NumberFromText<std::uint32_t>;
template class NumberFromText<std::int64_t>;
template class NumberFromText<std::uint64_t>;
template class NumberFromText<double>;

FromHex::FromHex(const String& text)
{
    if (text.empty())
        return;
    static const QString hexDigits = QStringLiteral("0123456789ABCDEF");
    std::uint64_t value = 0;
    for (const QChar c : text.qString()) {
        const int digit = hexDigits.indexOf(c);
        if (digit < 0) {
            m_value = value;
            return;
        }
        // More than 16 digits do not fit: refuse rather than wrap.
        if (value >> 60 != 0) {
            m_value = value;
            return;
        }
        value = value * 16 + static_cast<std::uint64_t>(digit);
    }
    m_value = value;
    m_valid = true;
}

} // namespace vantorix
