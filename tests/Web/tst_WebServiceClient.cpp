#include "Web/TestPayload.h"
#include "common/ServiceProcess.h"
#include "common/XMLText.h"

#include "Utility/Logger.h"
#include "Web/RequestBody.h"
#include "Web/ResponseBody.h"
#include "Web/ServiceAddress.h"
#include "Web/WebServiceClient.h"
#include "Web/XMLSOAPEnvelope.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

#include <ctime>

using namespace vantorix;
using testsupport::ServiceProcess;

namespace {

String loginAction()
{
    return ServiceAddress::getAction(ServiceAddress::login);
}

// The server part of the stand-in's address ("127.0.0.1:port").
String serverOf(const ServiceProcess& service)
{
    return String(QUrl(service.url()).authority());
}

// Processor time this process has used, in milliseconds.
double processorMilliseconds()
{
    return 1000.0 * double(std::clock()) / CLOCKS_PER_SEC;
}

// Answers every post on a loopback port with one fixed body (status 200), for
// answers the stand-in does not give. Runs in the test's thread: the post's
// wait serves it.
class CannedService : public QTcpServer {
public:
    explicit CannedService(const QByteArray& body) : m_body(body)
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answerWhenComplete(socket); });
            }
        });
        listen(QHostAddress::LocalHost);
    }
    String server() const { return String(QStringLiteral("127.0.0.1:%1").arg(serverPort())); }

private:
    void answerWhenComplete(QTcpSocket* socket)
    {
        // The client's envelopes end with "</soap:Envelope>\n": answer once it is in.
        QByteArray& request = m_requests[socket];
        request += socket->readAll();
        if (!request.endsWith("Envelope>\n"))
            return;
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\nConnection: close\r\n"
                      "Content-Length: " + QByteArray::number(m_body.size()) + "\r\n\r\n" + m_body);
        socket->disconnectFromHost();
        m_requests.remove(socket);
    }

    QByteArray m_body;
    QHash<QTcpSocket*, QByteArray> m_requests;
};

// A Login request carrying a client, and the envelope its answer is read into.
struct Exchange {
    Exchange(const char* email, const String& password, const String& operation = String(ServiceAddress::login))
        : requestBody(request, operation), answerBody(&answer, "LoginResponse")
    {
        request.client.email = email;
        request.client.password = password;
    }
    TestTools request;
    RequestBody requestBody;
    XMLSOAPEnvelope requestEnvelope{requestBody};
    TestTools answer;
    ResponseBody answerBody;
    XMLSOAPEnvelope answerEnvelope{answerBody};
};

// The text of a Login request as the installer writes it.
QByteArray loginRequest(const QString& email, const QString& password)
{
    Exchange exchange("", String(password));
    exchange.request.client.email = String(email);
    return testrecords::writeText(exchange.requestEnvelope);
}

// Posts Anna's sign-in (or body) as text to the service path.
bool postLogin(WebServiceClient& client, String* answer,
               const QByteArray& body = loginRequest(QStringLiteral("anna.berg@example.com"), QStringLiteral("correct horse")))
{
    return client.postText(String(ServiceAddress::path), loginAction(), body, answer);
}

} // namespace

class tst_WebServiceClient : public QObject {
    Q_OBJECT

private slots:
    void init();

    void serviceAddress();
    void plainHttpOnlyForLoopback();

    void answers_data();
    void answers();
    void unreachableHostSendsNothing_data();
    void unreachableHostSendsNothing();
    void secondPostInsideTheFirstIsRefused();
    void tlsNeedsTheServiceCertificate();

    void postsTheEnvelopeAndReadsTheAnswer();
    void postResults_data();
    void postResults();
    void emptyBodyIsNoAnswer();
};

void tst_WebServiceClient::init()
{
    Logger::initialise(Logger::defaultMaxSize);
    WebServiceClient::setTimeout(WebServiceClient::defaultTimeout);
    qunsetenv(WebServiceClient::caFileVariable);
}

