#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include "Web/ServiceAddress.h"
#include "Web/WebServiceClient.h"

#include <QDir>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

using namespace vantorix;
using testsupport::ServiceProcess;

namespace {

QByteArray request(const QString& operation, const QString& tools, const QString& nameSpace = QString())
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<soap:Envelope "
                          "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body><%1 xmlns=\"%2\">"
                          "<vantorixtools version=\"1\" target=\"commercial\">%3</vantorixtools></%1></soap:Body>"
                          "</soap:Envelope>")
        .arg(operation, nameSpace.isEmpty() ? QLatin1String(ServiceAddress::baseURI) : nameSpace, tools)
        .toUtf8();
}

// Posts a hand-written request and gives back the answer's text.
QString call(const ServiceProcess& service, const QString& operation, const QString& tools,
             const QString& nameSpace = QString())
{
    WebServiceClient client(String(QUrl(service.url()).authority()), false);
    String answer;
    if (!client.postText(String(ServiceAddress::path), ServiceAddress::getAction(String(operation)),
                         request(operation, tools, nameSpace), &answer))
        return QStringLiteral("(post failed: %1)").arg(client.getLastError());
    return answer.qString();
}

struct Download {
    QByteArray body;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int status = 0;
};

Download fetch(const QString& url)
{
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(url)};
    QNetworkReply* reply = manager.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    Download result;
    result.error = reply->isFinished() ? reply->error() : QNetworkReply::TimeoutError;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.body = reply->readAll();
    delete reply;
    return result;
}

} // namespace

class tst_ServiceStandIn : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void answers_data();
    void answers();
    void supportReportsGetFreshIds();
    void servesFiles_data();
    void servesFiles();
    void controlChangesBehaviour();
    void refusesABrokenDataFolder();
    void saysContinueBeforeTheBody();

private:
    ServiceProcess m_service;
};

void tst_ServiceStandIn::initTestCase()
{
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
}

void tst_ServiceStandIn::cleanupTestCase()
{
    m_service.stop();
}

void tst_ServiceStandIn::answers_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("tools");
    QTest::addColumn<QString>("nameSpace");
    QTest::addColumn<QStringList>("expected");

    const QString anna = QStringLiteral("<client><email>Anna.Berg@example.com</email><password>correct horse</password></client>");
    QTest::newRow("login, e-mail in another case") << "Login" << anna << QString()
                                                   << QStringList{QStringLiteral("<name>Anna Berg</name>")};
    // A listing file's own XML declaration must not appear inside the answer.
    QTest::newRow("listing") << "ProductListing" << anna << QString()
                             << QStringList{QStringLiteral("<ProductListingResponse")};
    QTest::newRow("login, no password")
        << "Login" << "<client><email>anna.berg@example.com</email></client>" << QString()
        << QStringList{QStringLiteral("<errorCode>21</errorCode>")};
    QTest::newRow("installation report")
        << "Reporting" << "<report><installer><version>2.05</version><installation/></installer></report>" << QString()
        << QStringList{QStringLiteral("<ReportingResponse"), QStringLiteral("<vantorixtools version=\"1\" target=\"commercial\" />")};
    QTest::newRow("operation outside the service namespace")
        << "Login" << anna << "urn:other"
        << QStringList{QStringLiteral("<soap:Fault><faultcode>soap:Client</faultcode>")};
    QTest::newRow("report without a report") << "Reporting" << anna << QString()
                                             << QStringList{QStringLiteral("<faultcode>soap:Client</faultcode>")};
}

void tst_ServiceStandIn::answers()
{
    QFETCH(QString, operation);
    QFETCH(QString, tools);
    QFETCH(QString, nameSpace);
    QFETCH(QStringList, expected);

    const QString answer = call(m_service, operation, tools, nameSpace);
    QVERIFY2(answer.startsWith(QLatin1String("<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope xmlns:soap=")),
             qPrintable(answer));
    for (QString part : expected) {
        part.replace(QLatin1String("${SERVICE}"), m_service.url());
        QVERIFY2(answer.contains(part), qPrintable(part + QLatin1String("\nnot in\n") + answer));
    }
    // One declaration only: a listing file's own is dropped.
    QCOMPARE(answer.count(QLatin1String("<?xml")), 1);
}

