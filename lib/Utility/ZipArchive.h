#ifndef VANTORIX_UTILITY_ZIPARCHIVE_H
#define VANTORIX_UTILITY_ZIPARCHIVE_H

#include "Utility/MemoryBlock.h"
#include "Utility/String.h"
#include "Utility/ZipEntryTree.h"

#include <QByteArray>

#include <memory>
#include <vector>

class QIODevice;

namespace vantorix {

class DataFile;

// A zip file read as a numbered list of entries and written one entry at a
// time (minizip with its 64-bit extensions).
//
// Reading: the first getEntryCount() scans the central directory once into
// the entry tree. Entries are numbered densely from 0 in the order their
// paths first appear, and a directory that only shows as part of a file's
// path gets a number of its own before that file (a/b/c.txt alone gives
// 0 a/, 1 a/b/, 2 a/b/c.txt). The scan refuses the whole archive (no
// entries, getError() names the entry) when any entry name is unsafe to use
// as a path: absolute, with a ".." component, a drive letter or a NUL byte,
// or longer than maxNameLength bytes; when two file entries have the same
// name; when an entry's local header names another file or two entries share
// bytes; when the entries unpack to more than the total limit; and when the
// central directory is damaged. Names are UTF-8 when the entry's flag says
// so, code page 437 otherwise. Entries are read on demand through one zip handle that stays open
// until the archive is destroyed or written to. A file entry whose bytes do
// not inflate, do not match their checksum or their declared size, or exceed
// the entry limit comes back without data (never with partial data), and
// getError() says why. Declared sizes never decide an allocation.
//
// Writing: addEntry() appends one entry and closes the file again, so the
// zip is complete after every call; the next read scans it anew.
class ZipArchive {
public:
    using ZipEntryTree = vantorix::ZipEntryTree;

    // One member of the archive, handed out as an owned object. Directory
    // paths end with their separator ("/" or "\" as stored). A file whose
    // bytes could not be read has no data, unlike an empty file, whose data
    // is a block of zero bytes.
    class Entry {
    public:
        Entry(const String& path, bool directory, std::shared_ptr<MemoryBlock> data, bool symLink);
        virtual ~Entry();

        const String& getPath() const { return m_path; }
        bool isDirectory() const { return m_directory; }
        const std::shared_ptr<MemoryBlock>& getData() const { return m_data; }
        // The entry is a symbolic link; its data is the link's target.
        bool isSymLink() const { return m_symLink; }
        // No data, or zero bytes of it.
        bool empty() const { return !m_data || m_data->size() == 0; }

    private:
        String m_path;
        bool m_directory;
        std::shared_ptr<MemoryBlock> m_data;
        bool m_symLink;
    };

    // The block size of reads and writes.
    static constexpr int defBufferSize = 16384;
    // Longer entry names refuse the archive.
    static constexpr int maxNameLength = 4096;
    // The most bytes getEntry() inflates into memory for one entry unless
    // told otherwise (readEntry streams and knows no such limit).
    static constexpr qint64 defaultEntryLimit = qint64(1) << 30;
    // The most bytes all file entries may unpack to together, unless told
    // otherwise: a larger archive is refused at the scan, and since every
    // entry must inflate to exactly its declared size and no two entries may
    // share bytes, nothing read from the archive goes beyond it.
    static constexpr qint64 defaultTotalLimit = qint64(4) << 30;
    // More entries than this refuse the archive.
    static constexpr quint64 maxEntries = 1u << 20;

    // Takes the path of an existing file and closes the file; a missing file
    // gives an archive without a path (no entries, nothing can be added).
    explicit ZipArchive(DataFile& file);
    explicit ZipArchive(const String& path);
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;
    virtual ~ZipArchive();

    // Scans on first use. 0 for a missing, empty, damaged or refused archive,
    // and such an archive is scanned again on the next call.
    virtual unsigned getEntryCount();
    // The entry with that number, or null when there is none.
    virtual std::unique_ptr<Entry> getEntry(unsigned index);
    // Appends one file entry; level 0 stores, 1 to 9 deflate at that level,
    // anything else at zlib's default. A directory entry or one without data
    // succeeds without writing (directories are implied by file paths).
    // Leading "/" and "\" are taken off the stored name; a name that would
    // still be refused on reading is not written.
    virtual bool addEntry(const Entry& entry, int level);

    // Streams a file entry's bytes to device in blocks of defBufferSize,
    // without holding the entry in memory; limit < 0: no limit beyond the
    // declared size. False for a directory or a damaged entry; bytes already
    // written before damage showed stay in the device, so write to a
    // temporary file or QSaveFile and keep it only on success.
    bool readEntry(unsigned index, QIODevice& device, qint64 limit = -1);

    // The stored path of an entry; empty when there is none.
    String getEntryPath(unsigned index);
    static bool isDirectoryPath(const String& path);
    // Whether an entry name (UTF-8 bytes as stored) may be used as a path.
    static bool isSafeName(const QByteArray& name);

    void setEntryLimit(qint64 limit) { m_entryLimit = limit; }
    qint64 getEntryLimit() const { return m_entryLimit; }
    // Negative: no limit. Takes effect at the next scan.
    void setTotalLimit(qint64 limit) { m_totalLimit = limit; }
    // The bytes all file entries unpack to, as their headers declare.
    quint64 getDeclaredSize(unsigned index) const;

    const String& getPath() const { return m_path; }
    // Why the last scan, read or write failed (for the log); empty after
    // success.
    const String& getError() const { return m_error; }
    const ZipEntryTree& getTree() const { return *m_tree; }

protected:
    // Count 0, the path stored, a fresh tree holding only the root.
    void initialise(const String& path);

private:
    // What the central directory says of a file entry, kept from the scan.
    struct Declared {
        quint64 size = 0;
        bool encrypted = false;
    };

    // Where an entry lies in the zip file, from its local header to the end
    // of its data.
    struct Span {
        quint64 start = 0;
        quint64 end = 0;
    };

    bool scan();
    bool locate(const QByteArray& name, quint64 compressedSize, Span& span);
    // Into memory when memory is set, else to device.
    bool readData(const TreeEntry& entry, qint64 limit, QByteArray* memory, QIODevice* device);
    bool openReader();
    void closeReader();
    bool fail(const String& error);

    String m_path;
    unsigned m_count = 0;
    std::unique_ptr<ZipEntryTree> m_tree;
    // By entry number.
    std::vector<Declared> m_declared;
    // minizip's unzFile, open between reads.
    void* m_reader = nullptr;
    qint64 m_entryLimit = defaultEntryLimit;
    qint64 m_totalLimit = defaultTotalLimit;
    // The zip file read directly while scanning (local headers).
    void* m_localReader = nullptr;
    String m_error;
};

} // namespace vantorix

#endif
