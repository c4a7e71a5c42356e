#include "File/DataFile.h"

#include "File/Directory.h"
#include "Interface/Chooser.h"

#include <QDir>

#include <algorithm>
#include <limits>

namespace vantorix {

namespace {

const qint64 copyChunk = 16384;

QString joined(const Directory& folder, const String& name)
{
    return folder.getURL().qString() + QLatin1Char('/') + name.qString();
}

} // namespace

DataFile::DataFile() : m_openPermission(readWrite)
{
}

DataFile::DataFile(const String& path, Permission permission, bool create)
    : File(path), m_permission(permission), m_file(std::make_unique<QFile>(path.qString())),
      m_openPermission(permission)
{
    if (create)
        createAt(path.qString());
}

DataFile::DataFile(const Directory& folder, const String& name, Permission permission, bool create)
    : DataFile(String(joined(folder, name)), permission, create)
{
}

DataFile::DataFile(const DataFile& other)
    : File(other), m_permission(other.m_permission), m_openPermission(other.m_permission)
{
    if (other.m_file)
        m_file = std::make_unique<QFile>(other.m_file->fileName());
}

DataFile& DataFile::operator=(const DataFile& other)
{
    if (this == &other)
        return *this;
    File::operator=(other);
    m_permission = other.m_permission;
    m_openPermission = other.m_permission;
    m_file.reset(other.m_file ? new QFile(other.m_file->fileName()) : nullptr);
    return *this;
}

DataFile::~DataFile() = default;

DataFile* DataFile::create(const Directory& folder, const String& name, Permission permission, int& error,
                           const String& extension, unsigned, unsigned)
{
    auto file = std::make_unique<DataFile>(folder, name + "." + extension, permission, true);
    if (!file->exists()) {
        error = 2;
        return nullptr;
    }
    error = 0;
    return file.release();
}

void DataFile::createAt(const QString& path)
{
    if (QFileInfo::exists(path))
        return;
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash > 0)
        QDir().mkpath(path.left(slash));
    QFile file(path);
    if (file.open(QIODevice::ReadWrite))
        file.close();
    else
        setLastError(file.error());
}

DataFile* DataFile::clone() const
{
    return new DataFile(*this);
}

bool DataFile::exists() const
{
    // A bundle is a folder, yet callers treat it as one item: anything at the
    // path counts.
    return info().exists();
}

bool DataFile::isFolder() const
{
    return false;
}

void DataFile::setName(const String& path)
{
    setPathName(path);
}

void DataFile::setPathName(const String& path)
{
    File::setPathName(path);
    m_file = std::make_unique<QFile>(path.qString());
}

bool DataFile::open(Permission permission) const
{
    if (!m_file)
        return false;
    const QIODevice::OpenMode mode = permission & QIODevice::ReadWrite;
    if (mode == QIODevice::NotOpen)
        return false;
    qint64 position = 0;
    if (m_file->isOpen()) {
        if ((m_openPermission & QIODevice::ReadWrite) == mode)
            return true;
        position = m_file->pos();
        m_file->close();
    }
    bool opened = false;
    if (mode == QIODevice::WriteOnly) {
        // The toolkit truncates a file opened write-only; read-write keeps the
        // content, and callers cut it explicitly with setSize(0) when they mean to.
        opened = m_file->open(QIODevice::ReadWrite);
        if (!opened && (!m_file->exists() || m_file->size() == 0))
            opened = m_file->open(QIODevice::WriteOnly);
    } else {
        opened = m_file->open(mode);
    }
    if (!opened) {
        setLastError(m_file->error());
        return false;
    }
    m_openPermission = mode;
    if (position > 0)
        m_file->seek(position);
    setLastError(0);
    return true;
}

bool DataFile::ensureOpen() const
{
    return m_file && (m_file->isOpen() || open(m_permission));
}

void DataFile::close() const
{
    if (m_file)
        m_file->close();
}

bool DataFile::isOpen() const
{
    return m_file && m_file->isOpen();
}

String DataFile::getLocation() const
{
    return m_file ? String(m_file->fileName()) : String();
}

long long DataFile::getPosition() const
{
    return ensureOpen() ? m_file->pos() : 0;
}

long long DataFile::getSize() const
{
    // Asking the size of a missing file must not create it (a read-write
    // open would): its size is 0.
    if (m_file && !m_file->isOpen() && !m_file->exists())
        return 0;
    return ensureOpen() ? m_file->size() : 0;
}

bool DataFile::read(String& text, long long& count) const
{
    if (!ensureOpen()) {
        count = 0;
        return false;
    }
    if (count <= 0) {
        count = 0;
        return true;
    }
    const QByteArray bytes = m_file->read(count);
    count = bytes.size();
    if (count > 0)
        text = String(QString::fromUtf8(bytes));
    return true;
}

