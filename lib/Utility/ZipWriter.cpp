#include "Utility/ZipWriter.h"

#include "Utility/ZipArchive.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace vantorix {

namespace {

// Entries at or above this size need the zip's 64-bit extensions.
constexpr qint64 max32 = 0xFFFFFFFFLL;
// General purpose flag: the name is UTF-8.
constexpr unsigned long flagUtf8 = 1u << 11;

// Flushes the file's bytes to the disk. False when the system says it could
// not (a full disk shows here at the latest on some file systems).
bool syncFile(const QString& path)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (descriptor < 0)
        return false;
    const bool synced = ::fsync(descriptor) == 0;
    return ::close(descriptor) == 0 && synced;
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

ZipWriter::ZipWriter(const QString& target) : m_target(target) {}

ZipWriter::~ZipWriter()
{
    abandon();
}

bool ZipWriter::fail(const QString& error)
{
    m_failed = true;
    if (m_error.empty())
        m_error = String(error);
    return false;
}

bool ZipWriter::open()
{
    if (m_zip != nullptr || m_failed)
        return fail(QStringLiteral("the zip file is already open"));
    const QFileInfo target(m_target);
    // A name of its own for every writer: two saves of the same target never
    // write into one temporary file.
    m_temporary = target.absolutePath() + QLatin1Char('/') + target.fileName() + QLatin1Char('.')
        + QString::number(QRandomGenerator::global()->generate(), 16) + QStringLiteral(".part");
    errno = 0;
    m_zip = zipOpen64(QFile::encodeName(m_temporary).constData(), APPEND_STATUS_CREATE);
    if (m_zip == nullptr) {
        const QString reason = errno != 0 ? systemError() : QStringLiteral("cannot be created");
        m_temporary.clear();
        return fail(QStringLiteral("%1: %2").arg(target.absolutePath(), reason));
    }
    m_buffer.resize(blockSize);
    return true;
}

bool ZipWriter::addEntry(const QString& name, const QByteArray& bytes, int level)
{
    QByteArray copy = bytes;
    QBuffer source(&copy);
    source.open(QIODevice::ReadOnly);
    return addEntry(name, source, copy.size(), level);
}

bool ZipWriter::addEntry(const QString& name, QIODevice& source, qint64 size, int level)
{
    if (m_zip == nullptr || m_failed)
        return fail(QStringLiteral("the zip file is not open"));
    const QByteArray storedName = name.toUtf8();
    if (storedName.isEmpty() || !ZipArchive::isSafeName(storedName) || storedName.startsWith('/') ||
        storedName.endsWith('/') || storedName.endsWith('\\')) {
        // A name the reader would refuse is not written; the archive itself
        // is as good as before, so it can go on.
        m_error = String(QStringLiteral("refusing the entry name \"%1\"").arg(name));
        return false;
    }
    zip_fileinfo info = {};
    const QDateTime now = QDateTime::currentDateTime();
    info.tmz_date.tm_year = unsigned(now.date().year());
    info.tmz_date.tm_mon = unsigned(now.date().month() - 1);
    info.tmz_date.tm_mday = unsigned(now.date().day());
    info.tmz_date.tm_hour = unsigned(now.time().hour());
    info.tmz_date.tm_min = unsigned(now.time().minute());
    info.tmz_date.tm_sec = unsigned(now.time().second());
    const bool ascii = std::all_of(storedName.begin(), storedName.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const int zlibLevel = (level >= 0 && level <= 9) ? level : Z_DEFAULT_COMPRESSION;
    const int zip64 = (size < 0 || size >= max32) ? 1 : 0;
    errno = 0;
    if (zipOpenNewFileInZip4_64(m_zip, storedName.constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                                level == 0 ? 0 : Z_DEFLATED, zlibLevel, 0, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY,
                                nullptr, 0, 0, ascii ? 0 : flagUtf8, zip64)
        != ZIP_OK)
        return fail(QStringLiteral("cannot add %1: %2").arg(name, systemError()));
    qint64 copied = 0;
    for (;;) {
        const qint64 n = source.read(m_buffer.data(), m_buffer.size());
        if (n < 0) {
            zipCloseFileInZip(m_zip);
            return fail(QStringLiteral("cannot read %1: %2").arg(name, source.errorString()));
        }
        if (n == 0)
            break;
        errno = 0;
        if (zipWriteInFileInZip(m_zip, m_buffer.constData(), static_cast<unsigned>(n)) != ZIP_OK) {
            const QString reason = systemError();
            zipCloseFileInZip(m_zip);
            return fail(QStringLiteral("cannot write %1: %2").arg(name, reason));
        }
        copied += n;
        m_written += n;
    }
    if (size >= 0 && copied != size) {
        zipCloseFileInZip(m_zip);
        return fail(QStringLiteral("%1 changed while it was copied (%2 of %3 bytes)")
                        .arg(name, QString::number(copied), QString::number(size)));
    }
    errno = 0;
    if (zipCloseFileInZip(m_zip) != ZIP_OK)
        return fail(QStringLiteral("cannot write %1: %2").arg(name, systemError()));
    return true;
}

bool ZipWriter::closeZip()
{
    if (m_zip == nullptr)
        return true;
    errno = 0;
    const bool closed = zipClose(m_zip, nullptr) == ZIP_OK;
    m_zip = nullptr;
    return closed;
}

bool ZipWriter::commit()
{
    if (m_zip == nullptr || m_failed) {
        abandon();
        return fail(QStringLiteral("the zip file is not complete"));
    }
    if (!closeZip()) {
        const QString reason = systemError();
        abandon();
        return fail(QStringLiteral("cannot finish %1: %2").arg(m_target, reason));
    }
    if (!syncFile(m_temporary)) {
        const QString reason = systemError();
        abandon();
        return fail(QStringLiteral("cannot finish %1: %2").arg(m_target, reason));
    }
    // rename() replaces the target in one step: a reader sees the old file
    // or the new one, never a part.
    if (std::rename(QFile::encodeName(m_temporary).constData(), QFile::encodeName(m_target).constData()) != 0) {
        const QString reason = systemError();
        abandon();
        return fail(QStringLiteral("cannot replace %1: %2").arg(m_target, reason));
    }
    m_temporary.clear();
    return true;
}

void ZipWriter::abandon()
{
    closeZip();
    if (!m_temporary.isEmpty()) {
        QFile::remove(m_temporary);
        m_temporary.clear();
    }
    m_failed = true;
}

} // namespace vantorix
