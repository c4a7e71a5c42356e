#include "Utility/ZipArchive.h"

#include "File/DataFile.h"
#include "common/FileBytes.h"
#include "common/TestSupport.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

using namespace vantorix;

namespace {

// The text the data script puts into its files.
const QByteArray sampleText = QByteArray("Vantorix zip test data\n").repeated(8);

QString zipData(const QString& name)
{
    return testsupport::dataDir() + QStringLiteral("/Utility/zip/") + name;
}

std::shared_ptr<MemoryBlock> block(const QByteArray& bytes)
{
    return std::make_shared<MemoryBlock>(bytes);
}

// Streams an entry to a device; whether that worked, and what was written.
bool stream(ZipArchive& zip, unsigned index, QByteArray* bytes = nullptr, qint64 limit = -1)
{
    QBuffer device;
    device.open(QIODevice::WriteOnly);
    const bool ok = zip.readEntry(index, device, limit);
    if (bytes != nullptr)
        *bytes = device.data();
    return ok;
}

} // namespace

class tst_ZipArchive : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.isValid()); }
    void entryNumbering_data();
    void entryNumbering();
    void writeAndReadBack();
    void noEntries_data();
    void noEntries();
    void unsafeNamesRefuseTheArchive_data();
    void unsafeNamesRefuseTheArchive();
    void damagedEntriesHaveNoData_data();
    void damagedEntriesHaveNoData();
    void forgedArchivesAreRefused_data();
    void forgedArchivesAreRefused();
    void namesWithoutTheUtf8FlagAreCodePage437();

private:
    QTemporaryDir m_dir;
};

void tst_ZipArchive::entryNumbering_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("paths");
    QTest::newRow("implied directories") << "abc.zip" << QStringList{"a/", "a/b/", "a/b/c.txt"};
    // a/ is listed after a/x and is not added twice; "\" separates as well.
    QTest::newRow("explicit directory after its file")
        << "dir-after-file.zip" << QStringList{"a/", "a/x", "b\\", "b\\y"};
}

void tst_ZipArchive::entryNumbering()
{
    QFETCH(QString, file);
    QFETCH(QStringList, paths);
    DataFile dataFile{String(zipData(file))};
    ZipArchive zip(dataFile);
    QCOMPARE(zip.getEntryCount(), unsigned(paths.size()));
    for (int i = 0; i < paths.size(); ++i) {
        const auto entry = zip.getEntry(unsigned(i));
        QVERIFY(entry);
        QCOMPARE(entry->getPath().qString(), paths.at(i));
        const bool directory = paths.at(i).endsWith('/') || paths.at(i).endsWith('\\');
        QCOMPARE(entry->isDirectory(), directory);
        QCOMPARE(bool(entry->getData()), !directory);
        // Streamed to a device, a file reads the same; a directory does not stream.
        QByteArray streamed;
        QCOMPARE(stream(zip, unsigned(i), &streamed), !directory);
        if (!directory)
            QCOMPARE(streamed, entry->getData()->get());
    }
    QVERIFY(!zip.getEntry(unsigned(paths.size())));
    // The tree links each directory to its children.
    const ZipEntryTree& tree = zip.getTree();
    const auto children = tree.getChildren(*tree.getVertex(String(paths.at(0))));
    QCOMPARE(tree.getPath(children.at(0)).qString(), paths.at(1));
    if (file == QLatin1String("abc.zip"))
        QCOMPARE(zip.getEntry(2)->getData()->get(), sampleText);
}

