#include "Catalogue/OrvoTools.h"
#include "Catalogue/VantorixTools.h"
#include "DirectoryHandler.h"
#include "File/DataFile.h"
#include "File/Directory.h"
#include "Reporting/Report.h"
#include "Utility/Logger.h"
#include "VantorixInstallerApp.h"

#include <QDirIterator>
#include <QtTest>

#include "common/FileBytes.h"
#include "common/FullDisk.h"
#include "common/OtherUser.h"
#include "common/TestSupport.h"

#include <unistd.h>

using namespace vantorix;
using namespace installer;

namespace {

const char* const sandboxAddress = "02-00-5E-10-00-01";

Product installed(const String& id, const QStringList& paths, const String& version = String("1.20"), short host = 17)
{
    RegisteredPlatform platform(version, PlatformSignature(HostType::archiCAD, host));
    for (const QString& path : paths)
        platform.mergeExecutable(Executable(String(path), version));
    return Product(id, id + " Tool", String("C-") + id, platform);
}

int executableCount(const VantorixTools& store, const String& id, short host = 17)
{
    if (store.getInstallation() == nullptr)
        return -1;
    const Product* product = store.getInstallation()->getProducts().getProduct(id);
    if (product == nullptr)
        return -1;
    const RegisteredPlatform* platform = product->getPlatformList().find(PlatformSignature(HostType::archiCAD, host));
    if (platform == nullptr)
        return -1;
    return platform->getExecutables() ? int(platform->getExecutables()->size()) : 0;
}

bool writeStore(const QString& path, const Product& product)
{
    VantorixTools store;
    store.mergeInstallation(product);
    DataFile file{String(path)};
    return store.writeInstallation(&file, true);
}

// Sets the machine's hardware addresses for one scope.
class Addresses {
public:
    explicit Addresses(const char* list) { qputenv("VANTORIX_MAC_ADDRESSES", list); }
    ~Addresses() { qputenv("VANTORIX_MAC_ADDRESSES", sandboxAddress); }
};

} // namespace

class tst_VantorixTools : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void installationFileRoundTrip();
    void rewrites();
    void walkerMergesAndCleans();
    void applicationsOwnRecord();
    void clientFileRoundTrip();
    void clientFileFailures_data();
    void clientFileFailures();
    void legacyMigration();
    void fullDiskKeepsTheOldFile_data();
    void fullDiskKeepsTheOldFile();
    void hostileNamesStayInTheFolder_data();
    void hostileNamesStayInTheFolder();

private:
    QString m_folder;
    QString m_prefs;
    QString m_shared;
};

void tst_VantorixTools::initTestCase()
{
    m_prefs = qEnvironmentVariable("VANTORIX_PREFS_DIR");
    m_shared = qEnvironmentVariable("VANTORIX_SHARED_DIR");
    QVERIFY2(!m_prefs.isEmpty() && !m_shared.isEmpty(), "run through ctest: the sandbox folders are not set");
    m_folder = m_shared + "/Vantorix Tools/Installation";
}

void tst_VantorixTools::init()
{
    QDir(m_shared).removeRecursively();
    QDir(m_prefs).removeRecursively();
    QDir().mkpath(m_shared);
    QDir().mkpath(m_prefs);
    QDir().mkpath(m_folder);
    Logger::initialise(Logger::defaultMaxSize);
}

void tst_VantorixTools::cleanup()
{
    delete addon;
    addon = nullptr;
}

