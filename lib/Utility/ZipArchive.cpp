#include "Utility/ZipArchive.h"

#include "File/DataFile.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <unzip.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantorix {

namespace {

// The Unix file type in the high half of the external attributes.
const unsigned long unixTypeMask = 0xF000;
const unsigned long unixLinkType = 0xA000;
// Host "Unix" in the high byte of "version made by", zip 2.0 in the low one.
const unsigned long madeByUnix = (3u << 8) | 20u;
// General purpose flags: encrypted, and names in UTF-8.
const unsigned long flagEncrypted = 0x1;
const unsigned long flagUtf8 = 0x800;
// The largest size or offset the zip format holds without its 64-bit fields.
const qint64 max32 = 0xFFFFFFFFLL;
// Bytes handed to one zipWriteInFileInZip call.
const int writeChunk = 1 << 20;

bool isSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
}

bool isSeparatorByte(char c)
{
    return c == '/' || c == '\\';
}

// A name for an error message: control bytes shown as \xNN, long names cut.
String displayName(const QByteArray& raw)
{
    const int shown = 200;
    QByteArray text;
    for (int i = 0; i < raw.size() && i < shown; ++i) {
        const unsigned char c = static_cast<unsigned char>(raw.at(i));
        // Control bytes, and a byte-order mark, which decoding would drop.
        if (c < 0x20 || c == 0x7F || (i < 3 && raw.startsWith("\xEF\xBB\xBF")))
            text += "\\x" + QByteArray::number(c, 16).rightJustified(2, '0');
        else
            text += static_cast<char>(c);
    }
    if (raw.size() > shown)
        text += "...";
    return String(QString::fromUtf8(text));
}

// The upper half of code page 437, the zip format's encoding for names
// without the UTF-8 flag.
const char16_t cp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC,
    0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2,
    0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310,
    0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C,
    0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF,
    0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2,
    0x25A0, 0x00A0};

QString fromCp437(const QByteArray& raw)
{
    QString text;
    text.reserve(raw.size());
    for (const char c : raw) {
        const unsigned char byte = static_cast<unsigned char>(c);
        text.append(byte < 0x80 ? QChar(byte) : QChar(cp437High[byte - 0x80]));
    }
    return text;
}

// The name as the archive hands it out, and whether it is safe as stored
// and as decoded: decoding drops a leading byte-order mark, which could
// otherwise hide a leading "/". Names are UTF-8 when the entry says so and
// code page 437 otherwise, as the zip format has it: two different names
// never decode to the same text.
bool decodeName(const QByteArray& raw, bool utf8, QString& name)
{
    name = utf8 ? QString::fromUtf8(raw) : fromCp437(raw);
    return ZipArchive::isSafeName(raw) && ZipArchive::isSafeName(name.toUtf8());
}

QString sizeText(quint64 bytes)
{
    return QString::number(bytes);
}

QByteArray encodedPath(const String& path)
{
    return QFile::encodeName(path.qString());
}

// Reading for minizip through pread with windows of its own: minizip seeks
// before every header and every entry, which through stdio costs a seek and
// a refilled buffer each time; here a seek only moves a number, and reads
// that fall inside a window cost no system call. Reading an entry goes back
// and forth between its record in the central directory (at the end of the
// file) and its local header and data (further up), so a few windows are
// kept, the one used longest ago refilled.
struct ReadStream {
    static constexpr int windowCount = 4;
    static constexpr qint64 windowSize = qint64(1) << 16;
    struct Window {
        quint64 start = 0;
        qint64 length = 0;
        quint64 used = 0;
        char bytes[windowSize];
    };
    int fd = -1;
    quint64 size = 0;
    quint64 position = 0;
    quint64 clock = 0;
    int error = 0;
    Window windows[windowCount];
};

voidpf ZCALLBACK streamOpen(voidpf, const void* path, int mode)
{
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ)
        return nullptr;
    const int fd = ::open(static_cast<const char*>(path), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info = {};
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return nullptr;
    }
    auto* stream = new ReadStream;
    stream->fd = fd;
    stream->size = quint64(info.st_size);
    return stream;
}

