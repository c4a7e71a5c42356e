// Offline install files through the installer manager: hostile and damaged
// files refused with their code and reason and nothing written outside the
// temporary folder, a sound file restoring catalogue, caches and archives,
// saving against the service stand-in (whole or not at all, never a
// password), and the empty file's message.

#include "DirectoryHandler.h"
#include "InstallerClient.h"
#include "InstallerManager.h"
#include "OfflinePackage.h"
#include "VantorixInstallerApp.h"
#include "products/ArchiveMap.h"
#include "products/InstallerProduct.h"

#include "common/FakeHost.h"
#include "common/FileBytes.h"
#include "common/FullDisk.h"
#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include "Catalogue/Client.h"
#include "Catalogue/Installation.h"
#include "Catalogue/VantorixTools.h"
#include "File/DataFile.h"
#include "File/Directory.h"
#include "Serialise/XMLWriter.h"
#include "Utility/DataBufferOut.h"
#include "Utility/MemoryBlock.h"
#include "Environment/Host.h"
#include "Interface/AlertRecorder.h"
#include "Utility/ZipArchive.h"
#include "Utility/ZipWriter.h"

#include <QDirIterator>
#include <QSignalSpy>
#include <QtTest>

using namespace vantorix;
using namespace installer;
using testsupport::ServiceProcess;

namespace {

const char* const typedPassword = "correct horse";
const char* const archiveName = "0A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D.zfpkg";

QString dataFile(const QString& name)
{
    return testsupport::dataDir() + "/app/offline/" + name;
}

QString tempFolder()
{
    return DirectoryHandler::getTempDirectory()->getURL().qString();
}

// Archives written where they do not belong: any under this test's sandbox
// but its temporary folder, and any named like the hostile files' archive in
// the folders above the temporary folder (where "../" names would lead).
QStringList archivesOutsideTemp()
{
    QStringList found;
    const QString temp = QDir(tempFolder()).canonicalPath();
    QDirIterator it(testsupport::sandboxDir(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.endsWith(QLatin1String(".zfpkg")) && !QFileInfo(path).canonicalPath().startsWith(temp))
            found << path;
    }
    QDir above(temp);
    for (int level = 0; level < 4 && above.cdUp(); ++level) {
        for (const QString& name : above.entryList({QStringLiteral("0A1B2C3D*")}, QDir::Files | QDir::Hidden))
            found << above.filePath(name);
    }
    return found;
}

QStringList unpackedArchives()
{
    return QDir(tempFolder()).entryList({"*.zfpkg"}, QDir::Files);
}

QString row(short number)
{
    return host.getLocalString(32524, number).qString();
}

// Every entry of a zip, inflated, by name.
QMap<QString, QByteArray> entries(const QString& path)
{
    QMap<QString, QByteArray> found;
    ZipArchive zip{String(path)};
    for (unsigned index = 0; index < zip.getEntryCount(); ++index) {
        const std::unique_ptr<ZipArchive::Entry> entry = zip.getEntry(index);
        if (entry && entry->getData())
            found.insert(entry->getPath().qString(), entry->getData()->get());
    }
    return found;
}

short readFromFile(const QString& path, AlertRecorder& alerts)
{
    manager.setDefault();
    manager.setInstallerAction(InstallerManager::installFromOfflineFile);
    manager.setOfflineFilePath(String(path));
    alerts.clear();
    manager.rebuild();
    return manager.getLastError();
}

} // namespace

class tst_OfflinePackage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void refusedFiles_data();
    void refusedFiles();
    void soundFileRestores();
    void passwordFromElsewhereDropped();
    void saveAndReadBack();
    void fullDiskKeepsPreviousFile();
    void downloadsRunning();
    void emptyFileMessage();

private:
    // Signs in, lists and adds Stair Maker for every language and version,
    // waiting for its downloads.
    bool addStairMaker();

    ServiceProcess m_service;
    QString m_host19;
};

void tst_OfflinePackage::initTestCase()
{
    addon = new VantorixInstallerApp;
    m_host19 = testsupport::sandboxDir() + "/hosts/Studio/ArchiCAD 19";
    fakehost::FakeHostOptions options;
    options.folder = m_host19;
    QVERIFY(fakehost::create(options));
    host.initialise();
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
    m_service.exportEnvironment();
}

