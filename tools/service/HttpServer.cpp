#include "HttpServer.h"

#include "Web/ServiceAddress.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QMimeDatabase>
#include <QPointer>
#include <QSslSocket>
#include <QTextStream>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

#include <cstdio>

namespace {

const int maxHeadSize = 65536;
const qint64 maxBodySize = 64 * 1024 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 415: return "Unsupported Media Type";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

QByteArray head(int status, const QByteArray& contentType, qint64 length)
{
    QByteArray text = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    text += "Server: vantorix-service\r\n";
    if (!contentType.isEmpty())
        text += "Content-Type: " + contentType + "\r\n";
    text += "Content-Length: " + QByteArray::number(length) + "\r\n";
    text += "Connection: close\r\n\r\n";
    return text;
}

} // namespace

struct HttpServer::Exchange {
    QPointer<QTcpSocket> socket;
    QByteArray buffer;
    QByteArray rawHead;
    bool headRead = false;
    bool handled = false;
    QByteArray method;
    QByteArray target;
    QMap<QByteArray, QByteArray> headers; // names in lower case
    qint64 bodyLength = 0;
    QByteArray body;
};

HttpServer::HttpServer(ServiceData& data, const Behaviour& behaviour, QObject* parent)
    : QTcpServer(parent), m_data(data), m_soap(data), m_behaviour(behaviour)
{
}

void HttpServer::setTls(const QSslCertificate& certificate, const QSslKey& key)
{
    m_certificate = certificate;
    m_key = key;
}

void HttpServer::incomingConnection(qintptr descriptor)
{
    QTcpSocket* socket = nullptr;
    if (isSecure()) {
        auto* tls = new QSslSocket(this);
        if (!tls->setSocketDescriptor(descriptor)) {
            delete tls;
            return;
        }
        tls->setLocalCertificate(m_certificate);
        tls->setPrivateKey(m_key);
        tls->setPeerVerifyMode(QSslSocket::VerifyNone);
        tls->startServerEncryption();
        socket = tls;
    } else {
        socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
    }
    auto* exchange = new Exchange;
    exchange->socket = socket;
    connect(socket, &QTcpSocket::readyRead, this, [this, exchange] { readRequest(exchange); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QObject::destroyed, this, [exchange] { delete exchange; });
}

void HttpServer::readRequest(Exchange* exchange)
{
    QTcpSocket* socket = exchange->socket;
    if (socket == nullptr || exchange->handled)
        return;
    exchange->buffer += socket->readAll();
    if (!exchange->headRead) {
        const int end = exchange->buffer.indexOf("\r\n\r\n");
        if (end < 0) {
            if (exchange->buffer.size() > maxHeadSize)
                send(exchange, 413, "text/plain", "Request head too large\n");
            return;
        }
        exchange->rawHead = exchange->buffer.left(end + 4);
        const QList<QByteArray> lines = exchange->buffer.left(end).split('\n');
        exchange->buffer.remove(0, end + 4);
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        if (requestLine.size() != 3 || !requestLine.at(2).startsWith("HTTP/1.")) {
            send(exchange, 400, "text/plain", "Malformed request line\n");
            return;
        }
        exchange->method = requestLine.at(0);
        exchange->target = requestLine.at(1);
        for (int i = 1; i < lines.size(); ++i) {
            const int colon = lines.at(i).indexOf(':');
            if (colon > 0)
                exchange->headers.insert(lines.at(i).left(colon).trimmed().toLower(), lines.at(i).mid(colon + 1).trimmed());
        }
        exchange->headRead = true;
        ++m_requests;
        if (exchange->headers.contains("transfer-encoding")) {
            send(exchange, 501, "text/plain", "Chunked request bodies are not supported\n");
            return;
        }
        bool ok = true;
        exchange->bodyLength = exchange->headers.value("content-length", "0").toLongLong(&ok);
        if (!ok || exchange->bodyLength < 0) {
            send(exchange, 400, "text/plain", "Malformed Content-Length\n");
            return;
        }
        if (exchange->bodyLength > maxBodySize) {
            send(exchange, 413, "text/plain", "Request body too large\n");
            return;
        }
        // curl asks before sending a larger body; say yes at once rather than
        // let it wait for its own time-out.
        if (exchange->headers.value("expect").toLower() == "100-continue" && exchange->buffer.size() < exchange->bodyLength)
            socket->write("HTTP/1.1 100 Continue\r\n\r\n");
    }
    if (exchange->buffer.size() < exchange->bodyLength)
        return;
    exchange->body = exchange->buffer.left(int(exchange->bodyLength));
    exchange->buffer.clear();
    exchange->handled = true;
    handle(exchange);
}

void HttpServer::handle(Exchange* exchange)
{
    const QUrl url(QString::fromUtf8(exchange->target));
    const QString path = url.path(QUrl::FullyDecoded);
    if (path == QLatin1String(vantorix::ServiceAddress::path)) {
        if (exchange->method != "POST") {
            send(exchange, 405, "text/plain", "The service answers POST requests only\n");
            return;
        }
        ++m_posts;
        if (!m_recordFolder.isEmpty() && QDir().mkpath(m_recordFolder)) {
            QSaveFile record(QDir(m_recordFolder).filePath(QStringLiteral("%1.http").arg(m_posts, 4, 10, QLatin1Char('0'))));
            if (record.open(QIODevice::WriteOnly)) {
                record.write(exchange->rawHead + exchange->body);
                record.commit();
            }
        }
        handlePost(exchange);
    } else if (path.startsWith(QLatin1String("/files/"))) {
        if (exchange->method != "GET" && exchange->method != "HEAD") {
            send(exchange, 405, "text/plain", "Files are fetched with GET\n");
            return;
        }
        handleFile(exchange, path.mid(7));
    } else if (path == QLatin1String("/control") || path == QLatin1String("/control/stats")) {
        handleControl(exchange);
    } else {
        send(exchange, 404, "text/plain", "Not found\n");
    }
}

void HttpServer::handlePost(Exchange* exchange)
{
    const Behaviour behaviour = m_behaviour;
    QPointer<QTcpSocket> socket = exchange->socket;
    auto respond = [this, exchange, socket, behaviour] {
        if (socket == nullptr)
            return;
        if (behaviour.status != 0) {
            const QByteArray page = "<html><head><title>Error</title></head><body><h1>" +
                                    QByteArray::number(behaviour.status) + ' ' + reasonPhrase(behaviour.status) +
                                    "</h1></body></html>\r\n";
            send(exchange, behaviour.status, "text/html", page);
            log(exchange, behaviour.status, QStringLiteral("(told to answer with this status)"));
            return;
        }
        if (behaviour.empty) {
            send(exchange, 200, "text/xml; charset=utf-8", QByteArray());
            log(exchange, 200, QStringLiteral("(told to answer with no body)"));
            return;
        }
        SoapService::Answer answer = m_soap.answer(exchange->headers.value("soapaction"),
                                                   exchange->headers.value("content-type"), exchange->body, behaviour);
        if (behaviour.malformed) {
            answer.body.chop(answer.body.size() / 3);
            answer.body.replace("<soap:Body>", "<soap:Body><unclosed>");
            answer.summary += QStringLiteral(" (told to send malformed XML)");
        }
        if (behaviour.stall || behaviour.closeEarly) {
            sendPart(exchange, answer.status, answer.contentType, answer.body, behaviour.stall);
            log(exchange, answer.status,
                answer.summary + (behaviour.stall ? QStringLiteral(" (told to stall)") : QStringLiteral(" (told to close early)")));
            return;
        }
        send(exchange, answer.status, answer.contentType, answer.body);
        log(exchange, answer.status, answer.summary);
    };
    if (behaviour.delay > 0)
        QTimer::singleShot(behaviour.delay, this, respond);
    else
        respond();
}

void HttpServer::handleFile(Exchange* exchange, const QString& relativePath)
{
    const QString path = m_data.filePath(relativePath);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        send(exchange, 404, "text/plain", "No such file\n");
        log(exchange, 404, relativePath);
        return;
    }
    const QByteArray content = exchange->method == "HEAD" ? QByteArray() : file.readAll();
    const QByteArray type = QMimeDatabase().mimeTypeForFile(path).name().toUtf8();
    if (m_behaviour.shortFiles && !content.isEmpty()) {
        sendPart(exchange, 200, type, content, false);
        log(exchange, 200, relativePath + QStringLiteral(" (told to cut it short)"));
        return;
    }
    if (exchange->method == "HEAD") {
        if (exchange->socket != nullptr) {
            exchange->socket->write(head(200, type, file.size()));
            exchange->socket->disconnectFromHost();
        }
    } else {
        send(exchange, 200, type, content);
    }
    log(exchange, 200, relativePath);
}

