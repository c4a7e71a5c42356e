#ifndef VANTORIX_SERIALISE_BASE64CODER_H
#define VANTORIX_SERIALISE_BASE64CODER_H

#include <QByteArray>

namespace vantorix {

class DataBufferIn;
class DataBufferOut;

// Bytes as Base64 text (the standard alphabet with "=" padding) and back. The
// text is broken into lines of 76 characters: a line feed goes before the
// group that follows every 57 input bytes, never at the end.
class Base64Coder {
public:
    static const int bytesPerLine = 57;

    // From `in` to `out` (flushed); maxLength 0 means all the input, else
    // that many input bytes (characters when decoding) must be there. True
    // when both streams stay good and, for decoding, the text is Base64.
    bool encode(DataBufferIn& in, DataBufferOut& out, int maxLength) const;
    bool decode(DataBufferIn& in, DataBufferOut& out, int maxLength) const;

    QByteArray encode(const QByteArray& bytes) const;
    // Line breaks and other white space are ignored; any other character
    // outside the alphabet, or misplaced padding, makes it fail (with empty
    // bytes).
    bool decode(const QByteArray& text, QByteArray& bytes) const;
};

} // namespace vantorix

#endif
