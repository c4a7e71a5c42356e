#include "Web/WebConnection.h"

#include "Utility/Logger.h"
#include "Web/ServiceAddress.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostInfo>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QTimer>
#include <QUrl>

namespace vantorix {

WebConnection::WebConnection(const String& address, bool secure) : m_address(address), m_secure(secure) {}

WebConnection::~WebConnection() = default;

String WebConnection::getProtocol() const
{
    return String(m_secure ? "https://" : "http://");
}

String WebConnection::getURL() const
{
    return getProtocol() + m_address;
}

void WebConnection::setURL(const String& address)
{
    close();
    m_address = address;
}

String WebConnection::getHost() const
{
    const QUrl url(getURL().qString(), QUrl::StrictMode);
    return String(url.isValid() ? url.host() : QString());
}

bool WebConnection::open(int timeoutMilliseconds)
{
    close();
    m_lastError = 0;
    m_plainHttpRefused = false;
    m_lastReason.clear();
    if (m_address.empty()) {
        m_lastError = 4;
        Logger::write("Connection not opened: the service address is empty");
        return false;
    }
    String reason;
    const String host = getHost();
    if (!m_secure && !host.empty() && !ServiceAddress::allowsPlainHttp(host)) {
        m_lastError = 4;
        m_plainHttpRefused = true;
        Logger::write(String("Refused to connect to ") + getURL() +
                      " over plain http: only the local stand-in (127.0.0.1, ::1, localhost) may be reached without "
                      "https; give VANTORIX_SERVICE_URL an https address");
        return false;
    }
    // Behind a proxy the proxy resolves the name (a network that lets only
    // the proxy out may not resolve it here at all).
    if (host.empty() || (!isProxied() && resolve(host, timeoutMilliseconds, &reason).isEmpty())) {
        m_lastError = 4;
        m_lastReason = reason;
        Logger::write(String("Service host unreachable: ") + getURL() + " (" + reason + ")");
        return false;
    }
    m_manager = std::make_unique<QNetworkAccessManager>();
    return true;
}

void WebConnection::close()
{
    m_manager.reset();
}

bool WebConnection::hasInternetAccess() const
{
    const String host = getHost();
    return !host.empty() && (isProxied() || !resolve(host, lookupTimeout).isEmpty());
}

bool WebConnection::isProxied() const
{
    const QUrl url(getURL().qString(), QUrl::StrictMode);
    if (!url.isValid())
        return false;
    const QList<QNetworkProxy> proxies = QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(url));
    return !proxies.isEmpty() && proxies.first().type() != QNetworkProxy::NoProxy &&
           proxies.first().type() != QNetworkProxy::DefaultProxy;
}

QList<QHostAddress> WebConnection::resolve(const String& host, int timeoutMilliseconds, String* errorText)
{
    auto fail = [errorText](const QString& text) {
        if (errorText != nullptr)
            *errorText = String(text);
        return QList<QHostAddress>();
    };
    const QString name = host.qString();
    if (name.isEmpty())
        return fail(QStringLiteral("no host name"));
    QHostAddress literal;
    if (literal.setAddress(name))
        return {literal};
    if (QCoreApplication::instance() == nullptr)
        return fail(QStringLiteral("no application object to wait in"));

    // The lookup runs in Qt's resolver threads; this thread waits in a local
    // loop that leaves user input queued, so nothing the user does happens
    // in between and no processor time is burnt.
    QHostInfo answer;
    bool answered = false;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    const int id = QHostInfo::lookupHost(name, &loop, [&](const QHostInfo& info) {
        answer = info;
        answered = true;
        loop.quit();
    });
    deadline.start(qMax(timeoutMilliseconds, 0));
    if (!answered)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!answered) {
        QHostInfo::abortHostLookup(id);
        return fail(QStringLiteral("name lookup timed out after %1 ms").arg(timeoutMilliseconds));
    }
    if (answer.error() != QHostInfo::NoError || answer.addresses().isEmpty())
        return fail(answer.errorString());
    return answer.addresses();
}

} // namespace vantorix
