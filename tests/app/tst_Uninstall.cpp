// A product installed from the stand-in's sample archive through its download,
// then uninstalled; and the same two actions while an offline file is made.

#include "InstallerManager.h"
#include "products/InstallerProduct.h"
#include "products/ProductArchive.h"

#include "common/FakeHost.h"
#include "common/FileBytes.h"
#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include "Applications/Application.h"
#include "Applications/ApplicationMap.h"
#include "Catalogue/VantorixTools.h"
#include "File/DataFile.h"

#include <QtTest>

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
    const QString root = host->getPath().qString();
    InstallerProduct product(stairMaker(), platform("StairMaker-19-INT.zip"));
    QSignalSpy complete(&product, &InstallerProduct::productActionComplete);
    product.install();
    QVERIFY(complete.wait(20000));

    QCOMPARE(readFile(addOns + "StairMaker.apx/Contents/MacOS/StairMaker"), QByteArray("StairMaker add-on for ArchiCAD 19, INT\n"));
    QVERIFY(QFile::exists(addOns + "StairMaker.apx/Contents/Resources/Localizable.strings"));
    QVERIFY(QFile::exists(library + "StairMaker 19 INT.lcf"));
    QVERIFY(QFile::exists(root + "/Library Parts/StairMaker/StairMaker Part.gsm"));
    QVERIFY(QFile::exists(host->getDirectory(Application::extra).qString() + "StairMaker Read Me.txt"));
    QCOMPARE(product.getLocalPaths(), std::vector<String>{String(addOns + "StairMaker.apx")});
    QCOMPARE(product.getLocalVersion(), 1.5);
    const std::unique_ptr<DataFile> file = VantorixTools::getInstallationFile(product.getProduct(), false);
    QVERIFY(file && file->exists());

    // Uninstalling cleans both installed places: copies in any letter case
    // go, another product's item and anything outside the host stay.
    writeFile(addOns + "stairmaker.APX.old", "older");
    writeFile(addOns + "MyStairMaker.apx/Contents/MacOS/MyStairMaker", "another product");
    const QString outside = testsupport::sandboxDir() + "/outside/StairMaker.apx";
    writeFile(outside, "not the host's");
    product.addLocalPath(String(library + "StairMaker 19 INT.lcf"));
    product.addLocalPath(String(outside));
    product.unInstall();
    QCOMPARE(complete.count(), 2);
    QCOMPARE(QDir(addOns).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList("MyStairMaker.apx"));
    QVERIFY(QDir(library).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    QCOMPARE(readFile(outside), QByteArray("not the host's"));
    QVERIFY(!file->exists());
    QVERIFY(!product.isInstalled());
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
