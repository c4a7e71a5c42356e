#include "Serialise/Base64Coder.h"
#include "Serialise/HexCoder.h"
#include "Utility/DataBufferIn.h"
#include "Utility/DataBufferOut.h"
#include "Utility/MemoryBlock.h"

#include <QtTest>

using namespace vantorix;

class tst_Coders : public QObject {
    Q_OBJECT

private slots:
    void base64_data();
    void base64();
    void base64LineBreaks_data();
    void base64LineBreaks();
    void base64Rejects_data();
    void base64Rejects();
    void hex_data();
    void hex();
    void hexRejects_data();
    void hexRejects();
    void hexWords();
    void streams_data();
    void streams();
    void streamLimits();
};

void tst_Coders::base64_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("abc") << QByteArray("abc") << QByteArray("YWJj");
    QTest::newRow("a") << QByteArray("a") << QByteArray("YQ==");
    QTest::newRow("ab") << QByteArray("ab") << QByteArray("YWI=");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("all bits") << QByteArray("\xFB\xFF\xBF", 3) << QByteArray("+/+/");
    QTest::newRow("zeros") << QByteArray(4, '\0') << QByteArray("AAAAAA==");
}

void tst_Coders::base64()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, text);
    const Base64Coder coder;
    QCOMPARE(coder.encode(bytes), text);
    QByteArray back("junk");
    QVERIFY(coder.decode(text, back));
    QCOMPARE(back, bytes);
}

void tst_Coders::base64LineBreaks_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QList<int>>("lineLengths");
    QTest::newRow("56 bytes") << 56 << QList<int>{76};
    QTest::newRow("57 bytes: one full line, no break") << 57 << QList<int>{76};
    QTest::newRow("58 bytes") << 58 << QList<int>{76, 4};
    QTest::newRow("114 bytes") << 114 << QList<int>{76, 76};
    QTest::newRow("115 bytes") << 115 << QList<int>{76, 76, 4};
    QTest::newRow("200 bytes") << 200 << QList<int>{76, 76, 76, 40};
}

void tst_Coders::base64LineBreaks()
{
    QFETCH(int, size);
    QFETCH(QList<int>, lineLengths);
    QByteArray bytes;
    for (int i = 0; i < size; ++i)
        bytes.append(char(i * 37 + 11));
    const Base64Coder coder;
    const QByteArray text = coder.encode(bytes);
    const QList<QByteArray> lines = text.split('\n');
    QCOMPARE(lines.size(), lineLengths.size());
    for (int i = 0; i < lines.size(); ++i)
        QCOMPARE(lines[i].size(), lineLengths[i]);
    QCOMPARE(QByteArray(text).replace("\n", ""), bytes.toBase64());
    QByteArray back;
    QVERIFY(coder.decode(coder.encode(bytes), back));
    QCOMPARE(back, bytes);
    // Carriage returns from another system are white space too.
    QVERIFY(coder.decode(coder.encode(bytes).replace("\n", "\r\n"), back));
    QCOMPARE(back, bytes);
}

void tst_Coders::base64Rejects_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("foreign character") << QByteArray("YW*j");
    QTest::newRow("URL alphabet") << QByteArray("-_-_");
    QTest::newRow("padding inside") << QByteArray("YQ==YWJj");
}

void tst_Coders::base64Rejects()
{
    QFETCH(QByteArray, text);
    QByteArray bytes("junk");
    QVERIFY(!Base64Coder().decode(text, bytes));
    QVERIFY(bytes.isEmpty());
}

void tst_Coders::hex_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("upper");
    QTest::addColumn<QByteArray>("lower");
    QTest::newRow("0A FF") << QByteArray("\x0A\xFF", 2) << QByteArray("0AFF") << QByteArray("0aff");
    QTest::newRow("empty") << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("text") << QByteArray("Az") << QByteArray("417A") << QByteArray("417a");
}

void tst_Coders::hex()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, upper);
    QFETCH(QByteArray, lower);
    HexCoder coder;
    QCOMPARE(coder.encode(bytes), upper);
    coder.setLowerCase(true);
    QCOMPARE(coder.encode(bytes), lower);
    // Either case decodes.
    QByteArray back;
    QVERIFY(coder.decode(upper, back));
    QCOMPARE(back, bytes);
    QVERIFY(coder.decode(lower, back));
    QCOMPARE(back, bytes);
}

