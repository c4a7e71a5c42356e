// Sign-in against the service stand-in: what is stored, what is sent, and
// what sign-out, a damaged client file or a sign-in from inside another
// post's wait come to.

#include "InstallerClient.h"
#include "ServiceCall.h"

#include "common/FileBytes.h"
#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include "Catalogue/VantorixTools.h"
#include "File/DataFile.h"
#include "Utility/Logger.h"
#include "Web/ServiceAddress.h"
#include "Web/WebServiceClient.h"

#include <QtTest>

using namespace vantorix;
using namespace installer;
using testsupport::ServiceProcess;

namespace {

const char* const email = "anna.berg@example.com";
const char* const password = "correct horse";

QString clientFilePath()
{
    const std::unique_ptr<DataFile> file = VantorixTools::getClientFile(true);
    return file ? file->getURL().qString() : QString();
}

// The client record of the client file, read afresh.
std::unique_ptr<Client> storedClient()
{
    VantorixTools store;
    if (!store.readClient() || store.getClient() == nullptr)
        return nullptr;
    return std::make_unique<Client>(*store.getClient());
}

} // namespace

class tst_InstallerClient : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void verifyDetails_data();
    void verifyDetails();
    void unreadableClientFile_data();
    void unreadableClientFile();
    void signInDuringAnotherPost();
    void answerWithoutClient();
    void serviceCodes_data();
    void serviceCodes();

private:
    int posts() { return m_service.stats().value(QStringLiteral("posts")); }

    ServiceProcess m_service;
};

void tst_InstallerClient::initTestCase()
{
    QVERIFY2(m_service.start({}, testsupport::dataDir() + "/app/service"), qPrintable(m_service.errorString()));
    m_service.exportEnvironment();
}

void tst_InstallerClient::init()
{
    client.setDefault();
    QFile::remove(clientFilePath());
    m_service.control(QStringLiteral("reset=1"));
}

void tst_InstallerClient::verifyDetails_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("signedIn");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("postsSent");
    QTest::addColumn<bool>("reachable");

    QTest::newRow("signed in") << password << true << 0 << 1 << true;
    QTest::newRow("wrong password") << "Correct horse" << false << 21 << 1 << true;
    // Nothing is sent and the caller's code stays.
    QTest::newRow("empty password") << "" << false << 99 << 0 << true;
    QTest::newRow("unreachable service") << password << false << 11 << 0 << false;
}

void tst_InstallerClient::verifyDetails()
{
    QFETCH(QString, password);
    QFETCH(bool, signedIn);
    QFETCH(int, code);
    QFETCH(int, postsSent);
    QFETCH(bool, reachable);

    const int before = posts();
    const QByteArray url = qgetenv(ServiceAddress::urlVariable);
    if (!reachable)
        qputenv(ServiceAddress::urlVariable, "http://127.0.0.1:9");
    short result = 99;
    const bool verified = client.verifyDetails(String(email), String(password), &result);
    qputenv(ServiceAddress::urlVariable, url);
    QCOMPARE(verified, signedIn);
    QCOMPARE(int(result), code);
    QCOMPARE(posts() - before, postsSent);

    const std::unique_ptr<Client> stored = storedClient();
    if (!signedIn) {
        // A failed sign-in changes neither the account nor the file.
        QVERIFY(client.getEmail().empty());
        QVERIFY(stored == nullptr);
        return;
    }
    QCOMPARE(client.getName().qString(), QStringLiteral("Anna Berg"));
    QCOMPARE(client.getPassword().qString(), password);
    QVERIFY(client.isLoggedIn());
    QVERIFY(stored != nullptr);
    QCOMPARE(stored->getEmail().qString(), QString::fromLatin1(email));
    QCOMPARE(stored->getPassword().qString(), password);
    QCOMPARE(stored->getCurrency().qString(), QStringLiteral("EUR"));
    // The next start knows the user.
    InstallerClient next;
    QVERIFY(next.isLoggedIn());
    QCOMPARE(next.getName().qString(), QStringLiteral("Anna Berg"));
    for (const QString& line : Logger::lines())
        QVERIFY2(!line.contains(password), qPrintable(line));

    // Signing out forgets the password and keeps the email, here and in the file.
    QVERIFY(client.logout());
    QVERIFY(client.getPassword().empty());
    const std::unique_ptr<Client> after = storedClient();
    QVERIFY(after != nullptr);
    QCOMPARE(after->getEmail().qString(), QString::fromLatin1(email));
    QVERIFY(after->getPassword().empty());
    QVERIFY(!InstallerClient().isLoggedIn());
}