void tst_VantorixTools::installationFileRoundTrip()
{
    VantorixTools store;
    auto client = std::make_unique<Client>();
    client->setEmail(String("anna@example.com"));
    store.setClient(std::move(client));
    store.setReport(std::make_unique<Report>());
    Product product = installed(String("stairmaker"), {"/Apps/AC 17/StairMaker.apx/Contents/MacOS/StairMaker"});
    product.getPlatformList().find(PlatformSignature(HostType::archiCAD, 17))
        ->mergeExecutable(Executable(String("/Apps/AC 17/Library/Stairs.gsm"), String("1.20"), String("no space"),
                                     String("solo")));
    QVERIFY(store.mergeInstallation(product));
    QVERIFY(!store.mergeInstallation(product));

    const QString path = m_folder + "/" + VantorixTools::installationFileName(product).qString();
    QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("com.vantorix.install.stairmaker_tool.xml"));
    DataFile file{String(path)};
    QVERIFY(!store.writeInstallation(&file, false)); // not there and not to be made
    QVERIFY(store.writeInstallation(&file, true));

    // Only the installation record goes into the file.
    const QByteArray text = readFile(path);
    QVERIFY2(text.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
                             "<vantorixtools version=\"1\" target=\"commercial\">\n"
                             "\t<installation>\n"
                             "\t\t<products>\n"
                             "\t\t\t<product id=\"stairmaker\" edit=\""),
             text.constData());
    QVERIFY2(text.contains("\t\t\t\t\t\t<signature host=\"ArchiCAD\" version=\"17\"/>\n"
                           "\t\t\t\t\t\t<version>1.20</version>\n"
                           "\t\t\t\t\t\t<executables>\n"
                           "\t\t\t\t\t\t\t<executable path=\"/Apps/AC 17/StairMaker.apx/Contents/MacOS/StairMaker\" "
                           "version=\"1.20\"/>\n"
                           "\t\t\t\t\t\t\t<executable path=\"/Apps/AC 17/Library/Stairs.gsm\" version=\"1.20\" "
                           "errorMessage=\"no space\" variant=\"solo\"/>\n"),
             text.constData());
    QVERIFY2(!text.contains("client") && !text.contains("report"), text.constData());
    QVERIFY(QFileInfo(path).permissions() & QFileDevice::WriteOther);

    // Reading takes the installation record and keeps the store's client.
    VantorixTools read;
    auto kept = std::make_unique<Client>();
    kept->setEmail(String("kept@example.com"));
    read.setClient(std::move(kept));
    QVERIFY(read.readInstallation(&file, false, false));
    QCOMPARE(read.getClient()->getEmail().qString(), QStringLiteral("kept@example.com"));
    QCOMPARE(executableCount(read, String("stairmaker")), 2);
    const Executable& library =
        read.getInstallation()->getProducts().getProduct(String("stairmaker"))->getPlatformList().begin()->second
            ->getExecutables()->elements()[1];
    QCOMPARE(library.getErrorMessage().qString(), QStringLiteral("no space"));
    QCOMPARE(library.getVariant().qString(), QStringLiteral("solo"));

    // An empty file reads as nothing, successfully.
    writeFile(path, QByteArray());
    VantorixTools empty;
    QVERIFY(empty.readInstallation(&file, false, false));
}

void tst_VantorixTools::rewrites()
{
    const QString path = m_folder + "/com.vantorix.install.a.xml";
    QVERIFY(writeStore(path, installed(String("a"), {"/x/one"})));
    const QByteArray first = readFile(path);

    // A second name for the old file keeps the old content: the new text went
    // into a new file that replaced the old one, not over the old bytes.
    const QString link = m_folder + "/old-copy";
    QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(link).constData()), 0);
    QVERIFY(writeStore(path, installed(String("a"), {"/x/one", "/x/two"})));
    QCOMPARE(readFile(link), first);
    QVERIFY(readFile(path).contains("/x/two"));

    // Nothing else is left in the folder.
    QFile::remove(link);
    QCOMPARE(QDir(m_folder).entryList(QDir::Files | QDir::Hidden), QStringList{"com.vantorix.install.a.xml"});

    // A folder made by another user (or an older version) that this user
    // cannot write, holding a file he can: the file is rewritten in place, and
    // the log says so. When the other user cannot reach the sandbox (the
    // build lies in a folder only its owner may enter), a folder elsewhere.
    QString folder = m_folder;
    QString elsewhere;
    if (!otherUserCanReach(folder)) {
        elsewhere = makeReachableFolder();
        if (elsewhere.isEmpty())
            QSKIP("The other user can reach neither the sandbox nor a new folder under /tmp");
        folder = elsewhere;
    }
    const QString lockedPath = folder + "/com.vantorix.install.a.xml";
    if (lockedPath != path)
        QVERIFY(writeStore(lockedPath, installed(String("a"), {"/x/one"})));
    QVERIFY(lockFolderKeepFile(folder, lockedPath));
    const bool written = runAsOtherUser([&] {
        Logger::initialise(Logger::defaultMaxSize);
        return writeStore(lockedPath, installed(String("a"), {"/x/one", "/x/three"}))
            && Logger::lines().filter(QStringLiteral("cannot be written: rewriting the file in place")).size() == 1;
    });
    unlockFolder(folder);
    const QByteArray rewritten = readFile(lockedPath);
    if (!elsewhere.isEmpty())
        QDir(elsewhere).removeRecursively();
    QVERIFY(written);
    QVERIFY(rewritten.contains("/x/three"));
}

