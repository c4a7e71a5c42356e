#ifndef VANTORIX_UTILITY_ENCODING_H
#define VANTORIX_UTILITY_ENCODING_H

#include "Utility/String.h"

#include <QByteArray>

namespace vantorix {

// The text encoding recorded for a buffer or file. Byte data is always decoded
// as UTF-8; the type only records what a declaration named.
class Encoding {
public:
    enum Type : int { unspecified = 0, UTF8 = 1, UTF16 = 2 };

    explicit Encoding(Type type = unspecified) : m_type(type) {}
    Type type() const { return m_type; }

    static String convertString(const QByteArray& bytes, Type type);
    static String convertString(const String& text, Type type);

private:
    Type m_type;
};

} // namespace vantorix

#endif
