#include "common/FileBytes.h"
#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include "Web/ServiceAddress.h"
#include "Web/WebServiceClient.h"

#include <QDir>
#include <QRegularExpression>
#include <QTcpSocket>
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

// An answer read off a plain socket, as sent.
struct RawAnswer {
    int status = 0;
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
    bool closed = false; // the stand-in closed the connection
};

// Sends text as is and reads until the stand-in closes the connection or
// stays silent for quietMilliseconds.
RawAnswer rawExchange(const ServiceProcess& service, const QByteArray& text, int quietMilliseconds = 5000)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(QUrl(service.url()).port()));
    RawAnswer answer;
    if (!socket.waitForConnected(5000))
        return answer;
    socket.write(text);
    QByteArray all;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(quietMilliseconds))
        all += socket.readAll();
    all += socket.readAll();
    answer.closed = socket.state() != QAbstractSocket::ConnectedState;
    const int end = all.indexOf("\r\n\r\n");
    if (end < 0)
        return answer;
    const QList<QByteArray> lines = all.left(end).split('\n');
    answer.status = lines.value(0).split(' ').value(1).toInt();
    for (const QByteArray& line : lines.mid(1)) {
        const int colon = line.indexOf(':');
        answer.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    answer.body = all.mid(end + 4);
    return answer;
}

RawAnswer rawGet(const ServiceProcess& service, const QString& path, const QByteArray& headers = QByteArray(),
                 const QByteArray& method = "GET")
{
    return rawExchange(service, method + ' ' + path.toUtf8() + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "\r\n");
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
    void largeFilesAndTheirIdentity();
    void fileMisbehaviour();
    void redirects_data();
    void redirects();
    void controlChangesBehaviour();
    void refusesABrokenDataFolder();
    void saysContinueBeforeTheBody();

private:
    ServiceProcess m_service;
};

void tst_ServiceStandIn::initTestCase()
{
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
    QVERIFY(QFile::link(QStringLiteral("../accounts.json"), QDir(m_service.dataDir()).filePath(QStringLiteral("files/outside.json"))));
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
    QTest::addColumn<QByteArray>("headers");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("first"); // the part of the sample archive (4292 bytes) sent; -1: none
    QTest::addColumn<int>("last");
    QTest::addColumn<QByteArray>("contentRange");

    const QString archive = QStringLiteral("/files/archives/StairMaker-17.zip");
    QTest::newRow("whole") << archive << QByteArray() << 200 << 0 << 4291 << QByteArray();
    QTest::newRow("range a-b") << archive << QByteArray("Range: bytes=10-19\r\n") << 206 << 10 << 19
                               << QByteArray("bytes 10-19/4292");
    QTest::newRow("range a-") << archive << QByteArray("Range: bytes=4290-\r\n") << 206 << 4290 << 4291
                              << QByteArray("bytes 4290-4291/4292");
    QTest::newRow("range -n") << archive << QByteArray("Range: bytes=-5\r\n") << 206 << 4287 << 4291
                              << QByteArray("bytes 4287-4291/4292");
    QTest::newRow("range ending past the file") << archive << QByteArray("Range: bytes=4000-99999\r\n") << 206 << 4000
                                                << 4291 << QByteArray("bytes 4000-4291/4292");
    QTest::newRow("range past the file") << archive << QByteArray("Range: bytes=4292-\r\n") << 416 << -1 << -1
                                         << QByteArray("bytes */4292");
    QTest::newRow("empty suffix") << archive << QByteArray("Range: bytes=-0\r\n") << 416 << -1 << -1
                                  << QByteArray("bytes */4292");
    QTest::newRow("unreadable range: the whole file") << archive << QByteArray("Range: bytes=9-3\r\n") << 200 << 0
                                                      << 4291 << QByteArray();
    QTest::newRow("several ranges: the whole file") << archive << QByteArray("Range: bytes=0-1,5-6\r\n") << 200 << 0
                                                    << 4291 << QByteArray();
    QTest::newRow("If-Range of another version: the whole file")
        << archive << QByteArray("Range: bytes=10-19\r\nIf-Range: \"other\"\r\n") << 200 << 0 << 4291 << QByteArray();
    QTest::newRow("missing") << "/files/images/none.png" << QByteArray() << 404 << -1 << -1 << QByteArray();
    QTest::newRow("dot-dot") << "/files/%2E%2E/accounts.json" << QByteArray() << 404 << -1 << -1 << QByteArray();
    QTest::newRow("absolute path") << "/files//etc/passwd" << QByteArray() << 404 << -1 << -1 << QByteArray();
    QTest::newRow("link out of the folder") << "/files/outside.json" << QByteArray() << 404 << -1 << -1 << QByteArray();
    QTest::newRow("a folder") << "/files/images" << QByteArray() << 404 << -1 << -1 << QByteArray();
    QTest::newRow("service path by GET") << "/registration2.asmx" << QByteArray() << 405 << -1 << -1 << QByteArray();
}

