#include "Serialise/Base64Coder.h"
#include "Serialise/HexCoder.h"
#include "Utility/DataBufferIn.h"
#include "Utility/DataBufferOut.h"
#include "Utility/MemoryBlock.h"
#include "common/StreamPipe.h"

#include <QtTest>

using namespace vantorix;

class tst_Coders : public QObject {
    Q_OBJECT

private slots:
    void base64_data();
    void base64();
    void base64LineBreaks_data();
    void base64LineBreaks();
    void rejects();
    void hex();
    void streams_data();
    void streams();
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
    QTest::newRow("57 bytes: one full line, no break") << 57 << QList<int>{76};
    QTest::newRow("58 bytes") << 58 << QList<int>{76, 4};
    QTest::newRow("200 bytes: the last line short") << 200 << QList<int>{76, 76, 76, 40};
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

// A refused text leaves nothing behind.
void tst_Coders::rejects()
{
    for (const char* text : {"YW*j", "-_-_", "YQ==YWJj"}) {
        QByteArray bytes("junk");
        QVERIFY2(!Base64Coder().decode(text, bytes), text);
        QVERIFY(bytes.isEmpty());
    }
    for (const char* text : {"0AF", "0G", "0A FF"}) {
        QByteArray bytes("junk");
        QVERIFY2(!HexCoder().decode(text, bytes), text);
        QVERIFY(bytes.isEmpty());
    }
}

void tst_Coders::hex()
{
    // Upper case by default, lower case on request; either case decodes.
    const QByteArray bytes("\x0A\xFF", 2);
    HexCoder coder;
    QCOMPARE(coder.encode(bytes), QByteArray("0AFF"));
    coder.setLowerCase(true);
    QCOMPARE(coder.encode(bytes), QByteArray("0aff"));
    QVERIFY(coder.encode(QByteArray()).isEmpty());
    for (const char* text : {"0AFF", "0aff"}) {
        QByteArray back;
        QVERIFY(coder.decode(text, back));
        QCOMPARE(back, bytes);
    }

    // Wider words are written most significant byte first, as a
    // little-endian machine holds them; a short last word stands alone.
    const HexCoder words(4);
    QCOMPARE(words.encode(QByteArray("\x01\x02\x03\x04\x05\x06", 6)), QByteArray("040302010605"));
    QByteArray back;
    QVERIFY(words.decode("040302010605", back));
    QCOMPARE(back, QByteArray("\x01\x02\x03\x04\x05\x06", 6));
}

void tst_Coders::streams_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("empty") << 0;
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
    const HexCoder hex;
    const auto step = [](const auto& coder, bool encode, int limit = 0) {
        return [&coder, encode, limit](DataBufferIn& in, DataBufferOut& out) {
            return encode ? coder.encode(in, out, limit) : coder.decode(in, out, limit);
        };
    };
    bool ok = false;
    const QByteArray text = piped(bytes, step(base64, true), &ok);
    QVERIFY(ok && text == base64.encode(bytes));
    QVERIFY(piped(text, step(base64, false), &ok) == bytes && ok);
    const QByteArray digits = piped(bytes, step(hex, true), &ok);
    QVERIFY(ok && digits == hex.encode(bytes));
    QVERIFY(piped(digits, step(hex, false), &ok) == bytes && ok);

    // Limits cut the input; too little input for the limit, and damaged input, fail.
    QCOMPARE(piped("abcdef", step(base64, true, 3), &ok), QByteArray("YWJj"));
    QVERIFY(ok);
    QCOMPARE(piped("0AFF12", step(hex, false, 4), &ok), QByteArray("\x0A\xFF", 2));
    QVERIFY(ok);
    for (const auto& bad : {std::make_pair("ab", 3), std::make_pair("YW*j", 0), std::make_pair("YQ==\nYWJj", 0)}) {
        piped(bad.first, step(base64, bad.second != 0, bad.second), &ok);
        QVERIFY2(!ok, bad.first);
    }
    piped("0AF", step(hex, false), &ok);
    QVERIFY(!ok);
}

QTEST_GUILESS_MAIN(tst_Coders)
#include "tst_Coders.moc"
