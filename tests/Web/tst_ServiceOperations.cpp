// The five operations end to end: the installer's own records, written by
// the client, answered by the stand-in from its sample data, read back.

#include "common/ServiceProcess.h"

#include "Catalogue/Client.h"
#include "Catalogue/Installation.h"
#include "Catalogue/Product.h"
#include "Catalogue/ProductMap.h"
#include "Catalogue/RegisteredPlatform.h"
#include "Catalogue/VantorixTools.h"
#include "Web/RequestBody.h"
#include "Web/ResponseBody.h"
#include "Web/ServiceAddress.h"
#include "Web/WebServiceClient.h"
#include "Web/XMLSOAPEnvelope.h"
#include "products/InstallerRelease.h"
#include "support/InstallerReport.h"

#include <QtTest>

using namespace vantorix;
using installer::InstallerRelease;
using installer::InstallerReport;
using installer::SupportPackage;
using testsupport::ServiceProcess;

namespace {

// The body an operation's answer is read into, with response as its payload.
std::unique_ptr<ResponseBody> answerOf(const String& operation, VantorixTools& response)
{
    return std::make_unique<ResponseBody>(&response, ServiceAddress::getResponseTag(operation).data());
}

// Posts request as the operation and reads the answer into body.
bool call(const String& operation, VantorixTools& request, ResponseBody& body)
{
    RequestBody requestBody(request, operation);
    XMLSOAPEnvelope requestEnvelope(requestBody);
    XMLSOAPEnvelope responseEnvelope(body);
    WebServiceClient client(ServiceAddress::getHost(), ServiceAddress::isSecure());
    return client.post(String(ServiceAddress::path), ServiceAddress::getAction(operation), requestEnvelope,
                       &responseEnvelope);
}

std::unique_ptr<Client> client(const char* email, const char* password)
{
    auto record = std::make_unique<Client>();
    record->setEmail(String(email));
    record->setPassword(String(password));
    return record;
}

} // namespace

class tst_ServiceOperations : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void login_data();
    void login();
    void productListing();
    void installerVersion();
    void supportReport();

private:
    ServiceProcess m_service;
};

void tst_ServiceOperations::initTestCase()
{
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
    m_service.exportEnvironment();
}

void tst_ServiceOperations::cleanupTestCase()
{
    m_service.stop();
}

void tst_ServiceOperations::login_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("successful");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");

    QTest::newRow("signed in") << "anna.berg@example.com" << "correct horse" << true << "0" << "Anna Berg";
    QTest::newRow("non-ASCII account") << "jörg.müller@example.com" << "Grüße 2015" << true << "0" << "Jörg Müller";
    QTest::newRow("wrong password") << "anna.berg@example.com" << "Correct horse" << false << "21" << "";
    QTest::newRow("unknown account") << "nobody@example.com" << "x" << false << "21" << "";
}

void tst_ServiceOperations::login()
{
    QFETCH(QString, email);
    QFETCH(QString, password);
    QFETCH(bool, successful);
    QFETCH(QString, code);
    QFETCH(QString, name);

    VantorixTools request;
    request.setClient(client(email.toUtf8().constData(), password.toUtf8().constData()));
    VantorixTools response;
    const auto body = answerOf(String(ServiceAddress::login), response);
    QVERIFY(call(String(ServiceAddress::login), request, *body));
    QCOMPARE(body->isSuccessful(), successful);
    QCOMPARE(body->getErrorCode().qString(), code);
    if (!successful)
        return;
    QVERIFY(response.getClient() != nullptr);
    QCOMPARE(response.getClient()->getName().qString(), name);
    QCOMPARE(response.getClient()->getEmail().qString(), email);
    QCOMPARE(response.getClient()->getPassword().qString(), password);
}

void tst_ServiceOperations::productListing()
{
    VantorixTools request;
    request.setClient(client("anna.berg@example.com", "correct horse"));
    request.setReport(std::make_unique<InstallerReport>());
    VantorixTools catalogue;
    const auto body = answerOf(String(ServiceAddress::productListing), catalogue);
    QVERIFY(call(String(ServiceAddress::productListing), request, *body));
    QVERIFY(body->isSuccessful());
    QVERIFY(catalogue.getInstallation() != nullptr);
    const Product* product = catalogue.getInstallation()->getProducts().getProduct(String("4F1C2A7E-0D3B-4C55-9E61-2B7D8A9C0E11"));
    QVERIFY(product != nullptr);
    QCOMPARE(product->getName().qString(), QStringLiteral("Stair Maker"));
    QCOMPARE(product->getPlatformList().size(), std::size_t(1));
    const RegisteredPlatform* platform = product->getPlatformList().valueAt(0);
    QVERIFY(platform->isOwned());
    QCOMPARE(platform->getVersion().qString(), QStringLiteral("2.10"));
    QVERIFY(platform->isTrialAvailable());
    QCOMPARE(platform->getReleaseUrl(String("INT")).qString(),
             m_service.url() + QStringLiteral("/files/archives/StairMaker-17.zip"));
    QCOMPARE(platform->getAgreementUrl().qString(), m_service.url() + QStringLiteral("/files/agreements/eula.html"));
}

void tst_ServiceOperations::installerVersion()
{
    VantorixTools request;
    request.setReport(std::make_unique<InstallerReport>());
    VantorixTools response;
    InstallerRelease release;
    auto report = std::make_unique<InstallerReport>(false);
    report->getAction().setRelease(&release);
    InstallerReport* read = report.get();
    response.setReport(std::move(report));
    const auto body = answerOf(String(ServiceAddress::installerVersion), response);
    QVERIFY(call(String(ServiceAddress::installerVersion), request, *body));
    QVERIFY(body->isSuccessful());
    QCOMPARE(read->getAction().getVersion().qString(), QStringLiteral("2.06"));
    QCOMPARE(release.getSize(), 14.5);
    QCOMPARE(release.getReleaseList().size(), std::size_t(2));
}

void tst_ServiceOperations::supportReport()
{
    VantorixTools store;
    store.setClient(client("anna.berg@example.com", "correct horse"));
    SupportPackage support(String("T-42"), String("It does not start."), String("UEsDBBQ="));
    auto report = std::make_unique<InstallerReport>();
    report->getAction().setSupport(&support);
    store.setReport(std::move(report));
    // The answer is read back into the same store, so the id lands in the package.
    const auto body = answerOf(String(ServiceAddress::reporting), store);
    QVERIFY(call(String(ServiceAddress::reporting), store, *body));
    QVERIFY(body->isSuccessful());
    QVERIFY(!support.getReportId().empty());
    QCOMPARE(support.getTicket().qString(), QStringLiteral("T-42"));
}

QTEST_GUILESS_MAIN(tst_ServiceOperations)
#include "tst_ServiceOperations.moc"
