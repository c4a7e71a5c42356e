#include "File/DataFile.h"
#include "File/Directory.h"

#include <QtTest>

#include "common/FileBytes.h"
#include "common/FullDisk.h"
#include "common/TestSupport.h"

#include <memory>

using namespace vantorix;

class tst_DataFile : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void names();
    void create();
    void readIntoBuffer();
    void openModes();
    void copyFromSource();
    void eraseAndLink();
    void noFileBehind();
    void fullDiskFailsTheWrite();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    void put(const QString& name, const QByteArray& bytes) { writeFile(path(name), bytes); }
    QByteArray content(const QString& name) const { return readFile(path(name)); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_DataFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_DataFile::cleanup()
{
    m_dir->setAutoRemove(!QTest::currentTestFailed());
    m_dir.reset();
}

void tst_DataFile::names()
{
    // The extension is what follows the last dot.
    const struct { const char* fileName; const char* name; const char* extension; } parts[] = {
        {"a.b.txt", "a.b", "txt"}, {"README", "README", ""}, {"notes.", "notes", ""}};
    for (const auto& c : parts) {
        put(QString::fromLatin1(c.fileName), "x");
        const DataFile file(String(path(QString::fromLatin1(c.fileName))), DataFile::readOnly, false);
        QCOMPARE(file.getName().qString(), QString::fromLatin1(c.name));
        QCOMPARE(file.getExtension().qString(), QString::fromLatin1(c.extension));
        QVERIFY(file.getVolumeName().empty());
        QCOMPARE(file.getPathName().qString(), QFileInfo(path(QString::fromLatin1(c.fileName))).canonicalFilePath());
    }

    // A missing file has a location but no path name.
    const QString missing = path(QStringLiteral("sub/../nothing.here.txt"));
    DataFile file{String(missing), DataFile::readOnly, false};
    QVERIFY(!file.exists());
    QVERIFY(!file.isFolder());
    QVERIFY(file.getPathName().empty());
    QCOMPARE(file.getURL().qString(), QFileInfo(missing).absoluteFilePath());
    QVERIFY(!file.open(DataFile::readOnly));
    QVERIFY(!QFileInfo::exists(missing));
    QCOMPARE(file.getSize(), 0LL);
}

void tst_DataFile::create()
{
    const QString target = path(QStringLiteral("one/two/three/file.dat"));
    {
        DataFile notCreated{String(target), DataFile::readWrite, false};
        QVERIFY(!notCreated.exists());
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("one"))));
    }
    DataFile file{String(target), DataFile::readWrite, true};
    QVERIFY(file.exists());
    QCOMPARE(QFileInfo(target).size(), 0);
    QVERIFY(!file.isOpen());

    // An existing file is left as it is.
    put(QStringLiteral("keep.txt"), "kept");
    DataFile again(Directory(String(m_dir->path())), String("keep.txt"), DataFile::readWrite, true);
    QCOMPARE(content(QStringLiteral("keep.txt")), QByteArray("kept"));
    QCOMPARE(again.getSize(), 4LL);

    // Made with its extension in a folder made for it.
    int error = -1;
    const Directory folder(String(path(QStringLiteral("deep/folder"))), false);
    std::unique_ptr<DataFile> made(DataFile::create(folder, "offline", DataFile::readWrite, error, "zfinstall", 0, 0));
    QVERIFY(made);
    QCOMPARE(error, 0);
    QCOMPARE(made->getLocation().qString(), path(QStringLiteral("deep/folder/offline.zfinstall")));
    QVERIFY(QFileInfo(path(QStringLiteral("deep/folder/offline.zfinstall"))).isFile());

    // A plain file where a folder is needed makes creation impossible.
    put(QStringLiteral("blocker"), "x");
    error = -1;
    const Directory blocked(String(path(QStringLiteral("blocker"))), false);
    std::unique_ptr<DataFile> none(DataFile::create(blocked, "inside", DataFile::readWrite, error, "txt", 0, 0));
    QVERIFY(!none);
    QCOMPARE(error, 2);
}