void tst_VantorixTools::walkerMergesAndCleans()
{
    const QString kept = m_shared + "/apps/kept";
    writeFile(kept, "binary");
    const QString partlyGone = m_folder + "/com.vantorix.install.partly.xml";
    const QString allGone = m_folder + "/com.vantorix.install.gone.xml";
    const QString broken = m_folder + "/com.vantorix.install.broken.xml";
    const QString otherName = m_folder + "/other.xml";
    const QString otherExtension = m_folder + "/com.vantorix.install.txt";
    QVERIFY(writeStore(partlyGone, installed(String("partly"), {kept, m_shared + "/apps/vanished"})));
    QVERIFY(writeStore(allGone, installed(String("gone"), {m_shared + "/apps/vanished"})));
    QVERIFY(writeStore(otherName, installed(String("other"), {kept})));
    QVERIFY(writeStore(otherExtension, installed(String("other2"), {kept})));
    const QByteArray brokenText("<vantorixtools><installation><products><product id=\"b\">");
    writeFile(broken, brokenText);

    // Reading never changes a file: a host on a volume that is away, or a
    // bundle moved for a moment, keeps its record.
    const QByteArray goneText = readFile(allGone);
    const QByteArray partlyText = readFile(partlyGone);
    VantorixTools unclean;
    unclean.readInstallationFolder(Directory(String(m_folder)), false);
    QCOMPARE(executableCount(unclean, String("gone")), 1);
    QCOMPARE(readFile(allGone), goneText);

    VantorixTools store;
    store.readInstallationFolder(Directory(String(m_folder)), true);

    QCOMPARE(executableCount(store, String("partly")), 1);
    QCOMPARE(executableCount(store, String("gone")), -1); // nothing installed remained: skipped
    QCOMPARE(executableCount(store, String("other")), -1);
    QCOMPARE(executableCount(store, String("other2")), -1);
    QCOMPARE(executableCount(store, String("b")), -1);

    QCOMPARE(readFile(partlyGone), partlyText);
    QCOMPARE(readFile(allGone), goneText);
    QCOMPARE(readFile(broken), brokenText);
    QVERIFY(QFile::exists(otherName));
}

void tst_VantorixTools::applicationsOwnRecord()
{
    VantorixTools store;
    QVERIFY(!store.readInstallation(nullptr, false, false)); // no application object, no own file

    // With the application object there is an own installation file.
    addon = new VantorixInstallerApp;
    const std::unique_ptr<DataFile> file = VantorixTools::getOwnInstallationFile(false);
    QVERIFY(file);
    QCOMPARE(file->getURL().qString(), m_folder + "/com.vantorix.install.vantorix_installer.xml");
    QVERIFY(!store.readInstallation(nullptr, false, false));
    store.mergeInstallation(installed(String("stairmaker"), {"/x"}));
    QVERIFY(store.writeInstallation(nullptr, true));
    VantorixTools read;
    QVERIFY(read.readInstallation(nullptr, false, false));
    QCOMPARE(executableCount(read, String("stairmaker")), 1);

    // Reading everything walks the folder (and finds the same file).
    VantorixTools all;
    QVERIFY(all.readInstallation(nullptr, true, false));
    QCOMPARE(executableCount(all, String("stairmaker")), 1);

    // The application names the folder once it wires its DirectoryHandler in.
    VantorixTools::setInstallationDirectoryProvider(&DirectoryHandler::getInstallationDirectory);
    QCOMPARE(VantorixTools::getOwnInstallationFile(false)->getURL(), file->getURL());
    VantorixTools::setInstallationDirectoryProvider(nullptr);
}