void HttpServer::handleControl(Exchange* exchange)
{
    const QUrl url(QString::fromUtf8(exchange->target));
    if (url.path() == QLatin1String("/control/stats")) {
        send(exchange, 200, "text/plain",
             "requests=" + QByteArray::number(m_requests) + "\nposts=" + QByteArray::number(m_posts) + '\n');
        return;
    }
    QString error;
    Behaviour changed = m_behaviour;
    if (!changed.apply(QUrlQuery(url), &error)) {
        send(exchange, 400, "text/plain", error.toUtf8() + '\n');
        return;
    }
    m_behaviour = changed;
    send(exchange, 200, "text/plain", "ok\n");
    log(exchange, 200, url.query());
}

void HttpServer::send(Exchange* exchange, int status, const QByteArray& contentType, const QByteArray& body)
{
    exchange->handled = true;
    QTcpSocket* socket = exchange->socket;
    if (socket == nullptr)
        return;
    socket->write(head(status, contentType, body.size()) + body);
    socket->disconnectFromHost();
}

void HttpServer::sendPart(Exchange* exchange, int status, const QByteArray& contentType, const QByteArray& body, bool hold)
{
    exchange->handled = true;
    QTcpSocket* socket = exchange->socket;
    if (socket == nullptr)
        return;
    socket->write(head(status, contentType, body.size()) + body.left(body.size() / 2));
    socket->flush();
    if (!hold)
        socket->disconnectFromHost();
}

void HttpServer::log(const Exchange* exchange, int status, const QString& note) const
{
    // One line per request on standard output; bodies (and so passwords) are
    // never written.
    QTextStream out(stdout);
    out << QString::fromUtf8(exchange->method) << ' ' << QString::fromUtf8(exchange->target).section(QLatin1Char('?'), 0, 0)
        << ' ' << status << ' ' << note << '\n';
    out.flush();
}
