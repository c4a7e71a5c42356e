#include "Utility/Compressor.h"

#include "Utility/DataBufferIn.h"
#include "Utility/DataBufferOut.h"
#include "Utility/MemoryBlock.h"

#include <QtTest>

using namespace vantorix;

namespace {

// Runs one operation from bytes to bytes; ok tells whether it succeeded.
QByteArray run(const QByteArray& input, bool compress, bool& ok, int level = -1, qint64 limit = -1)
{
    DataBufferIn in;
    in.setSource(input, Encoding::unspecified);
    MemoryBlock result;
    {
        DataBufferOut out(&result);
        Compressor compressor;
        ok = compress ? compressor.compress(in, out, level) : compressor.deCompress(in, out, limit);
    }
    return result.get();
}

// Several output blocks' worth of text that does not compress to nothing.
QByteArray sample()
{
    QByteArray text;
    for (int i = 0; i < 20000; ++i)
        text += QByteArray::number(i * 7919 % 10007) + ' ';
    return text;
}

} // namespace

class tst_Compressor : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void badStreamsFail_data();
    void badStreamsFail();
};

void tst_Compressor::roundTrip_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("level");
    QTest::newRow("stored") << sample() << 0;
    QTest::newRow("best") << sample() << 9;
    QTest::newRow("out of range: default") << sample() << 42;
    QTest::newRow("empty") << QByteArray() << -1;
}

void tst_Compressor::roundTrip()
{
    QFETCH(QByteArray, input);
    QFETCH(int, level);
    bool ok = false;
    const QByteArray packed = run(input, true, ok, level);
    QVERIFY(ok);
    QVERIFY(packed.startsWith("\x1f\x8b")); // a gzip member
    const QByteArray unpacked = run(packed, false, ok);
    QVERIFY(ok);
    QCOMPARE(unpacked, input);
}

void tst_Compressor::badStreamsFail_data()
{
    bool ok = false;
    const QByteArray packed = run(sample(), true, ok, 6);
    QVERIFY(ok);
    QByteArray flipped = packed;
    flipped[flipped.size() / 2] = char(flipped.at(flipped.size() / 2) ^ 0x55);
    QByteArray badCrc = packed;
    badCrc[badCrc.size() - 6] = char(badCrc.at(badCrc.size() - 6) ^ 1);

    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<bool>("expected");
    QTest::newRow("zlib stream is read too") << qCompress(sample()).mid(4) << qint64(-1) << true;
    QTest::newRow("flipped byte") << flipped << qint64(-1) << false;
    QTest::newRow("checksum") << badCrc << qint64(-1) << false;
    QTest::newRow("cut short") << packed.left(packed.size() - 20) << qint64(-1) << false;
    QTest::newRow("trailing bytes") << packed + "xyz" << qint64(-1) << false;
    QTest::newRow("not compressed") << QByteArray("plain text") << qint64(-1) << false;
    QTest::newRow("over the limit") << packed << qint64(sample().size() - 1) << false;
}

void tst_Compressor::badStreamsFail()
{
    QFETCH(QByteArray, input);
    QFETCH(qint64, limit);
    QFETCH(bool, expected);
    bool ok = !expected;
    run(input, false, ok, -1, limit);
    QCOMPARE(ok, expected);
}

QTEST_GUILESS_MAIN(tst_Compressor)
#include "tst_Compressor.moc"