void tst_VantorixTools::clientFileRoundTrip()
{
    VantorixTools store;
    auto client = std::make_unique<Client>();
    client->setName(String("Anna Berg"));
    client->setEmail(String("anna@example.com"));
    client->setPassword(String("pa&ss<word>"));
    client->setCurrency(String("EUR"));
    store.setClient(std::move(client));
    store.mergeInstallation(installed(String("stairmaker"), {"/x"}));

    QVERIFY(store.writeClient());
    const QString path = m_prefs + "/Vantorix Tools/com.vantorix.client";
    QByteArray cipherText = readFile(path);
    QVERIFY(!cipherText.isEmpty());
    QCOMPARE(cipherText.size() % 8, 0);
    QVERIFY(!cipherText.contains("anna"));
    QCOMPARE(QFileInfo(path).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
             QFileDevice::Permissions());

    // Only the client is taken; what the reading store held otherwise stays.
    VantorixTools read;
    read.mergeInstallation(installed(String("roofer"), {"/y"}));
    QVERIFY(read.readClient());
    const Client& got = *read.getClient();
    QCOMPARE(QStringList({got.getName().qString(), got.getEmail().qString(), got.getPassword().qString(),
                          got.getCurrency().qString()}),
             QStringList({"Anna Berg", "anna@example.com", "pa&ss<word>", "EUR"}));
    QCOMPARE(read.getClient()->getEditTime().getTotalSeconds(), store.getClient()->getEditTime().getTotalSeconds());
    QCOMPARE(executableCount(read, String("roofer")), 1);
    QCOMPARE(executableCount(read, String("stairmaker")), -1);

    // The first address that is not the null address is the key.
    {
        Addresses addresses("00-00-00-00-00-00,AA-BB-CC-DD-EE-01");
        QVERIFY(store.writeClient());
    }
    {
        Addresses addresses("AA-BB-CC-DD-EE-02,AA-BB-CC-DD-EE-01");
        VantorixTools again;
        QVERIFY(again.readClient());
        QCOMPARE(again.getClient()->getEmail().qString(), QStringLiteral("anna@example.com"));
    }

    // The key is the address in any letter case, and only that address.
    QByteArray text;
    QVERIFY(VantorixTools::encipherClient(QByteArray("<client/>"), String("AA-BB-CC-DD-EE-FF"), cipherText));
    QVERIFY(!VantorixTools::decipherClient(cipherText, String("AA-BB-CC-DD-EE-FE"), text));
    QVERIFY(VantorixTools::decipherClient(cipherText, String("aa-bb-cc-dd-ee-ff"), text));
    QCOMPARE(text, QByteArray("<client/>"));
}

void tst_VantorixTools::clientFileFailures_data()
{
    QTest::addColumn<QString>("addresses");
    QTest::addColumn<QByteArray>("content"); // written enciphered; "-" for no file, "*" for raw garbage
    QTest::addColumn<bool>("writing");
    QTest::addColumn<QString>("message");

    QTest::newRow("no file") << sandboxAddress << QByteArray("-") << false << "Client file couldn't be found. ";
    QTest::newRow("another machine") << "AA-BB-CC-DD-EE-FF" << QByteArray("<vantorixtools><client/></vantorixtools>")
                                     << false << "The client file couldn't be decrypted. ";
    QTest::newRow("garbage") << sandboxAddress << QByteArray("*") << false
                             << "The client file couldn't be decrypted. ";
    QTest::newRow("bad XML") << sandboxAddress << QByteArray("<vantorixtools>\n<client>\n</vantorixtools>") << false
                             << "Error reading client file (3, 17). ";
    QTest::newRow("only null addresses") << "00-00-00-00-00-00" << QByteArray() << true << "Null encryption seed. ";
}

