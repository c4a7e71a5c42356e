// Installing a product archive into a host application: what lands where, the
// failures and their messages, that a failure or a killed run leaves the host
// as it was, and that nothing is ever written outside the host's folder.

#include "InstallerManager.h"
#include "products/InstallJournal.h"
#include "products/ProductInstaller.h"

#include "common/FakeHost.h"
#include "common/FileBytes.h"
#include "common/FullDisk.h"
#include "common/OtherUser.h"
#include "common/TestSupport.h"

#include "Applications/Application.h"
#include "Applications/ApplicationMap.h"
#include "File/DataFile.h"
#include "Utility/ZipArchive.h"

#include <QtTest>

#include <unistd.h>

using namespace vantorix;
using namespace installer;

namespace {

using Tree = QMap<QString, QByteArray>;


struct Host {
    Guid id;
    QString root;
    QString addOns;
    QString library;
    QString extra;
};

// A host in the sandbox's "apps" folder, or at an absolute path.
Host addHost(const QString& name)
{
    Host host;
    fakehost::FakeHostOptions options;
    options.folder = QDir::isAbsolutePath(name) ? name : testsupport::sandboxDir() + "/apps/" + name;
    if (!fakehost::create(options))
        return host;
    auto application = std::make_unique<Application>(HostType::archiCAD, String(options.folder));
    host.root = options.folder;
    host.addOns = application->getDirectory(Application::dll).qString();
    host.library = application->getDirectory(Application::library).qString();
    host.extra = application->getDirectory(Application::extra).qString();
    manager.getApplications().insert(host.id.generate(), std::move(application));
    return host;
}

// What an earlier version left, and another product's bundle beside it.
void writeOldInstall(const Host& host)
{
    writeFile(host.addOns + "Tool.apx/Contents/MacOS/Tool", "old add-on");
    writeFile(host.addOns + "Tool.apx/Contents/Old.txt", "only in the old version");
    writeFile(host.addOns + "tool.apx.old", "older still");
    writeFile(host.addOns + "MyTool.apx/Contents/MacOS/MyTool", "another product");
    writeFile(host.library + "Tool.lcf", "old library");
}

const char* const standardFiles =
    "<file type=\"dll\"><name>Tool.apx</name></file>"
    "<file type=\"library\"><name>Tool.lcf</name><comment>not read</comment></file>"
    "<file type=\"extra\"><name>Tool.txt</name></file>"
    "<file type=\"library\"><name>Part.gsm</name><location>Library Parts/Tool</location></file>";

struct ZipItem {
    QString path;
    QByteArray data;
    bool link = false;
};

// The archive: a manifest listing files (none for "<none>", zero bytes for
// "<empty>"), the files of the standard manifest, and extras.
QString makeArchive(const QString& name, const QString& files, const std::vector<ZipItem>& extras = {})
{
    const QString path = testsupport::sandboxDir() + "/archives/" + name + ".zip";
    writeFile(path);
    ZipArchive zip{String(path)};
    std::vector<ZipItem> items = {
        {"Tool.apx/Contents/MacOS/Tool", "new add-on"},
        {"Tool.apx/Contents/Resources/Tool.strings", "new strings"},
        {"__MACOSX/Tool.apx/._Tool", "resource fork"},
        {"MyTool.apx/Contents/MacOS/MyTool", "not ours"},
        {"Tool.lcf", "LIBRARY-FILE-DATA"},
        {"Tool.txt", "new extra"},
        {"Part.gsm", "new part"},
    };
    if (files != QLatin1String("<none>")) {
        const QByteArray manifest = files == QLatin1String("<empty>")
                                        ? QByteArray("")
                                        : "<?xml version=\"1.0\"?><manifest>" + files.toUtf8() + "</manifest>";
        items.insert(items.begin(), {"manifest.xml", manifest});
    }
    items.insert(items.end(), extras.begin(), extras.end());
    for (const ZipItem& item : items) {
        const ZipArchive::Entry entry(String(item.path), false, std::make_shared<MemoryBlock>(item.data), item.link);
        if (!zip.addEntry(entry, 0))
            return QString();
    }
    return path;
}

// Changes bytes of the archive file in place (names and stored data).
void patch(const QString& path, const QByteArray& from, const QByteArray& to)
{
    QByteArray bytes = readFile(path);
    QVERIFY(bytes.contains(from));
    writeFile(path, bytes.replace(from, to));
}

bool install(const Host& host, const QString& archive, String* error = nullptr)
{
    DataFile file{String(archive)};
    ProductInstaller installer(host.id, file);
    const bool installed = installer.copyFiles();
    if (error != nullptr)
        *error = installer.getError();
    return installed;
}

// Staged or moved-aside items anywhere in the host, and journals.
QStringList leftovers(const Host& host)
{
    QStringList found;
    QDirIterator items(host.root, {".vantorix-*"}, QDir::AllEntries | QDir::Hidden | QDir::System,
                       QDirIterator::Subdirectories);
    while (items.hasNext())
        found << items.next();
    found += QDir(InstallJournal::folder()).entryList(QDir::Files | QDir::Hidden);
    return found;
}

int s_hosts = 0;

} // namespace

