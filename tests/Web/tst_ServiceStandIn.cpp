// The stand-in's HTTP side: files with ranges, misbehaviour, redirects, the
// forms of requests it reads, slow and crowded connections, the service
// description, and data folders it refuses. The SOAP operations themselves
// are in tst_ServiceOperations.

#include "common/FileBytes.h"
#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include "Web/ServiceAddress.h"

#include <QDir>
#include <QTcpSocket>
#include <QXmlStreamReader>
#include <QtTest>

#include <memory>
#include <vector>

using namespace vantorix;
using testsupport::ServiceProcess;

namespace {

// An answer read off a plain socket, as sent.
struct RawAnswer {
    int status = 0;
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
    bool closed = false; // the stand-in closed the connection
};

RawAnswer parse(const QByteArray& all, bool closed)
{
    RawAnswer answer;
    answer.closed = closed;
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

// Reads until the peer closes the connection or stays silent for quietMilliseconds.
QByteArray readAll(QTcpSocket& socket, int quietMilliseconds)
{
    QByteArray all;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(quietMilliseconds))
        all += socket.readAll();
    return all + socket.readAll();
}

quint16 portOf(const ServiceProcess& service)
{
    return quint16(QUrl(service.url()).port());
}

// Sends text as is and reads the answer.
RawAnswer rawExchange(const ServiceProcess& service, const QByteArray& text, int quietMilliseconds = 5000)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), portOf(service));
    if (!socket.waitForConnected(5000))
        return RawAnswer();
    socket.write(text);
    const QByteArray all = readAll(socket, quietMilliseconds);
    return parse(all, socket.state() != QAbstractSocket::ConnectedState);
}

RawAnswer rawGet(const ServiceProcess& service, const QString& path, const QByteArray& headers = QByteArray(),
                 const QByteArray& method = "GET")
{
    return rawExchange(service, method + ' ' + path.toUtf8() + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "\r\n");
}

QByteArray soapPost(const QByteArray& lineEnd, const QByteArray& extraHeaders = QByteArray())
{
    const QByteArray body = "<?xml version=\"1.0\"?><soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">"
                            "<soap:Body><Login xmlns=\"" + QByteArray(ServiceAddress::baseURI) +
                            "\"><vantorixtools><client><email>x@y.z</email></client></vantorixtools></Login>"
                            "</soap:Body></soap:Envelope>";
    const QByteArray n = lineEnd;
    return "POST /registration2.asmx HTTP/1.1" + n + "Host: 127.0.0.1" + n + "Content-Type: text/xml; charset=utf-8" + n +
           "SOAPAction: \"" + QByteArray(ServiceAddress::baseURI) + "/Login\"" + n + extraHeaders +
           "Content-Length: " + QByteArray::number(body.size()) + n + n + body;
}

// The processor time a process has used, in clock ticks, or -1 where /proc
// cannot tell.
qint64 processorTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // The fields after the command name, which is in parentheses: utime and stime are the 12th and 13th.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields.at(11).toLongLong() + fields.at(12).toLongLong() : -1;
}

} // namespace

class tst_ServiceStandIn : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void servesFiles_data();
    void servesFiles();
    void largeFile();
    void saysContinueBeforeTheBody();
    void controlChangesBehaviour();
    void slowAndCrowdedConnections();
    void serviceDescription();
    void refusesABrokenDataFolder_data();
    void refusesABrokenDataFolder();

private:
    ServiceProcess m_service;
};

void tst_ServiceStandIn::initTestCase()
{
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
    QVERIFY(QFile::link(QStringLiteral("../accounts.json"),
                        QDir(m_service.dataDir()).filePath(QStringLiteral("files/outside.json"))));
}

