#include "Serialise/HexCoder.h"

#include "Utility/Cipher.h"
#include "Utility/DataBufferIn.h"
#include "Utility/DataBufferOut.h"

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

namespace vantorix {

namespace {

bool transcode(const HexCoder& coder, DataBufferIn& in, DataBufferOut& out, int maxLength, bool encoding)
{
    // Runs of whole words (and whole digit pairs of whole words).
    const int run = 2 * 16384 * coder.getWordSize();
    long long processed = 0;
    QByteArray chunk;
    while (!in.fail() && !out.fail() && (maxLength <= 0 || processed < maxLength)) {
        int wanted = run;
        if (maxLength > 0 && maxLength - processed < wanted)
            wanted = static_cast<int>(maxLength - processed);
        chunk.clear();
        const int taken = readChunk(in, wanted, chunk);
        if (taken == 0)
            break;
        processed += taken;
        if (encoding) {
            out.write(coder.encode(chunk));
        } else {
            QByteArray bytes;
            if (!coder.decode(chunk, bytes))
                return false;
            out.write(bytes);
        }
    }
    out.flush();
    return !in.fail() && !out.fail() && (maxLength <= 0 || processed == maxLength);
}

} // namespace

bool HexCoder::encode(DataBufferIn& in, DataBufferOut& out, int maxLength) const
{
    return transcode(*this, in, out, maxLength, true);
}

bool HexCoder::decode(DataBufferIn& in, DataBufferOut& out, int maxLength) const
{
    return transcode(*this, in, out, maxLength, false);
}

} // namespace vantorix
