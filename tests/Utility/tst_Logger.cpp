#include "Utility/Logger.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "common/FileBytes.h"
#include "common/FullDisk.h"
#include "common/TestSupport.h"

using namespace vantorix;

class tst_Logger : public QObject {
    Q_OBJECT

private slots:
    void init() { Logger::initialise(Logger::defaultMaxSize); }
    void blocksIndent();
    void trimBoundary_data();
    void trimBoundary();
    void flushes();
    void fullDiskKeepsTheOldLog_data();
    void fullDiskKeepsTheOldLog();
    void memoryKeepsTheNewestLines();
};

void tst_Logger::blocksIndent()
{
    Logger::write(String("Offline entryCount=3"));
    const QRegularExpression format(QStringLiteral(
        "^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3}\\tOffline entryCount=3$"));
    QVERIFY2(format.match(Logger::lines().first()).hasMatch(), qPrintable(Logger::lines().first()));
    Logger::initialise(Logger::defaultMaxSize);

    Logger::startBlock(String("Rebuilding product data"));
    Logger::write(String("x"));
    Logger::startBlock(String("inner"));
    Logger::write(String("y"));
    Logger::endBlock();
    Logger::endBlock();
    Logger::write(String("z"));
    const QStringList& lines = Logger::lines();
    QCOMPARE(lines.size(), 5);
    QVERIFY(lines[0].endsWith(QStringLiteral("\t-------- Rebuilding product data")));
    QVERIFY(!lines[0].contains(QStringLiteral("\t\t")));
    QVERIFY(lines[1].endsWith(QStringLiteral("\t\tx")));
    QVERIFY(lines[2].endsWith(QStringLiteral("\t\t-------- inner")));
    QVERIFY(lines[3].endsWith(QStringLiteral("\t\t\ty")));
    QCOMPARE(lines[4].count(QLatin1Char('\t')), 1);

    // Unbalanced ends only shift later lines; a negative depth has no tabs.
    Logger::endBlock();
    Logger::write(String("w"));
    QCOMPARE(Logger::lines().last().count(QLatin1Char('\t')), 0);
}

void tst_Logger::trimBoundary_data()
{
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<qint64>("existingSize");
    QTest::addColumn<qint64>("kept"); // -1: appended to, not trimmed
    QTest::newRow("at the limit appends") << qint64(4194304) << qint64(4194304) << qint64(-1);
    QTest::newRow("one byte more trims") << qint64(4194304) << qint64(4194305) << Logger::retainedTail;
    QTest::newRow("small limit trims to half") << qint64(1000) << qint64(1001) << qint64(500);
    QTest::newRow("large limit keeps 2 MiB") << qint64(8000000) << qint64(8000001) << Logger::retainedTail;
}

void tst_Logger::trimBoundary()
{
    QFETCH(qint64, limit);
    QFETCH(qint64, existingSize);
    QFETCH(qint64, kept);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("com.vantorix.installer.txt"));
    QByteArray existing(int(existingSize), 'a');
    // Mark the first byte of the tail that trimming keeps.
    if (kept > 0)
        existing[int(existingSize - kept)] = 'T';
    writeFile(path, existing);

    Logger::initialise(limit);
    Logger::write(String("new line"));
    const QByteArray newLine = Logger::lines().first().toUtf8() + '\n';
    QVERIFY(Logger::flush(String(path)));

    const QByteArray result = readFile(path);
    if (kept > 0) {
        QCOMPARE(result.size(), int(kept) + 1 + newLine.size());
        QCOMPARE(result.at(0), 'T');
        QCOMPARE(result.at(int(kept)), '\n');
    } else {
        QCOMPARE(result.size(), int(existingSize) + newLine.size());
        QVERIFY(result.startsWith(existing.left(16)));
    }
    QVERIFY(result.endsWith(newLine));
    QVERIFY(Logger::lines().isEmpty());
    QCOMPARE(Logger::limit(), Logger::defaultMaxSize);
}

void tst_Logger::flushes()
{
    // Non-ASCII text is written as UTF-8, one line each.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.txt"));
    Logger::write(String("Zürich Å"));
    Logger::write(String("second"));
    Logger::flush(String(path));
    const QList<QByteArray> lines = readFile(path).split('\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[0].endsWith("\tZ\xC3\xBCrich \xC3\x85"));
    QVERIFY(lines[1].endsWith("\tsecond"));
    QVERIFY(lines[2].isEmpty());

    // Nothing to write leaves the file alone.
    writeFile(path, "old content\n");
    Logger::flush(String(path));
    QCOMPARE(readFile(path), QByteArray("old content\n"));

    // A missing folder is not made; the lines and the block depth go anyway.
    Logger::startBlock(String("block"));
    Logger::write(String("lost"));
    const QString missing = dir.filePath(QStringLiteral("missing/folder/log.txt"));
    Logger::flush(String(missing));
    QVERIFY(!QFile::exists(missing));
    QVERIFY(Logger::lines().isEmpty());
    QCOMPARE(Logger::depth(), short(0));
}

void tst_Logger::fullDiskKeepsTheOldLog_data()
{
    QTest::addColumn<qint64>("limit");
    QTest::newRow("appending") << Logger::defaultMaxSize;
    QTest::newRow("trimming") << qint64(100);
}

// A flush that runs out of room fails and leaves the old log as it was.
void tst_Logger::fullDiskKeepsTheOldLog()
{
    QFETCH(qint64, limit);
    FullDisk disk(testsupport::sandboxDir() + "/full");
    QVERIFY(disk.isReady());
    const QString path = disk.path() + "/log.txt";
    // A whole page: appending needs a new block of the disk.
    const QByteArray old(4096, 'o');
    writeFile(path, old);
    Logger::initialise(limit);
    Logger::write(String("lost"));
    QVERIFY(disk.fill());
    QVERIFY(!Logger::flush(String(path)));
    disk.release();
    QCOMPARE(readFile(path), old);
    QVERIFY(Logger::lines().isEmpty());
}

// A log that is never flushed stays within its limit: the newest lines stay,
// and the first line says how many went.
void tst_Logger::memoryKeepsTheNewestLines()
{
    const qint64 limit = 100000;
    Logger::initialise(limit);
    const QString filler(1000, QLatin1Char('x'));
    for (int i = 0; i < 1000; ++i)
        Logger::write(String(QString::number(i) + filler));
    qint64 size = 0;
    for (const QString& line : Logger::lines())
        size += line.size() + 1;
    QVERIFY2(size <= limit, qPrintable(QString::number(size)));
    QVERIFY(Logger::lines().size() > 50);
    const int dropped = 1000 - (Logger::lines().size() - 1);
    QVERIFY2(Logger::lines().first().endsWith(QStringLiteral("the %1 oldest lines of this run were dropped").arg(dropped)),
             qPrintable(Logger::lines().first()));
    QVERIFY(Logger::lines().last().endsWith(QStringLiteral("\t999") + filler));
    QVERIFY(Logger::lines().at(1).endsWith(QStringLiteral("\t%1").arg(dropped) + filler));
}

QTEST_GUILESS_MAIN(tst_Logger)
#include "tst_Logger.moc"
