#include "Serialise/Base64Coder.h"

namespace vantorix {

QByteArray Base64Coder::encode(const QByteArray& bytes) const
{
    QByteArray text;
    text.reserve((bytes.size() + 2) / 3 * 4 + bytes.size() / bytesPerLine);
    for (int start = 0; start < bytes.size(); start += bytesPerLine) {
        if (start > 0)
            text.append('\n');
        text.append(bytes.mid(start, bytesPerLine).toBase64());
    }
    return text;
}

bool Base64Coder::decode(const QByteArray& text, QByteArray& bytes) const
{
    bytes.clear();
    QByteArray compact;
    compact.reserve(text.size());
    for (const char c : text) {
        if (c != '\n' && c != '\r' && c != ' ' && c != '\t')
            compact.append(c);
    }
    const QByteArray::FromBase64Result result =
        QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return false;
    bytes = *result;
    return true;
}

} // namespace vantorix