void tst_ZipArchive::writeAndReadBack()
{
    const QString path = m_dir.filePath(QStringLiteral("written.zip"));
    ZipArchive zip{String(path)};
    QVERIFY(zip.addEntry(ZipArchive::Entry("/abs/file", false, block(sampleText), false), 9));
    QVERIFY(zip.addEntry(ZipArchive::Entry("abs/empty", false, block(QByteArray()), false), -1));
    QVERIFY(zip.addEntry(ZipArchive::Entry("abs/link", false, block("file"), true), 0));
    QVERIFY(zip.addEntry(ZipArchive::Entry("Grüße/Ä.txt", false, block("umlaut"), false), 42));
    QCOMPARE(zip.getEntryCount(), 6u);

    // A directory, an entry without data and an unsafe name leave the file as it was.
    const QByteArray before = readFile(path);
    QVERIFY(zip.addEntry(ZipArchive::Entry("more/", true, nullptr, false), 5));
    QVERIFY(zip.addEntry(ZipArchive::Entry("nothing", false, nullptr, false), 5));
    QVERIFY(!zip.addEntry(ZipArchive::Entry("a/../../evil", false, block("x"), false), 5));
    QVERIFY(zip.getError().qString().contains(QLatin1String("a/../../evil")));
    QCOMPARE(readFile(path), before);

    ZipArchive reread{String(path)};
    QCOMPARE(reread.getEntryCount(), 6u);
    const QStringList expected{"abs/", "abs/file", "abs/empty", "abs/link", "Grüße/", "Grüße/Ä.txt"};
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(reread.getEntryPath(unsigned(i)).qString(), expected.at(i));
    QCOMPARE(reread.getEntry(1)->getData()->get(), sampleText);
    QVERIFY(reread.getEntry(2)->getData() && reread.getEntry(2)->empty());
    const auto link = reread.getEntry(3);
    QVERIFY(link->isSymLink() && !reread.getEntry(1)->isSymLink());
    QCOMPARE(link->getData()->get(), QByteArray("file"));
    QCOMPARE(reread.getEntry(5)->getData()->get(), QByteArray("umlaut"));

    ZipArchive nowhere{String()};
    QVERIFY(!nowhere.addEntry(ZipArchive::Entry("file", false, block("x"), false), 5));
}

void tst_ZipArchive::noEntries_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("missing") << m_dir.filePath("missing.zip") << QByteArray();
    QTest::newRow("empty file") << m_dir.filePath("empty.zip") << QByteArray("");
    QTest::newRow("no entries") << m_dir.filePath("none.zip") << QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0');
    QTest::newRow("truncated") << zipData("truncated.zip") << QByteArray();
    QTest::newRow("not a zip") << m_dir.filePath("text.zip") << QByteArray("just text");
}

void tst_ZipArchive::noEntries()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, content);
    if (!content.isNull())
        writeFile(path, content);
    ZipArchive zip{String(path)};
    QCOMPARE(zip.getEntryCount(), 0u);
    QVERIFY(!zip.getEntry(0));
    QVERIFY(!stream(zip, 0));
}

void tst_ZipArchive::unsafeNamesRefuseTheArchive_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("shownName");
    QTest::newRow("absolute") << "absolute.zip" << "/etc/evil";
    QTest::newRow("parent") << "dotdot.zip" << "a/../../evil";
    QTest::newRow("drive letter") << "drive.zip" << "C:/evil";
    QTest::newRow("backslash parent") << "backslash.zip" << "a\\..\\..\\evil";
    QTest::newRow("byte-order mark before /") << "bom-absolute.zip" << "\\xef\\xbb\\xbf/etc/evil";
    QTest::newRow("NUL byte") << "nul-name.zip" << "evil\\x00.txt";
    QTest::newRow("longer than 4096 bytes") << "long-name.zip" << "d/d/d/d/";
}

void tst_ZipArchive::unsafeNamesRefuseTheArchive()
{
    QFETCH(QString, file);
    QFETCH(QString, shownName);
    ZipArchive zip{String(zipData(file))};
    // The harmless first entry is not handed out either.
    QCOMPARE(zip.getEntryCount(), 0u);
    QVERIFY(!zip.getEntry(0));
    QVERIFY2(zip.getError().qString().contains(QLatin1String("unsafe name: ") + shownName),
             qPrintable(zip.getError().qString()));
}

