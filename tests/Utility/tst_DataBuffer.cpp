#include "File/DataFile.h"
#include "Utility/DataBufferIn.h"
#include "Utility/DataBufferOut.h"
#include "Utility/MemoryBlock.h"

#include <QTemporaryDir>
#include <QtTest>

#include "common/FileBytes.h"

using namespace vantorix;

class tst_DataBuffer : public QObject {
    Q_OBJECT

private slots:
    void scans();
    void positions();
    void getLine();
    void getAndSkip();
    void fileSourceAcrossBlocks();
    void stringDestination();
    void fileDestinationAppends();
    void blockDestinationAndNumbers();

private:
    QTemporaryDir m_dir;
};

void tst_DataBuffer::scans()
{
    // Without consuming, the delimiter stays for the next scan; text is
    // appended to what the target held; a set of delimiters is bytes, so
    // UTF-8 letters pass through.
    DataBufferIn in(String(QStringLiteral("h\u00e9llo<w\u00f6rld> x")), Encoding::UTF8);
    String text("[");
    QCOMPARE(in.iterateTo('<', &text, false), 0);
    QCOMPARE(text.qString(), QStringLiteral("[h\u00e9llo"));
    text.clear();
    QCOMPARE(in.iterateTo("<", &text, true), 0);
    QVERIFY(text.empty());
    QCOMPARE(in.iterateTo(String("> "), &text, true), 0);
    QCOMPARE(text.qString(), QStringLiteral("w\u00f6rld"));
    text.clear();
    QCOMPARE(in.iterateTo('#', &text, true), 1); // to the end
    QCOMPARE(text.qString(), QStringLiteral(" x"));
    QVERIFY(in.eof());
    QCOMPARE(in.iterateTo('#', &text, true), 1);

    DataBufferIn empty;
    QCOMPARE(empty.iterateTo('>', nullptr, true), 1);
    char c = 0;
    QVERIFY(!empty.get(c));
}

void tst_DataBuffer::positions()
{
    // Each line end counts one row, whichever of CR, LF, CR LF it is; LF CR is two.
    const struct { const char* bytes; int row; int column; } ends[] = {
        {"abc", 1, 3}, {"a\r\nb", 2, 2}, {"a\n\rb", 3, 2}, {"a\n\nb", 3, 2}, {"a\rbc", 2, 3}};
    for (const auto& c : ends) {
        DataBufferIn in(String(c.bytes), Encoding::UTF8);
        QCOMPARE(in.getRowPosition(), 1);
        QCOMPARE(in.getColPosition(), 0);
        QCOMPARE(in.iterateTo('#', nullptr, true), 1);
        QCOMPARE(in.getRowPosition(), c.row);
        QCOMPARE(in.getColPosition(), c.column);
    }

    // A scan that stops before its delimiter does not count that byte twice.
    DataBufferIn in(String("ab<cd>\n<e>"), Encoding::UTF8);
    QCOMPARE(in.iterateTo('<', nullptr, false), 0);
    QCOMPARE(in.getColPosition(), 3);
    QCOMPARE(in.iterateTo('<', nullptr, true), 0);
    QCOMPARE(in.getColPosition(), 3);
    QCOMPARE(in.iterateTo('>', nullptr, true), 0);
    QCOMPARE(in.getColPosition(), 6);
    QCOMPARE(in.iterateTo('e', nullptr, true), 0);
    QCOMPARE(in.getRowPosition(), 2);
    QCOMPARE(in.getColPosition(), 3);
}

void tst_DataBuffer::getLine()
{
    // Line ends of each kind, read with and without keeping them.
    const struct { const char* bytes; bool keep; const char* first; const char* second; } lines[] = {
        {"one\ntwo", false, "one\n", "two"}, {"one\r\ntwo\r\n", false, "one\r", "two\r"},
        {"one\n\rtwo", true, "one\n\r", "two"}, {"one\n\ntwo", true, "one\n", "\n"}};
    for (const auto& c : lines) {
        DataBufferIn in(MemoryBlock(c.bytes, int(qstrlen(c.bytes))), Encoding::UTF8);
        String line;
        in.getLine(line, c.keep);
        QCOMPARE(line.qString(), QString::fromLatin1(c.first));
        line.clear();
        in.getLine(line, c.keep);
        QCOMPARE(line.qString(), QString::fromLatin1(c.second));
    }
}