void tst_ServiceStandIn::servesFiles_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("first"); // the part of the sample archive (4292 bytes) sent; -1: none
    QTest::addColumn<int>("last");
    QTest::addColumn<QByteArray>("part"); // of the answer's body

    const auto get = [](const char* path, const QByteArray& headers = QByteArray()) {
        return "GET " + QByteArray(path) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "\r\n";
    };
    const char* const archive = "/files/archives/StairMaker-17.zip";
    const QByteArray none;
    QTest::newRow("whole") << get(archive) << 200 << 0 << 4291 << none;
    QTest::newRow("range a-b") << get(archive, "Range: bytes=10-19\r\n") << 206 << 10 << 19 << none;
    QTest::newRow("range -n") << get(archive, "Range: bytes=-5\r\n") << 206 << 4287 << 4291 << none;
    QTest::newRow("range ending past the file") << get(archive, "Range: bytes=4000-99999\r\n") << 206 << 4000 << 4291 << none;
    QTest::newRow("range past the file") << get(archive, "Range: bytes=4292-\r\n") << 416 << -1 << -1 << none;
    // Ranges it cannot or will not serve give the whole file.
    QTest::newRow("unreadable range") << get(archive, "Range: bytes=9-3\r\n") << 200 << 0 << 4291 << none;
    QTest::newRow("several ranges") << get(archive, "Range: bytes=0-1,5-6\r\n") << 200 << 0 << 4291 << none;
    QTest::newRow("dot-dot") << get("/files/%2E%2E/accounts.json") << 404 << -1 << -1 << none;
    QTest::newRow("absolute path") << get("/files//etc/passwd") << 404 << -1 << -1 << none;
    QTest::newRow("link out of the folder") << get("/files/outside.json") << 404 << -1 << -1 << none;
    QTest::newRow("a folder") << get("/files/images") << 404 << -1 << -1 << none;
    QTest::newRow("service path by GET") << get("/registration2.asmx") << 405 << -1 << -1 << none;

    // The forms of request it reads.
    const QByteArray agreement = "GET /files/agreements/eula.html HTTP/1.1";
    const QByteArray html("<html");
    QTest::newRow("bare LF") << agreement + "\nHost: a\n\n" << 200 << -1 << -1 << html;
    QTest::newRow("mixed, after an empty line") << "\r\n" + agreement + "\nHost: a\r\n\n" << 200 << -1 << -1 << html;
    QTest::newRow("post with bare LF") << soapPost("\n") << 200 << -1 << -1 << QByteArray("<errorCode>21</errorCode>");
    QTest::newRow("malformed request line") << QByteArray("GET /files\r\n\r\n") << 400 << -1 << -1 << none;
    QTest::newRow("chunked body") << soapPost("\r\n", "Transfer-Encoding: chunked\r\n") << 501 << -1 << -1 << none;
}

void tst_ServiceStandIn::servesFiles()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(QByteArray, part);

    const RawAnswer answer = rawExchange(m_service, request);
    QCOMPARE(answer.status, status);
    QVERIFY(answer.closed);
    QVERIFY2(answer.body.contains(part), answer.body.constData());
    const QByteArray contentRange = status == 416 ? QByteArray("bytes */4292")
        : status == 206 ? "bytes " + QByteArray::number(first) + '-' + QByteArray::number(last) + "/4292"
                        : QByteArray();
    QCOMPARE(answer.headers.value("content-range"), contentRange);
    if (first < 0)
        return;
    const QByteArray expected =
        readFile(QDir(m_service.dataDir()).filePath(QStringLiteral("files/archives/StairMaker-17.zip"))).mid(first, last - first + 1);
    QCOMPARE(answer.body, expected);
    QCOMPARE(answer.headers.value("content-length").toLongLong(), qint64(expected.size()));
    QVERIFY(!answer.headers.value("etag").isEmpty());
    QVERIFY(!answer.headers.value("last-modified").isEmpty());
}

void tst_ServiceStandIn::largeFile()
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
}

// Short and stalled files and redirects between paths are driven end to end
// by the downloader's tests; here the settings it does not use.
void tst_ServiceStandIn::controlChangesBehaviour()
{
    QVERIFY(m_service.control(QStringLiteral("status=503")));
    QVERIFY(rawExchange(m_service, soapPost("\r\n")).body.contains("503 Service Unavailable"));
    QVERIFY(!m_service.control(QStringLiteral("no-such-setting=1")));
    QVERIFY(!m_service.control(QStringLiteral("delay=soon")));
    QVERIFY(m_service.control(QStringLiteral("reset=1")));
    QVERIFY(rawExchange(m_service, soapPost("\r\n")).body.contains("<errorCode>21</errorCode>"));
    QVERIFY(m_service.stats().value(QStringLiteral("requests")) > 0);

    // A redirect to another address, given URL-encoded; one from a name that
    // is no path or to one that is no address is refused.
    QVERIFY(!m_service.control(QStringLiteral("redirect=old.zip=/files/a.zip")));
    QVERIFY(!m_service.control(QStringLiteral("redirect=/files/a.zip=ftp://x/a.zip")));
    QVERIFY(m_service.control(QStringLiteral("redirect=%2Ffiles%2Fa.zip%3Dhttps%3A%2F%2Fmirror.example%2Fa.zip")));
    const RawAnswer moved = rawGet(m_service, QStringLiteral("/files/a.zip"));
    QCOMPARE(moved.status, 302);
    QCOMPARE(moved.headers.value("location"), QByteArray("https://mirror.example/a.zip"));
    // An empty target removes the redirect again.
    QVERIFY(m_service.control(QStringLiteral("redirect=%2Ffiles%2Fa.zip%3D")));
    QCOMPARE(rawGet(m_service, QStringLiteral("/files/a.zip")).status, 404);
}

void tst_ServiceStandIn::saysContinueBeforeTheBody()
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), portOf(m_service));
    QVERIFY(socket.waitForConnected(5000));
    const QByteArray post = soapPost("\r\n", "Expect: 100-continue\r\n");
    const int body = post.indexOf("\r\n\r\n") + 4;
    socket.write(post.left(body));
    QVERIFY(socket.waitForReadyRead(5000));
    QCOMPARE(socket.readAll(), QByteArray("HTTP/1.1 100 Continue\r\n\r\n"));
    socket.write(post.mid(body));
    const RawAnswer answer = parse(readAll(socket, 5000), true);
    QCOMPARE(answer.status, 200);
    QVERIFY(answer.body.contains("<errorCode>21</errorCode>"));
}

