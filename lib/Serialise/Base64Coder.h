#ifndef VANTORIX_SERIALISE_BASE64CODER_H
#define VANTORIX_SERIALISE_BASE64CODER_H

#include <QByteArray>

namespace vantorix {

// Bytes as Base64 text (the standard alphabet with "=" padding) and back. The
// text is broken into lines of 76 characters: a line feed goes before the
// group that follows every 57 input bytes, never at the end.
class Base64Coder {
public:
    static const int bytesPerLine = 57;

    QByteArray encode(const QByteArray& bytes) const;
    // Line breaks and other white space are ignored; any other character
    // outside the alphabet, or misplaced padding, makes it fail (with empty
    // bytes).
    bool decode(const QByteArray& text, QByteArray& bytes) const;
};

} // namespace vantorix

#endif