uLong ZCALLBACK streamRead(voidpf, voidpf opaque, void* buffer, uLong size)
{
    auto* stream = static_cast<ReadStream*>(opaque);
    char* into = static_cast<char*>(buffer);
    uLong done = 0;
    while (done < size) {
        const quint64 at = stream->position;
        ReadStream::Window* hit = nullptr;
        ReadStream::Window* oldest = &stream->windows[0];
        for (ReadStream::Window& window : stream->windows) {
            if (window.length > 0 && at >= window.start && at < window.start + quint64(window.length))
                hit = &window;
            if (window.used < oldest->used)
                oldest = &window;
        }
        if (hit != nullptr) {
            const quint64 offset = at - hit->start;
            const uLong n = uLong(qMin<quint64>(size - done, quint64(hit->length) - offset));
            std::memcpy(into + done, hit->bytes + offset, n);
            hit->used = ++stream->clock;
            done += n;
            stream->position += n;
            continue;
        }
        if (size - done >= quint64(ReadStream::windowSize)) {
            // Large reads go straight to the caller's buffer.
            const ssize_t n = ::pread(stream->fd, into + done, size - done, off_t(at));
            if (n <= 0) {
                stream->error = n < 0 ? errno : 0;
                break;
            }
            done += uLong(n);
            stream->position += quint64(n);
            continue;
        }
        const ssize_t n = ::pread(stream->fd, oldest->bytes, sizeof oldest->bytes, off_t(at));
        if (n <= 0) {
            stream->error = n < 0 ? errno : 0;
            break;
        }
        oldest->start = at;
        oldest->length = n;
        oldest->used = ++stream->clock;
    }
    return done;
}

uLong ZCALLBACK streamWrite(voidpf, voidpf, const void*, uLong)
{
    return 0;
}

ZPOS64_T ZCALLBACK streamTell(voidpf, voidpf opaque)
{
    return static_cast<ReadStream*>(opaque)->position;
}

long ZCALLBACK streamSeek(voidpf, voidpf opaque, ZPOS64_T offset, int origin)
{
    auto* stream = static_cast<ReadStream*>(opaque);
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: stream->position = offset; break;
    case ZLIB_FILEFUNC_SEEK_CUR: stream->position += offset; break;
    case ZLIB_FILEFUNC_SEEK_END: stream->position = stream->size + offset; break;
    default: return -1;
    }
    return 0;
}

int ZCALLBACK streamClose(voidpf, voidpf opaque)
{
    auto* stream = static_cast<ReadStream*>(opaque);
    const int closed = ::close(stream->fd);
    delete stream;
    return closed;
}

int ZCALLBACK streamError(voidpf, voidpf opaque)
{
    return static_cast<ReadStream*>(opaque)->error;
}

unzFile openForReading(const QByteArray& path)
{
    zlib_filefunc64_def functions = {streamOpen, streamRead, streamWrite, streamTell, streamSeek, streamClose,
                                     streamError, nullptr};
    return unzOpen2_64(path.constData(), &functions);
}

} // namespace

ZipArchive::Entry::Entry(const String& path, bool directory, std::shared_ptr<MemoryBlock> data, bool symLink)
    : m_path(path), m_directory(directory), m_data(std::move(data)), m_symLink(symLink)
{
}

ZipArchive::Entry::~Entry() = default;

ZipArchive::ZipArchive(DataFile& file)
{
    String path;
    if (file.exists()) {
        path = file.getPathName();
        file.close();
    }
    initialise(path);
}

ZipArchive::ZipArchive(const String& path)
{
    initialise(path);
}

ZipArchive::~ZipArchive()
{
    closeReader();
}

void ZipArchive::initialise(const String& path)
{
    closeReader();
    m_count = 0;
    m_declared.clear();
    m_path = path;
    m_tree = std::make_unique<ZipEntryTree>();
    m_tree->setRoot(m_tree->addEntry(std::nullopt, String(), ZipEntryTree::noIndex, std::nullopt, false));
}

