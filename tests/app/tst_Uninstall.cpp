// A product installed from the stand-in's sample archive through its download,
// then uninstalled; and the same two actions while an offline file is made.

#include "InstallerManager.h"
#include "products/InstallJournal.h"
#include "products/InstallerProduct.h"
#include "products/ProductArchive.h"

#include "common/FakeHost.h"
#include "common/FileBytes.h"
#include "common/FullDisk.h"
#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include "Applications/Application.h"
#include "Applications/ApplicationMap.h"
#include "Catalogue/Executable.h"
#include "Catalogue/ExecutableMap.h"
#include "Catalogue/Installation.h"
#include "Catalogue/ProductMap.h"
#include "Catalogue/VantorixTools.h"
#include "File/DataFile.h"
#include "File/Directory.h"

#include <QtTest>

#include <unistd.h>

using namespace vantorix;
using namespace installer;

namespace {

Product stairMaker()
{
    return Product(String("0A000000-0000-4000-8000-000000000019"), String("Stair Maker"), String("SM"));
}

// A host made fresh for the test, active in the manager.
Application* activeHost(const QString& name)
{
    fakehost::FakeHostOptions options;
    options.folder = testsupport::sandboxDir() + "/apps/" + name;
    QDir(options.folder).removeRecursively();
    if (!fakehost::create(options))
        return nullptr;
    Guid id;
    manager.getApplications().insert(id.generate(), std::make_unique<Application>(HostType::archiCAD, String(options.folder)));
    manager.setActiveApplication(id);
    return manager.getApplication(id);
}

} // namespace

class tst_Uninstall : public QObject {
    Q_OBJECT

private slots:
    void init();
    void installThenUninstall();
    void interruptedUninstall_data();
    void interruptedUninstall();
    void recordsOnAFullDisk();
    void outcomesInTheRunsStore();
    void offlineFileCreation();
    void uninstallDuringDownload();

private:
    RegisteredPlatform platform(const QString& archive) const
    {
        RegisteredPlatform platform{String("1.50"), PlatformSignature(HostType::archiCAD, 19)};
        platform.setOwned(true);
        platform.details().releaseList.push_back(ReleaseUrl(String("INT"), String(m_service.url() + "/files/archives/" + archive)));
        return platform;
    }

    testsupport::ServiceProcess m_service;
};

void tst_Uninstall::init()
{
    if (const std::unique_ptr<DataFile> record = VantorixTools::getInstallationFile(stairMaker(), false))
        QFile::remove(record->getURL().qString());
    for (const QString& name : QDir(InstallJournal::folder()).entryList(QDir::Files))
        QFile::remove(InstallJournal::folder() + "/" + name);
    manager.setDefault();
    manager.setInstallerAction(InstallerManager::installOnline);
    if (!m_service.isRunning())
        QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
}

