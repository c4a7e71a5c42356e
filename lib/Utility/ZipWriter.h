#ifndef VANTORIX_UTILITY_ZIPWRITER_H
#define VANTORIX_UTILITY_ZIPWRITER_H

#include "Utility/String.h"

#include <QByteArray>
#include <QString>

class QIODevice;

namespace vantorix {

// Writes a new zip file whole, streaming each entry's bytes from a device in
// blocks, through one minizip handle kept open for the whole file. The zip is
// built in a temporary file beside the target ("<target>.<random>.part") and
// renamed over the target by commit() only when every entry was added, the
// archive closed and the bytes flushed to disk; anything less (a failed
// write, a full disk, a source that cannot be read, an abandoned writer)
// removes the temporary file and leaves the target as it was. Memory use
// does not grow with the entries' sizes.
//
// Large entries and files are written with the zip's 64-bit extensions.
// Every failure returns false, and getError() says what failed.
class ZipWriter {
public:
    // Block size of the copies.
    static constexpr int blockSize = 256 * 1024;

    explicit ZipWriter(const QString& target);
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;
    // Abandons an uncommitted file.
    ~ZipWriter();

    // Creates the temporary file. False when the target's folder cannot be
    // written.
    bool open();
    // Adds a file entry named name (UTF-8, no leading separator, no ".."),
    // with source's bytes from its current position to its end, deflated at
    // level (0 stores, 1 to 9, anything else zlib's default). size is what
    // the source holds (-1: unknown; then the 64-bit form is used).
    bool addEntry(const QString& name, QIODevice& source, qint64 size, int level = -1);
    // The same from memory.
    bool addEntry(const QString& name, const QByteArray& bytes, int level = -1);
    // Closes the archive and renames it over the target.
    bool commit();
    // Removes the temporary file; the target stays as it was.
    void abandon();

    const QString& getTarget() const { return m_target; }
    const QString& getTemporaryPath() const { return m_temporary; }
    const String& getError() const { return m_error; }
    // The bytes of entry data written so far (before compression).
    qint64 getBytesWritten() const { return m_written; }

private:
    bool fail(const QString& error);
    bool closeZip();

    QString m_target;
    QString m_temporary;
    void* m_zip = nullptr;  // minizip's zipFile while open
    bool m_failed = false;
    String m_error;
    qint64 m_written = 0;
    QByteArray m_buffer;
};

} // namespace vantorix

#endif
