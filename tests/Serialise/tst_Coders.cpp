#include "Serialise/Base64Coder.h"
#include "Serialise/HexCoder.h"

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

QTEST_GUILESS_MAIN(tst_Coders)
#include "tst_Coders.moc"