void tst_DataBuffer::getAndSkip()
{
    DataBufferIn in(String("abcdefgh"), Encoding::UTF8);
    char c = 0;
    QVERIFY(in.get(c));
    QCOMPARE(c, 'a');
    in.skip(0);
    in.skip(-3);
    in.skip(2);
    QVERIFY(in.get(c));
    QCOMPARE(c, 'd');
    QCOMPARE(in.dataLength(), 4);
    in.skip(10);
    QVERIFY(in.eof());
    QCOMPARE(in.dataLength(), 0);
    QVERIFY(!in.get(c));

    // From a file, a skip past the loaded block loads the next.
    QByteArray bytes(DataBufferIn::bufferSize * 2, 'a');
    bytes[DataBufferIn::bufferSize + 10] = 'X';
    const QString path = m_dir.filePath(QStringLiteral("skip.bin"));
    writeFile(path, bytes);
    DataFile file(String(path), DataFile::readWrite, false);
    DataBufferIn fromFile(&file, Encoding::UTF8);
    QVERIFY(fromFile.get(c)); // loads the first block
    fromFile.skip(DataBufferIn::bufferSize + 9);
    QVERIFY(!fromFile.eof());
    QVERIFY(fromFile.get(c));
    QCOMPARE(c, 'X');
    fromFile.skip(DataBufferIn::bufferSize);
    QVERIFY(fromFile.eof());
}

void tst_DataBuffer::fileSourceAcrossBlocks()
{
    // Lines of varied length so that lines and UTF-8 sequences straddle the
    // 61440-byte blocks.
    QByteArray bytes;
    QStringList expected;
    for (int i = 0; bytes.size() < 3 * DataBufferIn::bufferSize + 100; ++i) {
        const QString line = QStringLiteral("line %1 \u00e9\u20ac ").arg(i) + QString(i % 37, QLatin1Char('x'));
        expected << line;
        bytes += line.toUtf8() + '\n';
    }
    const QString path = m_dir.filePath(QStringLiteral("lines.txt"));
    writeFile(path, bytes);
    DataFile file(String(path), DataFile::readWrite, false);
    DataBufferIn in(&file, Encoding::UTF8);
    int index = 0;
    for (;;) {
        String line;
        const int result = in.iterateTo('\n', &line, true);
        if (result == 1) {
            QVERIFY(line.empty());
            break;
        }
        QCOMPARE(result, 0);
        QVERIFY(index < expected.size());
        QCOMPARE(line.qString(), expected.at(index));
        ++index;
        QCOMPARE(in.getRowPosition(), index + 1);
    }
    QCOMPARE(index, expected.size());
    QVERIFY(!in.fail());
}

void tst_DataBuffer::stringDestination()
{
    // Text reaches the string on flush, appended to what it held.
    String target("start:");
    {
        DataBufferOut out(&target);
        out.write(String(QStringLiteral("h\u00e9")));
        out.put('!');
        QCOMPARE(target.qString(), QStringLiteral("start:"));
        out.flush();
        QCOMPARE(target.qString(), QStringLiteral("start:h\u00e9!"));
        out << 42 << true;
    }
    QCOMPARE(target.qString(), QStringLiteral("start:h\u00e9!421"));

    // A UTF-8 sequence split by a full buffer arrives whole.
    target.clear();
    {
        DataBufferOut out(&target);
        out.write(QByteArray(DataBufferOut::bufferSize - 1, 'a'));
        out.write(QStringLiteral("\u20ac").toUtf8());
        out.flush();
    }
    QCOMPARE(target.size(), DataBufferOut::bufferSize);
    QCOMPARE(target.qString().right(1), QStringLiteral("\u20ac"));
}

void tst_DataBuffer::fileDestinationAppends()
{
    const QString path = m_dir.filePath(QStringLiteral("append.txt"));
    writeFile(path, "first\n");
    {
        DataFile file(String(path), DataFile::readWrite, false);
        DataBufferOut out(&file);
        out.write(String("second\n"));
        QCOMPARE(readFile(path), QByteArray("first\n"));
    }
    QCOMPARE(readFile(path), QByteArray("first\nsecond\n"));

    // Large output goes out in whole blocks.
    const QString big = m_dir.filePath(QStringLiteral("big.txt"));
    {
        DataFile file(String(big), DataFile::readWrite, true);
        DataBufferOut out(&file);
        for (int i = 0; i < 3 * DataBufferOut::bufferSize; ++i)
            out.put(char('a' + i % 26));
        QCOMPARE(readFile(big).size(), 2 * DataBufferOut::bufferSize);
    }
    QCOMPARE(readFile(big).size(), 3 * DataBufferOut::bufferSize);
}

void tst_DataBuffer::blockDestinationAndNumbers()
{
    MemoryBlock block;
    {
        DataBufferOut out(&block);
        out << 2.5 << ' ' << short(-3) << ' ' << (unsigned short)7 << ' ' << 8u << ' ' << false;
        out.setFlags(VantIO::boolAlpha);
        out << true;
    }
    // A char goes through the int overload: 32 for the blank.
    QCOMPARE(block.get(), QByteArray("2.532-3327328320true"));

    DataBufferOut nowhere;
    nowhere.write(String("discarded"));
    nowhere.flush();
    QVERIFY(nowhere.good());
}

QTEST_GUILESS_MAIN(tst_DataBuffer)
#include "tst_DataBuffer.moc"
