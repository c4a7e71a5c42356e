#include "Utility/Logger.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "common/FileBytes.h"

using namespace vantorix;

class tst_Logger : public QObject {
    Q_OBJECT

private slots:
    void init() { Logger::initialise(Logger::defaultMaxSize); }
    void lineFormat();
    void blocksIndent();
    void trimBoundary_data();
    void trimBoundary();
    void flushIntoMissingFolder();
    void flushWithoutLinesKeepsFile();
    void nonAsciiSurvives();
};

void tst_Logger::lineFormat()
{
    Logger::write(String("Offline entryCount=3"));
    QCOMPARE(Logger::lines().size(), 1);
    const QRegularExpression format(QStringLiteral(
        "^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3}\\tOffline entryCount=3$"));
    QVERIFY2(format.match(Logger::lines().first()).hasMatch(), qPrintable(Logger::lines().first()));
}

void tst_Logger::blocksIndent()
{
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
    QTest::addColumn<qint64>("existingSize");
    QTest::addColumn<bool>("trimmed");
    QTest::newRow("at the limit appends") << qint64(4194304) << false;
    QTest::newRow("one byte more trims") << qint64(4194305) << true;
}

void tst_Logger::trimBoundary()
{
    QFETCH(qint64, existingSize);
    QFETCH(bool, trimmed);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("com.vantorix.installer.txt"));
    QByteArray existing(int(existingSize), 'a');
    // Mark the first byte of the tail that trimming keeps.
    existing[int(existingSize - Logger::retainedTail)] = 'T';
    writeFile(path, existing);

    Logger::initialise(4194304);
    Logger::write(String("new line"));
    const QByteArray newLine = Logger::lines().first().toUtf8() + '\n';
    Logger::flush(String(path));

    const QByteArray result = readFile(path);
    if (trimmed) {
        QCOMPARE(result.size(), int(Logger::retainedTail) + 1 + newLine.size());
        QCOMPARE(result.at(0), 'T');
        QCOMPARE(result.at(int(Logger::retainedTail)), '\n');
        QVERIFY(result.endsWith(newLine));
    } else {
        QCOMPARE(result.size(), int(existingSize) + newLine.size());
        QVERIFY(result.startsWith(existing.left(16)));
        QVERIFY(result.endsWith(newLine));
    }
    QVERIFY(Logger::lines().isEmpty());
    QCOMPARE(Logger::limit(), Logger::defaultMaxSize);
}

void tst_Logger::flushIntoMissingFolder()
{
    QTemporaryDir dir;
    Logger::startBlock(String("block"));
    Logger::write(String("lost"));
    const QString path = dir.filePath(QStringLiteral("missing/folder/log.txt"));
    Logger::flush(String(path));
    QVERIFY(!QFile::exists(path));
    QVERIFY(Logger::lines().isEmpty());
    QCOMPARE(Logger::depth(), short(0));
}

void tst_Logger::flushWithoutLinesKeepsFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.txt"));
    writeFile(path, "old content\n");
    Logger::flush(String(path));
    QCOMPARE(readFile(path), QByteArray("old content\n"));
}

void tst_Logger::nonAsciiSurvives()
{
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
}

QTEST_GUILESS_MAIN(tst_Logger)
#include "tst_Logger.moc"
