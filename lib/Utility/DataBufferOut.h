#ifndef VANTORIX_UTILITY_DATABUFFEROUT_H
#define VANTORIX_UTILITY_DATABUFFEROUT_H

#include "Utility/String.h"
#include "Utility/VantIO.h"

#include <QByteArray>

namespace vantorix {

class DataFile;
class MemoryBlock;

// Buffered byte output to a file (appended at its end), a MemoryBlock or a
// String (none of them owned; with none the output is discarded). Bytes wait
// in a buffer of bufferSize bytes and reach the destination when it is full,
// on flush() and on destruction. A String destination receives whole UTF-8
// sequences only: a sequence that a flush would cut waits for the next one.
class DataBufferOut : public virtual VantIO {
public:
    static const int bufferSize = 61440;

    DataBufferOut();
    explicit DataBufferOut(DataFile* file);
    explicit DataBufferOut(MemoryBlock* block);
    explicit DataBufferOut(String* text);
    DataBufferOut(const DataBufferOut&) = delete;
    DataBufferOut& operator=(const DataBufferOut&) = delete;
    ~DataBufferOut() override;

    void setDestination(DataFile* file);
    void setDestination(MemoryBlock* block);
    void setDestination(String* text);

    void put(char c);
    void write(const String& text);
    void write(const QByteArray& bytes);
    void write(const void* data, int size);

    DataBufferOut& operator<<(double value);
    DataBufferOut& operator<<(int value);
    DataBufferOut& operator<<(unsigned int value);
    DataBufferOut& operator<<(short value);
    DataBufferOut& operator<<(unsigned short value);
    // "true"/"false" with the boolAlpha flag, else "1"/"0".
    DataBufferOut& operator<<(bool value);

    void flush();

private:
    void reset();
    void deliver(bool whole);

    DataFile* m_file = nullptr;
    MemoryBlock* m_block = nullptr;
    String* m_text = nullptr;
    QByteArray m_buffer;
    int m_used = 0;
};

} // namespace vantorix

#endif