class tst_ProductInstaller : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void installReplacesOldCopies();
    void failures_data();
    void failures();
    void interruptedSwap_data();
    void interruptedSwap();
    void journalsWrittenByHand();
    void recoveryWaitsForAMissingHost();
    void hostFolderNotWritable_data();
    void hostFolderNotWritable();
    void fullDiskKeepsOldFiles();
};

void tst_ProductInstaller::initTestCase()
{
    for (const char* folder : {"/apps", "/archives", "/outside"})
        QDir(testsupport::sandboxDir() + folder).removeRecursively();
    for (const QString& name : QDir(InstallJournal::folder()).entryList(QDir::Files))
        QFile::remove(InstallJournal::folder() + "/" + name);
}

void tst_ProductInstaller::init()
{
    manager.setDefault();
}

void tst_ProductInstaller::cleanup()
{
    InstallTransaction::setInterruption(-1, false);
}

void tst_ProductInstaller::installReplacesOldCopies()
{
    const Host host = addHost("installs");
    QVERIFY(!host.root.isEmpty());
    writeOldInstall(host);
    // The user's own file whose name begins with the tool's is not a copy.
    writeFile(host.addOns + "Tool.apx notes.txt", "mine");
    DataFile file{String(makeArchive("standard", standardFiles))};
    ProductInstaller installer(host.id, file);
    QVERIFY2(installer.copyFiles(), qPrintable(installer.getError().qString()));

    const Tree addOns = snapshot(host.addOns);
    const Tree expected = {
        {"MyTool.apx", "<dir>"}, {"MyTool.apx/Contents", "<dir>"}, {"MyTool.apx/Contents/MacOS", "<dir>"},
        {"MyTool.apx/Contents/MacOS/MyTool", "another product"},
        {"Tool.apx notes.txt", "mine"},
        {"Tool.apx", "<dir>"}, {"Tool.apx/Contents", "<dir>"}, {"Tool.apx/Contents/MacOS", "<dir>"},
        {"Tool.apx/Contents/MacOS/Tool", "new add-on"}, {"Tool.apx/Contents/Resources", "<dir>"},
        {"Tool.apx/Contents/Resources/Tool.strings", "new strings"},
    };
    QCOMPARE(addOns, expected);
    QCOMPARE(readFile(host.library + "Tool.lcf"), QByteArray("LIBRARY-FILE-DATA"));
    QCOMPARE(readFile(host.extra + "Tool.txt"), QByteArray("new extra"));
    QCOMPARE(readFile(host.root + "/Library Parts/Tool/Part.gsm"), QByteArray("new part"));
    QCOMPARE(installer.getAddOnPath().qString(), host.addOns + "Tool.apx");
    QCOMPARE(installer.getInstalledPaths(), std::vector<String>{String(host.root + "/Library Parts/Tool/Part.gsm")});
    // Every item placed, and the two folders made for the part.
    QCOMPARE(installer.getReceipt().join("\n"), QStringList({host.addOns + "Tool.apx", host.library + "Tool.lcf", host.extra + "Tool.txt",
                                                   host.root + "/Library Parts/Tool/Part.gsm", host.root + "/Library Parts/",
                                                   host.root + "/Library Parts/Tool/"}).join("\n"));
    QCOMPARE(leftovers(host), QStringList());
}

