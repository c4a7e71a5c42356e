// The five operations end to end against the stand-in: the installer's own
// records written by the client and read back from the answers, hand-written
// requests for the forms the client never sends, and the sample listings
// (what they carry for each account, host version and language).

#include "common/FileBytes.h"
#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include "Catalogue/Client.h"
#include "Catalogue/Installation.h"
#include "Catalogue/Product.h"
#include "Catalogue/ProductMap.h"
#include "Catalogue/RegisteredPlatform.h"
#include "Catalogue/VantorixTools.h"
#include "Serialise/XMLWriter.h"
#include "Utility/Convert.h"
#include "Utility/DataBufferIn.h"
#include "Utility/DataBufferOut.h"
#include "Web/RequestBody.h"
#include "Web/ResponseBody.h"
#include "Web/ServiceAddress.h"
#include "Web/WebServiceClient.h"
#include "Web/XMLSOAPEnvelope.h"
#include "products/InstallerRelease.h"
#include "support/InstallerReport.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QtTest>

using namespace vantorix;
using installer::InstallerRelease;
using installer::InstallerReport;
using installer::SupportPackage;
using testsupport::ServiceProcess;

namespace {

const char* const anna = "anna.berg@example.com";
const char* const annaPassword = "correct horse";

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

std::unique_ptr<Client> client(const QString& email, const QString& password)
{
    auto record = std::make_unique<Client>();
    record->setEmail(String(email));
    record->setPassword(String(password));
    return record;
}

// Posts a hand-written request (password and all as given) and gives back the answer's text.
QString postByHand(const QString& operation, const QString& tools, const QString& nameSpace = QString())
{
    const QByteArray request =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<soap:Envelope "
                       "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body><%1 xmlns=\"%2\">"
                       "<vantorixtools version=\"1\" target=\"commercial\">%3</vantorixtools></%1></soap:Body>"
                       "</soap:Envelope>")
            .arg(operation, nameSpace.isEmpty() ? QLatin1String(ServiceAddress::baseURI) : nameSpace, tools)
            .toUtf8();
    WebServiceClient web(ServiceAddress::getHost(), false);
    String answer;
    if (!web.postText(String(ServiceAddress::path), ServiceAddress::getAction(String(operation)), request, &answer))
        return QStringLiteral("(post failed: %1)").arg(web.getLastError());
    return answer.qString();
}

QString sampleData()
{
    return QDir(testsupport::dataDir()).filePath(QStringLiteral("Web/service"));
}

// A file's SHA-256 digest in hexadecimal.
QString sha256(const QString& path)
{
    return QString::fromLatin1(QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha256).toHex());
}

// A listing file's text as the stand-in fills it in: its root address, and
// the digests of the files it serves, worked out here from the files.
QByteArray filledIn(const QString& file, const QString& root)
{
    const QDir data(sampleData());
    QString text = QString::fromUtf8(readFile(data.filePath(file))).replace(QLatin1String("${SERVICE}"), root);
    static const QRegularExpression digest(QStringLiteral("\\$\\{SHA256:([^}]*)\\}"));
    for (QRegularExpressionMatch match = digest.match(text); match.hasMatch(); match = digest.match(text))
        text.replace(match.capturedStart(), match.capturedLength(), sha256(data.filePath("files/" + match.captured(1))));
    return text.toUtf8();
}

bool readStore(VantorixTools& store, const QByteArray& text)
{
    DataBufferIn in;
    in.setSource(text, Encoding::UTF8);
    return store.readInstallation(in);
}

QByteArray writeStore(VantorixTools& store)
{
    String text;
    {
        DataBufferOut out(&text);
        XMLWriter(&out).exportFrom(store, true, true, true, true);
    }
    return text.toByteArray();
}

// The listing the stand-in answers for an account, read through the client.
bool fetchListing(const QString& operation, const QString& email, const QString& password, VantorixTools& catalogue)
{
    VantorixTools request;
    request.setClient(client(email, password));
    request.setReport(std::make_unique<InstallerReport>());
    const auto body = answerOf(String(operation), catalogue);
    return call(String(operation), request, *body) && body->isSuccessful() && catalogue.getInstallation() != nullptr;
}

} // namespace

class tst_ServiceOperations : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void login_data();
    void login();
    void handWritten();
    void listingsAreTheCatalogueRecords_data();
    void listingsAreTheCatalogueRecords();
    void demoListingCoversEveryCategory_data();
    void demoListingCoversEveryCategory();
    void installerVersion();
    void supportReports();

private:
    ServiceProcess m_service;
};