void tst_ServiceStandIn::slowAndCrowdedConnections()
{
    ServiceProcess service;
    QVERIFY2(service.start({QStringLiteral("--idle-timeout"), QStringLiteral("2500"), QStringLiteral("--max-connections"),
                            QStringLiteral("2")}),
             qPrintable(service.errorString()));

    // Two silent connections fill the cap; three more wait to be accepted,
    // and the stand-in does not spin meanwhile.
    std::vector<std::unique_ptr<QTcpSocket>> silent;
    std::vector<std::unique_ptr<QTcpSocket>> waiting;
    for (int i = 0; i < 5; ++i) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QStringLiteral("127.0.0.1"), portOf(service));
        QVERIFY(socket->waitForConnected(5000));
        if (i < 2) {
            silent.push_back(std::move(socket));
        } else {
            socket->write("GET /files/agreements/eula.html HTTP/1.1\r\n\r\n");
            QVERIFY(socket->waitForBytesWritten(5000));
            waiting.push_back(std::move(socket));
        }
    }
    const qint64 before = processorTicks(service.processId());
    QTest::qWait(1000);
    const qint64 after = processorTicks(service.processId());
    if (before >= 0)
        QVERIFY2(after - before < 30, qPrintable(QStringLiteral("%1 ticks in one second").arg(after - before)));
    for (const auto& socket : waiting)
        QCOMPARE(socket->bytesAvailable(), qint64(0));

    // The silent ones time out with 408, and the waiting ones are then served.
    for (const auto& socket : silent)
        QCOMPARE(parse(readAll(*socket, 10000), true).status, 408);
    for (const auto& socket : waiting)
        QCOMPARE(parse(readAll(*socket, 10000), true).status, 200);

    // A request that stops half-way is answered 408 too, not held forever.
    const RawAnswer half = rawExchange(service, "GET /files/agreements/eula.html HTTP/1.1\r\nHost: 127", 10000);
    QCOMPARE(half.status, 408);
    QVERIFY(half.closed);
}

void tst_ServiceStandIn::serviceDescription()
{
    const RawAnswer answer = rawGet(m_service, QStringLiteral("/registration2.asmx?WSDL"));
    QCOMPARE(answer.status, 200);
    const QString wsdl = QStringLiteral("http://schemas.xmlsoap.org/wsdl/");
    const QString soap = QStringLiteral("http://schemas.xmlsoap.org/wsdl/soap/");
    QXmlStreamReader xml(answer.body);
    QString target;
    QString location;
    QStringList actions;
    int messages = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("definitions") && xml.namespaceUri() == wsdl)
            target = xml.attributes().value(QLatin1String("targetNamespace")).toString();
        else if (xml.name() == QLatin1String("message") && xml.namespaceUri() == wsdl)
            ++messages;
        else if (xml.name() == QLatin1String("operation") && xml.namespaceUri() == soap)
            actions.append(xml.attributes().value(QLatin1String("soapAction")).toString());
        else if (xml.name() == QLatin1String("address") && xml.namespaceUri() == soap)
            location = xml.attributes().value(QLatin1String("location")).toString();
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    const QString base = QLatin1String(ServiceAddress::baseURI);
    QCOMPARE(target, base);
    QCOMPARE(actions, (QStringList{base + "/Login", base + "/ProductListing", base + "/ProductListingEdu",
                                   base + "/InstallerVersion", base + "/Reporting"}));
    QCOMPARE(messages, 10);
    QCOMPARE(location, m_service.url() + QLatin1String(ServiceAddress::path));
}

void tst_ServiceStandIn::refusesABrokenDataFolder_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");

    QTest::newRow("accounts") << "accounts.json" << QByteArray("{\"accounts\": [") << "accounts.json";
    QTest::newRow("listing") << "listings/anna.xml"
                             << QByteArray("<vantorixtools><installation><products><product id=\"x\" edit=\"not a time\"/>")
                             << "is not a product listing";
}

void tst_ServiceStandIn::refusesABrokenDataFolder()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);

    QTemporaryDir broken(QDir(testsupport::sandboxDir()).filePath(QStringLiteral("broken-XXXXXX")));
    QVERIFY(ServiceProcess::copyFolder(QDir(testsupport::dataDir()).filePath(QStringLiteral("Web/service")), broken.path()));
    writeFile(broken.filePath(file), content);
    ServiceProcess service;
    QVERIFY(!service.start({}, broken.path(), 10000));
    QVERIFY2(service.errorString().contains(message), qPrintable(service.errorString()));
}

QTEST_GUILESS_MAIN(tst_ServiceStandIn)
#include "tst_ServiceStandIn.moc"
