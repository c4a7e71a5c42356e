#include "FileDigest.h"

#include "Utility/Sha256.h"
#include <QFile>

namespace installer {

namespace {
// Read and hashed at a time: small enough that a stop request is answered
// within a few milliseconds, large enough to cost few reads.
const qint64 blockSize = 256 * 1024;
} // namespace

FileDigest::FileDigest(const QString& path) : m_path(path), m_thread([this]() { run(); }) {}

FileDigest::~FileDigest()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void FileDigest::grow(qint64 size)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_final || size <= m_size)
            return;
        m_size = size;
    }
    m_wake.notify_all();
}

qint64 FileDigest::size() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_size;
}

void FileDigest::finish(qint64 size, std::function<void()> done)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_final)
            return;
        m_size = qMax(m_size, size);
        m_final = true;
        m_done = std::move(done);
    }
    m_wake.notify_all();
}

bool FileDigest::isComplete() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_complete;
}

QByteArray FileDigest::result() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_result;
}

void FileDigest::run()
{
    vantorix::Sha256 hash;
    QFile file(m_path);
    QByteArray block(int(blockSize), Qt::Uninitialized);
    qint64 hashed = 0;
    bool readable = true;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&]() { return m_stop || m_final || (readable && hashed < m_size); });
        if (m_stop)
            return;
        if (readable && hashed < m_size) {
            const qint64 end = m_size;
            lock.unlock();
            // The file exists once its first bytes are written; it is opened
            // then and kept open.
            if (!file.isOpen() && !file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
                readable = false;
            while (readable && hashed < end) {
                const qint64 got = file.read(block.data(), qMin(blockSize, end - hashed));
                if (got <= 0) {
                    readable = false;  // shorter than written, or unreadable
                    break;
                }
                hash.addData(block.constData(), int(got));
                hashed += got;
                std::lock_guard<std::mutex> check(m_mutex);
                if (m_stop)
                    return;
            }
            lock.lock();
            continue;
        }
        // Final, and all of it hashed or the file unreadable.
        m_complete = true;
        if (readable)
            m_result = hash.result().toHex();
        std::function<void()> done = std::move(m_done);
        lock.unlock();
        if (done)
            done();
        return;
    }
}

} // namespace installer