void tst_ProductInstaller::failures_data()
{
    QTest::addColumn<QString>("files");
    QTest::addColumn<QString>("setup");
    // $ROOT, $ADDONS, $ZIP and $OUT stand for the host's folder, its add-on
    // folder, the archive and a folder outside the host.
    QTest::addColumn<QString>("message");

    const QString standard(standardFiles);
    QTest::newRow("unknown application") << standard << "noApp" << "Couldn't find the application in the client machine";
    QTest::newRow("no entries") << standard << "emptyZip" << "Empty zip Archive";
    QTest::newRow("zero-byte manifest") << "<empty>" << "" << "Manifest file found but has zero size";
    QTest::newRow("unknown type") << "<file type=\"plugin\"><name>Tool.lcf</name></file>" << ""
                                  << "Failed to read manifest file -- Wrong format or element encountered";
    QTest::newRow("no manifest") << "<none>" << "" << "Manifest file doesn't include any files or missing";
    QTest::newRow("name not in the archive") << standard + "<file type=\"extra\"><name>Gone.txt</name></file>" << ""
                                             << "Gone.txt is missing from the Zip Archive";
    QTest::newRow("folder listed as a file") << standard + "<file type=\"extra\"><name>Docs.txt</name></file>"
                                             << "dirAsFile" << "Un zipped data was invalid";
    QTest::newRow("location is a file") << standard + "<file type=\"extra\"><name>Tool.txt</name><location>Blocked</location></file>"
                                        << "blocker" << "Failed to create file at -- $ROOT/Blocked/Tool.txt";
    QTest::newRow("type without a folder") << "<file type=\"identifier\"><name>Tool.lcf</name></file>" << ""
                                           << "Tool.lcf cannot be installed: the host application has no folder for files of type \"identifier\"";
    QTest::newRow("damaged entry") << standard << "damaged" << "The archive entry Tool.lcf is damaged, so nothing was installed";
    // Hostile archives and folders.
    QTest::newRow("entry climbing out") << standard << "dotdot"
        << "The product archive is not installed: The zip archive $ZIP holds an entry with an unsafe name: ../evil.txt";
    QTest::newRow("location climbing out") << standard + "<file type=\"extra\"><name>Tool.txt</name><location>Parts/../../out</location></file>"
        << "" << "Parts/../../out would be written outside the host application's folder, so nothing was installed";
    QTest::newRow("absolute location") << standard + "<file type=\"extra\"><name>Tool.txt</name><location>$OUT</location></file>"
        << "" << "$OUT would be written outside the host application's folder, so nothing was installed";
    QTest::newRow("link entry leading out") << standard << "linkEntry"
        << "Tool.apx/Contents/Link would be written outside the host application's folder, so nothing was installed";
    QTest::newRow("add-on folder linked out") << standard << "addOnsLink"
        << "$ADDONSTool.apx would be written outside the host application's folder, so nothing was installed";
    // Items the host itself owns: its folder, its application, the folders
    // that hold its add-ons and libraries.
    const QString hostOwned = " is the host application's own folder, its application or a folder that holds its add-ons or libraries, so nothing was installed";
    QTest::newRow("the host's add-on folder") << "<file type=\"extra\"><name>Add-Ons</name><location>.</location></file>"
        << "addOnsEntry" << "$ROOT/Add-Ons" + hostOwned;
    QTest::newRow("the host's application") << "<file type=\"extra\"><name>ArchiCAD 19.app</name><location>.</location></file>"
        << "appEntry" << "$ROOT/ArchiCAD 19.app" + hostOwned;
    QTest::newRow("inside the host's application") << "<file type=\"extra\"><name>Tool.txt</name><location>ArchiCAD 19.app/Contents</location></file>"
        << "" << "$ROOT/ArchiCAD 19.app/Contents/Tool.txt" + hostOwned;
    QTest::newRow("bundle of a folder entry only") << "<file type=\"dll\"><name>Empty.apx</name></file>" << "emptyBundle"
        << "The product archive holds no files for $ADDONSEmpty.apx, so nothing was installed";

}