void tst_VantorixTools::clientFileFailures()
{
    QFETCH(QString, addresses);
    QFETCH(QByteArray, content);
    QFETCH(bool, writing);
    QFETCH(QString, message);

    const QString path = m_prefs + "/Vantorix Tools/com.vantorix.client";
    if (content == "*") {
        writeFile(path, QByteArray(16, 'x'));
    } else if (!writing && content != "-") {
        QByteArray cipherText;
        QVERIFY(VantorixTools::encipherClient(content, String(sandboxAddress), cipherText));
        writeFile(path, cipherText);
    }

    Addresses machine(addresses.toLatin1().constData());
    VantorixTools store;
    if (writing) {
        store.setClient(std::make_unique<Client>());
        QVERIFY(!store.writeClient());
        QVERIFY(!QFile::exists(path));
    } else {
        QVERIFY(!store.readClient());
        // Nothing is taken from a file that cannot be deciphered.
        QVERIFY(store.getClient() == nullptr || content == "<vantorixtools>\n<client>\n</vantorixtools>");
    }
    QCOMPARE(store.getLastErrorText().qString(), message);
    QVERIFY(Logger::lines().last().endsWith(message));
    QVERIFY(store.getLastError() != VantorixTools::noError);
}

void tst_VantorixTools::legacyMigration()
{
    const QString folder = m_shared + "/OrvoTools";
    const auto record = [](const char* host, const char* client, const char* addons) {
        return QByteArray("<orvotools version=\"") + host + "\">\n\t<client>" + client + "</client>\n\t<addons>\n"
            + "\t\t<addon id=\"stairmaker\" name=\"StairMaker\" code=\"SM\" " + addons + "\t</addons>\n"
            + "\t<licences>skipped</licences>\n</orvotools>\n";
    };
    writeFile(folder + "/ArchiCAD 16.xml",
              record("16", "<name>Old Name</name><email></email>",
                     "version=\"1.00\" folder=\"/Apps/ArchiCAD 16/Add-Ons/Vantorix/\"/>\n"));
    writeFile(folder + "/ArchiCAD 17.xml",
              record("17", "<name>Anna Berg</name><email>anna@example.com</email>",
                     "version=\"1.10\" folder=\"/Apps/ArchiCAD 17/Add-Ons/Vantorix\"/>\n"
                     "\t\t<addon name=\"Roofer\" version=\"2.00\" folder=\"/Apps/ArchiCAD 17/Add-Ons/Vantorix\"/>\n"
                     "\t\t<unknown/>\n"));
    writeFile(folder + "/ArchiCAD 15.xml", "<orvotools><addons>");

    VantorixTools one;
    QVERIFY(one.readLegacyInstallation(17, String("Roofer")));
    QCOMPARE(int(one.getInstallation()->getProducts().size()), 1);
    QCOMPARE(executableCount(one, String("Roofer")), 1);
    QVERIFY(!one.readLegacyInstallation(14, String()));

    VantorixTools all;
    QVERIFY(all.readInstallation(nullptr, true, false));
    const Product* stairMaker = all.getInstallation()->getProducts().getProduct(String("stairmaker"));
    QVERIFY(stairMaker);
    QCOMPARE(stairMaker->getCode().qString(), QStringLiteral("SM"));
    const RegisteredPlatform* ac16 = stairMaker->getPlatformList().find(PlatformSignature(HostType::archiCAD, 16));
    QVERIFY(ac16);
    QCOMPARE(ac16->getVersion().qString(), QStringLiteral("1.00"));
    QCOMPARE(ac16->getExecutables()->elements()[0].getPath().qString(),
             QStringLiteral("/Apps/ArchiCAD 16/Add-Ons/Vantorix/StairMaker.apx/Contents/MacOS/StairMaker"));
    QCOMPARE(executableCount(all, String("stairmaker"), 17), 1);

    // The newest file gives the client unless one version is asked for.
    for (const short version : {short(PlatformSignature::allVersions), short(16)}) {
        VantorixTools client;
        QVERIFY(client.readLegacyClient(version));
        const Client* got = client.getClient();
        QCOMPARE(got->getName().qString() + '|' + got->getEmail().qString(),
                 version == 16 ? QStringLiteral("Old Name|") : QStringLiteral("Anna Berg|anna@example.com"));
    }
}

void tst_VantorixTools::fullDiskKeepsTheOldFile_data()
{
    QTest::addColumn<bool>("client");
    QTest::newRow("installation file") << false;
    QTest::newRow("client file") << true;
}