bool ZipArchive::fail(const String& error)
{
    m_error = error;
    return false;
}

bool ZipArchive::isDirectoryPath(const String& path)
{
    return !path.empty() && isSeparator(path.qString().back());
}

bool ZipArchive::isSafeName(const QByteArray& name)
{
    if (name.size() > maxNameLength || name.contains('\0'))
        return false;
    if (name.isEmpty())
        return true;
    if (isSeparatorByte(name.at(0)))
        return false;
    // A drive letter: "C:" at the start, with or without a separator after it.
    if (name.size() >= 2 && name.at(1) == ':' && QChar::fromLatin1(name.at(0)).isLetter()
        && static_cast<unsigned char>(name.at(0)) < 0x80)
        return false;
    int start = 0;
    for (int i = 0; i <= name.size(); ++i) {
        if (i == name.size() || isSeparatorByte(name.at(i))) {
            if (i - start == 2 && name.at(start) == '.' && name.at(start + 1) == '.')
                return false;
            start = i + 1;
        }
    }
    return true;
}

bool ZipArchive::openReader()
{
    if (m_reader != nullptr)
        return true;
    if (m_path.empty())
        return fail("The zip archive has no file");
    if (!QFileInfo::exists(m_path.qString()))
        return fail("The zip archive " + m_path + " does not exist");
    m_reader = openForReading(encodedPath(m_path));
    if (m_reader == nullptr)
        return fail("The file " + m_path + " is not a readable zip archive");
    return true;
}

void ZipArchive::closeReader()
{
    if (m_reader != nullptr) {
        unzClose(m_reader);
        m_reader = nullptr;
    }
}

unsigned ZipArchive::getEntryCount()
{
    if (m_count != 0)
        return m_count;
    if (!scan()) {
        closeReader();
        initialise(m_path);
    }
    return m_count;
}