void tst_Uninstall::installThenUninstall()
{
    const Application* host = activeHost("installed");
    QVERIFY(host != nullptr);
    const QString addOns = host->getDirectory(Application::dll).qString();
    const QString library = host->getDirectory(Application::library).qString();
    const QString extra = host->getDirectory(Application::extra).qString();
    const QString root = host->getPath().qString();
    // The user's own files and another product's bundle beside the tool's.
    writeFile(addOns + "StairMaker.apx notes.txt", "mine");
    writeFile(addOns + "MyStairMaker.apx/Contents/MacOS/MyStairMaker", "another product");
    const QString bundleOfHost = root + "/ArchiCAD 19.app/Contents/MacOS/ArchiCAD";
    const QByteArray hostBytes = readFile(bundleOfHost);
    QVERIFY(!hostBytes.isEmpty());

    InstallerProduct product(stairMaker(), platform("StairMaker-19-INT.zip"));
    QSignalSpy complete(&product, &InstallerProduct::productActionComplete);
    product.install();
    QVERIFY(complete.wait(20000));

    QCOMPARE(readFile(addOns + "StairMaker.apx/Contents/MacOS/StairMaker"), QByteArray("StairMaker add-on for ArchiCAD 19, INT\n"));
    const QString part = root + "/Library Parts/StairMaker/StairMaker Part.gsm";
    const std::vector<String> items = {String(addOns + "StairMaker.apx"), String(library + "StairMaker 19 INT.lcf"),
                                       String(part), String(extra + "StairMaker Read Me.txt")};
    for (const String& item : items)
        QVERIFY2(QFileInfo::exists(item.qString()), qPrintable(item.qString()));
    // Every item placed is the product's, the add-on first.
    QCOMPARE(product.getLocalPaths(), items);
    QCOMPARE(product.getLocalVersion(), 1.5);
    const std::unique_ptr<DataFile> file = VantorixTools::getInstallationFile(product.getProduct(), false);
    QVERIFY(file && file->exists());
    const QByteArray record = readFile(file->getURL().qString());
    for (const QString& listed : {library + "StairMaker 19 INT.lcf", part, root + "/Library Parts/StairMaker/"})
        QVERIFY2(record.contains(listed.toUtf8()), record.constData());
    QVERIFY(!(QFileInfo(file->getURL().qString()).permissions() & (QFileDevice::ExeOwner | QFileDevice::ExeOther)));

    // Entries nobody but the product may own, as another user of the
    // machine could add them to the shared record.
    const QString outside = testsupport::sandboxDir() + "/outside/StairMaker.apx";
    writeFile(outside, "not the host's");
    QByteArray tampered = record;
    tampered.replace("</executables>", "<executable path=\"" + bundleOfHost.toUtf8() + "\" version=\"1.50\"/>"
                     "<executable path=\"" + outside.toUtf8() + "\" version=\"1.50\"/>"
                     "<executable path=\"" + addOns.toUtf8() + "\" version=\"1.50\"/></executables>");
    QVERIFY(tampered != record);
    writeFile(file->getURL().qString(), tampered);

    product.unInstall();
    QCOMPARE(complete.count(), 2);
    QCOMPARE(QDir(addOns).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({"MyStairMaker.apx", "StairMaker.apx notes.txt"}));
    QVERIFY(QDir(library).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    QVERIFY(!QFileInfo::exists(root + "/Library Parts"));  // made by the install, now empty
    QVERIFY(!QFileInfo::exists(extra + "StairMaker Read Me.txt"));
    QCOMPARE(readFile(outside), QByteArray("not the host's"));
    QCOMPARE(readFile(bundleOfHost), hostBytes);
    // The record keeps only what lies outside this host, which is not this
    // host's to judge.
    const QByteArray left = readFile(file->getURL().qString());
    QVERIFY2(left.contains(outside.toUtf8()) && !left.contains((root + "/").toUtf8()), left.constData());
    QVERIFY(!product.isInstalled());
}

// A product killed half-way through its uninstall is, after the next start's
// recovery, either installed and recorded or gone and unrecorded.
void tst_Uninstall::interruptedUninstall_data()
{
    // Four items and the record are moved aside.
    QTest::addColumn<int>("moves");
    QTest::addColumn<bool>("gone");
    QTest::newRow("killed after two items") << 2 << false;
    QTest::newRow("killed before the record") << 4 << false;
    QTest::newRow("killed after the last move") << 5 << true;
}

void tst_Uninstall::interruptedUninstall()
{
    QFETCH(int, moves);
    QFETCH(bool, gone);
    const Application* host = activeHost(QString("killed%1").arg(moves));
    QVERIFY(host != nullptr);
    const QString root = host->getPath().qString();
    InstallerProduct product(stairMaker(), platform("StairMaker-19-INT.zip"));
    QSignalSpy complete(&product, &InstallerProduct::productActionComplete);
    QSignalSpy failure(&product, &InstallerProduct::productActionFailure);
    product.install();
    QVERIFY(complete.wait(20000));
    const std::unique_ptr<DataFile> file = VantorixTools::getInstallationFile(product.getProduct(), false);
    const QString recordPath = file->getURL().qString();
    const QByteArray record = readFile(recordPath);
    const auto tree = [&root]() {
        QStringList items;
        QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext())
            items << it.next();
        items.sort();
        return items;
    };
    const QStringList installed = tree();

    InstallTransaction::setInterruption(moves, true);
    product.unInstall();
    InstallTransaction::setInterruption(-1, false);
    QCOMPARE(failure.count(), 1);
    QCOMPARE(InstallJournal::recover(), 1);
    if (gone) {
        QVERIFY(!QFileInfo::exists(recordPath));
        QVERIFY(!QFileInfo::exists(root + "/Library Parts"));
        QVERIFY(!QFileInfo::exists(host->getDirectory(Application::dll).qString() + "StairMaker.apx"));
    } else {
        QCOMPARE(readFile(recordPath), record);
        QCOMPARE(tree(), installed);
    }
    QVERIFY(QDir(InstallJournal::folder()).entryList({"*.xml"}, QDir::Files).isEmpty());
}

// A record that cannot be written fails the install and leaves the files
// as they were.
void tst_Uninstall::recordsOnAFullDisk()
{
    if (::geteuid() != 0)
        QSKIP("needs a disk of its own for the records (root)");
    const Application* host = activeHost("fullrecords");
    QVERIFY(host != nullptr);
    const QString root = host->getPath().qString();
    FullDisk disk(testsupport::sandboxDir() + "/fullshared");
    QVERIFY(disk.isReady());
    const QByteArray shared = qgetenv("VANTORIX_SHARED_DIR");
    qputenv("VANTORIX_SHARED_DIR", disk.path().toUtf8());
    InstallerProduct product(stairMaker(), platform("StairMaker-19-INT.zip"));
    QVERIFY(VantorixTools::getInstallationDirectory(true));
    QVERIFY(disk.fill());
    QSignalSpy failure(&product, &InstallerProduct::productActionFailure);
    product.install();
    const bool failed = failure.wait(20000);
    disk.release();
    qputenv("VANTORIX_SHARED_DIR", shared);
    QVERIFY(failed);
    QVERIFY2(product.getLastError().qString().startsWith("The installation record "), qPrintable(product.getLastError().qString()));
    QVERIFY(!QFileInfo::exists(host->getDirectory(Application::dll).qString() + "StairMaker.apx"));
    QVERIFY(!QFileInfo::exists(root + "/Library Parts"));
    QVERIFY(!product.isInstalled());
}