void tst_ServiceOperations::initTestCase()
{
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
    m_service.exportEnvironment();
}

void tst_ServiceOperations::login_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name"); // empty: refused

    QTest::newRow("signed in") << anna << annaPassword << "0" << "Anna Berg";
    QTest::newRow("e-mail in another case") << "Anna.Berg@Example.com" << annaPassword << "0" << "Anna Berg";
    QTest::newRow("non-ASCII account") << "jörg.müller@example.com" << "Grüße 2015" << "0" << "Jörg Müller";
    QTest::newRow("wrong password") << anna << "Correct horse" << "21" << "";
    QTest::newRow("unknown account") << "nobody@example.com" << "x" << "21" << "";
}

void tst_ServiceOperations::login()
{
    QFETCH(QString, email);
    QFETCH(QString, password);
    QFETCH(QString, code);
    QFETCH(QString, name);

    VantorixTools request;
    request.setClient(client(email, password));
    VantorixTools response;
    const auto body = answerOf(String(ServiceAddress::login), response);
    QVERIFY(call(String(ServiceAddress::login), request, *body));
    QCOMPARE(body->isSuccessful(), !name.isEmpty());
    QCOMPARE(body->getErrorCode().qString(), code);
    if (name.isEmpty())
        return;
    QVERIFY(response.getClient() != nullptr);
    QCOMPARE(response.getClient()->getName().qString(), name);
    QCOMPARE(response.getClient()->getEmail().qString().toLower(), email.toLower());
    QCOMPARE(response.getClient()->getPassword().qString(), password);
}

// Requests the client never sends, written by hand.
void tst_ServiceOperations::handWritten()
{
    const QString plain = QStringLiteral("<client><email>anna.berg@example.com</email><password>correct horse</password></client>");
    const struct { const char* operation; QString tools; const char* nameSpace; const char* expected; } requests[] = {
        {"Login", plain, "", "<name>Anna Berg</name>"}, // a plain password
        {"Reporting", QStringLiteral("<report><installer><version>2.05</version><installation/></installer></report>"), "",
         "<ReportingResponse xmlns=\"https://services.vantorix.example/registration2\"><ActivationResult>true"
         "</ActivationResult><vantorixtools version=\"1\" target=\"commercial\" />"},
        {"Login", plain, "urn:other", "<soap:Fault><faultcode>soap:Client</faultcode>"}, // outside the service namespace
        {"Reporting", plain, "", "<faultcode>soap:Client</faultcode>"}}; // a report without a report
    for (const auto& c : requests) {
        const QString answer = postByHand(QLatin1String(c.operation), c.tools, QLatin1String(c.nameSpace));
        QVERIFY2(answer.startsWith(QLatin1String("<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope xmlns:soap=")),
                 qPrintable(answer));
        QVERIFY2(answer.contains(QLatin1String(c.expected)), qPrintable(answer));
    }
}

void tst_ServiceOperations::listingsAreTheCatalogueRecords_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("file");

    QTest::newRow("Anna") << "ProductListing" << anna << annaPassword << "listings/anna.xml";
    QTest::newRow("Jörg") << "ProductListing" << "jörg.müller@example.com" << "Grüße 2015" << "listings/joerg.xml";
    QTest::newRow("educational, any address") << "ProductListingEdu" << "student@example.edu" << "" << "education.xml";
    QTest::newRow("educational, an account's own") << "ProductListingEdu" << "jörg.müller@example.com" << ""
                                                   << "listings/joerg-education.xml";
}

void tst_ServiceOperations::listingsAreTheCatalogueRecords()
{
    QFETCH(QString, operation);
    QFETCH(QString, email);
    QFETCH(QString, password);
    QFETCH(QString, file);

    VantorixTools fromService;
    QVERIFY(fetchListing(operation, email, password, fromService));
    VantorixTools fromFile;
    QVERIFY(readStore(fromFile, filledIn(file, m_service.url())));
    QVERIFY(fromService.getInstallation()->getProducts().size() > 0);
    QCOMPARE(fromService.getTarget(), fromFile.getTarget());
    // The same records (digests included), written by the same code; the
    // client record the answer's reading leaves behind is not the listing's.
    fromService.setClient(nullptr);
    QCOMPARE(writeStore(fromService), writeStore(fromFile));
}

void tst_ServiceOperations::demoListingCoversEveryCategory_data()
{
    QTest::addColumn<int>("version");
    QTest::newRow("ArchiCAD 18") << 18;
    QTest::newRow("ArchiCAD 19") << 19;
}