// Builds the tree into a fresh one and takes it only when the whole central
// directory was read and every name is safe: a refused archive hands out
// nothing at all.
bool ZipArchive::scan()
{
    m_error.clear();
    if (m_path.empty())
        return false;
    closeReader();
    if (!openReader())
        return false;
    unz_global_info64 global;
    if (unzGetGlobalInfo64(m_reader, &global) != UNZ_OK)
        return fail("The file " + m_path + " is not a readable zip archive");
    if (global.number_entry == 0)
        return true;

    auto tree = std::make_unique<ZipEntryTree>();
    const ZipEntryTree::Vertex root =
        tree->addEntry(std::nullopt, String(), ZipEntryTree::noIndex, std::nullopt, false);
    tree->setRoot(root);
    std::vector<Declared> declared;
    unsigned count = 0;
    const auto add = [&](ZipEntryTree::Vertex parent, const QString& path, const std::optional<ZipPosition>& position,
                         bool symLink, const Declared& facts) {
        declared.push_back(facts);
        return tree->addEntry(parent, String(path), count++, position, symLink);
    };
    // Entries of one folder usually follow each other: the folder found for
    // the last one is tried first.
    QString lastFolder;
    ZipEntryTree::Vertex lastFolderVertex = root;
    std::vector<char> name(maxNameLength + 1);
    const String damaged = "The central directory of the zip archive " + m_path + " is damaged";

    if (global.number_entry > maxEntries)
        return fail("The zip archive " + m_path + " holds more than the limit of "
                    + String(QString::number(maxEntries)) + " entries");
    // Where each file entry lies in the zip, from its local header to the
    // end of its data: two entries that share bytes are a forged archive
    // (one stored entry unpacked many times over).
    std::vector<Span> spans;
    quint64 total = 0;
    m_localReader = streamOpen(nullptr, encodedPath(m_path).constData(), ZLIB_FILEFUNC_MODE_READ);
    if (m_localReader == nullptr)
        return fail("The file " + m_path + " is not a readable zip archive");
    struct ReaderReset {
        void*& reader;
        ~ReaderReset()
        {
            streamClose(nullptr, reader);
            reader = nullptr;
        }
    } readerReset{m_localReader};

    if (unzGoToFirstFile(m_reader) != UNZ_OK)
        return fail(damaged);
    for (ZPOS64_T i = 0; i < global.number_entry; ++i) {
        if (i > 0 && unzGoToNextFile(m_reader) != UNZ_OK)
            return fail(damaged);
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(m_reader, &info, name.data(), static_cast<uLong>(name.size()), nullptr, 0,
                                    nullptr, 0)
            != UNZ_OK)
            return fail(damaged);
        const int length = static_cast<int>(info.size_filename);
        const QByteArray raw(name.data(), qMin(length, maxNameLength + 1));
        QString path;
        if (length > maxNameLength || !decodeName(raw, (info.flag & flagUtf8) != 0, path))
            return fail("The zip archive " + m_path + " holds an entry with an unsafe name: " + displayName(raw));
        const bool symLink = ((info.external_fa >> 16) & unixTypeMask) == unixLinkType;

        // The folder holding the entry: everything up to its last separator
        // but a trailing one.
        int folderEnd = path.size() - 1;
        while (folderEnd > 0 && !isSeparator(path.at(folderEnd - 1)))
            --folderEnd;
        const QString folder = path.left(qMax(folderEnd, 0));
        ZipEntryTree::Vertex parent = root;
        if (!folder.isEmpty() && folder == lastFolder) {
            parent = lastFolderVertex;
        } else {
            for (int at = 0; at < folder.size(); ++at) {
                if (!isSeparator(folder.at(at)))
                    continue;
                const QString ancestor = folder.left(at + 1);
                const auto found = tree->getVertex(String(ancestor));
                parent = found ? *found : add(parent, ancestor, std::nullopt, false, Declared());
            }
            lastFolder = folder;
            lastFolderVertex = parent;
        }
        if (path.isEmpty() || !isSeparator(path.back())) {
            if (tree->getVertex(String(path)))
                return fail("The zip archive " + m_path + " holds two entries named " + displayName(path.toUtf8()));
            Span span;
            if (!locate(raw, info.compressed_size, span))
                return fail("The zip archive " + m_path + " is damaged: the entry " + displayName(raw)
                            + " does not match its local header");
            spans.push_back(span);
            total += info.uncompressed_size;
            if (m_totalLimit >= 0 && total > quint64(m_totalLimit))
                return fail("The zip archive " + m_path + " holds more than the limit of "
                            + String(sizeText(quint64(m_totalLimit))) + " bytes when unpacked");
            unz64_file_pos position;
            if (unzGetFilePos64(m_reader, &position) == UNZ_OK)
                add(parent, path, ZipPosition{position.pos_in_zip_directory, position.num_of_file}, symLink,
                    Declared{info.uncompressed_size, (info.flag & flagEncrypted) != 0});
        } else if (!tree->getVertex(String(path))) {
            add(parent, path, std::nullopt, false, Declared());
        }
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
    for (std::size_t k = 1; k < spans.size(); ++k) {
        if (spans[k].start < spans[k - 1].end)
            return fail("The zip archive " + m_path + " is damaged: two of its entries share the same bytes");
    }
    m_declared = std::move(declared);
    m_tree = std::move(tree);
    m_count = count;
    return true;
}

// Opens the current entry's local header (without inflating anything) and
// checks that it names the same file as the central directory; span is where
// the entry lies in the zip file.
bool ZipArchive::locate(const QByteArray& name, quint64 compressedSize, Span& span)
{
    int method = 0;
    int level = 0;
    if (unzOpenCurrentFile2(m_reader, &method, &level, 1) != UNZ_OK)
        return false;
    const ZPOS64_T data = unzGetCurrentFileZStreamPos64(m_reader);
    const int extra = unzGetLocalExtrafield(m_reader, nullptr, 0);
    unzCloseCurrentFile(m_reader);
    const quint64 header = 30 + quint64(name.size()) + quint64(qMax(extra, 0));
    if (extra < 0 || data < header || m_localReader == nullptr)
        return false;
    span.start = data - header;
    span.end = data + compressedSize;
    if (span.end < data || streamSeek(nullptr, m_localReader, span.start + 30, ZLIB_FILEFUNC_SEEK_SET) != 0)
        return false;
    QByteArray local(name.size(), '\0');
    return streamRead(nullptr, m_localReader, local.data(), uLong(local.size())) == uLong(local.size()) &&
           local == name;
}

