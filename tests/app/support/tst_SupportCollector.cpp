// The support package: what goes into it (the two folders as they are on
// disk, links never followed), the permission list read back through its
// records, the newest-first size limit with its note, the Base64 text made
// once, and the temporary archive removed.
#include "DirectoryHandler.h"
#include "support/PermissionLog.h"
#include "support/SupportCollector.h"
#include "support/SupportRequest.h"

#include "common/FileBytes.h"
#include "common/FullDisk.h"
#include "common/TestSupport.h"

#include "Catalogue/Client.h"
#include "Environment/Host.h"
#include "File/Directory.h"
#include "Serialise/Base64Coder.h"
#include "Serialise/XMLReader.h"
#include "Utility/DataBufferIn.h"
#include "Utility/ZipArchive.h"

#include <QDateTime>
#include <QtTest>

using namespace vantorix;
using namespace installer;

namespace {

QString recordsFolder()
{
    return qEnvironmentVariable("VANTORIX_SHARED_DIR") + "/Vantorix Tools/Installation";
}

QString logsFolder()
{
    return qEnvironmentVariable("VANTORIX_PREFS_DIR") + "/Vantorix Tools/Logs";
}

// The archive's file entries by path.
QMap<QString, QByteArray> entriesOf(const QString& path)
{
    QMap<QString, QByteArray> entries;
    ZipArchive zip{String(path)};
    for (unsigned i = 0; i < zip.getEntryCount(); ++i) {
        const std::unique_ptr<ZipArchive::Entry> entry = zip.getEntry(i);
        if (entry && !entry->isDirectory())
            entries.insert(entry->getPath().qString(), entry->getData() ? entry->getData()->get() : "<damaged>");
    }
    return entries;
}

void writeAged(const QString& path, const QByteArray& bytes, int secondsOld)
{
    writeFile(path, bytes);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-secondsOld), QFileDevice::FileModificationTime));
}

QStringList texts(const std::vector<String>& strings)
{
    QStringList list;
    for (const String& s : strings)
        list << s.qString();
    return list;
}

} // namespace

class tst_SupportCollector : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void archiveMirrorsFolders();
    void emptyFolders();
    void permissionTexts_data();
    void permissionTexts();
    void newestFilesFirst();
    void packageDataEncodedOnce();
    void archiveRemoved();
    void fullDisk();
};

void tst_SupportCollector::init()
{
    QVERIFY(QDir(recordsFolder()).removeRecursively() && QDir().mkpath(recordsFolder()));
    QVERIFY(QDir(logsFolder()).removeRecursively() && QDir().mkpath(logsFolder()));
    SupportCollector::setFolderLimit(SupportCollector::defaultFolderLimit);
}

void tst_SupportCollector::cleanup()
{
    SupportCollector::setFolderLimit(SupportCollector::defaultFolderLimit);
}

