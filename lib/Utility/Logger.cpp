#include "Utility/Logger.h"

#include "File/SaveWhole.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace vantorix {

QStringList Logger::log;
short Logger::indentCount = 0;
qint64 Logger::maxSize = Logger::defaultMaxSize;
qint64 Logger::logSize = 0;
qint64 Logger::droppedLines = 0;

namespace {

QString formatLine(const QString& text, short depth)
{
    QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    for (int level = 0; level <= depth; ++level)
        line += QLatin1Char('\t');
    line += text;
    return line;
}

} // namespace

void Logger::initialise(qint64 size)
{
    log.clear();
    indentCount = 0;
    maxSize = size;
    logSize = 0;
    droppedLines = 0;
}

void Logger::write(const String& text)
{
    const QString line = formatLine(text.qString(), indentCount);
    log.append(line);
    logSize += line.size() + 1;
    keepWithinMemory();
}

// A log that is never flushed (a long run, a log folder that cannot be
// written) would otherwise grow without bound. Past the cap the oldest lines
// go, down to three quarters of it, so that dropping is not repeated at
// every line; the first line then tells how many went.
void Logger::keepWithinMemory()
{
    const qint64 cap = qMax(maxSize, memoryFloor);
    if (logSize <= cap)
        return;
    if (droppedLines > 0) {
        logSize -= log.first().size() + 1;
        log.removeFirst();
    }
    const qint64 target = cap / 4 * 3;
    while (log.size() > 1 && logSize > target) {
        logSize -= log.first().size() + 1;
        log.removeFirst();
        ++droppedLines;
    }
    const QString note = formatLine(QStringLiteral("The log holds at most %1 characters in memory: the %2 oldest lines "
                                                   "of this run were dropped")
                                        .arg(cap)
                                        .arg(droppedLines),
                                    0);
    log.prepend(note);
    logSize += note.size() + 1;
}

void Logger::startBlock(const String& title)
{
    write(String("-------- ") + title);
    ++indentCount;
}

void Logger::endBlock()
{
    --indentCount;
}

namespace {

QByteArray encodedLines(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toUtf8();
        bytes += '\n';
    }
    return bytes;
}

const QFileDevice::Permissions logPermissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner
    | QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::ReadOther;

// Rewrites an oversized log as its last part (half the limit, at most
// 2 MiB), a line feed and the new lines. The retained tail is taken byte for
// byte (it may start inside a line), and the new file replaces the old one
// only once it is complete.
bool rewriteTrimmed(const QString& path, qint64 size, qint64 limit, const QByteArray& newLines)
{
    const qint64 keep = qMin(size, qBound(qint64(0), limit / 2, Logger::retainedTail));
    QFile old(path);
    if (!old.open(QIODevice::ReadOnly) || !old.seek(size - keep))
        return false;
    QByteArray bytes = old.read(keep);
    old.close();
    if (bytes.size() != keep)
        return false;
    if (!bytes.isEmpty())
        bytes += '\n';
    bytes += newLines;
    return saveWhole(path, bytes, logPermissions);
}

// Appends to the file, making it when missing. A write that fails half way
// (a full disk) is cut off again, so the old content stays as it was.
bool append(const QString& path, const QByteArray& newLines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    const qint64 oldSize = file.size();
    if (file.write(newLines) == newLines.size() && file.flush())
        return true;
    file.resize(oldSize);
    return false;
}

} // namespace

bool Logger::flush(const String& path)
{
    const QString filePath = path.qString();
    const QByteArray newLines = encodedLines(log);
    const QFileInfo info(filePath);
    bool written = false;
    if (info.exists() && info.size() > maxSize)
        written = rewriteTrimmed(filePath, info.size(), maxSize, newLines);
    if (!written)
        written = append(filePath, newLines);
    initialise(defaultMaxSize);
    return written;
}

} // namespace vantorix