void tst_ProductInstaller::failures()
{
    QFETCH(QString, files);
    QFETCH(QString, setup);
    QFETCH(QString, message);

    const QString outside = testsupport::sandboxDir() + "/outside/" + QString::number(++s_hosts);
    writeFile(outside + "/kept.txt", "outside");
    Host host = addHost("failure" + QString::number(s_hosts));
    QVERIFY(!host.root.isEmpty());
    if (setup == "addOnsLink") {
        QVERIFY(QDir().mkpath(QDir::cleanPath(host.addOns + "..")));
        QVERIFY(QFile::link(outside, QDir::cleanPath(host.addOns)));
    }
    writeOldInstall(host);
    if (setup == "blocker")
        writeFile(host.root + "/Blocked", "a file, not a folder");
    std::vector<ZipItem> extras;
    if (setup == "dirAsFile")
        extras.push_back({"Docs.txt/a", "a"});
    if (setup == "addOnsEntry")
        extras.push_back({"Add-Ons", "replaces the host's add-ons"});
    if (setup == "appEntry")
        extras.push_back({"ArchiCAD 19.app", "replaces the host"});
    if (setup == "emptyBundle") {
        extras.push_back({"Empty.apx/", ""});
        extras.push_back({"__MACOSX/Empty.apx/._x", "fork"});
    }
    if (setup == "dotdot")
        extras.push_back({"ab/evil.txt", "evil"});
    if (setup == "linkEntry")
        extras.push_back({"Tool.apx/Contents/Link", outside.toUtf8() + "/kept.txt", true});
    files.replace("$OUT", outside);
    QString archive = makeArchive(QTest::currentDataTag(), files, extras);
    QVERIFY(!archive.isEmpty());
    if (setup == "damaged")
        patch(archive, "LIBRARY-FILE-DATA", "LIBRARY-FILE-DATX");
    if (setup == "dotdot")
        patch(archive, "ab/evil.txt", "../evil.txt");
    if (setup == "emptyZip")
        writeFile(archive, QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'));
    if (setup == "noApp")
        host.id = Guid().generate();

    const Tree before = snapshot(host.root);
    const Tree outsideBefore = snapshot(outside);
    String error;
    QVERIFY(!install(host, archive, &error));
    message.replace("$ROOT", host.root).replace("$ADDONS", host.addOns).replace("$ZIP", archive).replace("$OUT", outside);
    QCOMPARE(error.qString(), message);
    QCOMPARE(snapshot(host.root).keys(), before.keys());
    QCOMPARE(snapshot(host.root), before);
    QCOMPARE(snapshot(outside), outsideBefore);
    QCOMPARE(leftovers(host), QStringList());
}

void tst_ProductInstaller::interruptedSwap_data()
{
    // The standard install moves three old items aside, then four new ones in.
    QTest::addColumn<int>("moves");
    QTest::addColumn<bool>("killed");
    QTest::addColumn<bool>("becomesNew");

    QTest::newRow("failure after one new item in") << 4 << false << false;
    QTest::newRow("killed after one item aside") << 1 << true << false;
    QTest::newRow("killed half-way through placing") << 5 << true << false;
    QTest::newRow("killed after the last move") << 7 << true << true;
}

void tst_ProductInstaller::interruptedSwap()
{
    QFETCH(int, moves);
    QFETCH(bool, killed);
    QFETCH(bool, becomesNew);

    const QString archive = makeArchive("swap", standardFiles);
    const Host reference = addHost("reference" + QString::number(++s_hosts));
    writeOldInstall(reference);
    QVERIFY(install(reference, archive));
    const Host host = addHost("swap" + QString::number(s_hosts));
    writeOldInstall(host);
    const Tree before = snapshot(host.root);

    InstallTransaction::setInterruption(moves, killed);
    QVERIFY(!install(host, archive));
    InstallTransaction::setInterruption(-1, false);
    if (killed) {
        QCOMPARE(QDir(InstallJournal::folder()).entryList({"*.xml"}, QDir::Files).size(), 1);
        QCOMPARE(InstallJournal::recover(), 1);
    }
    QCOMPARE(snapshot(host.root), becomesNew ? snapshot(reference.root) : before);
    QCOMPARE(leftovers(host), QStringList());
}

// A journal from an install killed while unpacking is cleaned up; one whose
// paths leave the host's folder, or that others could have written, is not
// acted on; one whose host folder is away is kept for a later start; what a
// cut-short journal save leaves goes.
void tst_ProductInstaller::journalsWrittenByHand()
{
    const Host host = addHost("journals");
    const QString staged = host.library + ".vantorix-1-0.new";
    writeFile(staged, "half unpacked");
    const QString outside = testsupport::sandboxDir() + "/outside/journal";
    writeFile(outside + "/.vantorix-2-0.new", "keep");
    const Host away = addHost("away");
    const QString awayStaged = away.library + ".vantorix-3-0.new";
    writeFile(awayStaged, "half unpacked");
    const auto write = [&](const QString& name, const QString& root, const QString& target, const QString& fresh,
                           QFileDevice::Permissions permissions) {
        InstallJournal journal;
        journal.state = String(InstallJournal::stagingState);
        journal.root = String(root);
        journal.items.elements().emplace_back(String(target), String(fresh), String());
        const QString path = InstallJournal::folder() + "/" + name + ".xml";
        QVERIFY(journal.save(path));
        QVERIFY(QFile::setPermissions(path, permissions));
    };
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    write("unpacking", host.root, host.library + "Tool.lcf", staged, ownerOnly);
    write("outside", host.root, outside + "/x", outside + "/.vantorix-2-0.new", ownerOnly);
    write("shared", host.root, host.library + "Tool.lcf", staged, ownerOnly | QFileDevice::WriteOther);
    write("away", away.root, away.library + "Tool.lcf", awayStaged, ownerOnly);
    writeFile(InstallJournal::folder() + "/cut.xml.AbCdEf", "<changejournal");
    const QString awayMoved = away.root + " (unmounted)";
    QVERIFY(QDir().rename(away.root, awayMoved));

    QCOMPARE(InstallJournal::recover(), 1);
    QVERIFY(!isPresent(staged));
    QCOMPARE(readFile(outside + "/.vantorix-2-0.new"), QByteArray("keep"));
    QCOMPARE(QDir(InstallJournal::folder()).entryList({"*.xml*"}, QDir::Files),
             QStringList({"away.xml", "outside.xml", "shared.xml"}));

    // The host is back: its journal is dealt with now.
    QVERIFY(QDir().rename(awayMoved, away.root));
    QCOMPARE(InstallJournal::recover(), 1);
    QVERIFY(!isPresent(awayStaged));
    QFile::remove(InstallJournal::folder() + "/outside.xml");
    QFile::remove(InstallJournal::folder() + "/shared.xml");
}

// An install killed half-way into a host whose volume is then away: the
// start that cannot see the host keeps the journal (and the old copies set
// aside); the start after the host is back undoes the install exactly.
void tst_ProductInstaller::recoveryWaitsForAMissingHost()
{
    const QString archive = makeArchive("away", standardFiles);
    const Host host = addHost("unmounted" + QString::number(++s_hosts));
    writeOldInstall(host);
    const Tree before = snapshot(host.root);
    InstallTransaction::setInterruption(2, true);
    QVERIFY(!install(host, archive));
    InstallTransaction::setInterruption(-1, false);

    const QString away = host.root + " (away)";
    QVERIFY(QDir().rename(host.root, away));
    QCOMPARE(InstallJournal::recover(), 0);
    QCOMPARE(QDir(InstallJournal::folder()).entryList({"*.xml"}, QDir::Files).size(), 1);
    QVERIFY(QDir().rename(away, host.root));
    QCOMPARE(InstallJournal::recover(), 1);
    QCOMPARE(snapshot(host.root), before);
    QCOMPARE(leftovers(host), QStringList());
}

// An install needs to write only the folders it installs into, never the
// host's own folder; a folder it cannot write is named.
void tst_ProductInstaller::hostFolderNotWritable_data()
{
    QTest::addColumn<bool>("extraWritable");
    QTest::newRow("every target folder writable") << true;
    QTest::newRow("the extra folder read-only") << false;
}

void tst_ProductInstaller::hostFolderNotWritable()
{
    QFETCH(bool, extraWritable);
    const QString sandbox = testsupport::sandboxDir();
    const QString base = otherUserCanReach(sandbox) ? sandbox + "/readonly" + QString::number(++s_hosts) : makeReachableFolder();
    if (base.isEmpty())
        QSKIP("no folder the other user can reach");
    unlockFolder(base + "/ArchiCAD 19");
    QDir(base + "/ArchiCAD 19").removeRecursively();
    QFile::remove(base + "/tool.zip");
    const Host host = addHost(base + "/ArchiCAD 19");
    QVERIFY(!host.root.isEmpty());
    const QString files = "<file type=\"dll\"><name>Tool.apx</name></file>"
                          "<file type=\"library\"><name>Tool.lcf</name></file>"
                          "<file type=\"extra\"><name>Tool.txt</name></file>";
    const QString archive = base + "/tool.zip";
    QVERIFY(QFile::copy(makeArchive("readonly", files), archive));
    const QString prefs = base + "/prefs";
    const QFileDevice::Permissions open = QFileDevice::Permissions(0x7777);
    const QFileDevice::Permissions readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                              QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
    for (const QString& folder : {host.addOns, host.library, host.extra, prefs})
        QVERIFY(QDir().mkpath(folder));
    for (const QString& folder : {base, prefs, host.addOns, host.library, host.extra})
        QVERIFY(QFile::setPermissions(folder, open));
    QVERIFY(QFile::setPermissions(archive, open));
    if (!extraWritable)
        QVERIFY(QFile::setPermissions(host.extra, readOnly));
    QVERIFY(QFile::setPermissions(host.root, readOnly));

    String error;
    const bool installed = runAsOtherUser([&] {
        // The other user's own journal folder.
        qputenv("VANTORIX_PREFS_DIR", QFile::encodeName(prefs));
        const bool done = install(host, archive, &error);
        const QString expected = "The folder " + QDir::cleanPath(host.extra) + " cannot be written, so nothing was changed";
        return extraWritable ? done : !done && error.qString() == expected;
    });
    QFile::setPermissions(host.root, open);
    QFile::setPermissions(host.extra, open);
    QVERIFY(installed);
    QCOMPARE(QFileInfo::exists(host.library + "Tool.lcf"), extraWritable);
    QCOMPARE(QFileInfo::exists(host.addOns + "Tool.apx/Contents/MacOS/Tool"), extraWritable);
    QVERIFY(!QFileInfo::exists(host.extra + "Tool.txt") || extraWritable);
    QCOMPARE(leftovers(host).filter(".vantorix-"), QStringList());
}

void tst_ProductInstaller::fullDiskKeepsOldFiles()
{
    FullDisk disk(testsupport::sandboxDir() + "/full");
    QVERIFY(disk.isReady());
    const Host host = addHost(disk.path() + "/ArchiCAD 19");
    QVERIFY(!host.root.isEmpty());
    writeOldInstall(host);
    const QString archive = makeArchive("full", standardFiles);
    const Tree before = snapshot(host.root);

    QVERIFY(disk.fill());
    String error;
    const bool installed = install(host, archive, &error);
    disk.release();
    QVERIFY(!installed);
    if (::geteuid() == 0) // a small disk of its own: the space is checked before anything is written
        QVERIFY2(error.qString().startsWith("There is not enough free space in " + host.root + " ("),
                 qPrintable(error.qString()));
    QCOMPARE(snapshot(host.root), before);
    QCOMPARE(leftovers(host), QStringList());
}

QTEST_GUILESS_MAIN(tst_ProductInstaller)
#include "tst_ProductInstaller.moc"