void tst_ServiceStandIn::supportReportsGetFreshIds()
{
    const QString support = QStringLiteral("<client><email>anna.berg@example.com</email><password xml:space=\"preserve\">correct horse</password>"
                                           "</client><report><installer><version>2.05</version><support><ticket>T-1</ticket>"
                                           "<description>Ärger</description><attachment>UEsDBA==</attachment><reportId/>"
                                           "</support></installer></report>");
    static const QRegularExpression id(QStringLiteral("<reportId>([^<]+)</reportId>"));
    const QString first = id.match(call(m_service, QStringLiteral("Reporting"), support)).captured(1);
    const QString second = id.match(call(m_service, QStringLiteral("Reporting"), support)).captured(1);
    QVERIFY(!first.isEmpty());
    QVERIFY(!second.isEmpty());
    QVERIFY(first != second);

    // Both reports are on disk, as received but without the password.
    const QDir reports(QDir(m_service.dataDir()).filePath(QStringLiteral("reports")));
    const QStringList files = reports.entryList({QStringLiteral("*-support-*.xml")}, QDir::Files);
    QCOMPARE(files.size(), 2);
    QFile file(reports.filePath(files.first()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString stored = QString::fromUtf8(file.readAll());
    QVERIFY(stored.contains(QStringLiteral("<description>Ärger</description>")));
    QVERIFY(!stored.contains(QLatin1String("correct horse")));
    QVERIFY(!m_service.output().contains(QLatin1String("correct horse")));
}

void tst_ServiceStandIn::servesFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("source");

    QTest::newRow("archive") << "/files/archives/StairMaker-17.zip" << 200 << "files/archives/StairMaker-17.zip";
    QTest::newRow("missing") << "/files/images/none.png" << 404 << QString();
    QTest::newRow("outside the files folder") << "/files/%2E%2E/accounts.json" << 404 << QString();
    QTest::newRow("a folder") << "/files/images" << 404 << QString();
    QTest::newRow("service path by GET") << "/registration2.asmx" << 405 << QString();
}

void tst_ServiceStandIn::servesFiles()
{
    QFETCH(QString, path);
    QFETCH(int, status);
    QFETCH(QString, source);

    const Download download = fetch(m_service.url() + path);
    QCOMPARE(download.status, status);
    if (source.isEmpty())
        return;
    QFile file(QDir(m_service.dataDir()).filePath(source));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(download.body, file.readAll());
}

void tst_ServiceStandIn::controlChangesBehaviour()
{
    QVERIFY(m_service.control(QStringLiteral("short-files=1")));
    const Download cut = fetch(m_service.url() + QStringLiteral("/files/archives/StairMaker-17.zip"));
    // A file cut short must not look like a whole one.
    QVERIFY(cut.error != QNetworkReply::NoError);

    QVERIFY(m_service.control(QStringLiteral("status=503")));
    QVERIFY(call(m_service, QStringLiteral("Login"), QString()).contains(QLatin1String("503 Service Unavailable")));

    QVERIFY(!m_service.control(QStringLiteral("no-such-setting=1")));
    QVERIFY(m_service.control(QStringLiteral("reset=1")));
    QVERIFY(fetch(m_service.url() + QStringLiteral("/files/archives/StairMaker-17.zip")).error == QNetworkReply::NoError);
    QVERIFY(call(m_service, QStringLiteral("Login"), QString()).contains(QLatin1String("<errorCode>21</errorCode>")));
    QVERIFY(m_service.stats().value(QStringLiteral("requests")) > 0);
}

void tst_ServiceStandIn::refusesABrokenDataFolder()
{
    QTemporaryDir broken(QDir(testsupport::sandboxDir()).filePath(QStringLiteral("broken-XXXXXX")));
    QFile accounts(broken.filePath(QStringLiteral("accounts.json")));
    QVERIFY(accounts.open(QIODevice::WriteOnly));
    accounts.write("{\"accounts\": [");
    accounts.close();
    ServiceProcess service;
    QVERIFY(!service.start({}, broken.path(), 10000));
    QVERIFY2(service.errorString().contains(QLatin1String("accounts.json")), qPrintable(service.errorString()));
}

void tst_ServiceStandIn::saysContinueBeforeTheBody()
{
    const QUrl url(m_service.url());
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(url.port()));
    QVERIFY(socket.waitForConnected(5000));
    const QByteArray body = request(QStringLiteral("Login"), QStringLiteral("<client><email>x@y.z</email></client>"));
    socket.write("POST /registration2.asmx HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/xml; charset=utf-8\r\n"
                 "SOAPAction: \"" + ServiceAddress::getAction(String(ServiceAddress::login)).toByteArray() +
                 "\"\r\nExpect: 100-continue\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n");
    QVERIFY(socket.waitForReadyRead(5000));
    QCOMPARE(socket.readAll(), QByteArray("HTTP/1.1 100 Continue\r\n\r\n"));
    socket.write(body);
    QByteArray answer;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(5000))
        answer += socket.readAll();
    answer += socket.readAll();
    QVERIFY2(answer.startsWith("HTTP/1.1 200 OK\r\n"), answer.constData());
    QVERIFY(answer.contains("<errorCode>21</errorCode>"));
}

QTEST_GUILESS_MAIN(tst_ServiceStandIn)
#include "tst_ServiceStandIn.moc"
