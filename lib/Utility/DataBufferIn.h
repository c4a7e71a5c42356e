#ifndef VANTORIX_UTILITY_DATABUFFERIN_H
#define VANTORIX_UTILITY_DATABUFFERIN_H

#include "Utility/Encoding.h"
#include "Utility/String.h"
#include "Utility/VantIO.h"

#include <QByteArray>

namespace vantorix {

class DataFile;
class MemoryBlock;

// Buffered byte input from a file (not owned; read in blocks of at most
// bufferSize bytes), a String (its UTF-8 bytes) or a MemoryBlock (a copy).
// Scanning counts rows and columns for error messages: a carriage return, a
// line feed or the pair of them ends a row; the first byte of the first row is
// column 1, on later rows the line-break byte is column 1. Every byte is
// counted once, however often a scan that stops before it looks at it again.
class DataBufferIn : public virtual VantIO {
public:
    static const int bufferSize = 61440;

    // Results of iterateTo.
    enum ScanResult : int { found = 0, exhausted = 1, readError = 2 };

    DataBufferIn();
    DataBufferIn(const DataFile* file, Encoding::Type encoding);
    DataBufferIn(const MemoryBlock& block, Encoding::Type encoding);
    DataBufferIn(const String& text, Encoding::Type encoding);
    ~DataBufferIn() override;

    void setSource(const DataFile* file, Encoding::Type encoding);
    void setSource(const MemoryBlock& block, Encoding::Type encoding);
    void setSource(const String& text, Encoding::Type encoding);
    // Raw bytes, shared (QByteArray is copied on write).
    void setSource(const QByteArray& bytes, Encoding::Type encoding);

    // The encoding recorded with the source; bytes are always decoded as UTF-8.
    Encoding::Type getEncoding() const { return m_encoding; }
    void setEncoding(Encoding::Type encoding) { m_encoding = encoding; }

    // Reads up to the first byte that is one of the bytes of delimiters,
    // appending what lies before it to text (decoded as UTF-8) when text is
    // not null. consume: the read position ends after the delimiter, else on
    // it. Returns found, exhausted (no byte left; text has what was read) or
    // readError.
    int iterateTo(const String& delimiters, String* text, bool consume);
    int iterateTo(char delimiter, String* text, bool consume);
    // The same with a delimiter set of 256 flags, appending raw bytes: for
    // readers that decode themselves.
    int scanTo(const bool* delimiters, QByteArray* bytes, bool consume);

    // One line: its bytes and the first byte of its ending (carriage return,
    // line feed or either pair) are appended; the second byte of a pair is
    // consumed and appended only with keepEnding.
    DataBufferIn& getLine(String& line, bool keepEnding);
    // One byte, not counted for rows and columns; false at the end or after
    // a failure.
    bool get(char& c);

    int dataLength() const { return m_filled - m_readPos; }
    const char* data() const { return m_buffer.constData(); }
    int getCapacity() const { return m_filled > bufferSize ? m_filled : bufferSize; }
    // Moves the unread bytes to the front and tops the buffer up from the
    // source. Sets the end bit when nothing is left to load. False when a
    // read from the file failed.
    bool refill(int);
    // Discards the next n bytes (nothing for n < 1); past the end the buffer
    // is emptied and the end bit set.
    void skip(int n);

    virtual int getRowPosition() const { return m_row; }
    virtual int getColPosition() const { return m_column; }

private:
    void reset(Encoding::Type encoding);
    // Counts rows and columns over the buffer bytes [from, to).
    void countRange(int from, int to);

    const DataFile* m_file = nullptr;
    QByteArray m_buffer;
    int m_readPos = 0;
    int m_filled = 0;
    long long m_remaining = 0;
    int m_row = 1;
    int m_column = 0;
    Encoding::Type m_encoding = Encoding::unspecified;
    bool m_carriageReturn = false;
    // Bytes of the buffer before this index have been counted already.
    int m_countedTo = 0;
};

} // namespace vantorix

#endif
