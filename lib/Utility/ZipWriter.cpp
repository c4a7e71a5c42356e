#include "Utility/ZipWriter.h"

#include "Utility/ZipArchive.h"

#include <QFile>
#include <QIODevice>

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <vector>

namespace vantorix {

namespace {

// Names in UTF-8 (general purpose flag 11).
const unsigned long flagUtf8 = 0x800;
// Past this size an entry needs the zip's 64-bit fields.
const qint64 max32 = 0xFFFFFFFFLL;

} // namespace

ZipWriter::~ZipWriter()
{
    if (m_zip != nullptr)
        zipClose(static_cast<zipFile>(m_zip), nullptr);
}

bool ZipWriter::fail(const String& error)
{
    m_error = error;
    return false;
}

bool ZipWriter::open(const String& path)
{
    m_error.clear();
    if (m_zip != nullptr)
        return fail("The zip archive " + m_path + " is open already");
    m_path = path;
    m_damaged = false;
    m_zip = zipOpen64(QFile::encodeName(path.qString()).constData(), APPEND_STATUS_CREATE);
    if (m_zip == nullptr)
        return fail("Cannot create the zip archive " + path);
    return true;
}

bool ZipWriter::startEntry(const String& name, qint64 expectedSize)
{
    m_error.clear();
    if (m_zip == nullptr || m_damaged)
        return fail("The zip archive " + m_path + " is not open for writing");
    const QByteArray stored = name.qString().toUtf8();
    if (stored.isEmpty() || !ZipArchive::isSafeName(stored) || ZipArchive::isDirectoryPath(name))
        return fail("Refusing to add an entry with an unsafe name: " + name);
    zip_fileinfo info = {};
    const bool ascii =
        std::all_of(stored.begin(), stored.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const int zip64 = expectedSize < 0 || expectedSize >= max32 ? 1 : 0;
    if (zipOpenNewFileInZip4_64(static_cast<zipFile>(m_zip), stored.constData(), &info, nullptr, 0, nullptr, 0,
                                nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY,
                                nullptr, 0, 0, ascii ? 0 : flagUtf8, zip64)
        != ZIP_OK) {
        m_damaged = true;
        return fail("Cannot add the entry " + name + " to the zip archive " + m_path);
    }
    return true;
}

bool ZipWriter::finishEntry(bool written, const String& name)
{
    const bool closed = zipCloseFileInZip(static_cast<zipFile>(m_zip)) == ZIP_OK;
    if (written && closed)
        return true;
    // minizip cannot take an entry back: the archive is of no use now.
    m_damaged = true;
    return fail("Cannot write the entry " + name + " to the zip archive " + m_path);
}

bool ZipWriter::addData(const String& name, const QByteArray& bytes)
{
    if (!startEntry(name, bytes.size()))
        return false;
    bool written = true;
    for (int done = 0; written && done < bytes.size(); done += blockSize) {
        const int n = std::min(blockSize, bytes.size() - done);
        written = zipWriteInFileInZip(static_cast<zipFile>(m_zip), bytes.constData() + done, unsigned(n)) == ZIP_OK;
    }
    return finishEntry(written, name);
}

bool ZipWriter::addDevice(const String& name, QIODevice& device, qint64 maxBytes)
{
    const qint64 expected = maxBytes >= 0 ? maxBytes : (device.isSequential() ? -1 : device.size() - device.pos());
    if (!startEntry(name, expected))
        return false;
    std::vector<char> buffer(blockSize);
    qint64 left = maxBytes;
    bool written = true;
    while (written && left != 0) {
        const qint64 want = left < 0 ? blockSize : std::min<qint64>(blockSize, left);
        const qint64 got = device.read(buffer.data(), want);
        if (got < 0) {
            written = false;
            break;
        }
        if (got == 0)
            break;
        written = zipWriteInFileInZip(static_cast<zipFile>(m_zip), buffer.data(), unsigned(got)) == ZIP_OK;
        if (left > 0)
            left -= got;
    }
    return finishEntry(written, name);
}

bool ZipWriter::close()
{
    m_error.clear();
    if (m_zip == nullptr)
        return fail("The zip archive " + m_path + " is not open for writing");
    const bool closed = zipClose(static_cast<zipFile>(m_zip), nullptr) == ZIP_OK;
    m_zip = nullptr;
    if (!closed || m_damaged)
        return fail("Cannot finish the zip archive " + m_path);
    return true;
}

} // namespace vantorix