void tst_Coders::hexRejects_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("odd length") << QByteArray("0AF");
    QTest::newRow("not a digit") << QByteArray("0G");
    QTest::newRow("blank") << QByteArray("0A FF");
}

void tst_Coders::hexRejects()
{
    QFETCH(QByteArray, text);
    QByteArray bytes("junk");
    QVERIFY(!HexCoder().decode(text, bytes));
    QVERIFY(bytes.isEmpty());
}

void tst_Coders::hexWords()
{
    // Wider words are written most significant byte first, as a
    // little-endian machine holds them; a short last word stands alone.
    const HexCoder coder(4);
    QCOMPARE(coder.encode(QByteArray("\x01\x02\x03\x04\x05\x06", 6)), QByteArray("040302010605"));
    QByteArray back;
    QVERIFY(coder.decode("040302010605", back));
    QCOMPARE(back, QByteArray("\x01\x02\x03\x04\x05\x06", 6));
}

void tst_Coders::streams_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("empty") << 0;
    QTest::newRow("three bytes") << 3;
    QTest::newRow("two lines") << 100;
    QTest::newRow("several buffers") << 3 * DataBufferIn::bufferSize + 7;
}

void tst_Coders::streams()
{
    // Streams give the same text as the byte forms, however the input is
    // buffered, and decode back.
    QFETCH(int, size);
    QByteArray bytes;
    for (int i = 0; i < size; ++i)
        bytes.append(char(i * 13 + (i >> 9)));

    const Base64Coder base64;
    MemoryBlock text;
    {
        DataBufferIn in(MemoryBlock(bytes), Encoding::unspecified);
        DataBufferOut out(&text);
        QVERIFY(base64.encode(in, out, 0));
    }
    QVERIFY(text.get() == base64.encode(bytes));
    MemoryBlock back;
    {
        DataBufferIn in(text, Encoding::unspecified);
        DataBufferOut out(&back);
        QVERIFY(base64.decode(in, out, 0));
    }
    QVERIFY(back.get() == bytes);

    const HexCoder hex;
    MemoryBlock digits;
    {
        DataBufferIn in(MemoryBlock(bytes), Encoding::unspecified);
        DataBufferOut out(&digits);
        QVERIFY(hex.encode(in, out, 0));
    }
    QVERIFY(digits.get() == hex.encode(bytes));
    MemoryBlock hexBack;
    {
        DataBufferIn in(digits, Encoding::unspecified);
        DataBufferOut out(&hexBack);
        QVERIFY(hex.decode(in, out, 0));
    }
    QVERIFY(hexBack.get() == bytes);
}

void tst_Coders::streamLimits()
{
    MemoryBlock text;
    {
        DataBufferIn in(String("abcdef"), Encoding::UTF8);
        DataBufferOut out(&text);
        QVERIFY(Base64Coder().encode(in, out, 3));
    }
    QCOMPARE(text.get(), QByteArray("YWJj"));

    MemoryBlock bytes;
    {
        DataBufferIn in(String("0AFF12"), Encoding::UTF8);
        DataBufferOut out(&bytes);
        QVERIFY(HexCoder().decode(in, out, 4));
    }
    QCOMPARE(bytes.get(), QByteArray("\x0A\xFF", 2));

    // Too little input for the limit, and damaged input, fail.
    MemoryBlock sink;
    DataBufferOut out(&sink);
    DataBufferIn shortIn(String("ab"), Encoding::UTF8);
    QVERIFY(!Base64Coder().encode(shortIn, out, 3));
    DataBufferIn badBase64(String("YW*j"), Encoding::UTF8);
    QVERIFY(!Base64Coder().decode(badBase64, out, 0));
    DataBufferIn afterPadding(String("YQ==\nYWJj"), Encoding::UTF8);
    QVERIFY(!Base64Coder().decode(afterPadding, out, 0));
    DataBufferIn badHex(String("0AF"), Encoding::UTF8);
    QVERIFY(!HexCoder().decode(badHex, out, 0));
}

QTEST_GUILESS_MAIN(tst_Coders)
#include "tst_Coders.moc"
