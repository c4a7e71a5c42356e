// The installer manager against the service stand-in and fake host
// installations: the listing request for each target, the tree it builds, a
// listing that fails, a rebuild from inside another post's wait, hand-added
// host applications, display order, and the questions before installing and
// before leaving an action.

#include "InstallerClient.h"
#include "InstallerManager.h"
#include "ServiceCall.h"
#include "VantorixInstallerApp.h"

#include "common/FakeHost.h"
#include "common/FileBytes.h"
#include "common/FullDisk.h"
#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include "Applications/Application.h"
#include "Catalogue/VantorixTools.h"
#include "Environment/Host.h"
#include "Interface/AlertRecorder.h"
#include "Web/WebServiceClient.h"

#include <QtTest>
#include <QXmlStreamReader>

using namespace vantorix;
using namespace installer;
using testsupport::ServiceProcess;

namespace {

QString hostsDir()
{
    return testsupport::sandboxDir() + "/hosts";
}

fakehost::FakeHostOptions hostOptions(const QString& folder, int version, const QString& language = "INT",
                                      const QString& edition = "full")
{
    fakehost::FakeHostOptions options;
    options.folder = folder;
    options.version = version;
    options.language = language;
    options.edition = edition;
    return options;
}

// Makes a fake host installation; its folder, or empty when that failed.
QString makeHost(const QString& folder, int version, const QString& language = "INT", const QString& edition = "full")
{
    return fakehost::create(hostOptions(folder, version, language, edition)) ? folder : QString();
}

QString sharedFile()
{
    return qEnvironmentVariable("VANTORIX_SHARED_DIR") + "/Vantorix/com.vantorixhq.vantorix_installer.xml";
}

// The SOAP action and the client record's texts of a recorded post.
struct SentRequest {
    QString action;
    QMap<QString, QString> client;
};

SentRequest parse(const QByteArray& post)
{
    SentRequest sent;
    const int bodyStart = post.indexOf("\r\n\r\n");
    for (const QByteArray& line : post.left(bodyStart).split('\n')) {
        if (line.toLower().startsWith("soapaction:"))
            sent.action = QString::fromUtf8(line.mid(11).trimmed());
    }
    QXmlStreamReader xml(post.mid(bodyStart + 4));
    bool inClient = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("client"))
            inClient = true;
        else if (xml.isEndElement() && xml.name() == QLatin1String("client"))
            inClient = false;
        else if (inClient && xml.isStartElement())
            sent.client[xml.name().toString()] = xml.readElementText();
    }
    return sent;
}

QStringList productNames(const Guid& id)
{
    QStringList names;
    if (ProductTree::ProductList* list = manager.getProductTree().getProducts(id)) {
        for (const auto& product : *list)
            names << product->getProduct().getName().qString();
    }
    names.sort();
    return names;
}

} // namespace

class tst_InstallerManager : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void listingForEachTarget_data();
    void listingForEachTarget();
    void failedListingKeepsTree_data();
    void failedListingKeepsTree();
    void rebuildDuringAnotherPost();
    void handAddedApplications();
    void failedSaveKeepsSharedFile();
    void displayOrder_data();
    void displayOrder();
    void offlineFilePlaceholders();
    void canInstallWhileHostRuns();
    void canFinishAction_data();
    void canFinishAction();

private:
    Guid idOf(const QString& folder) { return manager.getApplication(String(folder)); }

    ServiceProcess m_service;
    QString m_full19;
    QString m_german19;
    QString m_host18;
};

void tst_InstallerManager::initTestCase()
{
    addon = new VantorixInstallerApp;
    m_full19 = makeHost(hostsDir() + "/Studio/ArchiCAD 19", 19);
    m_german19 = makeHost(hostsDir() + "/Studio/ArchiCAD 19 GER", 19, "GER");
    m_host18 = makeHost(hostsDir() + "/Old/ArchiCAD 18", 18);
    QVERIFY(!m_full19.isEmpty() && !m_german19.isEmpty() && !m_host18.isEmpty());
    host.initialise();
    QCOMPARE(host.getApplicationMap()->size(), std::size_t(3));

    QVERIFY2(m_service.start({"--record", m_service.recordDir()}, testsupport::dataDir() + "/app/service"),
             qPrintable(m_service.errorString()));
    m_service.exportEnvironment();
}