void tst_ServiceStandIn::servesFiles()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, headers);
    QFETCH(int, status);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(QByteArray, contentRange);

    const RawAnswer answer = rawGet(m_service, path, headers);
    QCOMPARE(answer.status, status);
    QCOMPARE(answer.headers.value("content-range"), contentRange);
    if (first < 0)
        return;
    QFile file(QDir(m_service.dataDir()).filePath(QStringLiteral("files/archives/StairMaker-17.zip")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray expected = file.readAll().mid(first, last - first + 1);
    QCOMPARE(answer.body, expected);
    QCOMPARE(answer.headers.value("content-length").toLongLong(), qint64(expected.size()));
    QVERIFY(!answer.headers.value("etag").isEmpty());
    QVERIFY(!answer.headers.value("last-modified").isEmpty());
}

void tst_ServiceStandIn::largeFilesAndTheirIdentity()
{
    // Over 2 GiB (sparse, so it costs no disk): the length needs 64 bits.
    const QString large = QDir(m_service.dataDir()).filePath(QStringLiteral("files/large.bin"));
    QFile file(large);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(3LL << 30));
    file.close();
    const RawAnswer head = rawGet(m_service, QStringLiteral("/files/large.bin"), QByteArray(), "HEAD");
    QCOMPARE(head.status, 200);
    QCOMPARE(head.headers.value("content-length"), QByteArray("3221225472"));
    QVERIFY(head.body.isEmpty());
    const RawAnswer tail = rawGet(m_service, QStringLiteral("/files/large.bin"), "Range: bytes=-1\r\n");
    QCOMPARE(tail.status, 206);
    QCOMPARE(tail.headers.value("content-range"), QByteArray("bytes 3221225471-3221225471/3221225472"));
    QCOMPARE(tail.body, QByteArray(1, '\0'));
    QVERIFY(QFile::remove(large));

    // A changed file has another ETag, and a resume against the old one gets the whole new file.
    const QString changing = QDir(m_service.dataDir()).filePath(QStringLiteral("files/changing.txt"));
    writeFile(changing, "first version");
    const QByteArray etag = rawGet(m_service, QStringLiteral("/files/changing.txt")).headers.value("etag");
    const RawAnswer resumed =
        rawGet(m_service, QStringLiteral("/files/changing.txt"), "Range: bytes=6-\r\nIf-Range: " + etag + "\r\n");
    QCOMPARE(resumed.status, 206);
    QCOMPARE(resumed.body, QByteArray("version"));
    writeFile(changing, "the second version");
    const RawAnswer changed =
        rawGet(m_service, QStringLiteral("/files/changing.txt"), "Range: bytes=6-\r\nIf-Range: " + etag + "\r\n");
    QVERIFY(changed.headers.value("etag") != etag);
    QCOMPARE(changed.status, 200);
    QCOMPARE(changed.body, QByteArray("the second version"));
}

void tst_ServiceStandIn::fileMisbehaviour()
{
    const QString archive = QStringLiteral("/files/archives/StairMaker-17.zip");
    QVERIFY(m_service.control(QStringLiteral("short-files=1")));
    const RawAnswer cut = rawGet(m_service, archive);
    QCOMPARE(cut.status, 200);
    QVERIFY(cut.closed);
    QVERIFY(cut.body.size() < cut.headers.value("content-length").toInt());

    QVERIFY(m_service.control(QStringLiteral("reset=1&stall-files=100")));
    const RawAnswer stalled = rawExchange(m_service, "GET " + archive.toUtf8() + " HTTP/1.1\r\n\r\n", 700);
    QCOMPARE(stalled.status, 200);
    QCOMPARE(stalled.body.size(), 100);
    QVERIFY(!stalled.closed);
    QVERIFY(m_service.control(QStringLiteral("reset=1")));
    QCOMPARE(rawGet(m_service, archive).body.size(), 4292);
}

void tst_ServiceStandIn::redirects_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("location"); // "${SERVICE}" for the stand-in's root; empty: refused

    QTest::newRow("to a path") << "/files/old.zip=/files/archives/StairMaker-17.zip" << "/files/old.zip"
                               << "${SERVICE}/files/archives/StairMaker-17.zip";
    QTest::newRow("to an address, URL-encoded") << "%2Ffiles%2Fa.zip%3Dhttps%3A%2F%2Fmirror.example%2Fa.zip"
                                                << "/files/a.zip" << "https://mirror.example/a.zip";
    QTest::newRow("from a name that is no path") << "old.zip=/files/a.zip" << QString() << QString();
    QTest::newRow("to a name that is no address") << "/files/a.zip=ftp://x/a.zip" << QString() << QString();
}

void tst_ServiceStandIn::redirects()
{
    QFETCH(QString, setting);
    QFETCH(QString, from);
    QFETCH(QString, location);

    QCOMPARE(m_service.control(QStringLiteral("redirect=") + setting), !location.isEmpty());
    if (location.isEmpty())
        return;
    const RawAnswer answer = rawGet(m_service, from);
    QCOMPARE(answer.status, 302);
    QCOMPARE(QString::fromUtf8(answer.headers.value("location")),
             QString(location).replace(QLatin1String("${SERVICE}"), m_service.url()));
    // An empty target removes the redirect again.
    QVERIFY(m_service.control(QStringLiteral("redirect=") + QUrl::toPercentEncoding(from + QLatin1Char('='))));
    QVERIFY(rawGet(m_service, from).status != 302);
}

void tst_ServiceStandIn::controlChangesBehaviour()
{
    QVERIFY(m_service.control(QStringLiteral("status=503")));
    QVERIFY(call(m_service, QStringLiteral("Login"), QString()).contains(QLatin1String("503 Service Unavailable")));

    QVERIFY(!m_service.control(QStringLiteral("no-such-setting=1")));
    QVERIFY(m_service.control(QStringLiteral("reset=1")));
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
