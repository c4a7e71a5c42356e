#ifndef INSTALLER_PRODUCTS_FILEDIGEST_H
#define INSTALLER_PRODUCTS_FILEDIGEST_H

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace installer {

// The SHA-256 of a file that is still being written, taken on a thread of its
// own. The writer says how many bytes of the file are complete (grow()); the
// thread reads them back (from the page cache, as a rule) and hashes them, so
// hashing, which runs far slower than a local transfer, never holds up the
// thread that receives and writes the bytes, and a large part already on disk
// is hashed without blocking anyone. Once told the final size (finish()), the
// thread calls back when it has hashed that much or could not read the file.
//
// Owned by the writer; destroying it stops the thread within one block.
class FileDigest {
public:
    explicit FileDigest(const QString& path);
    FileDigest(const FileDigest&) = delete;
    FileDigest& operator=(const FileDigest&) = delete;
    ~FileDigest();

    // The first size bytes of the file are written (sizes only grow).
    void grow(qint64 size);
    qint64 size() const;
    // The file is complete at size bytes: done() is called once, on the
    // hashing thread, when the digest is ready (or reading failed).
    void finish(qint64 size, std::function<void()> done);
    // Whether done() has been called.
    bool isComplete() const;
    // Once complete: the lower-case hexadecimal digest of the file's first
    // size bytes; empty when the file could not be read that far.
    QByteArray result() const;

private:
    void run();

    const QString m_path;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    qint64 m_size = 0;          // bytes written, as told by grow()
    bool m_final = false;       // no more bytes will come
    bool m_stop = false;
    bool m_complete = false;
    QByteArray m_result;
    std::function<void()> m_done;
    std::thread m_thread;       // last: started once the members above exist
};

} // namespace installer

#endif