void tst_InstallerManager::init()
{
    manager.setDefault();
    client.setDefault();
    client.setName(String("Anna Berg"));
    client.setEmail(String("anna.berg@example.com"));
    client.setPassword(String("correct horse"));
    m_service.control(QStringLiteral("reset=1"));
}

void tst_InstallerManager::cleanupTestCase()
{
    delete addon;
    addon = nullptr;
}

void tst_InstallerManager::listingForEachTarget_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("wholeClient");
    QTest::addColumn<QStringList>("products19");
    QTest::addColumn<QStringList>("products18");

    QTest::newRow("commercial") << 0 << "ProductListing" << true << QStringList{"Door Maker", "Stair Maker"}
                                << QStringList{"Roof Maker"};
    QTest::newRow("educational") << 1 << "ProductListingEdu" << false << QStringList{"Campus Stairs"} << QStringList();
}

void tst_InstallerManager::listingForEachTarget()
{
    QFETCH(int, target);
    QFETCH(QString, operation);
    QFETCH(bool, wholeClient);
    QFETCH(QStringList, products19);
    QFETCH(QStringList, products18);

    AlertRecorder alerts;
    manager.setTarget(target);
    QVERIFY(manager.rebuild());
    QVERIFY(alerts.boxes().empty());

    const SentRequest sent = parse(m_service.recordedPosts().last());
    QVERIFY2(sent.action.endsWith("/" + operation), qPrintable(sent.action));
    QCOMPARE(sent.client.value("email"), QStringLiteral("anna.berg@example.com"));
    QCOMPARE(sent.client.value("name"), wholeClient ? QStringLiteral("Anna Berg") : QString());
    QCOMPARE(sent.client.value("password").isEmpty(), !wholeClient);

    // Each product in the list of each host of its version, and only there.
    QCOMPARE(productNames(idOf(m_full19)), products19);
    QCOMPARE(productNames(idOf(m_german19)), products19);
    QCOMPARE(productNames(idOf(m_host18)), products18);
    QCOMPARE(manager.getCatalogue().getTarget() == VantorixTools::educational, target == 1);
}

void tst_InstallerManager::failedListingKeepsTree_data()
{
    QTest::addColumn<QString>("control");

    QTest::newRow("not XML") << "malformed=1";
    QTest::newRow("cut answer") << "close-early=1";
    QTest::newRow("HTTP error") << "status=503";
    QTest::newRow("empty answer") << "empty=1";
}

void tst_InstallerManager::failedListingKeepsTree()
{
    QFETCH(QString, control);

    AlertRecorder alerts;
    QVERIFY(manager.rebuild());
    const std::size_t before = manager.getProductTree().productCount();
    QCOMPARE(before, std::size_t(5));

    QVERIFY(m_service.control(control));
    QVERIFY(!manager.rebuild());
    QCOMPARE(int(manager.getLastError()), int(InstallerManager::serviceUnreachable));
    QCOMPARE(alerts.boxes().size(), std::size_t(1));
    QCOMPARE(alerts.boxes().front().text, host.getLocalString(32524, 1));
    QCOMPARE(manager.getProductTree().productCount(), before);
    QCOMPARE(productNames(idOf(m_host18)), QStringList{"Roof Maker"});
}

// A rebuild reached from a timer while another post waits does not post and
// shows nothing; it runs once the waiting post is done.
void tst_InstallerManager::rebuildDuringAnotherPost()
{
    AlertRecorder alerts;
    QVERIFY(m_service.control(QStringLiteral("delay=400")));
    const int before = m_service.stats().value("posts");
    QSignalSpy finished(&ServiceCall::instance(), &ServiceCall::rebuildFinished);
    bool nested = true;
    short nestedError = 0;
    QTimer::singleShot(100, [&]() {
        QVERIFY(WebServiceClient::isPosting());
        nested = manager.rebuild();
        nestedError = manager.getLastError();
    });
    QVERIFY(manager.rebuild());
    QVERIFY(!nested);
    QCOMPARE(int(nestedError), int(InstallerManager::deferred));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(manager.getProductTree().productCount(), std::size_t(5));

    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.count(), 2);
    QCOMPARE(finished.at(1).at(0).toBool(), true);
    QCOMPARE(m_service.stats().value("posts") - before, 2);
    QCOMPARE(manager.getProductTree().productCount(), std::size_t(5));
    QVERIFY(alerts.boxes().empty());
}