void tst_SupportCollector::archiveMirrorsFolders()
{
    writeFile(recordsFolder() + "/com.vantorix.install.stair_maker.xml", "<installation>stairs</installation>\n");
    writeFile(recordsFolder() + "/com.vantorix.install.door_maker.xml", QByteArray(70000, 'd'));
    writeFile(logsFolder() + "/com.vantorix.installer.txt", "a log line\n");
    // Sub-folders are not visited; a link would carry a file from elsewhere.
    writeFile(logsFolder() + "/old/com.vantorix.installer.txt", "older\n");
    writeFile(testsupport::sandboxDir() + "/secret.txt", "not for support\n");
    // Read back as a path, this name would climb out of the folder.
    writeFile(logsFolder() + "/..\\up.txt", "kept out\n");
    QFile::remove(logsFolder() + "/link.txt");
    QVERIFY(QFile::link(testsupport::sandboxDir() + "/secret.txt", logsFolder() + "/link.txt"));

    SupportCollector collector;
    QVERIFY(collector.collectData());
    const QString package = collector.getPackagePath().qString();
    QCOMPARE(QFileInfo(package).fileName(), QStringLiteral("SupportPackage.zfpkgsprt"));
    QCOMPARE(QFileInfo(package).absolutePath(), DirectoryHandler::getTempDirectory()->getURL().qString());

    const QMap<QString, QByteArray> entries = entriesOf(package);
    QStringList expected{"FilePermissions.xml"};
    for (const QString& name : QDir(recordsFolder()).entryList(QDir::Files))
        expected << "Installation/" + name;
    expected << "LeftOut.txt" << "Logs/com.vantorix.installer.txt";
    expected.sort();
    QCOMPARE(entries.keys(), expected);
    QCOMPARE(entries.value("LeftOut.txt").split('\n').value(1),
             QByteArray("Logs/..\\up.txt: left out (the name cannot be stored in a zip)"));
    for (const QString& path : expected) {
        if (!path.contains('/'))
            continue;
        const QString folder = path.startsWith("Logs/") ? logsFolder() : recordsFolder();
        QCOMPARE(entries.value(path), readFile(folder + "/" + path.section('/', 1)));
    }

    // The permission list names each file met by its full path, records
    // first, and reads back into its records.
    PermissionLog log;
    DataBufferIn in(String(QString::fromUtf8(entries.value("FilePermissions.xml"))), Encoding::UTF8);
    QVERIFY(XMLReader(&in).importTo(log));
    QStringList paths;
    for (const FilePermission& file : log.elements())
        paths << file.getPath().qString();
    QStringList listed;
    for (const QString& name : QDir(recordsFolder()).entryList(QDir::Files, QDir::NoSort))
        listed << recordsFolder() + "/" + name;
    for (const QString& name : QDir(logsFolder()).entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::NoSort))
        listed << logsFolder() + "/" + name;
    QCOMPARE(paths, listed);
    QVERIFY(entries.value("FilePermissions.xml").startsWith("<?xml"));
}

void tst_SupportCollector::emptyFolders()
{
    SupportCollector collector;
    QVERIFY(collector.collectData());
    const QMap<QString, QByteArray> entries = entriesOf(collector.getPackagePath().qString());
    QCOMPARE(entries.keys(), QStringList{"FilePermissions.xml"});
    PermissionLog log;
    DataBufferIn in(String(QString::fromUtf8(entries.value("FilePermissions.xml"))), Encoding::UTF8);
    QVERIFY(XMLReader(&in).importTo(log));
    QVERIFY(log.elements().empty());
}

void tst_SupportCollector::permissionTexts_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("no rights") << 0 << QStringList();
    QTest::newRow("all rights")
        << 0x7777
        << QStringList{"ReadOwner: The file is readable by the owner of the file",
                       "WriteOwner: The file is writable by the owner of the file",
                       "ExeOwner: The file is executable by the owner of the fil",
                       "ReadUser: The file is readable by the user",
                       "WriteUser: The file is writable by the user",
                       "ExeUser: The file is executable by the user.",
                       "ReadGroup: The file is readable by the group",
                       "WriteGroup: The file is writable by the group",
                       "ExeGroup: The file is executable by the group",
                       "ReadOther: The file is readable by anyone",
                       "WriteOther: The file is writable by anyone",
                       "ExeOther: The file is executable by anyone"};
    QTest::newRow("others only execute") << 0x0001 << QStringList{"ExeOther: The file is executable by anyone"};
}

void tst_SupportCollector::permissionTexts()
{
    QFETCH(int, flags);
    QFETCH(QStringList, expected);
    QCOMPARE(texts(Permissions::permissionTexts(QFileDevice::Permissions(flags))), expected);
}