bool DataFile::read(char* const& buffer, long long& count) const
{
    if (!buffer || !ensureOpen()) {
        count = 0;
        return false;
    }
    if (count <= 0) {
        count = 0;
        return true;
    }
    const qint64 done = m_file->read(buffer, count);
    if (done < 0) {
        setLastError(m_file->error());
        count = 0;
        return false;
    }
    count = done;
    return true;
}

bool DataFile::read(QByteArray& buffer, long long offset, long long& count) const
{
    if (count < 1)
        count = buffer.size();
    if (offset < 0 || count < 1 || !ensureOpen()) {
        count = 0;
        return false;
    }
    const long long oldSize = buffer.size();
    if (offset + count > std::numeric_limits<int>::max()) {
        count = 0;
        return false;
    }
    if (oldSize < offset + count)
        buffer.resize(int(offset + count));
    const qint64 done = m_file->read(buffer.data() + offset, count);
    if (done < 0) {
        setLastError(m_file->error());
        buffer.resize(int(oldSize));
        count = 0;
        return false;
    }
    // Grow only by what was read; the caller's buffer never shrinks.
    buffer.resize(int(std::max(oldSize, offset + done)));
    count = done;
    return done > 0;
}

bool DataFile::readAll(QByteArray& bytes) const
{
    if (!ensureOpen())
        return false;
    bytes = m_file->readAll();
    return true;
}

long long DataFile::skip(long long n) const
{
    if (!ensureOpen())
        return 0;
    const long long from = m_file->pos();
    const long long to = std::clamp(from + n, 0LL, static_cast<long long>(m_file->size()));
    if (!m_file->seek(to))
        return 0;
    return to - from;
}

Directory* DataFile::getParent() const
{
    return new Directory(String(info().absolutePath()), false);
}

bool DataFile::setPosition(long long position)
{
    return ensureOpen() && position >= 0 && m_file->seek(position);
}

bool DataFile::setSize(long long size)
{
    return ensureOpen() && size >= 0 && m_file->resize(size);
}

bool DataFile::write(const String& text) const
{
    const QByteArray bytes = text.toByteArray();
    return write(bytes, 0, bytes.size());
}

bool DataFile::write(const QByteArray& bytes, int offset, int count) const
{
    if (offset < 0 || offset > bytes.size())
        return false;
    if (count < 0)
        count = bytes.size() - offset;
    if (count > bytes.size() - offset || !ensureOpen())
        return false;
    if (count == 0)
        return true;
    return putBytes(bytes.constData() + offset, count);
}

bool DataFile::write(char* bytes, long long count) const
{
    if (count < 0 || (!bytes && count > 0) || !ensureOpen())
        return false;
    if (count == 0)
        return true;
    return putBytes(bytes, count);
}

bool DataFile::write(const DataFile& source) const
{
    if (&source == this || !source.ensureOpen() || !ensureOpen() || !source.m_file->seek(0))
        return false;
    const qint64 total = source.m_file->size();
    qint64 copied = 0;
    char chunk[copyChunk];
    for (;;) {
        const qint64 got = source.m_file->read(chunk, copyChunk);
        if (got < 0) {
            setLastError(source.m_file->error());
            return false;
        }
        if (got == 0)
            break;
        if (!putBytes(chunk, got))
            return false;
        copied += got;
    }
    return copied == total;
}

bool DataFile::putBytes(const char* bytes, qint64 count) const
{
    // The toolkit keeps small writes in its buffer and reports a full disk
    // only when it flushes them, which close() does silently: flushed here,
    // a write that did not reach the file system fails.
    if (m_file->write(bytes, count) != count || !m_file->flush()) {
        setLastError(m_file->error());
        return false;
    }
    return true;
}

bool DataFile::erase() const
{
    if (!m_file)
        return false;
    m_file->close();
    if (!m_file->remove()) {
        setLastError(m_file->error());
        return false;
    }
    return true;
}

bool DataFile::flush()
{
    if (!m_file)
        return false;
    return !m_file->isOpen() || m_file->flush();
}

bool DataFile::link(const String& linkPath)
{
    if (!m_file)
        return false;
    return QFile::link(info().absoluteFilePath(), linkPath.qString());
}

DataFile* DataFile::promptOpen(const String& title, const String& typeName, const String& extension,
                               QWidget* parent)
{
    const String path = Chooser::choose(Chooser::fileRequest(Chooser::openFile, title, typeName, extension, parent));
    return path.empty() ? nullptr : new DataFile(path, readWrite, false);
}

DataFile* DataFile::promptSave(const String& title, const String& typeName, const String& extension,
                               QWidget* parent)
{
    const String path = Chooser::choose(Chooser::fileRequest(Chooser::saveFile, title, typeName, extension, parent));
    return path.empty() ? nullptr : new DataFile(path, readWrite, false);
}

} // namespace vantorix