void tst_InstallerManager::handAddedApplications()
{
    // Nothing hand-added: nothing is written, not even an empty file.
    QFile::remove(sharedFile());
    QVERIFY(manager.saveManualApplications());
    QVERIFY(!QFile::exists(sharedFile()));

    const QString outside = makeHost(testsupport::sandboxDir() + "/elsewhere/ArchiCAD 19", 19);
    const QString old = makeHost(testsupport::sandboxDir() + "/elsewhere/ArchiCAD 17", 17);
    QVERIFY(!outside.isEmpty() && !old.isEmpty());

    short error = 0;
    const Guid first = manager.addApplication(String(outside), &error);
    QVERIFY(first);
    QCOMPARE(manager.addApplication(String(" " + outside + "/ \n"), &error), first);
    QCOMPARE(manager.getApplications().size(), std::size_t(4));
    QCOMPARE(manager.getManualApplications().size(), std::size_t(1));
    QVERIFY(!manager.addApplication(String(old), &error));
    QCOMPARE(int(error), 3);
    QVERIFY(!manager.addApplication(String(testsupport::sandboxDir()), &error));
    QCOMPARE(int(error), 2);

    QVERIFY(manager.saveManualApplications());
    QVERIFY(readFile(sharedFile()).contains(outside.toUtf8()));
    // Nothing new: the file stays as it is, byte for byte and in time.
    const QDateTime written = QFileInfo(sharedFile()).lastModified();
    QTest::qWait(20);
    QVERIFY(manager.saveManualApplications());
    QCOMPARE(QFileInfo(sharedFile()).lastModified(), written);

    // The next cycle remembers it; another folder adds to the file.
    manager.setDefault();
    QVERIFY(manager.getApplication(String(outside)) == first);
    const QString second = makeHost(testsupport::sandboxDir() + "/elsewhere/ArchiCAD 18", 18);
    QVERIFY(manager.addApplication(String(second), &error));
    manager.setDefault();
    const QByteArray grown = readFile(sharedFile());
    QVERIFY(grown.contains(outside.toUtf8()) && grown.contains(second.toUtf8()));
    QVERIFY(QFile::remove(sharedFile()));
}

void tst_InstallerManager::failedSaveKeepsSharedFile()
{
    const QByteArray sharedDir = qgetenv("VANTORIX_SHARED_DIR");
    FullDisk disk(testsupport::sandboxDir() + "/full");
    QVERIFY(disk.isReady());
    qputenv("VANTORIX_SHARED_DIR", QFile::encodeName(disk.path()));
    const QString path = disk.path() + "/Vantorix/com.vantorixhq.vantorix_installer.xml";
    short error = 0;
    const QString one = makeHost(testsupport::sandboxDir() + "/full-hosts/one/ArchiCAD 19", 19);
    const QString two = makeHost(testsupport::sandboxDir() + "/full-hosts/two/ArchiCAD 19", 19);
    const bool added = bool(manager.addApplication(String(one), &error));
    const bool first = manager.saveManualApplications();
    const QByteArray previous = readFile(path);
    manager.addApplication(String(two), &error);
    const bool filled = disk.fill();
    const bool second = manager.saveManualApplications();
    disk.release();
    const QByteArray after = readFile(path);
    const QStringList left = QDir(disk.path() + "/Vantorix").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    manager.setDefault();
    qputenv("VANTORIX_SHARED_DIR", sharedDir);

    QVERIFY(added && first && filled);
    QVERIFY(previous.contains(one.toUtf8()));
    QVERIFY(!second);
    QCOMPARE(after, previous);
    QCOMPARE(left, QStringList{"com.vantorixhq.vantorix_installer.xml"});
}

// Each host is "version edition language".
void tst_InstallerManager::displayOrder_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("aFirst");

    QTest::newRow("newer version first") << "19 start ZZZ" << "18 full AAA" << true;
    QTest::newRow("full before solo") << "19 full INT" << "19 solo GER" << true;
    QTest::newRow("language, any case") << "19 full ger" << "19 full INT" << true;
    QTest::newRow("same language, other case") << "19 full int" << "19 full INT" << false;
}

