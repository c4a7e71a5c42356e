#ifndef VANTORIX_SERVICE_HTTPSERVER_H
#define VANTORIX_SERVICE_HTTPSERVER_H

#include "Behaviour.h"
#include "ServiceData.h"
#include "SoapService.h"

#include <QSslCertificate>
#include <QSslKey>
#include <QTcpServer>

class QTcpSocket;

// A small HTTP/1.1 server on Qt's own sockets: one request per connection
// (answers carry "Connection: close"), bodies by Content-Length, optional TLS.
//
//   POST /registration2.asmx    the SOAP operations (SoapService)
//   GET  /registration2.asmx?wsdl  the service description
//   GET  /files/<path>          the files of the data folder's files/ folder,
//                               streamed from disk, with ranges, HEAD, ETag
//   GET  /control?name=value    changes the misbehaviour (Behaviour)
//   GET  /control/stats         "requests=N" and "posts=N", one per line
//
// Every request is logged as one line on standard output; bodies are never
// logged. A connection that neither sends nor drains anything for the idle
// time-out is closed; above the connection cap, new connections wait in the
// listen backlog until one closes.
class HttpServer : public QTcpServer {
    Q_OBJECT

public:
    HttpServer(ServiceData& data, const Behaviour& behaviour, QObject* parent = nullptr);

    void setTls(const QSslCertificate& certificate, const QSslKey& key);
    bool isSecure() const { return !m_certificate.isNull(); }
    // Keeps every received post, head and body exactly as they arrived, as
    // files 0001.http, 0002.http, ... in folder (for tests of what a client sends).
    void setRecordFolder(const QString& folder) { m_recordFolder = folder; }
    // Milliseconds a connection may stay without progress (30 s by default).
    void setIdleTimeout(int milliseconds) { m_idleTimeout = milliseconds; }
    // The most connections open at once; clamped to what the descriptor limit allows.
    void setMaxConnections(int count);
    int maxConnections() const { return m_maxConnections; }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    struct Exchange;

    void readRequest(Exchange* exchange);
    void handle(Exchange* exchange);
    void handlePost(Exchange* exchange);
    void handleFile(Exchange* exchange, const QString& relativePath);
    void handleControl(Exchange* exchange);
    // Writes the next chunks of a file while the socket's send buffer is small.
    void pump(Exchange* exchange);
    void touch(Exchange* exchange);
    void idleExpired(Exchange* exchange);
    void connectionClosed();
    // Writes an answer and closes the connection once it has been sent.
    void send(Exchange* exchange, int status, const QByteArray& contentType, const QByteArray& body,
              const QByteArray& extraHeaders = QByteArray());
    // Writes the head and part of the body; then either holds the connection
    // open (stall) or closes it.
    void sendPart(Exchange* exchange, int status, const QByteArray& contentType, const QByteArray& body, bool hold);
    void log(const Exchange* exchange, int status, const QString& note) const;

    ServiceData& m_data;
    SoapService m_soap;
    Behaviour m_behaviour;
    QSslCertificate m_certificate;
    QSslKey m_key;
    QString m_recordFolder;
    int m_requests = 0;
    int m_posts = 0;
    int m_idleTimeout = 30000;
    int m_maxConnections = 0;
    int m_open = 0;
};

#endif
