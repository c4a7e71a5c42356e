#include "Web/WebServiceClient.h"

#include "Serialise/XMLReader.h"
#include "Serialise/XMLWriter.h"
#include "Utility/DataBufferIn.h"
#include "Utility/DataBufferOut.h"
#include "Utility/Logger.h"
#include "Web/ResponseBody.h"
#include "Web/WebConnection.h"
#include "Web/XMLSOAPEnvelope.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTimer>
#include <QUrl>

namespace vantorix {

const char* const WebServiceClient::caFileVariable = "VANTORIX_CA_FILE";

namespace {

int s_timeout = WebServiceClient::defaultTimeout;
// Per thread: a post blocks only the thread that makes it.
thread_local bool s_posting = false;

// Marks the thread as waiting for an answer for as long as it lives.
class PostingGuard {
public:
    PostingGuard() { s_posting = true; }
    ~PostingGuard() { s_posting = false; }
    PostingGuard(const PostingGuard&) = delete;
    PostingGuard& operator=(const PostingGuard&) = delete;
};


// Errors that mean no connection to the service came about, so nothing of
// the request reached it.
bool isConnectionError(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::BackgroundRequestNotAllowedError:
    case QNetworkReply::UnknownNetworkError:
        return true;
    default:
        // The proxy errors.
        return error > 100 && error < 200;
    }
}

} // namespace

WebServiceClient::WebServiceClient(const String& server, bool secure) : m_server(server), m_secure(secure) {}

void WebServiceClient::setTimeout(int milliseconds)
{
    s_timeout = qMax(milliseconds, 1);
}

int WebServiceClient::getTimeout()
{
    return s_timeout;
}

bool WebServiceClient::isPosting()
{
    return s_posting;
}

QSslConfiguration WebServiceClient::tlsConfiguration()
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    const QString file = qEnvironmentVariable(WebServiceClient::caFileVariable);
    if (!file.isEmpty()) {
        const QList<QSslCertificate> extra =
            QSslCertificate::fromPath(file, QSsl::Pem, QSslCertificate::PatternSyntax::FixedString);
        if (extra.isEmpty())
            Logger::write(String("No certificate could be read from ") + String(file));
        else
            configuration.setCaCertificates(configuration.caCertificates() + extra);
    }
    return configuration;
}

bool WebServiceClient::post(const String& path, const String& action, XMLSOAPEnvelope& request,
                            XMLSOAPEnvelope* response, SOAPVersion version)
{
    m_lastError = 0;
    String text;
    {
        DataBufferOut out(&text);
        if (!XMLWriter(&out).exportFrom(request, true, true, true, true)) {
            Logger::write(String("The request for ") + action + " could not be written");
            return false;
        }
        out.flush();
    }
    String answer;
    if (!postText(path, action, text.toByteArray(), response != nullptr ? &answer : nullptr, version))
        return false;
    if (response == nullptr)
        return true;
    DataBufferIn in(answer, Encoding::UTF8);
    XMLReader reader(&in);
    XMLSOAPEnvelope::bindNameSpace(reader);
    response->setDefault();
    if (!reader.importTo(*response) || !response->isBodyRead()) {
        // An answer that is not a SOAP envelope we can read (an error page,
        // a cut or garbled text) is a failed read, not "no error".
        m_lastError = 7;
        Logger::write(String("The answer to ") + action + " could not be read (" +
                      String(QString::number(reader.getRowPosition())) + ", " +
                      String(QString::number(reader.getColPosition())) + ")");
        return false;
    }
    // An empty body, or one with another operation's answer, tells nothing:
    // read as success it would let a wrong password pass for a sign-in.
    const auto* body = dynamic_cast<const ResponseBody*>(&response->getBody());
    if (body != nullptr && !body->isAnswered()) {
        m_lastError = 7;
        Logger::write(String("The answer to ") + action + " holds neither its response element nor a fault");
        return false;
    }
    return true;
}

