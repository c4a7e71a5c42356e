#include "Utility/Encoding.h"

namespace vantorix {

String Encoding::convertString(const QByteArray& bytes, Type)
{
    return String(QString::fromUtf8(bytes));
}

String Encoding::convertString(const String& text, Type)
{
    return text;
}

} // namespace vantorix
