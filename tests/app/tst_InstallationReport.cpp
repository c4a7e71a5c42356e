// The installation report against the service stand-in: sent at log-out
// after an install, with the account but no password, and then not again;
// never while a product still downloads, never when installing from an
// offline file, and for an offline file only once it is saved.
#include "InstallerClient.h"
#include "InstallerManager.h"
#include "products/InstallerProduct.h"
#include "ui/InstallerDialog.h"

#include "common/FakeHost.h"
#include "common/FileBytes.h"
#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include "Catalogue/VantorixTools.h"
#include "Environment/Host.h"
#include "Interface/AlertRecorder.h"

#include <QtTest>

using namespace vantorix;
using namespace installer;

class tst_InstallationReport : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void sentAtLogout();
    void whenSent_data();
    void whenSent();
    void notWhileDownloading();

private:
    // Rebuilds the online listing and returns the named product of the host.
    InstallerProduct* product(const QString& name);
    // Installs the named product and waits for it.
    bool install(const QString& name);
    QStringList reports() const;

    testsupport::ServiceProcess m_service;
};

void tst_InstallationReport::initTestCase()
{
    const QString sandbox = testsupport::sandboxDir();
    QDir(sandbox + "/shared/Vantorix Tools").removeRecursively();
    fakehost::FakeHostOptions options;
    options.folder = sandbox + "/hosts/ArchiCAD 19";
    QDir(options.folder).removeRecursively();
    QVERIFY(fakehost::create(options));
    host.initialise();
    QVERIFY2(m_service.start({"--record", m_service.recordDir()}), qPrintable(m_service.errorString()));
    m_service.exportEnvironment();
}

void tst_InstallationReport::cleanupTestCase()
{
    manager.setDefault();
}

void tst_InstallationReport::init()
{
    QVERIFY(m_service.control("reset=1"));
    QVERIFY(client.verifyDetails(String("anna.berg@example.com"), String("correct horse"), nullptr));
    manager.setDefault();
    manager.setInstallerAction(InstallerManager::installOnline);
    QVERIFY(manager.rebuild());
}

QStringList tst_InstallationReport::reports() const
{
    return QDir(m_service.dataDir() + "/reports").entryList({"*-installation-*.xml"}, QDir::Files, QDir::Name);
}

InstallerProduct* tst_InstallationReport::product(const QString& name)
{
    std::vector<Guid> ids;
    manager.getApplicationIDs(ids, true);
    if (ids.empty())
        return nullptr;
    manager.setActiveApplication(ids.front());
    ProductTree::ProductList* list = manager.getProductTree().getProducts(ids.front());
    if (list == nullptr)
        return nullptr;
    for (const auto& entry : *list) {
        if (entry && entry->getProduct().getName().qString() == name)
            return entry.get();
    }
    return nullptr;
}

bool tst_InstallationReport::install(const QString& name)
{
    InstallerProduct* installing = product(name);
    if (installing == nullptr)
        return false;
    QSignalSpy complete(installing, &InstallerProduct::productActionComplete);
    installing->install();
    return complete.wait(20000) && installing->isInstalled();
}

void tst_InstallationReport::sentAtLogout()
{
    QVERIFY(install("Stair Maker"));
    const QStringList before = reports();
    {
        AlertRecorder alerts;
        InstallerDialog window;
        QVERIFY(QMetaObject::invokeMethod(&window, "logout"));
    }
    const QStringList after = reports();
    QCOMPARE(after.size(), before.size() + 1);
    const QByteArray report = readFile(m_service.dataDir() + "/reports/" + after.last());
    QVERIFY(report.contains("<installation"));
    QVERIFY(report.contains("Stair Maker"));
    QVERIFY(report.contains("<email>anna.berg@example.com</email>"));
    // As posted: the account without its password, typed or enciphered
    // (as the sign-in sent it).
    const QList<QByteArray> posts = m_service.recordedPosts();
    QByteArray enciphered;
    for (const QByteArray& post : posts) {
        const int start = post.indexOf("<password>");
        if (post.contains("/Login\r\n") && start >= 0)
            enciphered = post.mid(start + 10, post.indexOf("</password>") - start - 10);
    }
    QVERIFY(!enciphered.isEmpty());
    QVERIFY(posts.last().contains("/Reporting\r\n"));
    QVERIFY(!posts.last().contains("correct horse"));
    QVERIFY(!posts.last().contains(enciphered));
    QVERIFY(posts.last().contains("<password></password>"));
    // The store of this run's installs is empty now: nothing to send again.
    QVERIFY(!manager.sendReport());
    QCOMPARE(reports(), after);
}

void tst_InstallationReport::whenSent_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<bool>("sent");
    QTest::newRow("online") << int(InstallerManager::installOnline) << false << true;
    QTest::newRow("from an offline file") << int(InstallerManager::installFromOfflineFile) << true << false;
    QTest::newRow("offline file not saved") << int(InstallerManager::createOfflineFile) << false << false;
    QTest::newRow("offline file saved") << int(InstallerManager::createOfflineFile) << true << true;
}

void tst_InstallationReport::whenSent()
{
    QFETCH(int, action);
    QFETCH(bool, saved);
    QFETCH(bool, sent);
    QVERIFY(install("Door Maker"));
    // The same installs, reported as the action of the run decides.
    manager.setInstallerAction(action);
    manager.setOfflineFileSaved(saved);
    const int posts = m_service.stats().value("posts");
    const int before = reports().size();
    QCOMPARE(manager.sendReport(), sent);
    QCOMPARE(reports().size(), before + (sent ? 1 : 0));
    QCOMPARE(m_service.stats().value("posts"), posts + (sent ? 1 : 0));
}

void tst_InstallationReport::notWhileDownloading()
{
    QVERIFY(install("Stair Maker"));
    // The next download hangs after its head: still installing.
    QVERIFY(m_service.control("stall-files=0"));
    InstallerProduct* downloading = product("Door Maker");
    QVERIFY(downloading != nullptr);
    downloading->install();
    QVERIFY(manager.getProductTree().isInstalling());
    const int posts = m_service.stats().value("posts");
    QVERIFY(!manager.sendReport());
    QCOMPARE(m_service.stats().value("posts"), posts);
    // The installs done stay for a later report.
    QVERIFY(manager.getInstallations().getInstallation() != nullptr);
    QVERIFY(manager.getInstallations().getInstallation()->isExecutable());
}

QTEST_MAIN(tst_InstallationReport)
#include "tst_InstallationReport.moc"
