#include "Utility/MemoryBlock.h"

#include <cstring>
#include <new>

namespace vantorix {

void copyMemory(void* dst, const void* src, int n)
{
    if (dst == nullptr || src == nullptr)
        throw std::bad_alloc();
    if (n > 0)
        std::memmove(dst, src, static_cast<size_t>(n));
}

void clearMemory(void* p, int n)
{
    if (p != nullptr && n > 0)
        std::memset(p, 0, static_cast<size_t>(n));
}

MemoryBlock::MemoryBlock(int size) : m_bytes(size > 0 ? size : 0, '\0') {}

MemoryBlock::MemoryBlock(const void* data, int size)
{
    if (data != nullptr && size > 0)
        m_bytes = QByteArray(static_cast<const char*>(data), size);
}

MemoryBlock::~MemoryBlock() = default;

MemoryBlock& MemoryBlock::operator=(const QByteArray& bytes)
{
    m_bytes = bytes;
    return *this;
}

void MemoryBlock::resize(int size)
{
    const int old = m_bytes.size();
    m_bytes.resize(size > 0 ? size : 0);
    if (size > old)
        std::memset(m_bytes.data() + old, 0, static_cast<size_t>(size - old));
}

void MemoryBlock::append(const void* data, int size)
{
    if (data != nullptr && size > 0)
        m_bytes.append(static_cast<const char*>(data), size);
}

void MemoryBlock::append(const QByteArray& bytes, int pos, int n)
{
    if (pos < 0 || pos > bytes.size())
        return;
    const int available = bytes.size() - pos;
    const int count = (n < 0 || n > available) ? available : n;
    if (count > 0)
        m_bytes.append(bytes.constData() + pos, count);
}

} // namespace vantorix
