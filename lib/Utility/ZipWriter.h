#ifndef VANTORIX_UTILITY_ZIPWRITER_H
#define VANTORIX_UTILITY_ZIPWRITER_H

#include "Utility/String.h"

#include <QByteArray>

class QIODevice;

namespace vantorix {

// Writes a new zip file entry by entry, keeping it open in between, so that
// large files are streamed in from any device block by block and never held
// whole in memory. Entry names are checked as ZipArchive checks them on
// reading: a name it would refuse is not written. The zip is complete only
// after close() has returned true.
class ZipWriter {
public:
    // Bytes read from a device and handed to the compressor at a time.
    static constexpr int blockSize = 1 << 16;

    ZipWriter() = default;
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;
    // Closes a zip left open (the result is lost: call close() to know it).
    ~ZipWriter();

    // Creates (or empties) the file at path and opens it for writing.
    bool open(const String& path);
    bool isOpen() const { return m_zip != nullptr; }

    // Adds a deflated entry holding bytes.
    bool addData(const String& name, const QByteArray& bytes);
    // Adds a deflated entry holding the next at most maxBytes bytes of device
    // (opened for reading; maxBytes < 0: everything up to its end). A read
    // error fails the entry and leaves the zip unusable.
    bool addDevice(const String& name, QIODevice& device, qint64 maxBytes = -1);

    // Writes the central directory and closes the file.
    bool close();

    // Why the last call failed; empty after a success.
    const String& getError() const { return m_error; }

private:
    bool startEntry(const String& name, qint64 expectedSize);
    bool finishEntry(bool written, const String& name);
    bool fail(const String& error);

    String m_path;
    // minizip's zipFile while open.
    void* m_zip = nullptr;
    bool m_damaged = false;
    String m_error;
};

} // namespace vantorix

#endif