quint64 ZipArchive::getDeclaredSize(unsigned index) const
{
    return index < m_declared.size() ? m_declared[index].size : 0;
}

String ZipArchive::getEntryPath(unsigned index)
{
    if (getEntryCount() == 0)
        return String();
    const auto v = m_tree->getVertex(index);
    return v ? m_tree->getPath(*v) : String();
}

std::unique_ptr<ZipArchive::Entry> ZipArchive::getEntry(unsigned index)
{
    if (getEntryCount() == 0)
        return nullptr;
    const auto v = m_tree->getVertex(index);
    if (!v || m_tree->getPath(*v).empty()) {
        fail("The zip archive " + m_path + " has no entry " + String(QString::number(index)));
        return nullptr;
    }
    const TreeEntry& entry = m_tree->getTreeEntry(*v);
    if (isDirectoryPath(entry.path))
        return std::make_unique<Entry>(entry.path, true, nullptr, entry.symLink);

    m_error.clear();
    // A byte array holds at most this much.
    const qint64 memoryLimit = std::numeric_limits<int>::max() - 64;
    const qint64 limit = (m_entryLimit < 0 || m_entryLimit > memoryLimit) ? memoryLimit : m_entryLimit;
    QByteArray bytes;
    std::shared_ptr<MemoryBlock> data;
    if (readData(entry, limit, &bytes, nullptr))
        data = std::make_shared<MemoryBlock>(bytes);
    return std::make_unique<Entry>(entry.path, false, std::move(data), entry.symLink);
}

bool ZipArchive::readEntry(unsigned index, QIODevice& device, qint64 limit)
{
    if (getEntryCount() == 0)
        return false;
    const auto v = m_tree->getVertex(index);
    if (!v || m_tree->getPath(*v).empty() || isDirectoryPath(m_tree->getPath(*v)))
        return fail("The zip archive " + m_path + " has no file entry " + String(QString::number(index)));
    m_error.clear();
    return readData(m_tree->getTreeEntry(*v), limit, nullptr, &device);
}

// Inflates one file entry. minizip stops at the declared size and checks the
// CRC only when it got there, so the byte count is compared with the
// declared size as well: a stream that ends early is damage too. Memory
// grows with the bytes that actually arrive (at most doubling), never with
// what the header claims.
bool ZipArchive::readData(const TreeEntry& entry, qint64 limit, QByteArray* memory, QIODevice* device)
{
    const String what = "The entry " + entry.path + " of the zip archive " + m_path;
    if (!entry.position || entry.index >= m_declared.size())
        return fail(what + " has no data");
    const Declared& declared = m_declared[entry.index];
    if (declared.encrypted)
        return fail(what + " is encrypted");
    if (limit >= 0 && declared.size > static_cast<quint64>(limit))
        return fail(what + " is larger than the limit of " + String(QString::number(limit)) + " bytes for one entry");
    if (!openReader())
        return false;
    unz64_file_pos position;
    position.pos_in_zip_directory = entry.position->directoryOffset;
    position.num_of_file = entry.position->fileNumber;
    if (unzGoToFilePos64(m_reader, &position) != UNZ_OK)
        return fail(what + " cannot be found");
    if (unzOpenCurrentFile(m_reader) != UNZ_OK)
        return fail(what + " is damaged (its header cannot be read)");

    char buffer[defBufferSize];
    quint64 total = 0;
    for (;;) {
        char* into = buffer;
        quint64 room = sizeof buffer;
        if (memory != nullptr) {
            if (total == quint64(memory->size())) {
                const quint64 grown = qMin(qMax<quint64>(2 * total, defBufferSize), declared.size);
                memory->resize(int(qMax(grown, total + 1)));
            }
            into = memory->data() + total;
            room = quint64(memory->size()) - total;
        }
        const int n = unzReadCurrentFile(m_reader, into, unsigned(qMin<quint64>(room, 1u << 30)));
        if (n == 0)
            break;
        if (n < 0) {
            unzCloseCurrentFile(m_reader);
            return fail(what + " is damaged (its data does not inflate)");
        }
        total += quint64(n);
        if (total > declared.size) {
            unzCloseCurrentFile(m_reader);
            return fail(what + " is larger than its header says");
        }
        if (device != nullptr && device->write(buffer, n) != n) {
            unzCloseCurrentFile(m_reader);
            return fail("Could not write the entry " + entry.path + ": " + String(device->errorString()));
        }
    }
    if (memory != nullptr)
        memory->resize(int(total));
    const int closed = unzCloseCurrentFile(m_reader);
    if (closed == UNZ_CRCERROR)
        return fail(what + " is damaged (checksum mismatch)");
    if (closed != UNZ_OK)
        return fail(what + " is damaged");
    if (total != declared.size)
        return fail(what + " is damaged (" + String(QString::number(total)) + " bytes instead of "
                    + String(QString::number(declared.size)) + ")");
    return true;
}

