// Writing zips entry by entry: files streamed in read back byte for byte
// with the project's reader, a byte limit honoured, unsafe names refused.
#include "Utility/ZipArchive.h"
#include "Utility/ZipWriter.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QFileInfo>
#include <QtTest>

using namespace vantorix;

class tst_ZipWriter : public QObject {
    Q_OBJECT

private slots:
    void streamsAndReadsBack();
    void unsafeNames_data();
    void unsafeNames();

private:
    QTemporaryDir m_dir;
};

void tst_ZipWriter::streamsAndReadsBack()
{
    // Larger than a block, and not a multiple of one.
    QByteArray big;
    for (int i = 0; big.size() < 3 * ZipWriter::blockSize + 17; ++i)
        big += QByteArray::number(i) + ' ';
    QBuffer device(&big);
    QVERIFY(device.open(QIODevice::ReadOnly));
    QBuffer limited(&big);
    QVERIFY(limited.open(QIODevice::ReadOnly));
    QVERIFY(limited.seek(big.size() - 100));

    const QString path = m_dir.filePath("streamed.zip");
    ZipWriter zip(path);
    QVERIFY(zip.open());
    QVERIFY(zip.addEntry("Logs/big.txt", device, big.size()));
    QVERIFY(zip.addEntry("Logs/tail.txt", limited, 100));
    QVERIFY(zip.addEntry(QString::fromUtf8("Müller.xml"), QByteArray("<a/>")));
    QVERIFY(zip.addEntry("empty", QByteArray()));
    QVERIFY(!QFileInfo::exists(path));  // complete only once committed
    QVERIFY(zip.commit());
    QVERIFY(!zip.commit());

    ZipArchive read{String(path)};
    QCOMPARE(read.getEntryCount(), 5u);
    QCOMPARE(read.getEntryPath(0).qString(), QStringLiteral("Logs/"));
    QCOMPARE(read.getEntry(1)->getData()->get(), big);
    QCOMPARE(read.getEntry(2)->getData()->get(), big.mid(big.size() - 100));
    QCOMPARE(read.getEntryPath(3).qString(), QStringLiteral("Müller.xml"));
    QCOMPARE(read.getEntry(3)->getData()->get(), QByteArray("<a/>"));
    QVERIFY(read.getEntry(4)->getData() && read.getEntry(4)->getData()->size() == 0);
}

void tst_ZipWriter::unsafeNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("parent") << "../outside.txt";
    QTest::newRow("inner parent") << "Logs/../../outside.txt";
    QTest::newRow("absolute") << "/etc/passwd";
    QTest::newRow("drive") << "C:/x.txt";
    QTest::newRow("folder") << "Logs/";
    QTest::newRow("empty") << "";
}

void tst_ZipWriter::unsafeNames()
{
    QFETCH(QString, name);
    const QString path = m_dir.filePath("unsafe.zip");
    ZipWriter zip(path);
    QVERIFY(zip.open());
    QVERIFY(!zip.addEntry(name, QByteArray("x")));
    QVERIFY(!zip.getError().empty());
    // The refusal costs nothing: the archive goes on.
    QVERIFY(zip.addEntry("ok.txt", QByteArray("x")));
    QVERIFY(zip.commit());
    ZipArchive read{String(path)};
    QCOMPARE(read.getEntryCount(), 1u);
    QCOMPARE(read.getEntryPath(0).qString(), QStringLiteral("ok.txt"));
}

QTEST_GUILESS_MAIN(tst_ZipWriter)
#include "tst_ZipWriter.moc"