// A save that runs out of room fails and leaves the old file whole. The text
// is far below the toolkit's write buffer, so it reaches the disk only when
// flushed.
void tst_VantorixTools::fullDiskKeepsTheOldFile()
{
    QFETCH(bool, client);
    FullDisk disk(testsupport::sandboxDir() + "/full");
    QVERIFY(disk.isReady());
    DataFile file(String(disk.path() + "/record.xml"));
    VantorixTools store;
    store.setClient(std::make_unique<Client>());
    store.getClient()->setEmail(String("anna@example.com"));
    store.mergeInstallation(installed(String("a"), {"/x/one"}));
    QVERIFY(client ? store.writeClient(&file) : store.writeInstallation(&file, true));
    const QByteArray old = readFile(file.getURL().qString());
    QVERIFY(!old.isEmpty());

    store.getClient()->setEmail(String("berg@example.com"));
    store.mergeInstallation(installed(String("b"), {"/x/two"}));
    QVERIFY(disk.fill());
    QVERIFY(!(client ? store.writeClient(&file) : store.writeInstallation(&file, true)));
    disk.release();
    QCOMPARE(readFile(file.getURL().qString()), old);
    QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"record.xml"});
    QVERIFY(store.getLastError() != VantorixTools::noError);
}

void tst_VantorixTools::hostileNamesStayInTheFolder_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("fileName"); // empty: any name inside the folder
    QTest::newRow("safe keeps its form") << "Stair Maker" << "com.vantorix.install.stair_maker.xml";
    QTest::newRow("slash") << "Doors/Windows Pack" << "com.vantorix.install.doors%2Fwindows_pack.xml";
    QTest::newRow("climbing out") << "x/../../../../escaped" << "com.vantorix.install.x%2F..%2F..%2F..%2F..%2Fescaped.xml";
    QTest::newRow("backslash") << "a\\..\\b" << "com.vantorix.install.a%5C..%5Cb.xml";
    QTest::newRow("dot dot") << ".." << "com.vantorix.install.%2E..xml";
    QTest::newRow("hidden") << ".profile" << "com.vantorix.install.%2Eprofile.xml";
    QTest::newRow("NUL and control") << QString::fromLatin1("a\0b\x01" "c", 5) << "com.vantorix.install.a%00b%01c.xml";
    QTest::newRow("too long") << QString(300, QChar(0x00E9)) << QString();
}

// Product names come from the service and from offline files made elsewhere:
// whatever they hold, the installation file stays in the installation folder
// and the folder walk reads the record back.
void tst_VantorixTools::hostileNamesStayInTheFolder()
{
    QFETCH(QString, name);
    QFETCH(QString, fileName);
    const QString root = m_shared;
    QFile::remove(testsupport::sandboxDir() + "/escaped.xml");
    Product product = installed(String("hostile"), {"/x/one"});
    product.setName(String(name));
    VantorixTools store;
    store.mergeInstallation(product);
    const std::unique_ptr<DataFile> file = VantorixTools::getInstallationFile(product, true);
    QVERIFY(file);
    QVERIFY(store.writeInstallation(file.get(), true));

    // Where the name joined as it is would have put the file.
    QString naive = name.toLower();
    naive.replace(QLatin1Char(' '), QLatin1Char('_'));
    const QString naivePath = QDir::cleanPath(m_folder + "/com.vantorix.install." + naive + ".xml");

    QStringList written;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        written << it.next();
    QCOMPARE(written.size(), 1);
    QCOMPARE(QFileInfo(written.first()).absolutePath(), m_folder);
    if (!fileName.isEmpty())
        QCOMPARE(QFileInfo(written.first()).fileName(), fileName);
    if (naivePath != written.first() && !naivePath.contains(QChar(0)))
        QVERIFY2(!QFile::exists(naivePath), qPrintable(naivePath));

    VantorixTools read;
    read.readInstallationFolder(Directory(String(m_folder)), false);
    QVERIFY(read.getInstallation());
    const Product* back = read.getInstallation()->getProducts().getProduct(String("hostile"));
    QVERIFY(back);
    // Control characters do not survive XML text; every other name does.
    if (!name.contains(QRegularExpression(QStringLiteral("[\\x00-\\x1f]"))))
        QCOMPARE(back->getName().qString(), name);
    QCOMPARE(executableCount(read, String("hostile")), 1);
}

QTEST_GUILESS_MAIN(tst_VantorixTools)
#include "tst_VantorixTools.moc"