// The address override counts only when it names an http or https host.
void tst_WebServiceClient::serviceAddress()
{
    const QString standard = QString::fromLatin1(ServiceAddress::defaultHost);
    const struct { const char* variable; QString host; bool secure; } cases[] = {
        {"", standard, true}, {"http://127.0.0.1:8443", QStringLiteral("127.0.0.1:8443"), false},
        {"HTTP://127.0.0.1:81/x", QStringLiteral("127.0.0.1:81"), false}, {"ftp://127.0.0.1:21", standard, true},
        {"http://", standard, true}};
    const QByteArray saved = qgetenv(ServiceAddress::urlVariable);
    for (const auto& c : cases) {
        qputenv(ServiceAddress::urlVariable, c.variable);
        QCOMPARE(ServiceAddress::getHost().qString(), c.host);
        QCOMPARE(ServiceAddress::isSecure(), c.secure);
    }
    qputenv(ServiceAddress::urlVariable, saved);
}

void tst_WebServiceClient::plainHttpOnlyForLoopback()
{
    for (const char* host : {"127.0.0.1", "127.200.3.4", "::1", "[::1]", "localhost", "LocalHost"})
        QVERIFY2(ServiceAddress::allowsPlainHttp(String(host)), host);
    for (const char* host : {"128.0.0.1", "10.0.0.1", "::2", "services.vantorix.example", "localhost.example.com", ""})
        QVERIFY2(!ServiceAddress::allowsPlainHttp(String(host)), host);
}

void tst_WebServiceClient::answers_data()
{
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<bool>("result");
    QTest::addColumn<short>("error");
    QTest::addColumn<QString>("answerContains");

    const QString activated = QStringLiteral("<ActivationResult>true</ActivationResult>");
    QTest::newRow("a delay inside the time limit") << QStringList{QStringLiteral("--delay"), QStringLiteral("300")} << 5000
                                                   << true << short(0) << activated;
    QTest::newRow("a delay past the time limit") << QStringList{QStringLiteral("--delay"), QStringLiteral("10000")} << 800
                                                 << false << short(7) << QString();
    QTest::newRow("stalled mid-answer") << QStringList{QStringLiteral("--stall")} << 800 << false << short(7) << QString();
    QTest::newRow("connection closed mid-answer") << QStringList{QStringLiteral("--close-early")} << 5000 << false
                                                  << short(7) << QString();
    // The status is not examined: the page is handed on for the reader to refuse.
    QTest::newRow("error status with a page") << QStringList{QStringLiteral("--status"), QStringLiteral("503")} << 5000
                                              << true << short(0) << QStringLiteral("<h1>503 Service Unavailable</h1>");
}

void tst_WebServiceClient::answers()
{
    QFETCH(QStringList, switches);
    QFETCH(int, timeout);
    QFETCH(bool, result);
    QFETCH(short, error);
    QFETCH(QString, answerContains);

    ServiceProcess service;
    QVERIFY2(service.start(switches), qPrintable(service.errorString()));
    WebServiceClient::setTimeout(timeout);
    WebServiceClient client(serverOf(service), false);
    String answer;
    const double before = processorMilliseconds();
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(postLogin(client, &answer), result);
    QCOMPARE(client.getLastError(), error);
    if (error == 7) {
        // Given up at the time limit, not long after it, with a log line.
        QVERIFY2(clock.elapsed() < timeout + 3000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!Logger::lines().isEmpty());
        // A spinning wait would use about as much processor time as it waited.
        const double used = processorMilliseconds() - before;
        QVERIFY2(used < 0.5 * clock.elapsed() + 100, qPrintable(QStringLiteral("%1 ms of processor time").arg(used)));
    }
    if (answerContains.isEmpty())
        QVERIFY(answer.empty());
    else
        QVERIFY2(answer.qString().contains(answerContains), answer.data());
}

void tst_WebServiceClient::unreachableHostSendsNothing_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("secure");
    QTest::addColumn<QString>("logged");

    // A name that cannot be looked up at all, so that no query leaves the machine.
    QTest::newRow("name that does not resolve") << "no..such.host.invalid" << true << "unreachable";
    // Over plain http a host other than loopback is refused before any lookup.
    QTest::newRow("remote host over plain http") << "vantorix-test.invalid" << false << "over plain http";
    QTest::newRow("empty server") << QString() << false << "unreachable";
}

