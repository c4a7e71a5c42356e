#ifndef VANTORIX_UTILITY_MEMORYBLOCK_H
#define VANTORIX_UTILITY_MEMORYBLOCK_H

#include <QByteArray>

namespace vantorix {

template <typename T>
const T& minVal(const T& a, const T& b)
{
    return (b < a) ? b : a;
}

template <typename T>
const T& maxVal(const T& a, const T& b)
{
    return (a < b) ? b : a;
}

// Copies n bytes; throws std::bad_alloc when either pointer is null.
void copyMemory(void* dst, const void* src, int n);
// Zeroes n bytes.
void clearMemory(void* p, int n);

// An owned block of bytes. A copy has bytes of its own (copied on write).
class MemoryBlock {
public:
    // size zero bytes.
    explicit MemoryBlock(int size = 0);
    MemoryBlock(const void* data, int size);
    explicit MemoryBlock(const QByteArray& bytes) : m_bytes(bytes) {}
    MemoryBlock(const MemoryBlock& other) = default;
    MemoryBlock& operator=(const MemoryBlock& other) = default;
    MemoryBlock& operator=(const QByteArray& bytes);
    virtual ~MemoryBlock();

    void reset(const QByteArray& bytes) { m_bytes = bytes; }
    // New bytes are zero.
    void resize(int size);
    void append(const void* data, int size);
    // n bytes of bytes from pos; n = -1 for the rest.
    void append(const QByteArray& bytes, int pos, int n = -1);

    const QByteArray& get() const { return m_bytes; }
    int size() const { return m_bytes.size(); }
    explicit operator bool() const { return m_bytes.size() > 0; }

private:
    QByteArray m_bytes;
};

} // namespace vantorix

#endif
