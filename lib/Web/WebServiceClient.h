#ifndef VANTORIX_WEB_WEBSERVICECLIENT_H
#define VANTORIX_WEB_WEBSERVICECLIENT_H

#include "Utility/String.h"

#include <QByteArray>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslConfiguration>

class QNetworkReply;

namespace vantorix {

class WebConnection;
class XMLSOAPEnvelope;

// 0 is SOAP 1.1 (every caller); any other value SOAP 1.2.
enum SOAPVersion : int { soap11 = 0, soap12 = 1 };

// Posts SOAP requests to a web service and reads the answers, blocking the
// calling thread until the answer is complete or the time limit has passed.
//
// While a post waits, the thread runs a local event loop that leaves user
// input queued: the window still paints, but no click or key reaches the
// program. Timers, queued slots and socket events of the thread DO run in that
// time. The rule for every caller: a timer or slot that may fire while a post
// waits must not start another post and must not change what the post is
// reading (its response envelope and payload, the records they fill, the
// client object). A second post started there anyway is refused with last
// error 6 and sends nothing; such a refusal is not a failure of the service:
// the caller retries the post once the first one has returned (for example
// from a zero-time timer) and does not report it to the user.
//
// Only loopback hosts (127.0.0.0/8, ::1, "localhost": the local stand-in) may
// be reached over plain http; any other host needs https (else last error 4,
// nothing sent). TLS peers are always verified; the file named by
// VANTORIX_CA_FILE adds certificates to trust.
//
// Last errors: 0 none, 4 the connection could not be opened (host unknown or
// unreachable, connection refused, plain http to a host that is not loopback,
// TLS verification failed: nothing was sent), 6 the request could not be
// created (also: another post is waiting on this thread), 7 reading the answer
// failed (time limit, connection lost, an empty or unreadable answer, an
// envelope without the expected response element or a fault).
class WebServiceClient {
public:
    static constexpr int defaultTimeout = 60000;
    static const char* const caFileVariable;

    WebServiceClient(const String& server, bool secure);

    // Writes the request envelope, posts it to server + path with the given
    // SOAP action and reads the answer into the response envelope. True when
    // the request was sent and, with a response envelope, a non-empty answer
    // was read into it completely and (with a ResponseBody) held the
    // operation's response element or a SOAP fault. A SOAP fault is a
    // successful post: the response body then reports it. The envelope is
    // matched by its namespace URI, whatever prefix the answer uses.
    bool post(const String& path, const String& action, XMLSOAPEnvelope& request, XMLSOAPEnvelope* response,
              SOAPVersion version = soap11);

    // The transport under post(): sends body (sent as it is, every byte) and
    // gives back the answer's text. True when the body was sent and, when an
    // answer is wanted, a non-empty answer was read. The HTTP status is not
    // examined: a fault sent with status 500 is read like any other answer.
    bool postText(const String& path, const String& action, const QByteArray& body, String* responseText,
                  SOAPVersion version = soap11);

    short getLastError() const { return m_lastError; }
    // What made the last post fail to reach the service, for the user: the
    // refusal of plain http to a remote host, or a connection that could not
    // be made (the address tried and the system's reason). Other failures
    // leave noFailure.
    enum Failure : short { noFailure = 0, plainHttpRefused, cannotConnect };
    Failure getLastFailure() const { return m_failure; }
    const String& getFailureAddress() const { return m_failureAddress; }
    const String& getFailureReason() const { return m_failureReason; }
    const String& getServer() const { return m_server; }
    bool isSecure() const { return m_secure; }

    // The time one post may take in all, in milliseconds (tests shorten it).
    static void setTimeout(int milliseconds);
    static int getTimeout();
    // Whether a post is waiting for its answer on this thread right now.
    static bool isPosting();

    // TLS settings for every request to the vendor's servers (posts and
    // downloads): peers verified against the system's certificates and those
    // of the file named by VANTORIX_CA_FILE (a local service's own).
    static QSslConfiguration tlsConfiguration();

    // One HTTP exchange over an open connection.
    class SOAPHTTPRequest {
    public:
        SOAPHTTPRequest(WebConnection& connection, SOAPVersion version);
        ~SOAPHTTPRequest();

        SOAPHTTPRequest(const SOAPHTTPRequest&) = delete;
        SOAPHTTPRequest& operator=(const SOAPHTTPRequest&) = delete;

        // Builds the POST message for url with its headers; false (last error
        // 6) when the address is not a valid http or https URL.
        bool create(const String& url, const String& action);
        // Sends body and waits until the answer is complete, at most
        // timeoutMilliseconds. On success the answer's bytes are in response().
        bool send(const QByteArray& body, int timeoutMilliseconds);
        const QByteArray& response() const { return m_response; }
        // The HTTP status of the answer, 0 when none arrived.
        int getStatus() const { return m_status; }
        short getLastError() const { return m_lastError; }
        // The system's reason when the connection could not be made.
        const String& getConnectionProblem() const { return m_connectionProblem; }

    private:
        short m_lastError = 0;
        String m_connectionProblem;
        WebConnection& m_connection;
        QNetworkRequest m_message;
        QPointer<QNetworkReply> m_stream;
        SOAPVersion m_version;
        QByteArray m_response;
        int m_status = 0;
    };

private:
    String m_server;
    short m_lastError = 0;
    Failure m_failure = noFailure;
    String m_failureAddress;
    String m_failureReason;
    bool m_secure;
};

} // namespace vantorix

#endif