void tst_WebServiceClient::unreachableHostSendsNothing()
{
    QFETCH(QString, host);
    QFETCH(bool, secure);
    QFETCH(QString, logged);

    ServiceProcess service;
    QVERIFY2(service.start(), qPrintable(service.errorString()));
    const QString port = QString::number(QUrl(service.url()).port());
    const String server(host.isEmpty() ? QString() : host + QLatin1Char(':') + port);
    WebServiceClient client(server, secure);
    String answer;
    QVERIFY(!postLogin(client, &answer));
    QCOMPARE(client.getLastError(), short(4));
    QVERIFY(answer.empty());
    QVERIFY2(Logger::lines().join(QLatin1Char('\n')).contains(logged), qPrintable(Logger::lines().join(QLatin1Char('\n'))));
    QCOMPARE(service.stats().value(QStringLiteral("posts"), -1), 0);

    // A port where nothing listens is unreachable too.
    service.stop();
    WebServiceClient closed(String(QStringLiteral("127.0.0.1:") + port), false);
    QVERIFY(!postLogin(closed, &answer));
    QCOMPARE(closed.getLastError(), short(4));
}

void tst_WebServiceClient::secondPostInsideTheFirstIsRefused()
{
    ServiceProcess service;
    QVERIFY2(service.start({QStringLiteral("--delay"), QStringLiteral("1000")}), qPrintable(service.errorString()));
    WebServiceClient first(serverOf(service), false);
    WebServiceClient second(serverOf(service), false);
    bool secondResult = true;
    bool wasPosting = false;
    QTimer::singleShot(100, [&] {
        wasPosting = WebServiceClient::isPosting();
        String ignored;
        secondResult = postLogin(second, &ignored);
    });
    String answer;
    QVERIFY(postLogin(first, &answer));
    QVERIFY(wasPosting);
    QVERIFY(!secondResult);
    QCOMPARE(second.getLastError(), short(6));
    QVERIFY(!WebServiceClient::isPosting());
    QCOMPARE(service.stats().value(QStringLiteral("posts")), 1);
}

void tst_WebServiceClient::tlsNeedsTheServiceCertificate()
{
    ServiceProcess service;
    QVERIFY2(service.startSecure(), qPrintable(service.errorString()));
    QVERIFY(service.url().startsWith(QLatin1String("https://")));

    // A certificate nobody vouches for: refused before anything is sent.
    WebServiceClient client(serverOf(service), true);
    String answer;
    QVERIFY(!postLogin(client, &answer));
    QCOMPARE(client.getLastError(), short(4));
    QCOMPARE(service.stats().value(QStringLiteral("posts"), -1), 0);

    // Trusted through VANTORIX_CA_FILE.
    qputenv(WebServiceClient::caFileVariable, QFile::encodeName(service.certificate()));
    QVERIFY(postLogin(client, &answer));
    QVERIFY2(answer.qString().contains(QStringLiteral("<ActivationResult>true</ActivationResult>")), answer.data());

    // Over plain HTTP to an HTTPS port nothing sensible comes back.
    WebServiceClient plain(serverOf(service), false);
    QVERIFY(!postLogin(plain, &answer));
    QVERIFY(plain.getLastError() != 0);
}