void tst_InstallerManager::displayOrder()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, aFirst);

    const QString folder = testsupport::sandboxDir() + "/order/" + QTest::currentDataTag();
    const auto application = [&](const QString& name, const QString& host) {
        const QStringList parts = host.split(' ');
        return Application(HostType::archiCAD,
                           String(makeHost(folder + "/" + name + "/ArchiCAD", parts[0].toInt(), parts[2], parts[1])));
    };
    const Application first = application("a", a);
    const Application second = application("b", b);
    QVERIFY(first.isValid() && second.isValid());
    QCOMPARE(InstallerManager::displayBefore(&first, &second), aFirst);
    QVERIFY(InstallerManager::displayBefore(&first, nullptr) && !InstallerManager::displayBefore(nullptr, &first));

    // The installed hosts: both 19s (German before international) before 18.
    std::vector<Guid> ids;
    manager.getApplicationIDs(ids, true);
    QCOMPARE(ids, (std::vector<Guid>{idOf(m_german19), idOf(m_full19), idOf(m_host18)}));
}

void tst_InstallerManager::offlineFilePlaceholders()
{
    manager.setInstallerAction(InstallerManager::createOfflineFile);
    std::vector<Guid> ids;
    manager.getApplicationIDs(ids, true);
    QCOMPARE(ids.size(), std::size_t(2));
    QCOMPARE(manager.getApplication(ids[0])->getSignature().getVersion(), short(19));
    QCOMPARE(manager.getApplication(ids[1])->getSignature().getVersion(), short(18));
    QVERIFY(manager.getApplication(ids[0])->getPath().empty() && manager.getApplication(ids[1])->getPath().empty());

    // Nothing added yet: saving says the file would be empty.
    AlertRecorder alerts;
    QVERIFY(!manager.saveOfflineFile());
    QCOMPARE(int(alerts.boxes().size()), 1);
    QCOMPARE(alerts.boxes().front().text, host.getLocalString(32524, 6));
}

void tst_InstallerManager::canInstallWhileHostRuns()
{
    manager.setActiveApplication(idOf(m_full19));
    QCOMPARE(manager.applicationPath.qString(), m_full19);
    QProcess process;
    process.start(fakehost::executablePath(hostOptions(m_full19, 19)), {QStringLiteral("60")});
    QVERIFY(process.waitForStarted(10000));
    const Application& application = *manager.getApplication(idOf(m_full19));
    QTRY_VERIFY_WITH_TIMEOUT(application.isRunning(), 10000);

    // Cancel gives up.
    {
        AlertRecorder alerts(false);
        QVERIFY(!manager.canInstall());
        QCOMPARE(alerts.boxes().size(), std::size_t(1));
        QCOMPARE(alerts.boxes().front().text.qString(),
                 QStringLiteral("You need to quit ArchiCAD 19 to continue the installation"));
        QCOMPARE(alerts.boxes().front().buttons, (QStringList{"Retry", "Cancel"}));
    }
    // Retry asks again for as long as the host runs.
    int asked = 0;
    Alert::ScopedResponder responder([&](const Alert::Request&) {
        if (++asked == 2) {
            process.kill();
            process.waitForFinished(10000);
            QDeadlineTimer gone(10000);
            while (application.isRunning() && !gone.hasExpired())
                QThread::msleep(50);
        }
        return true;
    });
    QVERIFY(manager.canInstall());
    QCOMPARE(asked, 2);
}

void tst_InstallerManager::canFinishAction_data()
{
    QTest::addColumn<bool>("existedBefore");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("kept");

    QTest::newRow("own empty file, quit") << false << true << false;
    QTest::newRow("own empty file, cancel") << false << false << true;
    QTest::newRow("empty file there before, quit") << true << true << true;
}

void tst_InstallerManager::canFinishAction()
{
    QFETCH(bool, existedBefore);
    QFETCH(bool, answer);
    QFETCH(bool, kept);

    // An empty file, made before or after the path is chosen.
    const QString path = testsupport::sandboxDir() + "/tmp/tools.zfinstall";
    QFile::remove(path);
    if (existedBefore)
        writeFile(path);
    manager.setInstallerAction(InstallerManager::createOfflineFile);
    manager.setOfflineFilePath(String(path));
    if (!existedBefore)
        writeFile(path);
    AlertRecorder alerts(answer);
    QCOMPARE(manager.canFinishAction(), answer);
    QCOMPARE(alerts.boxes().size(), std::size_t(1));
    QCOMPARE(alerts.boxes().front().buttons, (QStringList{"  Quit  ", "Cancel"}));
    QCOMPARE(QFile::exists(path), kept);

    // Once saved, nothing is asked.
    manager.setOfflineFileSaved(true);
    QVERIFY(manager.canFinishAction());
    QCOMPARE(alerts.boxes().size(), std::size_t(1));
}

QTEST_GUILESS_MAIN(tst_InstallerManager)
#include "tst_InstallerManager.moc"
