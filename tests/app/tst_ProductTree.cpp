// The product tree and its products: which host gets which product, the
// installed state, the list categories, and what an install records.

#include "InstallerManager.h"
#include "products/InstallerProduct.h"
#include "products/ProductTree.h"

#include "common/FakeHost.h"
#include "common/FileBytes.h"
#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include "Applications/Application.h"
#include "Applications/ApplicationMap.h"
#include "Catalogue/Executable.h"
#include "Catalogue/Installation.h"
#include "Catalogue/ProductMap.h"
#include "Catalogue/VantorixTools.h"
#include "File/DataFile.h"
#include "products/Downloader.h"
#include "products/ProductArchive.h"

#include <QtTest>

using namespace vantorix;
using namespace installer;

namespace {

const char* const productId = "0A000000-0000-4000-8000-000000000019";

RegisteredPlatform platform19(const char* version, bool owned, bool trial)
{
    RegisteredPlatform platform{String(version), PlatformSignature(HostType::archiCAD, 19)};
    platform.setOwned(owned);
    platform.details().trialavailable = trial;
    return platform;
}

Product stairMaker()
{
    return Product(String(productId), String("Stair Maker"), String("SM"));
}

QString makeHost(const QString& folder, const QString& edition = QStringLiteral("full"))
{
    fakehost::FakeHostOptions options;
    options.folder = testsupport::sandboxDir() + "/hosts/" + folder;
    options.edition = edition;
    return fakehost::create(options) ? options.folder : QString();
}

// The installed-file entries of the product's ArchiCAD 19 platform in tools.
std::vector<Executable> entries(const VantorixTools& tools)
{
    const Installation* installation = tools.getInstallation();
    const Product* product = installation ? installation->getProducts().getProduct(String(productId)) : nullptr;
    const RegisteredPlatform* platform =
        product ? product->getPlatformList().find(PlatformSignature(HostType::archiCAD, 19)) : nullptr;
    if (platform == nullptr || platform->getExecutables() == nullptr)
        return {};
    return platform->getExecutables()->elements();
}

} // namespace

class tst_ProductTree : public QObject {
    Q_OBJECT

private slots:
    void init();

    void categories_data();
    void categories();
    void installedStateByWholeFolder();
    void executablePath_data();
    void executablePath();
    void recordedOutcome();
    void finishedDownloadIsNotASuccess();
    void installChecksTheDigestAndRetries();
};

void tst_ProductTree::init()
{
    manager.setDefault();
}

void tst_ProductTree::categories_data()
{
    QTest::addColumn<double>("installed");
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<bool>("owned");
    QTest::addColumn<bool>("trial");
    // In the order of Status: myTools, updates, trial, and visible.
    QTest::addColumn<QString>("listed");

    QTest::newRow("installed, within 0.001") << 1.5 << "1.5005" << false << false << "1--v";
    QTest::newRow("installed, newer") << 1.5 << "1.6" << false << false << "11-v";
    QTest::newRow("owned, not installed") << 0.0 << "1.6" << true << true << "1--v";
    QTest::newRow("trial only") << 0.0 << "1.6" << false << true << "--1v";
    QTest::newRow("neither") << 0.0 << "1.6" << false << false << "----";
}

void tst_ProductTree::categories()
{
    QFETCH(double, installed);
    QFETCH(QString, catalogue);
    QFETCH(bool, owned);
    QFETCH(bool, trial);
    QFETCH(QString, listed);

    InstallerProduct product(stairMaker(), platform19(catalogue.toLatin1().constData(), owned, trial));
    product.setLocalVersion(installed);
    QString seen;
    seen += product.isListedIn(myTools) ? '1' : '-';
    seen += product.isListedIn(updates) ? '1' : '-';
    seen += product.isListedIn(vantorix::trial) ? '1' : '-';
    seen += product.isVisible() ? 'v' : '-';
    QCOMPARE(seen, listed);
    QVERIFY(product.isListedIn(educational));
}

// Files recorded inside "ArchiCAD 19" belong to it and not to the host in
// "ArchiCAD 19 Solo" beside it, whose path starts with the same letters.
void tst_ProductTree::installedStateByWholeFolder()
{
    const QString full = makeHost(QStringLiteral("Apps/ArchiCAD 19"));
    const QString solo = makeHost(QStringLiteral("Apps/ArchiCAD 19 Solo"), QStringLiteral("solo"));
    QVERIFY(!full.isEmpty() && !solo.isEmpty());
    const QString bundle = full + "/Add-Ons/Stair Maker.apx";
    writeFile(bundle + "/Contents/MacOS/Stair Maker");

    // The installation file as an earlier install left it.
    Product installed = stairMaker();
    RegisteredPlatform record(String("1.50"), PlatformSignature(HostType::archiCAD, 19));
    record.mergeExecutable(Executable(String(bundle + "/Contents/MacOS/Stair Maker"), String("1.50")));
    installed.getPlatformList().add(record);
    VantorixTools file;
    QVERIFY(file.mergeInstallation(installed));
    const std::unique_ptr<DataFile> target = VantorixTools::getInstallationFile(installed, true);
    QVERIFY(target && file.writeInstallation(target.get(), true));

    ApplicationMap applications;
    Guid fullId, soloId, otherId;
    applications.insert(fullId.generate(), std::make_unique<Application>(HostType::archiCAD, String(full)));
    applications.insert(soloId.generate(), std::make_unique<Application>(HostType::archiCAD, String(solo)));
    VantorixTools catalogue;
    catalogue.setDefault();
    Product listed = stairMaker();
    listed.getPlatformList().add(platform19("1.6", true, false));
    listed.getPlatformList().add(RegisteredPlatform(String("1.0"), PlatformSignature(HostType::archiCAD, 18)));
    catalogue.getInstallation()->getProducts().merge(listed);

    ProductTree tree;
    QVERIFY(tree.rebuild(applications, catalogue));
    QCOMPARE(tree.productCount(), std::size_t(2));
    ProductTree::ProductList* inFull = tree.getProducts(fullId);
    ProductTree::ProductList* inSolo = tree.getProducts(soloId);
    QVERIFY(inFull && inFull->size() == 1 && inSolo && inSolo->size() == 1);
    const InstallerProduct& there = *inFull->front();
    QCOMPARE(there.getLocalPaths(), std::vector<String>{String(bundle)});
    QCOMPARE(there.getLocalVersion(), 1.5);
    QVERIFY(there.isListedIn(updates));
    QVERIFY(!inSolo->front()->isInstalled());

    // A host added later gets its list once.
    const QString other = makeHost(QStringLiteral("Other/ArchiCAD 19"));
    Application added(HostType::archiCAD, String(other));
    tree.buildFor(otherId.generate(), added, catalogue);
    tree.buildFor(otherId, added, catalogue);
    QVERIFY(tree.getProducts(otherId) && tree.getProducts(otherId)->size() == 1);
}

