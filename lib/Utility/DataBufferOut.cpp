#include "Utility/DataBufferOut.h"

#include "File/DataFile.h"
#include "Utility/Convert.h"
#include "Utility/MemoryBlock.h"

#include <cstring>

namespace vantorix {

DataBufferOut::DataBufferOut()
{
    reset();
}

DataBufferOut::DataBufferOut(DataFile* file)
{
    setDestination(file);
}

DataBufferOut::DataBufferOut(MemoryBlock* block)
{
    setDestination(block);
}

DataBufferOut::DataBufferOut(String* text)
{
    setDestination(text);
}

DataBufferOut::~DataBufferOut()
{
    deliver(true);
}

void DataBufferOut::reset()
{
    clear();
    m_file = nullptr;
    m_block = nullptr;
    m_text = nullptr;
    m_buffer.resize(bufferSize);
    m_used = 0;
}

void DataBufferOut::setDestination(DataFile* file)
{
    reset();
    m_file = file;
    if (file != nullptr)
        file->setPosition(file->getSize());
}

void DataBufferOut::setDestination(MemoryBlock* block)
{
    reset();
    m_block = block;
}

void DataBufferOut::setDestination(String* text)
{
    reset();
    m_text = text;
}

void DataBufferOut::put(char c)
{
    if (!good())
        return;
    if (m_used >= bufferSize)
        flush();
    if (m_used < bufferSize)
        m_buffer.data()[m_used++] = c;
}

void DataBufferOut::write(const String& text)
{
    write(text.toByteArray());
}

void DataBufferOut::write(const QByteArray& bytes)
{
    write(bytes.constData(), bytes.size());
}

void DataBufferOut::write(const void* data, int size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0 && good()) {
        if (m_used >= bufferSize) {
            flush();
            if (m_used >= bufferSize)
                return;
        }
        const int room = bufferSize - m_used;
        const int n = size < room ? size : room;
        std::memcpy(m_buffer.data() + m_used, bytes, static_cast<size_t>(n));
        m_used += n;
        bytes += n;
        size -= n;
    }
}

DataBufferOut& DataBufferOut::operator<<(double value)
{
    write(ToString(value, 0).value());
    return *this;
}

DataBufferOut& DataBufferOut::operator<<(int value)
{
    write(ToString(value).value());
    return *this;
}

DataBufferOut& DataBufferOut::operator<<(unsigned int value)
{
    write(ToString(value).value());
    return *this;
}

DataBufferOut& DataBufferOut::operator<<(short value)
{
    write(ToString(value).value());
    return *this;
}

DataBufferOut& DataBufferOut::operator<<(unsigned short value)
{
    write(ToString(value).value());
    return *this;
}

DataBufferOut& DataBufferOut::operator<<(bool value)
{
    if (flags() & boolAlpha)
        write(value ? "true" : "false", value ? 4 : 5);
    else
        put(value ? '1' : '0');
    return *this;
}

void DataBufferOut::flush()
{
    deliver(false);
}

namespace {
// The length of the longest prefix of bytes that does not end inside a UTF-8
// sequence.
int completeUtf8(const char* bytes, int size)
{
    int i = size;
    int back = 0;
    while (i > 0 && back < 4) {
        const unsigned char c = static_cast<unsigned char>(bytes[i - 1]);
        if ((c & 0xC0) != 0x80) {
            int length = 1;
            if ((c & 0xE0) == 0xC0)
                length = 2;
            else if ((c & 0xF0) == 0xE0)
                length = 3;
            else if ((c & 0xF8) == 0xF0)
                length = 4;
            return (back + 1 < length) ? i - 1 : size;
        }
        --i;
        ++back;
    }
    return size;
}
} // namespace

void DataBufferOut::deliver(bool whole)
{
    if (!good() || m_used <= 0)
        return;
    int n = m_used;
    if (m_file != nullptr) {
        if (!m_file->write(m_buffer, 0, n))
            setState(failBit);
    } else if (m_block != nullptr) {
        m_block->append(m_buffer.constData(), n);
    } else if (m_text != nullptr) {
        if (!whole)
            n = completeUtf8(m_buffer.constData(), n);
        if (n > 0)
            m_text->append(String(QString::fromUtf8(m_buffer.constData(), n)));
    }
    const int kept = m_used - n;
    if (kept > 0)
        std::memmove(m_buffer.data(), m_buffer.constData() + n, static_cast<size_t>(kept));
    m_used = kept;
}

} // namespace vantorix