void tst_DataFile::readIntoBuffer()
{
    put(QStringLiteral("data.bin"), "0123456789");
    DataFile file{String(path(QStringLiteral("data.bin"))), DataFile::readOnly, false};

    QByteArray buffer(6, '.');
    long long count = 4;
    QVERIFY(file.read(buffer, 2, count));
    QCOMPARE(count, 4LL);
    QCOMPARE(buffer, QByteArray("..0123"));
    QCOMPARE(file.getPosition(), 4LL);

    // A count below 1 stands for the buffer's size; the buffer grows as needed.
    count = 0;
    QVERIFY(file.read(buffer, 4, count));
    QCOMPARE(count, 6LL);
    QCOMPARE(buffer, QByteArray("..01456789"));

    // At the end nothing is read, and the buffer keeps its size.
    count = 8;
    QVERIFY(!file.read(buffer, 0, count));
    QCOMPARE(count, 0LL);
    QCOMPARE(buffer.size(), 10);

    long long negative = 3;
    QVERIFY(!file.read(buffer, -1, negative));

    QVERIFY(file.setPosition(7));
    QByteArray rest;
    QVERIFY(file.readAll(rest));
    QCOMPARE(rest, QByteArray("789"));

    // Each skip is clamped to the file's bounds and returns how far it went.
    QVERIFY(file.setPosition(0));
    const QList<QPair<long long, long long>> steps{{4, 4}, {-10, -4}, {25, 10}, {1, 0}};
    for (const auto& step : steps)
        QCOMPARE(file.skip(step.first), step.second);
    QCOMPARE(file.getPosition(), 10LL);

    // Text is read as UTF-8; at the end nothing is read and the text stays.
    put(QStringLiteral("text.txt"), QByteArray("h\xc3\xa9llo world"));
    DataFile textFile{String(path(QStringLiteral("text.txt"))), DataFile::readOnly, false};
    String text("unchanged");
    count = 6;
    QVERIFY(textFile.read(text, count));
    QCOMPARE(count, 6LL);
    QCOMPARE(text.qString(), QString::fromUtf8("h\xc3\xa9llo"));
    QVERIFY(textFile.setPosition(textFile.getSize()));
    QVERIFY(textFile.read(text, count));
    QCOMPARE(count, 0LL);
    QCOMPARE(text.qString(), QString::fromUtf8("h\xc3\xa9llo"));
}

// Reopening in another mode keeps the position.
void tst_DataFile::openModes()
{
    put(QStringLiteral("pos.txt"), "abcdefgh");
    DataFile file{String(path(QStringLiteral("pos.txt"))), DataFile::readOnly, false};
    QVERIFY(file.open(DataFile::readOnly));
    long long count = 3;
    QByteArray buffer;
    QVERIFY(file.read(buffer, 0, count));
    QCOMPARE(file.getPosition(), 3LL);

    QVERIFY(file.open(DataFile::readWrite));
    QCOMPARE(file.getPosition(), 3LL);
    QVERIFY(file.write(QByteArray("XY"), 0, -1));
    QCOMPARE(file.getPosition(), 5LL);

    QVERIFY(file.open(DataFile::readOnly));
    QCOMPARE(file.getPosition(), 5LL);
    file.close();
    QCOMPARE(content(QStringLiteral("pos.txt")), QByteArray("abcXYfgh"));

    // Write-only keeps what the file held.
    put(QStringLiteral("wo.txt"), "0123456789");
    DataFile writeOnly{String(path(QStringLiteral("wo.txt"))), DataFile::writeOnly, false};
    QVERIFY(writeOnly.setPosition(writeOnly.getSize()));
    QVERIFY(writeOnly.write(String("tail")));
    QVERIFY(writeOnly.flush());
    QCOMPARE(content(QStringLiteral("wo.txt")), QByteArray("0123456789tail"));

    // Cutting is explicit.
    QVERIFY(writeOnly.setSize(0));
    QCOMPARE(writeOnly.getPosition(), 0LL);
    QVERIFY(writeOnly.write(String("new")));
    writeOnly.close();
    QCOMPARE(content(QStringLiteral("wo.txt")), QByteArray("new"));

    // Write-only on a missing file creates it; slices outside the bytes fail.
    DataFile fresh{String(path(QStringLiteral("fresh.txt"))), DataFile::writeOnly, false};
    const QByteArray bytes("abcdefgh");
    QVERIFY(fresh.write(bytes, 2, 3));
    QVERIFY(fresh.write(bytes, 6, -1));
    QVERIFY(fresh.write(bytes, 8, 0));
    QVERIFY(!fresh.write(bytes, 6, 3) && !fresh.write(bytes, 9, -1) && !fresh.write(bytes, -1, 2));
    char raw[] = "xyz";
    QVERIFY(fresh.write(raw, 3));
    fresh.close();
    QCOMPARE(content(QStringLiteral("fresh.txt")), QByteArray("cdeghxyz"));
}