void tst_OfflinePackage::init()
{
    manager.setDefault();
    client.setDefault();
    client.setName(String("Anna Berg"));
    client.setEmail(String("anna.berg@example.com"));
    client.setPassword(String(typedPassword));
    for (const QString& name : unpackedArchives())
        QFile::remove(QDir(tempFolder()).filePath(name));
}

void tst_OfflinePackage::cleanupTestCase()
{
    manager.setDefault();
    delete addon;
    addon = nullptr;
}

void tst_OfflinePackage::refusedFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<short>("code");
    QTest::addColumn<short>("detailRow");  // -1: no reason beyond the row

    QTest::newRow("missing") << "nothing-here.zfinstall" << short(4) << short(-1);
    QTest::newRow("not a zip") << "not-a-zip.zfinstall" << short(8) << short(78);
    QTest::newRow("truncated") << "truncated.zfinstall" << short(8) << short(78);
    QTest::newRow("no catalogue") << "no-catalogue.zfinstall" << short(4) << short(79);
    QTest::newRow("traversal in an entry") << "traversal.zfinstall" << short(8) << short(78);
    QTest::newRow("traversal in the archive map") << "traversal-in-map.zfinstall" << short(8) << short(74);
    QTest::newRow("two dots") << "two-dots.zfinstall" << short(8) << short(74);
    QTest::newRow("folder in a name") << "folder.zfinstall" << short(8) << short(74);
    QTest::newRow("archive not listed") << "not-listed.zfinstall" << short(8) << short(74);
    QTest::newRow("another entry") << "other-name.zfinstall" << short(8) << short(74);
    QTest::newRow("damaged catalogue") << "damaged-catalogue.zfinstall" << short(8) << short(76);
    QTest::newRow("another version") << "other-version.zfinstall" << short(9) << short(80);
    QTest::newRow("no version") << "no-version.zfinstall" << short(9) << short(80);
    QTest::newRow("wrong checksum") << "checksum.zfinstall" << short(8) << short(77);
    QTest::newRow("bomb") << "bomb.zfinstall" << short(8) << short(75);
}

void tst_OfflinePackage::refusedFiles()
{
    QFETCH(QString, file);
    QFETCH(short, code);
    QFETCH(short, detailRow);

    AlertRecorder alerts;
    QCOMPARE(readFromFile(dataFile(file), alerts), code);
    // The user sees the row of the code, and why under it.
    QCOMPARE(alerts.boxes().size(), std::size_t(1));
    QCOMPARE(alerts.boxes().front().text.qString(), row(code));
    const QString detail = alerts.boxes().front().informativeText.qString();
    if (detailRow < 0) {
        QVERIFY(detail.isEmpty());
    } else {
        const QString stem = row(detailRow).section(QLatin1String("$1"), 0, 0);
        QVERIFY2(detail.startsWith(stem), qPrintable(detail));
    }
    // Nothing of the file stays: no unpacked archive, no catalogue, no
    // archive records; nothing was written outside the temporary folder.
    QCOMPARE(unpackedArchives(), QStringList());
    QCOMPARE(archivesOutsideTemp(), QStringList());
    QVERIFY(manager.getArchives().empty());
    QVERIFY(manager.getCatalogue().getInstallation() == nullptr
            || manager.getCatalogue().getInstallation()->getProducts().empty());
}

void tst_OfflinePackage::soundFileRestores()
{
    AlertRecorder alerts;
    QCOMPARE(readFromFile(dataFile("good.zfinstall"), alerts), short(0));
    QVERIFY(alerts.boxes().empty());
    QCOMPARE(unpackedArchives(), QStringList{archiveName});
    ProductArchive* archive = manager.getArchives().getArchive(String("http://127.0.0.1:9/files/archives/StairMaker-19-INT.zip"));
    QVERIFY(archive != nullptr && archive->isReady() && archive->getFile() != nullptr);
    QCOMPARE(readFile(archive->getFile()->getURL().qString()),
             readFile(testsupport::dataDir() + "/Web/service/files/archives/StairMaker-19-INT.zip"));
    // The tree of this machine's host lists the product, and the window
    // offers it: the file holds its archive.
    const Guid id = manager.getApplication(String(m_host19));
    const ProductTree::ProductList* list = manager.getProductTree().getProducts(id);
    QVERIFY(list != nullptr && list->size() == 1);
    QVERIFY(OfflinePackage::holdsArchives(*list->front(), manager.getArchives()));
    QCOMPARE(client.getName().qString(), QStringLiteral("Anna Berg"));

    // A file without archives reads, but offers nothing to install.
    QCOMPARE(readFromFile(dataFile("no-archives.zfinstall"), alerts), short(0));
    list = manager.getProductTree().getProducts(manager.getApplication(String(m_host19)));
    QVERIFY(list != nullptr && list->size() == 1);
    QVERIFY(!OfflinePackage::holdsArchives(*list->front(), manager.getArchives()));
}