void tst_ZipArchive::damagedEntriesHaveNoData_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<unsigned>("index");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<QString>("reason");
    QTest::newRow("flipped byte") << "bad-crc.zip" << 1u << ZipArchive::defaultEntryLimit << "checksum mismatch";
    QTest::newRow("size larger than the data")
        << "size-larger.zip" << 0u << ZipArchive::defaultEntryLimit << "instead of 284";
    QTest::newRow("over the caller's limit") << "abc.zip" << 2u << qint64(100) << "larger than the limit of 100 bytes for one entry";
    QTest::newRow("4 GB claimed, over the limit")
        << "size-huge.zip" << 0u << ZipArchive::defaultEntryLimit << "larger than the limit of 1073741824 bytes for one entry";
    // Allowed by the limit of a stream, still nothing is allocated for the claim.
    QTest::newRow("4 GB claimed, within the limit") << "size-huge.zip" << 0u << (qint64(8) << 30) << "instead of 4026531840";
}

void tst_ZipArchive::damagedEntriesHaveNoData()
{
    QFETCH(QString, file);
    QFETCH(unsigned, index);
    QFETCH(qint64, limit);
    QFETCH(QString, reason);
    ZipArchive zip{String(zipData(file))};
    zip.setEntryLimit(limit);
    QVERIFY(zip.getEntryCount() > index);
    const auto entry = zip.getEntry(index);
    QVERIFY(entry && !entry->isDirectory() && !entry->getData());
    if (file == QLatin1String("bad-crc.zip")) // the good entry before it still reads, through the same handle
        QCOMPARE(zip.getEntry(0)->getData()->get(), QByteArray("ok\n"));
    QVERIFY(!stream(zip, index, nullptr, limit));
    QVERIFY2(zip.getError().qString().contains(reason), qPrintable(zip.getError().qString()));
}

void tst_ZipArchive::forgedArchivesAreRefused_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<qint64>("totalLimit");
    QTest::addColumn<QString>("reason");
    QTest::newRow("two entries of one name") << "duplicate-names.zip" << ZipArchive::defaultTotalLimit
                                             << "holds two entries named a.txt";
    QTest::newRow("local header names another file") << "local-name-mismatch.zip" << ZipArchive::defaultTotalLimit
                                                     << "the entry good.txt does not match its local header";
    QTest::newRow("entries sharing bytes") << "overlapping.zip" << ZipArchive::defaultTotalLimit
                                           << "two of its entries share the same bytes";
    QTest::newRow("over the total limit") << "size-huge.zip" << qint64(1) << "holds more than the limit of 1 bytes when unpacked";
}

// Archives whose parts are each readable but that lie as a whole hand out
// nothing at all, and say which rule they broke.
void tst_ZipArchive::forgedArchivesAreRefused()
{
    QFETCH(QString, file);
    QFETCH(qint64, totalLimit);
    QFETCH(QString, reason);
    ZipArchive zip{String(zipData(file))};
    zip.setTotalLimit(totalLimit);
    QCOMPARE(zip.getEntryCount(), 0u);
    QVERIFY(!zip.getEntry(0));
    QVERIFY2(zip.getError().qString().contains(reason), qPrintable(zip.getError().qString()));
}

// Names without the UTF-8 flag are code page 437, so bytes that are not
// UTF-8 give distinct names instead of one replacement character each.
void tst_ZipArchive::namesWithoutTheUtf8FlagAreCodePage437()
{
    ZipArchive zip{String(zipData("cp437-names.zip"))};
    QCOMPARE(zip.getEntryCount(), 2u);
    QCOMPARE(zip.getEntryPath(0).qString(), QString::fromUtf8("Tür.gsm"));
    QCOMPARE(zip.getEntryPath(1).qString(), QString::fromUtf8("TÜr.txt"));
    QCOMPARE(zip.getEntry(1)->getData()->get(), QByteArray("upper\n"));
}

QTEST_GUILESS_MAIN(tst_ZipArchive)
#include "tst_ZipArchive.moc"
