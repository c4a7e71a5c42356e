#include "Utility/Logger.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace vantorix {

QStringList Logger::log;
short Logger::indentCount = 0;
qint64 Logger::maxSize = Logger::defaultMaxSize;

void Logger::initialise(qint64 size)
{
    log.clear();
    indentCount = 0;
    maxSize = size;
}

void Logger::write(const String& text)
{
    QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    for (int depth = 0; depth <= indentCount; ++depth)
        line += QLatin1Char('\t');
    line += text.qString();
    log.append(line);
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

// Rewrites an oversized log as its last bytes, a line feed and the new
// lines. The retained tail is taken byte for byte (it may start inside a
// line), and the new file replaces the old one only once it is complete.
bool rewriteTrimmed(const QString& path, qint64 size, const QByteArray& newLines)
{
    QFile old(path);
    if (!old.open(QIODevice::ReadOnly))
        return false;
    if (!old.seek(size - Logger::retainedTail))
        return false;
    const QByteArray tail = old.read(Logger::retainedTail);
    old.close();

    QSaveFile trimmed(path);
    if (!trimmed.open(QIODevice::WriteOnly))
        return false;
    if (!tail.isEmpty()) {
        trimmed.write(tail);
        trimmed.write("\n", 1);
    }
    trimmed.write(newLines);
    return trimmed.commit();
}

} // namespace

void Logger::flush(const String& path)
{
    const QString filePath = path.qString();
    const QByteArray newLines = encodedLines(log);
    const QFileInfo info(filePath);
    bool written = false;
    if (info.exists() && info.size() > maxSize)
        written = rewriteTrimmed(filePath, info.size(), newLines);
    if (!written) {
        QFile file(filePath);
        if (file.open(QIODevice::WriteOnly | QIODevice::Append))
            file.write(newLines);
    }
    initialise(defaultMaxSize);
}

} // namespace vantorix
