#ifndef VANTORIX_WEB_WEBCONNECTION_H
#define VANTORIX_WEB_WEBCONNECTION_H

#include "Utility/String.h"

#include <QHostAddress>
#include <QList>

#include <memory>

class QNetworkAccessManager;

namespace vantorix {

// A connection to one web address (host, optional port and path, no scheme).
// Opening it checks that the host can be reached at all - its name resolves -
// without sending anything; the network access manager it then holds carries
// the HTTP exchange of one post and is released by close() or destruction.
class WebConnection {
public:
    // How long a name lookup may take before the host counts as unreachable.
    static constexpr int lookupTimeout = 10000;

    WebConnection(const String& address, bool secure);
    ~WebConnection();

    WebConnection(const WebConnection&) = delete;
    WebConnection& operator=(const WebConnection&) = delete;

    String getProtocol() const;
    // The protocol followed by the address.
    String getURL() const;
    const String& getAddress() const { return m_address; }
    // Replaces the address; an open connection is closed first.
    void setURL(const String& address);

    // The host name (or address literal) of the address, without port or path.
    String getHost() const;

    // Checks that the address is not empty, that a plain http address names a
    // loopback host (ServiceAddress::allowsPlainHttp) and that the host
    // resolves within the given time; otherwise the last error becomes 4, the
    // reason is logged and nothing is opened.
    bool open(int timeoutMilliseconds = lookupTimeout);
    void close();
    bool isOpen() const { return m_manager != nullptr; }
    // The access manager of an open connection (owned by this connection).
    QNetworkAccessManager* getManager() const { return m_manager.get(); }

    short getLastError() const { return m_lastError; }
    // Why open() failed: the plain http refusal, or the system's reason why
    // the host cannot be reached. Not set by other failures.
    bool wasPlainHttpRefused() const { return m_plainHttpRefused; }
    const String& getLastReason() const { return m_lastReason; }
    bool isSecure() const { return m_secure; }

    // Whether the host of this connection can be reached: its name resolves,
    // or a proxy takes the requests for it. Nothing is sent to it.
    bool hasInternetAccess() const;
    // Whether requests to this address go through a proxy (the system's
    // settings, once the program has asked for them).
    bool isProxied() const;

    // Resolves a host name (or takes an address literal) while the caller
    // waits, without taking user input; an empty list when the name does not
    // resolve in time. A failure is described in errorText.
    static QList<QHostAddress> resolve(const String& host, int timeoutMilliseconds, String* errorText = nullptr);

private:
    String m_address;
    std::unique_ptr<QNetworkAccessManager> m_manager;
    short m_lastError = 0;
    bool m_plainHttpRefused = false;
    String m_lastReason;
    bool m_secure;
};

} // namespace vantorix

#endif
