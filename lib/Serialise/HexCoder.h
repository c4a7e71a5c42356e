#ifndef VANTORIX_SERIALISE_HEXCODER_H
#define VANTORIX_SERIALISE_HEXCODER_H

#include <QByteArray>

namespace vantorix {

class DataBufferIn;
class DataBufferOut;

// Bytes as hexadecimal text and back: two digits per byte, high nibble first.
// Bytes are taken a word (wordSize bytes) at a time and each word is written
// most significant byte first, as a little-endian machine holds it; with the
// usual word size of 1 that is simply the bytes in order. Output digits are
// upper case unless setLowerCase(true); input digits may be either case.
class HexCoder {
public:
    explicit HexCoder(int wordSize = 1);

    int getWordSize() const { return m_wordSize; }
    bool isLowerCase() const { return m_lowerCase; }
    void setLowerCase(bool lowerCase) { m_lowerCase = lowerCase; }

    // From `in` to `out` (flushed); maxLength 0 means all the input, else
    // that many input bytes (digits when decoding) must be there. True when
    // both streams stay good and, for decoding, the text is hexadecimal.
    bool encode(DataBufferIn& in, DataBufferOut& out, int maxLength) const;
    bool decode(DataBufferIn& in, DataBufferOut& out, int maxLength) const;

    QByteArray encode(const QByteArray& bytes) const;
    // False (and empty bytes) for a character that is not a hexadecimal digit
    // or an odd number of digits.
    bool decode(const QByteArray& text, QByteArray& bytes) const;

private:
    void reverseWords(QByteArray& bytes) const;

    int m_wordSize;
    bool m_lowerCase = false;
};

} // namespace vantorix

#endif
