#include "Serialise/HexCoder.h"

#include <algorithm>

namespace vantorix {

HexCoder::HexCoder(int wordSize) : m_wordSize(wordSize < 1 ? 1 : wordSize) {}

void HexCoder::reverseWords(QByteArray& bytes) const
{
    if (m_wordSize == 1)
        return;
    // A short last word is reversed on its own.
    for (int start = 0; start < bytes.size(); start += m_wordSize) {
        const int end = std::min(start + m_wordSize, bytes.size());
        std::reverse(bytes.begin() + start, bytes.begin() + end);
    }
}

QByteArray HexCoder::encode(const QByteArray& bytes) const
{
    QByteArray ordered = bytes;
    reverseWords(ordered);
    const QByteArray text = ordered.toHex();  // lower-case digits
    return m_lowerCase ? text : text.toUpper();
}

bool HexCoder::decode(const QByteArray& text, QByteArray& bytes) const
{
    bytes.clear();
    if (text.size() % 2 != 0)
        return false;
    // fromHex skips characters it does not know; a stored text with such a
    // character is damaged and must not decode to something else.
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')))
            return false;
    }
    bytes = QByteArray::fromHex(text);
    reverseWords(bytes);
    return true;
}

} // namespace vantorix