void tst_ProductTree::executablePath_data()
{
    QTest::addColumn<QString>("local");
    QTest::addColumn<QString>("recorded");

    QTest::newRow("add-on bundle") << "/A/Add-Ons/Stair Maker.apx" << "/A/Add-Ons/Stair Maker.apx/Contents/MacOS/Stair Maker";
    QTest::newRow("library file") << "/A/Library/stair.gsm" << "/A/Library/stair.gsm";
    // Only the installed item's own name counts.
    QTest::newRow("inside a folder named .apx") << "/A/Old.apx stuff/stair.gsm" << "/A/Old.apx stuff/stair.gsm";
    QTest::newRow("name merely containing .apx") << "/A/Library/notes.apx.txt" << "/A/Library/notes.apx.txt";
}

void tst_ProductTree::executablePath()
{
    QFETCH(QString, local);
    QFETCH(QString, recorded);
    QCOMPARE(InstallerProduct::executablePath(String(local), String("Stair Maker")).qString(), recorded);
}

// One install's outcome per file: a success after a failure at the same
// version clears the failure, and a file recorded with and without an outcome
// stays one entry.
void tst_ProductTree::recordedOutcome()
{
    const QString folder = makeHost(QStringLiteral("Record/ArchiCAD 19"), QStringLiteral("solo"));
    QVERIFY(!folder.isEmpty());
    Guid id;
    manager.getApplications().insert(id.generate(), std::make_unique<Application>(HostType::archiCAD, String(folder)));
    InstallerProduct product(stairMaker(), platform19("1.50", true, false));
    product.setApplication(id);
    product.setLocalVersion(1.5);
    product.addLocalPath(String(folder + "/Add-Ons/Stair Maker.apx/Contents/MacOS/Stair Maker"));

    VantorixTools tools;
    const String failure("The disk is full");
    const String none;
    product.mergeInstallationData(tools, &failure);
    QCOMPARE(entries(tools).size(), std::size_t(1));
    QCOMPARE(entries(tools).front().getErrorMessage(), failure);
    QCOMPARE(entries(tools).front().getVariant().qString(), QStringLiteral("solo"));
    product.mergeInstallationData(tools, &none);
    product.mergeInstallationData(tools, nullptr);
    QCOMPARE(entries(tools).size(), std::size_t(1));
    QVERIFY(entries(tools).front().getErrorMessage().empty());
    QCOMPARE(entries(tools).front().getPath().qString(),
             folder + "/Add-Ons/Stair Maker.apx/Contents/MacOS/Stair Maker");
}

// A product without an archive for its language cannot be installed: it
// must say it failed, not that it succeeded.
void tst_ProductTree::finishedDownloadIsNotASuccess()
{
    InstallerProduct product(stairMaker(), platform19("1.50", true, false));
    QSignalSpy complete(&product, &InstallerProduct::productActionComplete);
    QSignalSpy failure(&product, &InstallerProduct::productActionFailure);
    product.install();
    QCOMPARE(complete.count(), 0);
    QCOMPARE(failure.count(), 1);
    QVERIFY(!product.isBusy());
}

// The archive must match the digest its release address gives; an archive
// whose download failed is fetched again when the user installs again.
void tst_ProductTree::installChecksTheDigestAndRetries()
{
    testsupport::ServiceProcess service;
    QVERIFY2(service.start(), qPrintable(service.errorString()));
    const String url(service.url() + "/files/archives/StairMaker-17.zip");
    RegisteredPlatform platform = platform19("1.50", true, false);
    ReleaseUrl release(String("INT"), url);
    release.setSha256(String(QByteArray(64, '0')));
    platform.details().releaseList.push_back(release);
    InstallerProduct product(stairMaker(), platform);

    for (int attempt = 1; attempt <= 2; ++attempt) {
        QSignalSpy failure(&product, &InstallerProduct::productActionFailure);
        product.install();
        QVERIFY(failure.wait(20000));
        const ProductArchive* archive = manager.getArchives().getArchive(url);
        QVERIFY(archive != nullptr && archive->getDownloader() != nullptr);
        QVERIFY(!archive->getDownloader()->isSuccess());
        QVERIFY2(archive->getDownloader()->getError().qString().contains("SHA-256"),
                 qPrintable(archive->getDownloader()->getError().qString()));
        const QString log = service.output(); // everything it printed so far
        QVERIFY2(log.count("GET /files/archives/StairMaker-17.zip") == attempt, qPrintable(log));
    }
}

QTEST_GUILESS_MAIN(tst_ProductTree)
#include "tst_ProductTree.moc"