bool WebServiceClient::postText(const String& path, const String& action, const QByteArray& body,
                                String* responseText, SOAPVersion version)
{
    m_lastError = 0;
    m_failure = noFailure;
    m_failureAddress.clear();
    m_failureReason.clear();
    if (responseText != nullptr)
        responseText->clear();
    if (s_posting) {
        m_lastError = 6;
        Logger::write(String("Post of ") + action + " refused: another post is waiting for its answer");
        return false;
    }
    if (QCoreApplication::instance() == nullptr) {
        m_lastError = 6;
        Logger::write("Post refused: there is no application object to wait in");
        return false;
    }
    PostingGuard posting;
    const int timeout = s_timeout;
    const QDeadlineTimer deadline(timeout);

    WebConnection connection(m_server + path, m_secure);
    if (!connection.open(qMin<int>(WebConnection::lookupTimeout, timeout))) {
        m_lastError = connection.getLastError();
        m_failureAddress = connection.getHost();
        if (connection.wasPlainHttpRefused()) {
            m_failure = plainHttpRefused;
        } else if (!connection.getLastReason().empty()) {
            m_failure = cannotConnect;
            m_failureReason = connection.getLastReason();
        }
        return false;
    }
    SOAPHTTPRequest request(connection, version);
    if (!request.create(connection.getURL(), action)) {
        m_lastError = request.getLastError();
        return false;
    }
    if (!request.send(body, qMax<int>(int(deadline.remainingTime()), 1))) {
        m_lastError = request.getLastError();
        if (!request.getConnectionProblem().empty()) {
            const QUrl address(connection.getURL().qString());
            m_failure = cannotConnect;
            m_failureAddress = String(address.port() < 0 ? address.host()
                                                          : address.host() + QLatin1Char(':') + QString::number(address.port()));
            m_failureReason = request.getConnectionProblem();
        }
        return false;
    }
    if (responseText == nullptr)
        return true;
    *responseText = String(QString::fromUtf8(request.response()));
    if (responseText->empty()) {
        // An answer was wanted and none came: a failed read, not "no error".
        m_lastError = 7;
        Logger::write(String("The answer to ") + action + " was empty");
        return false;
    }
    return true;
}

WebServiceClient::SOAPHTTPRequest::SOAPHTTPRequest(WebConnection& connection, SOAPVersion version)
    : m_connection(connection), m_version(version)
{
}

WebServiceClient::SOAPHTTPRequest::~SOAPHTTPRequest()
{
    if (m_stream != nullptr) {
        m_stream->disconnect();
        m_stream->abort();
        delete m_stream.data();
    }
}

bool WebServiceClient::SOAPHTTPRequest::create(const String& url, const String& action)
{
    const QUrl address(url.qString(), QUrl::StrictMode);
    const QString scheme = address.scheme();
    if (!address.isValid() || address.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        m_lastError = 6;
        Logger::write(String("Could not create a request for ") + url);
        return false;
    }
    m_message = QNetworkRequest(address);
    m_message.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    m_message.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    m_message.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    m_message.setRawHeader("User-Agent", "Vantorix Installer");
    if (m_version == soap11) {
        m_message.setRawHeader("SOAPAction", action.toByteArray());
        // The charset is named so that no reader takes the UTF-8 body for
        // Latin-1, the HTTP default for text types.
        m_message.setRawHeader("Content-Type", "text/xml; charset=utf-8");
    } else {
        m_message.setRawHeader("Content-Type", "application/soap+xml; charset=utf-8");
    }
    if (scheme == QLatin1String("https"))
        m_message.setSslConfiguration(tlsConfiguration());
    return true;
}

bool WebServiceClient::SOAPHTTPRequest::send(const QByteArray& body, int timeoutMilliseconds)
{
    m_response.clear();
    m_status = 0;
    QNetworkAccessManager* manager = m_connection.getManager();
    if (manager == nullptr) {
        m_lastError = 4;
        return false;
    }
    const String url(m_message.url().toString());
    QStringList tlsErrors;
    m_stream = manager->post(m_message, body);

    // Wait for the whole answer in a local loop that leaves user input
    // queued; the loop sleeps until the network or the deadline wakes it.
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(m_stream.data(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(m_stream.data(), &QNetworkReply::sslErrors, &loop, [&tlsErrors](const QList<QSslError>& errors) {
        for (const QSslError& error : errors)
            tlsErrors << error.errorString();
    });
    deadline.start(qMax(timeoutMilliseconds, 1));
    if (!m_stream->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (m_stream == nullptr) {
        m_lastError = 7;
        Logger::write(String("The connection to ") + url + " was closed while waiting for the answer");
        return false;
    }
    if (!m_stream->isFinished()) {
        m_stream->disconnect();
        m_stream->abort();
        m_lastError = 7;
        Logger::write(String("No complete answer from ") + url + " within " + String(QString::number(timeoutMilliseconds)) +
                      " ms");
        return false;
    }

    const QVariant status = m_stream->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QNetworkReply::NetworkError error = m_stream->error();
    // An HTTP error status still carries an answer to read; a network error
    // (even after the status line) means the answer is missing or cut short.
    const bool failed = error != QNetworkReply::NoError && (error < 200 || !status.isValid());
    if (failed) {
        m_lastError = (!status.isValid() && isConnectionError(error)) ? 4 : 7;
        if (m_lastError == 4)
            m_connectionProblem = String(m_stream->errorString());
        String text = String("Post to ") + url + " failed: " + String(m_stream->errorString());
        if (!tlsErrors.isEmpty())
            text += String(" (") + String(tlsErrors.join(QStringLiteral("; "))) + ")";
        Logger::write(text);
        return false;
    }
    m_status = status.toInt();
    m_response = m_stream->readAll();
    return true;
}

} // namespace vantorix