void tst_WebServiceClient::postsTheEnvelopeAndReadsTheAnswer()
{
    ServiceProcess service;
    QVERIFY2(service.start({QStringLiteral("--record"), service.recordDir()}), qPrintable(service.errorString()));

    Exchange exchange("jörg.müller@example.com", String("Grüße 2015"));
    WebServiceClient client(serverOf(service), false);
    QVERIFY(client.post(String(ServiceAddress::path), loginAction(), exchange.requestEnvelope,
                        &exchange.answerEnvelope));
    QVERIFY(exchange.answerBody.isSuccessful());
    QCOMPARE(exchange.answer.client.name.qString(), QStringLiteral("Jörg Müller"));
    // The password went out enciphered and came back as it was sent.
    QCOMPARE(exchange.answer.client.password.qString(), QStringLiteral("Grüße 2015"));

    // What arrived is the written envelope, every UTF-8 byte of it, with the
    // SOAP 1.1 headers.
    const QList<QByteArray> posts = service.recordedPosts();
    QCOMPARE(posts.size(), 1);
    const int split = posts.at(0).indexOf("\r\n\r\n");
    const QByteArray head = posts.at(0).left(split);
    const QByteArray body = posts.at(0).mid(split + 4);
    QVERIFY2(head.startsWith("POST /registration2.asmx HTTP/1.1\r\n"), head.constData());
    QVERIFY(head.contains("\r\nSOAPAction: " + loginAction().toByteArray() + "\r\n"));
    QVERIFY(head.contains("\r\nContent-Type: text/xml; charset=utf-8\r\n"));
    QVERIFY(head.contains("\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n"));
    QVERIFY(body.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<soap:Envelope xmlns:xsd="));
    QVERIFY(body.contains("<email>j\xC3\xB6rg.m\xC3\xBCller@example.com</email>"));
    QVERIFY(!body.contains("Gr\xC3\xBC\xC3\x9F" "e"));
    QVERIFY(!service.output().contains(QLatin1String("2015")));

    // SOAP 1.2 goes out with its own content type and no SOAPAction; the
    // stand-in speaks 1.1 only and refuses with a plain-text page.
    String answer;
    QVERIFY(client.postText(String(ServiceAddress::path), loginAction(), QByteArray("<x/>"), &answer, soap12));
    QVERIFY(answer.qString().startsWith(QLatin1String("SOAP 1.1 requests must be sent as text/xml")));
    const QByteArray soap12Post = service.recordedPosts().value(1);
    QVERIFY(soap12Post.contains("\r\nContent-Type: application/soap+xml; charset=utf-8\r\n"));
    QVERIFY(!soap12Post.contains("SOAPAction"));

    // Sent and answered with nothing to read the answer into: still a successful post.
    QVERIFY(client.post(String(ServiceAddress::path), loginAction(), exchange.requestEnvelope, nullptr));
    QCOMPARE(service.recordedPosts().size(), 3);
}

void tst_WebServiceClient::postResults_data()
{
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("posted");
    QTest::addColumn<short>("error");
    QTest::addColumn<bool>("successful");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("description");

    const QString login = QLatin1String(ServiceAddress::login);
    QTest::newRow("wrong password") << QStringList() << login << "wrong" << true << short(0) << false << "21"
                                    << "The e-mail address or the password is not correct.";
    QTest::newRow("fault") << QStringList() << "Unknown" << "correct horse" << true << short(0) << false << "soap:Client"
                           << "Server did not recognize the value of HTTP Header SOAPAction: " +
                                  QLatin1String(ServiceAddress::baseURI) + "/Unknown.";
    QTest::newRow("no ActivationResult") << QStringList{QStringLiteral("--no-activation-result")} << login << "wrong"
                                         << true << short(0) << true << "21"
                                         << "The e-mail address or the password is not correct.";
    QTest::newRow("empty answer") << QStringList{QStringLiteral("--empty")} << login << "correct horse" << false
                                  << short(7) << true << "" << "";
    QTest::newRow("error page") << QStringList{QStringLiteral("--status"), QStringLiteral("502")} << login
                                << "correct horse" << false << short(7) << true << "" << "";
}

void tst_WebServiceClient::postResults()
{
    QFETCH(QStringList, switches);
    QFETCH(QString, operation);
    QFETCH(QString, password);
    QFETCH(bool, posted);
    QFETCH(short, error);
    QFETCH(bool, successful);
    QFETCH(QString, code);
    QFETCH(QString, description);

    ServiceProcess service;
    QVERIFY2(service.start(switches), qPrintable(service.errorString()));
    WebServiceClient::setTimeout(1500);

    Exchange exchange("anna.berg@example.com", String(password), String(operation));
    WebServiceClient client(serverOf(service), false);
    QCOMPARE(client.post(String(ServiceAddress::path), ServiceAddress::getAction(String(operation)),
                         exchange.requestEnvelope, &exchange.answerEnvelope),
             posted);
    QCOMPARE(client.getLastError(), error);
    if (!posted)
        return;
    QCOMPARE(exchange.answerBody.isSuccessful(), successful);
    QCOMPARE(exchange.answerBody.getErrorCode().qString(), code);
    QCOMPARE(exchange.answerBody.getErrorDescription().qString(), description);
}

void tst_WebServiceClient::emptyBodyIsNoAnswer()
{
    // Nothing in the body must not read as a successful sign-in.
    CannedService service(QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope xmlns:soap=\"") +
                          XMLSOAPEnvelope::envelopeNameSpace + "\"><soap:Body/></soap:Envelope>");
    QVERIFY(service.isListening());
    Exchange exchange("anna.berg@example.com", String("correct horse"));
    WebServiceClient client(service.server(), false);
    QVERIFY(!client.post(String(ServiceAddress::path), loginAction(), exchange.requestEnvelope, &exchange.answerEnvelope));
    QCOMPARE(client.getLastError(), short(7));
}

QTEST_GUILESS_MAIN(tst_WebServiceClient)
#include "tst_WebServiceClient.moc"