void tst_ServiceOperations::demoListingCoversEveryCategory()
{
    QFETCH(int, version);

    VantorixTools commercial;
    QVERIFY(fetchListing(QStringLiteral("ProductListing"), anna, annaPassword, commercial));
    VantorixTools educational;
    QVERIFY(fetchListing(QStringLiteral("ProductListingEdu"), anna, QString(), educational));

    int owned = 0;
    int updatable = 0;
    int trial = 0;
    int educationalCount = 0;
    int otherLanguage = 0;
    const auto check = [&](const ProductMap& products, bool isEducational) {
        for (const auto& entry : products) {
            const PlatformMap& platforms = entry.second->getPlatformList();
            for (std::size_t i = 0; i < platforms.size(); ++i) {
                const RegisteredPlatform* platform = platforms.valueAt(i);
                if (platform->getSignature().getVersion() != version)
                    continue;
                const QString what = entry.second->getName().qString();
                educationalCount += isEducational ? 1 : 0;
                owned += !isEducational && platform->isOwned() ? 1 : 0;
                updatable += !isEducational && platform->isOwned() && ToDouble(platform->getVersion()).value() > 1.0 ? 1 : 0;
                trial += !isEducational && !platform->isOwned() && platform->isTrialAvailable() ? 1 : 0;
                QVERIFY2(platform->getReleaseSize() > 0, qPrintable(what));
                QVERIFY2(platform->getReleaseList() != nullptr, qPrintable(what));
                bool international = false;
                for (const ReleaseUrl& release : *platform->getReleaseList()) {
                    international = international || release.getLanguage() == String("INT");
                    otherLanguage += release.getLanguage() != String("INT") ? 1 : 0;
                    // Every address is served, and its digest is that of the served file.
                    const QString path = QDir(m_service.dataDir()).filePath(release.getUrl().qString().mid(m_service.url().size() + 1));
                    QVERIFY2(QFileInfo::exists(path), qPrintable(path));
                    QCOMPARE(release.getSha256().qString(), sha256(path));
                }
                QVERIFY2(international, qPrintable(what));
                for (const String& url : {platform->getAgreementUrl(), platform->getProductImage()}) {
                    QVERIFY2(url.qString().startsWith(m_service.url() + QStringLiteral("/files/")), qPrintable(what));
                    QVERIFY2(QFileInfo::exists(QDir(m_service.dataDir()).filePath(url.qString().mid(m_service.url().size() + 1))),
                             qPrintable(url.qString()));
                }
            }
        }
    };
    check(commercial.getInstallation()->getProducts(), false);
    check(educational.getInstallation()->getProducts(), true);
    // Something for each category: mine, updatable once an older version is installed, on trial, educational.
    QVERIFY(owned > 0);
    QVERIFY(updatable > 0);
    QVERIFY(trial > 0);
    QVERIFY(educationalCount > 0);
    QVERIFY(otherLanguage > 0);
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

void tst_ServiceOperations::supportReports()
{
    VantorixTools store;
    store.setClient(client(anna, annaPassword));
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

    // A second request, by hand with a plain password in an attributed element, gets another id.
    const QString byHand = postByHand(
        QStringLiteral("Reporting"),
        QStringLiteral("<client><email>anna.berg@example.com</email><password xml:space=\"preserve\">correct horse</password>"
                       "</client><report><installer><version>2.05</version><support><ticket>T-1</ticket>"
                       "<description>Ärger</description><attachment>UEsDBA==</attachment><reportId/>"
                       "</support></installer></report>"));
    static const QRegularExpression id(QStringLiteral("<reportId>([^<]+)</reportId>"));
    const QString second = id.match(byHand).captured(1);
    QVERIFY2(!second.isEmpty(), qPrintable(byHand));
    QVERIFY(second != support.getReportId().qString());

    // Both are on disk as received, without the password; the log has none either.
    const QDir reports(QDir(m_service.dataDir()).filePath(QStringLiteral("reports")));
    const QStringList files = reports.entryList({QStringLiteral("*-support-*.xml")}, QDir::Files, QDir::Name);
    QCOMPARE(files.size(), 2);
    const QString stored = QString::fromUtf8(readFile(reports.filePath(files.last())));
    QVERIFY(stored.contains(QStringLiteral("<description>Ärger</description>")));
    QVERIFY(!stored.contains(QLatin1String("correct horse")));
    QVERIFY(!m_service.output().contains(QLatin1String("correct horse")));
}

QTEST_GUILESS_MAIN(tst_ServiceOperations)
#include "tst_ServiceOperations.moc"
