#ifndef VANTORIX_UTILITY_CONVERT_H
#define VANTORIX_UTILITY_CONVERT_H

#include "Utility/String.h"

#include <cstdint>

namespace vantorix {

class Guid;
class Time;

// Conversions to text: ToString(x).value().
class ToString {
public:
    explicit ToString(bool value);
    explicit ToString(short value);
    explicit ToString(unsigned short value);
    explicit ToString(int value);
    explicit ToString(unsigned int value);
    explicit ToString(long value);
    explicit ToString(unsigned long value);
    explicit ToString(long long value);
    explicit ToString(unsigned long long value);
    // Rounded to a multiple of precision (unless 0), then printed as %g does
    // in the C locale (six significant digits, "." as the point) in every locale.
    ToString(double value, double precision);
    explicit ToString(const Guid& value);
    // "dd/mm/yyyy" with blank-padded day and month; empty for the zero time.
    explicit ToString(const Time& value);

    const String& value() const { return m_value; }

private:
    String m_value;
};

// Conversions from text. Leading blanks are skipped and reading stops at the
// first character that cannot continue the number ("12abc" is 12, valid); an
// empty text or one without a number is invalid with the value 0. Fractions
// are read with "." as the point whatever the locale.
template <typename T>
class NumberFromText {
public:
    explicit NumberFromText(const String& text) { setValue(text); }
    bool setValue(const String& text);
    T value() const { return m_value; }
    bool isValid() const { return m_valid; }

private:
    T m_value = 0;
    bool m_valid = false;
};

extern template class NumberFromText<std::int32_t>;
extern template class NumberFromText<std::uint32_t>;
extern template class NumberFromText<std::int64_t>;
extern template class NumberFromText<std::uint64_t>;
extern template class NumberFromText<double>;

using ToInt32 = NumberFromText<std::int32_t>;
using ToUInt32 = NumberFromText<std::uint32_t>;
using ToInt64 = NumberFromText<std::int64_t>;
using ToUInt64 = NumberFromText<std::uint64_t>;
using ToDouble = NumberFromText<double>;

// Upper-case hexadecimal text to an unsigned 64-bit value; any other
// character (lower-case digits included) makes the result invalid.
class FromHex {
public:
    explicit FromHex(const String& text);
    std::uint64_t value() const { return m_value; }
    bool isValid() const { return m_valid; }

private:
    std::uint64_t m_value = 0;
    bool m_valid = false;
};

} // namespace vantorix

#endif