void tst_InstallerClient::unreadableClientFile_data()
{
    QTest::addColumn<QByteArray>("content");

    QByteArray foreign;
    QVERIFY(VantorixTools::encipherClient("<vantorixtools><client><email>x@example.com</email></client></vantorixtools>",
                                          String("02-00-5E-99-99-99"), foreign));
    QByteArray notXML;
    QVERIFY(VantorixTools::encipherClient("<vantorixtools><client><email>x@", String("02-00-5E-10-00-01"), notXML));
    QTest::newRow("another machine's") << foreign;
    QTest::newRow("cut text") << notXML;
    QTest::newRow("garbage") << QByteArray("\x01\x02not a client file", 19);
    QTest::newRow("empty") << QByteArray();
}

void tst_InstallerClient::unreadableClientFile()
{
    QFETCH(QByteArray, content);

    writeFile(clientFilePath(), content);
    QVERIFY(!client.loadClientData());
    QVERIFY(!client.isLoggedIn());
}

// A sign-in reached from a timer while another post waits is not refused and
// not reported as a failure: it runs once that post is done.
void tst_InstallerClient::signInDuringAnotherPost()
{
    QVERIFY(m_service.control(QStringLiteral("delay=400")));
    const int before = posts();
    QSignalSpy finished(&ServiceCall::instance(), &ServiceCall::signInFinished);
    short nestedCode = 0;
    bool nestedResult = true;
    bool ranNested = false;
    QTimer::singleShot(100, [&]() {
        ranNested = WebServiceClient::isPosting();
        nestedResult = client.verifyDetails(String(email), String(password), &nestedCode);
    });
    short code = 99;
    QVERIFY(!client.verifyDetails(String(email), String("wrong"), &code));
    QCOMPARE(int(code), 21);
    QVERIFY(ranNested);
    QVERIFY(!nestedResult);
    QCOMPARE(int(nestedCode), int(InstallerClient::deferred));

    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QCOMPARE(finished.at(0).at(1).toInt(), 0);
    QCOMPARE(client.getPassword().qString(), QString::fromLatin1(password));
    QCOMPARE(posts() - before, 2);
}

// The service signs the user in but sends no client record back: the account
// remembered before (another user's) must not survive with the new password.
void tst_InstallerClient::answerWithoutClient()
{
    client.setEmail(String("bob.gray@example.com"));
    client.setName(String("Bob Gray"));
    client.setPassword(String("bob's password"));
    QVERIFY(client.logout());
    QVERIFY(m_service.control(QStringLiteral("no-client=1")));

    short code = 99;
    QVERIFY(client.verifyDetails(String(email), String(password), &code));
    QCOMPARE(int(code), 0);
    QCOMPARE(client.getEmail().qString(), QString::fromLatin1(email));
    QCOMPARE(client.getPassword().qString(), QString::fromLatin1(password));
    QVERIFY(client.getName().empty());
    const std::unique_ptr<Client> stored = storedClient();
    QVERIFY(stored != nullptr);
    QCOMPARE(stored->getEmail().qString(), QString::fromLatin1(email));
    QCOMPARE(stored->getPassword().qString(), QString::fromLatin1(password));
    QVERIFY(stored->getName().empty());

    // With a record, the typed address is kept too.
    QVERIFY(m_service.control(QStringLiteral("reset=1")));
    const QString typed = QStringLiteral("  anna.berg@example.com");
    QVERIFY(client.verifyDetails(String(typed), String(password), &code));
    QCOMPARE(client.getEmail().qString(), typed);
    QCOMPARE(client.getName().qString(), QStringLiteral("Anna Berg"));
}

void tst_InstallerClient::serviceCodes_data()
{
    QTest::addColumn<QString>("errorCode");
    QTest::addColumn<bool>("signedIn");
    QTest::addColumn<int>("code");

    QTest::newRow("0") << "0" << true << 0;
    QTest::newRow("a row") << "21" << false << 21;
    // Narrowed to 16 bits these would read as 0 (success) and 21.
    QTest::newRow("65536") << "65536" << false << int(InstallerClient::postFailed);
    QTest::newRow("65557") << "65557" << false << int(InstallerClient::postFailed);
    QTest::newRow("negative") << "-1" << false << int(InstallerClient::postFailed);
    QTest::newRow("not a number") << "E21" << false << int(InstallerClient::postFailed);
}

void tst_InstallerClient::serviceCodes()
{
    QFETCH(QString, errorCode);
    QFETCH(bool, signedIn);
    QFETCH(int, code);
    // "ActivationResult" is true: only the code tells.
    QVERIFY(m_service.control(QStringLiteral("error-code=") + errorCode));
    short result = 99;
    QCOMPARE(client.verifyDetails(String(email), String(password), &result), signedIn);
    QCOMPARE(int(result), code);
    QCOMPARE(storedClient() != nullptr, signedIn);
}

QTEST_GUILESS_MAIN(tst_InstallerClient)
#include "tst_InstallerClient.moc"