void tst_OfflinePackage::passwordFromElsewhereDropped()
{
    // A file whose client carries an enciphered password, as one written
    // elsewhere might.
    QMap<QString, QByteArray> parts = entries(dataFile("good.zfinstall"));
    VantorixTools withPassword;
    auto record = std::make_unique<Client>();
    record->setEmail(String("mallory@example.com"));
    record->setPassword(String("s3cret"));
    withPassword.setClient(std::move(record));
    QByteArray clientXml;
    {
        MemoryBlock block;
        DataBufferOut out(&block);
        QVERIFY(XMLWriter(&out).exportFrom(withPassword, false, false, false, false));
        out.flush();
        clientXml = block.get();
    }
    const int start = clientXml.indexOf("<client");
    const QByteArray client = clientXml.mid(start, clientXml.indexOf("</client>") + 9 - start);
    QVERIFY(client.contains("<password>") && !client.contains("<password></password>"));
    QByteArray& listing = parts["ProductListing.xml"];
    const int from = listing.indexOf("<client");
    listing.replace(from, listing.indexOf("</client>") + 9 - from, client);

    const QString path = testsupport::sandboxDir() + "/password.zfinstall";
    ZipWriter writer(path);
    QVERIFY(writer.open());
    for (const char* name : {"ProductListing.xml", "ImageMap.xml", "ArchiveMap.xml", "EULAMap.xml", archiveName})
        QVERIFY(writer.addEntry(QString::fromLatin1(name), parts.value(QString::fromLatin1(name))));
    QVERIFY(writer.commit());

    AlertRecorder alerts;
    ::client.setDefault();
    QCOMPARE(readFromFile(path, alerts), short(0));
    QCOMPARE(::client.getEmail().qString(), QStringLiteral("mallory@example.com"));
    QVERIFY(::client.getPassword().empty());
    QVERIFY(manager.getCatalogue().getClient()->getPassword().empty());
}

bool tst_OfflinePackage::addStairMaker()
{
    manager.setInstallerAction(InstallerManager::createOfflineFile);
    if (!manager.rebuild())
        return false;
    std::vector<InstallerProduct*> added;
    for (const auto& entry : manager.getApplications()) {
        if (const ProductTree::ProductList* list = manager.getProductTree().getProducts(entry.first)) {
            for (const auto& product : *list) {
                if (product->getProduct().getName().qString() == QLatin1String("Stair Maker"))
                    added.push_back(product.get());
            }
        }
    }
    for (InstallerProduct* product : added) {
        QSignalSpy done(product, &InstallerProduct::productActionComplete);
        product->install();
        if (done.isEmpty() && !done.wait(30000))
            return false;
    }
    return added.size() == 2;
}