void tst_SupportCollector::newestFilesFirst()
{
    SupportCollector::setFolderLimit(100);
    writeAged(logsFolder() + "/oldest.txt", QByteArray(40, 'o'), 400);
    writeAged(logsFolder() + "/old.txt", "0123456789" + QByteArray(50, 'x'), 300);
    writeAged(logsFolder() + "/newer.txt", QByteArray(60, 'n'), 200);
    writeAged(logsFolder() + "/newest.txt", QByteArray(30, 'w'), 100);

    SupportCollector collector;
    QVERIFY(collector.collectData());
    const QMap<QString, QByteArray> entries = entriesOf(collector.getPackagePath().qString());
    QCOMPARE(entries.value("Logs/newest.txt"), QByteArray(30, 'w'));
    QCOMPARE(entries.value("Logs/newer.txt"), QByteArray(60, 'n'));
    // The file that crosses the limit keeps its newest (last) bytes.
    QCOMPARE(entries.value("Logs/old.txt"), QByteArray(10, 'x'));
    QVERIFY(!entries.contains("Logs/oldest.txt"));
    const QByteArray note = entries.value("LeftOut.txt");
    QVERIFY2(note.contains("Logs/old.txt: the first 50 of 60 bytes left out\n"), note.constData());
    QVERIFY2(note.contains("Logs/oldest.txt: left out (40 bytes)\n"), note.constData());
    // Every file is still in the permission list.
    QVERIFY(entries.value("FilePermissions.xml").contains("oldest.txt"));
}

void tst_SupportCollector::packageDataEncodedOnce()
{
    writeFile(logsFolder() + "/com.vantorix.installer.txt", "a log line\n");
    SupportCollector collector;
    QCOMPARE(collector.getPackageData().qString(), QString());
    QVERIFY(collector.collectData());
    const QString path = collector.getPackagePath().qString();
    const QByteArray archive = readFile(path);
    const String& first = collector.getPackageData();
    QByteArray decoded;
    QVERIFY(Base64Coder().decode(first.qString().toLatin1(), decoded));
    QCOMPARE(decoded, archive);

    // Changed on disk, the archive is not read again.
    writeFile(path, "changed");
    const String& second = collector.getPackageData();
    QCOMPARE(&second, &first);
    QVERIFY(Base64Coder().decode(second.qString().toLatin1(), decoded));
    QCOMPARE(decoded, archive);
}

void tst_SupportCollector::archiveRemoved()
{
    QString firstPath;
    QString secondPath;
    {
        SupportCollector first;
        SupportCollector second;
        QVERIFY(first.collectData());
        // Two requests at once (the window and the command line) each have
        // an archive of their own.
        QVERIFY(second.collectData());
        firstPath = first.getPackagePath().qString();
        secondPath = second.getPackagePath().qString();
        QVERIFY(firstPath != secondPath);
        QVERIFY(QFile::exists(firstPath) && QFile::exists(secondPath));
        // A collector collects once.
        QVERIFY(!first.collectData());
    }
    QVERIFY(!QFile::exists(firstPath));
    QVERIFY(!QFile::exists(secondPath));
}

// Neither a package nor an export that runs out of room passes for made;
// the export's old file stays as it was.
void tst_SupportCollector::fullDisk()
{
    writeFile(logsFolder() + "/com.vantorix.installer.txt", QByteArray(200000, 'l'));
    const QString message = host.getLocalString(32524, 45).qString().section("$1", 0, 0);
    {
        FullDisk temp(DirectoryHandler::getTempDirectory()->getURL().qString());
        QVERIFY(temp.isReady());
        QVERIFY(temp.fill());
        SupportCollector collector;
        QVERIFY(!collector.collectData());
        QVERIFY2(collector.getError().qString().startsWith(message), qPrintable(collector.getError().qString()));
    }

    SupportRequest request(String("T-9"), String("full"));
    QVERIFY(request.prepare(Client()));
    FullDisk disk(testsupport::sandboxDir() + "/full");
    QVERIFY(disk.isReady());
    const QString exported = disk.path() + "/request.zfpkgsprt";
    writeFile(exported, "the old export");
    QVERIFY(disk.fill());
    QVERIFY(!request.exportTo(String(exported)));
    QCOMPARE(request.getError().qString(), QString(host.getLocalString(32524, 72).qString()).replace("$1", exported));
    disk.release();
    QCOMPARE(readFile(exported), QByteArray("the old export"));
    QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"request.zfpkgsprt"});
}

QTEST_GUILESS_MAIN(tst_SupportCollector)
#include "tst_SupportCollector.moc"
