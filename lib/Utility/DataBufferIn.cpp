#include "Utility/DataBufferIn.h"

#include "File/DataFile.h"
#include "Utility/MemoryBlock.h"

#include <cstring>

namespace vantorix {

namespace {
// Fewer unread bytes than this make a scan top the buffer up first.
const int refillMargin = 6;
} // namespace

DataBufferIn::DataBufferIn() = default;

DataBufferIn::DataBufferIn(const DataFile* file, Encoding::Type encoding)
{
    setSource(file, encoding);
}

DataBufferIn::DataBufferIn(const MemoryBlock& block, Encoding::Type encoding)
{
    setSource(block, encoding);
}

DataBufferIn::DataBufferIn(const String& text, Encoding::Type encoding)
{
    setSource(text, encoding);
}

DataBufferIn::~DataBufferIn() = default;

void DataBufferIn::reset(Encoding::Type encoding)
{
    clear();
    m_file = nullptr;
    m_buffer.clear();
    m_readPos = 0;
    m_filled = 0;
    m_remaining = 0;
    m_row = 1;
    m_column = 0;
    m_encoding = encoding;
    m_carriageReturn = false;
    m_countedTo = 0;
}

void DataBufferIn::setSource(const DataFile* file, Encoding::Type encoding)
{
    reset(encoding);
    m_file = file;
    if (file == nullptr)
        return;
    const long long size = file->getSize();
    m_remaining = size > 0 ? size : 0;
    m_buffer.resize(static_cast<int>(m_remaining < bufferSize ? m_remaining : bufferSize));
}

void DataBufferIn::setSource(const MemoryBlock& block, Encoding::Type encoding)
{
    setSource(block.get(), encoding);
}

void DataBufferIn::setSource(const String& text, Encoding::Type encoding)
{
    setSource(text.toByteArray(), encoding);
}

void DataBufferIn::setSource(const QByteArray& bytes, Encoding::Type encoding)
{
    reset(encoding);
    m_buffer = bytes;
    m_filled = bytes.size();
}

bool DataBufferIn::refill(int)
{
    if (m_file == nullptr || m_remaining <= 0) {
        setState(eofBit);
        return true;
    }
    const int unread = m_filled - m_readPos;
    if (m_readPos > 0 && unread > 0)
        std::memmove(m_buffer.data(), m_buffer.constData() + m_readPos, static_cast<size_t>(unread));
    m_countedTo = m_countedTo > m_readPos ? m_countedTo - m_readPos : 0;
    m_readPos = 0;
    m_filled = unread;
    long long wanted = m_buffer.size() - unread;
    if (wanted > m_remaining)
        wanted = m_remaining;
    if (wanted <= 0)
        return true;
    long long count = wanted;
    if (!m_file->read(m_buffer, unread, count) || count <= 0 || count > wanted) {
        setState(failBit);
        m_remaining = 0;
        return false;
    }
    m_filled = unread + static_cast<int>(count);
    m_remaining -= count;
    return true;
}

void DataBufferIn::countRange(int from, int to)
{
    // Locals keep the counters in registers for the common case of long runs
    // without line breaks.
    const char* data = m_buffer.constData();
    int row = m_row;
    int column = m_column;
    bool carriageReturn = m_carriageReturn;
    for (int i = from; i < to; ++i) {
        const char c = data[i];
        if (c == '\n') {
            if (!carriageReturn)
                ++row;
            column = 1;
            carriageReturn = false;
        } else if (c == '\r') {
            ++row;
            column = 1;
            carriageReturn = true;
        } else {
            ++column;
            carriageReturn = false;
        }
    }
    m_row = row;
    m_column = column;
    m_carriageReturn = carriageReturn;
}

int DataBufferIn::scanTo(const bool* delimiters, QByteArray* bytes, bool consume)
{
    for (;;) {
        if (m_filled < m_readPos + refillMargin) {
            if (!refill(0))
                return readError;
            if (m_readPos >= m_filled)
                return exhausted;
        }
        // Scan up to where the next refill is due; at the end of the source
        // that is the last byte.
        int limit = m_filled;
        if (m_file != nullptr && m_remaining > 0 && m_filled - refillMargin >= m_readPos)
            limit = m_filled - refillMargin + 1;
        const char* data = m_buffer.constData();
        const int start = m_readPos;
        int p = start;
        while (p < limit && !delimiters[static_cast<unsigned char>(data[p])])
            ++p;
        const bool found = p < limit;
        // Bytes already counted by an earlier scan are not counted again.
        const int countEnd = found ? p + 1 : p;
        if (countEnd > m_countedTo) {
            countRange(m_countedTo > start ? m_countedTo : start, countEnd);
            m_countedTo = countEnd;
        }
        if (bytes != nullptr && p > start)
            bytes->append(data + start, p - start);
        if (found) {
            m_readPos = consume ? p + 1 : p;
            return DataBufferIn::found;
        }
        m_readPos = p;
    }
}

int DataBufferIn::iterateTo(const String& delimiters, String* text, bool consume)
{
    bool table[256] = {};
    const QByteArray set = delimiters.toByteArray();
    for (const char c : set)
        table[static_cast<unsigned char>(c)] = true;
    QByteArray bytes;
    const int result = scanTo(table, text != nullptr ? &bytes : nullptr, consume);
    if (text != nullptr && !bytes.isEmpty())
        text->append(String(QString::fromUtf8(bytes)));
    return result;
}

int DataBufferIn::iterateTo(char delimiter, String* text, bool consume)
{
    bool table[256] = {};
    table[static_cast<unsigned char>(delimiter)] = true;
    QByteArray bytes;
    const int result = scanTo(table, text != nullptr ? &bytes : nullptr, consume);
    if (text != nullptr && !bytes.isEmpty())
        text->append(String(QString::fromUtf8(bytes)));
    return result;
}

DataBufferIn& DataBufferIn::getLine(String& line, bool keepEnding)
{
    bool table[256] = {};
    table[static_cast<unsigned char>('\r')] = true;
    table[static_cast<unsigned char>('\n')] = true;
    QByteArray bytes;
    const int result = scanTo(table, &bytes, true);
    if (result == found) {
        const char first = m_buffer.at(m_readPos - 1);
        bytes.append(first);
        const char other = first == '\r' ? '\n' : '\r';
        if (m_readPos >= m_filled)
            refill(0);
        if (m_readPos < m_filled && m_buffer.at(m_readPos) == other) {
            if (m_readPos >= m_countedTo) {
                countRange(m_readPos, m_readPos + 1);
                m_countedTo = m_readPos + 1;
            }
            ++m_readPos;
            if (keepEnding)
                bytes.append(other);
        }
    }
    if (!bytes.isEmpty())
        line.append(String(QString::fromUtf8(bytes)));
    return *this;
}

bool DataBufferIn::get(char& c)
{
    if (fail())
        return false;
    if (m_readPos >= m_filled) {
        if (!refill(0))
            return false;
        if (m_readPos >= m_filled) {
            setState(eofBit);
            return false;
        }
    }
    c = m_buffer.at(m_readPos++);
    return true;
}

void DataBufferIn::skip(int n)
{
    if (n < 1)
        return;
    const int buffered = m_filled - m_readPos;
    if (n <= buffered) {
        m_readPos += n;
        return;
    }
    long long rest = n - buffered;
    m_readPos = m_filled;
    if (m_file != nullptr && rest <= m_remaining) {
        const long long moved = m_file->skip(rest);
        m_remaining -= moved;
        if (moved == rest)
            return;
    }
    if (m_file != nullptr && m_remaining > 0)
        m_file->skip(m_remaining);
    m_remaining = 0;
    setState(eofBit);
}

} // namespace vantorix