bool ZipArchive::addEntry(const Entry& entry, int level)
{
    m_error.clear();
    if (entry.isDirectory() || !entry.getData())
        return true;
    if (m_path.empty())
        return fail("The zip archive has no file");
    QString name = entry.getPath().qString();
    int strip = 0;
    while (strip < name.size() && isSeparator(name.at(strip)))
        ++strip;
    name.remove(0, strip);
    const QByteArray storedName = name.toUtf8();
    QString readBack;
    if (storedName.isEmpty() || !decodeName(storedName, true, readBack))
        return fail("Refusing to add an entry with an unsafe name: " + displayName(entry.getPath().toByteArray()));

    // The file changes under the reader: drop it and scan anew next time.
    initialise(m_path);
    const MemoryBlock& data = *entry.getData();
    const QFileInfo file(m_path.qString());
    const qint64 existing = file.exists() ? file.size() : 0;
    const int zip64 = (existing + data.size() > max32) ? 1 : 0;
    zipFile zip = zipOpen64(encodedPath(m_path).constData(), existing > 0 ? APPEND_STATUS_ADDINZIP : APPEND_STATUS_CREATE);
    if (zip == nullptr)
        return fail("Cannot open the zip archive " + m_path + " for writing");

    zip_fileinfo info = {};
    info.external_fa = entry.isSymLink() ? (unixLinkType << 16) : 0;
    const bool ascii = std::all_of(storedName.begin(), storedName.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const int zlibLevel = (level >= 0 && level <= 9) ? level : Z_DEFAULT_COMPRESSION;
    if (zipOpenNewFileInZip4_64(zip, storedName.constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                                level == 0 ? 0 : Z_DEFLATED, zlibLevel, 0, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY,
                                nullptr, 0, entry.isSymLink() ? madeByUnix : 0, ascii ? 0 : flagUtf8, zip64)
        != ZIP_OK) {
        zipClose(zip, nullptr);
        return fail("Cannot add the entry " + String(name) + " to the zip archive " + m_path);
    }
    bool written = true;
    const char* bytes = data.get().constData();
    for (int done = 0; written && done < data.size(); done += writeChunk) {
        const int n = qMin(writeChunk, data.size() - done);
        written = zipWriteInFileInZip(zip, bytes + done, static_cast<unsigned>(n)) == ZIP_OK;
    }
    const bool closedEntry = zipCloseFileInZip(zip) == ZIP_OK;
    const bool closedZip = zipClose(zip, nullptr) == ZIP_OK;
    if (!written || !closedEntry || !closedZip)
        return fail("Cannot write the entry " + String(name) + " to the zip archive " + m_path);
    return true;
}

} // namespace vantorix
