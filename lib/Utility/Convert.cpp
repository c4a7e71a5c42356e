#include "Utility/Convert.h"

#include "Database/Guid.h"

#include <cctype>
#include <charconv>
#include <locale>
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
    // Written with "." whatever the user's locale: versions and amounts go
    // into records and requests that other machines read. to_chars with six
    // significant digits gives what %g gives in the C locale.
    char text[64];
    const std::to_chars_result end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    m_value = String(text, end.ec == std::errc() ? static_cast<int>(end.ptr - text) : 0);
}

ToString::ToString(const Guid& value) : m_value(value.toString()) {}

namespace {

// Reads a number with "." as its decimal point whatever the locale: blanks,
// an optional sign, then the longest number that from_chars takes. Words
// such as "inf" and "nan" are not numbers here.
bool readDouble(const char* first, const char* last, double& value)
{
    while (first != last && std::isspace(static_cast<unsigned char>(*first)))
        ++first;
    const char* digits = first;
    if (first != last && *first == '+')
        digits = ++first;
    else if (first != last && *first == '-')
        ++digits;
    if (digits == last || !(std::isdigit(static_cast<unsigned char>(*digits)) || *digits == '.'))
        return false;
    const std::from_chars_result result = std::from_chars(first, last, value, std::chars_format::general);
    return result.ec == std::errc();
}

} // namespace

template <typename T>
bool NumberFromText<T>::setValue(const String& text)
{
    m_value = 0;
    m_valid = false;
    if (text.empty())
        return false;
    if constexpr (std::is_floating_point<T>::value) {
        const QByteArray bytes = text.toByteArray();
        double parsed = 0.0;
        if (!readDouble(bytes.constData(), bytes.constData() + bytes.size(), parsed))
            return false;
        m_value = static_cast<T>(parsed);
        m_valid = true;
        return true;
    }
    std::istringstream stream(std::string(text.data()));
    // The classic locale: no digit grouping whatever the program's locale.
    stream.imbue(std::locale::classic());
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