void tst_OfflinePackage::saveAndReadBack()
{
    const QString path = testsupport::sandboxDir() + "/made.zfinstall";
    QFile::remove(path);
    QVERIFY(addStairMaker());
    manager.setOfflineFilePath(String(path));
    AlertRecorder alerts;
    QVERIFY(manager.saveOfflineFile());
    QVERIFY(manager.isOfflineFileSaved());
    QVERIFY(alerts.boxes().empty());

    // The records in their order, then one archive per language and version,
    // named as the cache names them.
    ZipArchive zip{String(path)};
    QCOMPARE(zip.getEntryCount(), 8u);
    QStringList names;
    for (unsigned index = 0; index < 8; ++index)
        names << zip.getEntryPath(index).qString();
    QCOMPARE(names.mid(0, 4), (QStringList{"ProductListing.xml", "ImageMap.xml", "ArchiveMap.xml", "EULAMap.xml"}));
    for (const QString& name : names.mid(4))
        QVERIFY2(OfflinePackage::isArchiveEntryName(name), qPrintable(name));

    // Neither the typed password nor any enciphered one is in any entry.
    const QMap<QString, QByteArray> parts = entries(path);
    for (auto it = parts.cbegin(); it != parts.cend(); ++it)
        QVERIFY2(!it.value().contains(typedPassword), qPrintable(it.key()));
    QVERIFY(parts.value("ProductListing.xml").contains("<password></password>"));
    QVERIFY(parts.value("ProductListing.xml").contains("<email>anna.berg@example.com</email>"));
    QVERIFY(parts.value("EULAMap.xml").isEmpty() || parts.value("EULAMap.xml").contains("eulaMap"));

    // Read back where the service cannot be reached: the same archives.
    QMap<QString, QByteArray> downloaded;
    for (const auto& entry : manager.getArchives())
        downloaded.insert(entry.first.qString(), readFile(entry.second->getFile()->getURL().qString()));
    for (const QString& name : unpackedArchives())
        QFile::remove(QDir(tempFolder()).filePath(name));
    const QByteArray service = qgetenv("VANTORIX_SERVICE_URL");
    qputenv("VANTORIX_SERVICE_URL", "http://127.0.0.1:9");
    QCOMPARE(readFromFile(path, alerts), short(0));
    qputenv("VANTORIX_SERVICE_URL", service);
    QCOMPARE(int(manager.getArchives().size()), downloaded.size());
    for (const auto& entry : manager.getArchives())
        QCOMPARE(readFile(entry.second->getFile()->getURL().qString()), downloaded.value(entry.first.qString()));
}

void tst_OfflinePackage::fullDiskKeepsPreviousFile()
{
    FullDisk disk(testsupport::sandboxDir() + "/full");
    QVERIFY(disk.isReady());
    const QString path = disk.path() + "/carried.zfinstall";
    writeFile(path, "an earlier file\n");
    QVERIFY(addStairMaker());
    manager.setOfflineFilePath(String(path));
    AlertRecorder alerts;
    QVERIFY(disk.fill());
    const bool saved = manager.saveOfflineFile();
    disk.release();

    QVERIFY(!saved);
    QVERIFY(!manager.isOfflineFileSaved());
    QCOMPARE(readFile(path), QByteArray("an earlier file\n"));
    // No temporary file is left beside it.
    QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"carried.zfinstall"});
    // The user is told, with the file and the system's reason.
    QCOMPARE(alerts.boxes().size(), std::size_t(1));
    const QString message = alerts.boxes().front().text.qString();
    QVERIFY2(message.startsWith(row(52).section(QLatin1String("$1"), 0, 0) + path), qPrintable(message));
}

void tst_OfflinePackage::downloadsRunning()
{
    const QString path = testsupport::sandboxDir() + "/running.zfinstall";
    writeFile(path, "kept\n");
    QVERIFY(addStairMaker());
    manager.setOfflineFilePath(String(path));
    // An agreement whose download has only just started.
    manager.getEULAs().fetch(String(m_service.url() + "/files/agreements/eula.html"));
    AlertRecorder alerts;
    QVERIFY(!manager.saveOfflineFile());
    QCOMPARE(alerts.boxes().size(), std::size_t(1));
    QCOMPARE(alerts.boxes().front().text.qString(), row(83));
    QCOMPARE(readFile(path), QByteArray("kept\n"));
    // Once it has arrived, the file is saved.
    QTRY_VERIFY(manager.getEULAs().begin()->second->isReady());
    QVERIFY(manager.saveOfflineFile());
    QVERIFY(entries(path).value("EULAMap.xml").contains("eula.html"));
}

void tst_OfflinePackage::emptyFileMessage()
{
    const QString path = testsupport::sandboxDir() + "/empty.zfinstall";
    writeFile(path, "kept\n");
    manager.setInstallerAction(InstallerManager::createOfflineFile);
    manager.setOfflineFilePath(String(path));
    AlertRecorder alerts;
    QVERIFY(!manager.saveOfflineFile());
    QCOMPARE(alerts.boxes().size(), std::size_t(1));
    QCOMPARE(alerts.boxes().front().text.qString(), row(6));
    QCOMPARE(readFile(path), QByteArray("kept\n"));
}

QTEST_MAIN(tst_OfflinePackage)
#include "tst_OfflinePackage.moc"