void tst_DataFile::copyFromSource()
{
    QByteArray big(40000, 'a');
    for (int i = 0; i < big.size(); ++i)
        big[i] = char('a' + i % 26);
    put(QStringLiteral("big.bin"), big);
    DataFile source{String(path(QStringLiteral("big.bin"))), DataFile::readOnly, false};
    QVERIFY(source.setPosition(100));
    DataFile target{String(path(QStringLiteral("copy/big.bin"))), DataFile::readWrite, true};
    QVERIFY(target.write(String("head:")));
    QVERIFY(target.write(source));
    QVERIFY(!target.write(target));
    target.close();
    QCOMPARE(content(QStringLiteral("copy/big.bin")), QByteArray("head:") + big);

    DataFile missing{String(path(QStringLiteral("absent.bin"))), DataFile::readOnly, false};
    QVERIFY(!target.write(missing));
}

void tst_DataFile::eraseAndLink()
{
    put(QStringLiteral("target.txt"), "target");
    DataFile file{String(path(QStringLiteral("target.txt"))), DataFile::readOnly, false};
    QVERIFY(file.open(DataFile::readOnly));
    QVERIFY(file.link(String(path(QStringLiteral("link.txt")))));
    QVERIFY(QFileInfo(path(QStringLiteral("link.txt"))).isSymLink());
    QCOMPARE(content(QStringLiteral("link.txt")), QByteArray("target"));

    DataFile link{String(path(QStringLiteral("link.txt"))), DataFile::readOnly, false};

    QVERIFY(file.erase());
    QVERIFY(!file.exists() && !file.erase());
    // The dangling link can still be removed.
    QVERIFY(link.erase());
    QVERIFY(!QFileInfo(path(QStringLiteral("link.txt"))).isSymLink());
}

void tst_DataFile::noFileBehind()
{
    // Every operation on a file object without a path fails quietly.
    DataFile file;
    long long count = 1;
    QByteArray buffer(4, 0);
    QVERIFY(!file.open(DataFile::readWrite) && !file.isOpen() && !file.exists() && file.getSize() == 0);
    QVERIFY(!file.write(String("x")) && !file.read(buffer, 0, count) && !file.erase());

    // A copy is not open and moves on its own.
    put(QStringLiteral("shared.txt"), "shared");
    DataFile original{String(path(QStringLiteral("shared.txt"))), DataFile::readOnly, false};
    QVERIFY(original.setPosition(3));
    std::unique_ptr<DataFile> copy(original.clone());
    QVERIFY(!copy->isOpen() && *copy == original);
    QCOMPARE(copy->getPosition(), 0LL);
    QCOMPARE(original.getPosition(), 3LL);
}

// Writes far below the toolkit's buffer size still report a full disk,
// rather than leaving it to a close that cannot say so.
void tst_DataFile::fullDiskFailsTheWrite()
{
    put(QStringLiteral("source.txt"), "copied");
    FullDisk disk(testsupport::sandboxDir() + "/full");
    QVERIFY(disk.isReady());
    DataFile text{String(disk.path() + "/text.txt"), DataFile::readWrite, true};
    DataFile bytes{String(disk.path() + "/bytes.bin"), DataFile::readWrite, true};
    DataFile copy{String(disk.path() + "/copy.bin"), DataFile::readWrite, true};
    DataFile source{String(path(QStringLiteral("source.txt"))), DataFile::readOnly, false};
    QVERIFY(disk.fill());
    QVERIFY(!text.write(String("small")));
    QVERIFY(!bytes.write(QByteArray("small"), 0, -1));
    QVERIFY(!copy.write(source));
    QVERIFY(text.getLastError() != 0);
    text.close();
    bytes.close();
    copy.close();
}

QTEST_GUILESS_MAIN(tst_DataFile)
#include "tst_DataFile.moc"