// The run's store (sent in the installation report) keeps an earlier
// success when a reinstall fails and is rolled back, and records a failed
// first install under the host's folder.
void tst_Uninstall::outcomesInTheRunsStore()
{
    const Application* host = activeHost("outcomes");
    QVERIFY(host != nullptr);
    const auto entries = [&]() {
        QMap<QString, QString> found;
        const Installation* installation = manager.getInstallations().getInstallation();
        const Product* product = installation ? installation->getProducts().getProduct(stairMaker().getID()) : nullptr;
        const RegisteredPlatform* platform =
            product ? product->getPlatformList().find(PlatformSignature(HostType::archiCAD, 19)) : nullptr;
        if (platform != nullptr && platform->getExecutables() != nullptr) {
            for (const Executable& entry : platform->getExecutables()->elements())
                found[entry.getPath().qString()] = entry.getErrorMessage().qString();
        }
        return found;
    };
    InstallerProduct product(stairMaker(), platform("StairMaker-19-INT.zip"));
    QSignalSpy complete(&product, &InstallerProduct::productActionComplete);
    QSignalSpy failure(&product, &InstallerProduct::productActionFailure);

    const String url = product.getPlatform().getReleaseList()->front().getUrl();
    product.install();
    QVERIFY(complete.wait(20000));
    QVERIFY(product.isInstalled());
    const QString bundle = host->getDirectory(Application::dll).qString() + "StairMaker.apx/Contents/MacOS/Stair Maker";
    QCOMPARE(entries().value(bundle, "absent"), QString());

    // The reinstall fails: its archive (kept from the first) is no zip now.
    DataFile* archive = manager.getArchives().getArchive(url)->getFile();
    QVERIFY(archive != nullptr);
    const QString archivePath = archive->getURL().qString();
    const QByteArray good = readFile(archivePath);
    writeFile(archivePath, "not a zip");
    product.install();
    QCOMPARE(failure.count(), 1);
    QCOMPARE(product.getLastError().qString(), QString("Empty zip Archive"));
    QVERIFY(product.isInstalled());
    // The installed items keep their success; the failure is the host's.
    QCOMPARE(entries().value(bundle, "absent"), QString());
    QCOMPARE(entries().value(host->getPath().qString()), QString("Empty zip Archive"));
    writeFile(archivePath, good);
}

// Making an offline file downloads but installs nothing; removing the product
// again takes its archive out of the package.
void tst_Uninstall::offlineFileCreation()
{
    const Application* host = activeHost("offline");
    QVERIFY(host != nullptr);
    const QStringList before = QDir(host->getPath().qString()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    manager.setInstallerAction(InstallerManager::createOfflineFile);
    InstallerProduct product(stairMaker(), platform("StairMaker-18-INT.zip"));
    const String url = product.getPlatform().getReleaseList()->front().getUrl();
    QSignalSpy complete(&product, &InstallerProduct::productActionComplete);
    product.install();
    QVERIFY(complete.wait(20000));
    QCOMPARE(product.getLocalVersion(), 1.5);
    QVERIFY(product.getLocalPaths().empty());
    QVERIFY(manager.getArchives().getArchive(url) != nullptr);
    QCOMPARE(QDir(host->getPath().qString()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);

    product.unInstall();
    QCOMPARE(complete.count(), 2);
    QVERIFY(manager.getArchives().getArchive(url) == nullptr);
    QVERIFY(!product.isInstalled());
}

// An install abandoned by an uninstall does nothing when its download ends.
void tst_Uninstall::uninstallDuringDownload()
{
    const Application* host = activeHost("abandoned");
    QVERIFY(host != nullptr);
    InstallerProduct product(stairMaker(), platform("StairMaker-19-GER.zip"));
    QSignalSpy complete(&product, &InstallerProduct::productActionComplete);
    QSignalSpy failure(&product, &InstallerProduct::productActionFailure);
    product.install();
    QVERIFY(product.isBusy() && !product.getDownloaders().empty());
    QSignalSpy downloaded(product.getDownloaders().front().data(), QOverload<>::of(&Downloader::finishDownload));
    product.unInstall();
    QVERIFY(downloaded.wait(20000));
    QCOMPARE(complete.count(), 1);
    QCOMPARE(failure.count(), 0);
    QVERIFY(!QFileInfo::exists(host->getDirectory(Application::dll).qString()));
    QVERIFY(!product.isInstalled() && !product.isBusy());
}

QTEST_GUILESS_MAIN(tst_Uninstall)
#include "tst_Uninstall.moc"
