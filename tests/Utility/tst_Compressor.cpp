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
    void deCompress_data();
    void deCompress();
};

// Each row's input is decompressed; output is what that gives, or null when
// it must fail. The first rows are compressed here, at the level named.
void tst_Compressor::deCompress_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<QByteArray>("output");
    const QByteArray fails;
    bool ok = false;
    for (const int level : {0, 9, 42}) {
        QTest::addRow("level %d", level) << run(sample(), true, ok, level) << qint64(-1) << sample();
        QVERIFY(ok);
    }
    QTest::newRow("empty") << run(QByteArray(), true, ok) << qint64(-1) << QByteArray("");
    QTest::newRow("zlib stream") << qCompress(sample()).mid(4) << qint64(-1) << sample();

    const QByteArray packed = run(sample(), true, ok, 6);
    QByteArray flipped = packed;
    flipped[flipped.size() / 2] = char(flipped.at(flipped.size() / 2) ^ 0x55);
    QByteArray badCrc = packed;
    badCrc[badCrc.size() - 6] = char(badCrc.at(badCrc.size() - 6) ^ 1);
    QTest::newRow("flipped byte") << flipped << qint64(-1) << fails;
    QTest::newRow("checksum") << badCrc << qint64(-1) << fails;
    QTest::newRow("cut short") << packed.left(packed.size() - 20) << qint64(-1) << fails;
    QTest::newRow("trailing bytes") << packed + "xyz" << qint64(-1) << fails;
    QTest::newRow("not compressed") << QByteArray("plain text") << qint64(-1) << fails;
    QTest::newRow("over the limit") << packed << qint64(sample().size() - 1) << fails;
}

void tst_Compressor::deCompress()
{
    QFETCH(QByteArray, input);
    QFETCH(qint64, limit);
    QFETCH(QByteArray, output);
    bool ok = output.isNull();
    const QByteArray result = run(input, false, ok, -1, limit);
    QCOMPARE(ok, !output.isNull());
    if (ok)
        QCOMPARE(result, output);
}

QTEST_GUILESS_MAIN(tst_Compressor)
#include "tst_Compressor.moc"
