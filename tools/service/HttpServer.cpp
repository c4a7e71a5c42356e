#include "HttpServer.h"

#include "Web/ServiceAddress.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMimeDatabase>
#include <QPointer>
#include <QSaveFile>
#include <QSslSocket>
#include <QTextStream>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

#include <cstdio>
#include <memory>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

const int maxHeadSize = 65536;
const qint64 maxBodySize = 64 * 1024 * 1024;
// A served file goes out in chunks of this size, and only while the socket
// holds less than the send buffer's worth of unsent bytes, so that a large
// file costs a few hundred kilobytes of memory however slow the client.
const qint64 chunkSize = 256 * 1024;
const qint64 sendBufferSize = 1024 * 1024;
const int defaultMaxConnections = 256;
const int defaultMaxPending = 30; // QTcpServer's own default

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 302: return "Found";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 415: return "Unsupported Media Type";
    case 416: return "Range Not Satisfiable";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

// The head of an answer; extra holds further header lines, each ending in CRLF.
// A length below 0 leaves Content-Length out: the body ends with the connection.
QByteArray head(int status, const QByteArray& contentType, qint64 length, const QByteArray& extra = QByteArray())
{
    QByteArray text = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    text += "Server: vantorix-service\r\n";
    if (!contentType.isEmpty())
        text += "Content-Type: " + contentType + "\r\n";
    if (length >= 0)
        text += "Content-Length: " + QByteArray::number(length) + "\r\n";
    text += extra;
    text += "Connection: close\r\n\r\n";
    return text;
}

QByteArray httpDate(const QDateTime& time)
{
    return QLocale::c().toString(time.toUTC(), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'")).toLatin1();
}

// A number of digits only (no sign, no space), or -1.
qint64 digits(const QByteArray& text)
{
    if (text.isEmpty() || text.size() > 18)
        return -1;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return -1;
    }
    return text.toLongLong();
}

enum class Range { whole, part, unsatisfiable };

// Reads a "Range: bytes=a-b" header ("a-" and "-n" too) against a file of
// size bytes. A header that does not parse, or asks for several ranges, is
// ignored and the whole file is sent, as HTTP allows.
Range byteRange(const QByteArray& header, qint64 size, qint64& first, qint64& last)
{
    const QByteArray value = header.trimmed();
    if (!value.toLower().startsWith("bytes=") || value.contains(','))
        return Range::whole;
    const QByteArray bounds = value.mid(6).trimmed();
    const int dash = bounds.indexOf('-');
    if (dash < 0)
        return Range::whole;
    const QByteArray from = bounds.left(dash).trimmed();
    const QByteArray to = bounds.mid(dash + 1).trimmed();
    if (from.isEmpty()) {
        const qint64 suffix = digits(to);
        if (suffix < 0)
            return Range::whole;
        if (suffix == 0 || size == 0)
            return Range::unsatisfiable;
        first = qMax<qint64>(0, size - suffix);
        last = size - 1;
        return Range::part;
    }
    first = digits(from);
    last = to.isEmpty() ? first : digits(to);
    if (first < 0 || last < first)
        return Range::whole;
    if (first >= size)
        return Range::unsatisfiable;
    last = to.isEmpty() ? size - 1 : qMin(last, size - 1);
    return Range::part;
}

qint64 unsent(const QTcpSocket* socket)
{
    qint64 bytes = socket->bytesToWrite();
    if (const auto* tls = qobject_cast<const QSslSocket*>(socket))
        bytes += tls->encryptedBytesToWrite();
    return bytes;
}

} // namespace

struct HttpServer::Exchange {
    QPointer<QTcpSocket> socket;
    QTimer* idle = nullptr; // owned by the socket
    QByteArray buffer;
    QByteArray rawHead;
    bool headRead = false;
    bool handled = false;
    // Held open on purpose (a stall): no idle time-out, nothing more is sent.
    bool held = false;
    QByteArray method;
    QByteArray target;
    QMap<QByteArray, QByteArray> headers; // names in lower case
    qint64 bodyLength = 0;
    QByteArray body;
    // A file being sent: the bytes still to go, and whether to hold the
    // connection open (stall) instead of closing it once they went.
    std::unique_ptr<QFile> file;
    qint64 toSend = 0;
    bool holdWhenSent = false;
};

HttpServer::HttpServer(ServiceData& data, const Behaviour& behaviour, QObject* parent)
    : QTcpServer(parent), m_data(data), m_soap(data), m_behaviour(behaviour)
{
    setMaxConnections(defaultMaxConnections);
    // At the descriptor limit Qt stops accepting and reports it; accepting
    // resumes when a connection closes, or after a pause when none is open.
    connect(this, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError) {
        pauseAccepting();
        if (m_open == 0)
            QTimer::singleShot(200, this, [this] { resumeAccepting(); });
    });
}

void HttpServer::setTls(const QSslCertificate& certificate, const QSslKey& key)
{
    m_certificate = certificate;
    m_key = key;
}

void HttpServer::setMaxConnections(int count)
{
    int allowed = count;
#ifdef Q_OS_UNIX
    // Each connection holds a socket and, while it serves one, a file; keep a
    // reserve for the listening socket, the log and the data files.
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        allowed = int(qMin<rlim_t>(rlim_t(count), limit.rlim_cur > 64 ? (limit.rlim_cur - 32) / 2 : 1));
#endif
    m_maxConnections = qMax(1, allowed);
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
    // At the cap, further connections wait in the listen backlog. Qt accepts
    // in a loop while connections are pending and stops only when its own
    // queue is full, so the queue's size goes to 0 as well.
    if (++m_open >= m_maxConnections) {
        pauseAccepting();
        setMaxPendingConnections(0);
    }
    auto* exchange = new Exchange;
    exchange->socket = socket;
    exchange->idle = new QTimer(socket);
    exchange->idle->setSingleShot(true);
    exchange->idle->setInterval(m_idleTimeout);
    exchange->idle->start();
    connect(exchange->idle, &QTimer::timeout, this, [this, exchange] { idleExpired(exchange); });
    connect(socket, &QTcpSocket::readyRead, this, [this, exchange] { readRequest(exchange); });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, exchange] {
        touch(exchange);
        pump(exchange);
    });
    if (auto* tls = qobject_cast<QSslSocket*>(socket)) {
        connect(tls, &QSslSocket::encryptedBytesWritten, this, [this, exchange] {
            touch(exchange);
            pump(exchange);
        });
    }
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QObject::destroyed, this, [this, exchange] {
        delete exchange;
        connectionClosed();
    });
}

void HttpServer::connectionClosed()
{
    if (--m_open < m_maxConnections) {
        setMaxPendingConnections(defaultMaxPending);
        resumeAccepting();
    }
}

void HttpServer::touch(Exchange* exchange)
{
    if (exchange->idle != nullptr && !exchange->held)
        exchange->idle->start();
}

void HttpServer::idleExpired(Exchange* exchange)
{
    QTcpSocket* socket = exchange->socket;
    if (socket == nullptr || exchange->held)
        return;
    if (!exchange->handled) {
        // A request that never finished arriving.
        send(exchange, 408, "text/plain", "The request did not arrive in time\n");
        log(exchange, 408, QStringLiteral("(idle)"));
        exchange->idle->start();
        return;
    }
    // The client stopped reading the answer.
    socket->abort();
}

void HttpServer::readRequest(Exchange* exchange)
{
    QTcpSocket* socket = exchange->socket;
    if (socket == nullptr)
        return;
    if (exchange->handled) {
        // Whatever follows a request is not read; drop it rather than buffer it.
        socket->readAll();
        return;
    }
    touch(exchange);
    exchange->buffer += socket->readAll();
    if (!exchange->headRead) {
        // Lines end in CRLF, or in a bare LF as some hand-written clients send.
        int start = 0;
        while (start < exchange->buffer.size() && (exchange->buffer.at(start) == '\r' || exchange->buffer.at(start) == '\n'))
            ++start;
        const int lf = exchange->buffer.indexOf("\n\n", start);
        const int crlf = exchange->buffer.indexOf("\n\r\n", start);
        int end = -1;
        if (lf >= 0 && (crlf < 0 || lf < crlf))
            end = lf + 2;
        else if (crlf >= 0)
            end = crlf + 3;
        if (end < 0) {
            if (exchange->buffer.size() > maxHeadSize)
                send(exchange, 413, "text/plain", "Request head too large\n");
            return;
        }
        exchange->rawHead = exchange->buffer.left(end);
        QList<QByteArray> lines = exchange->buffer.mid(start, end - start).split('\n');
        exchange->buffer.remove(0, end);
        for (QByteArray& line : lines) {
            if (line.endsWith('\r'))
                line.chop(1);
        }
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
    const auto redirect = m_behaviour.redirects.constFind(path);
    if (redirect != m_behaviour.redirects.constEnd() && path != QLatin1String("/control")) {
        const QString location = redirect->startsWith(QLatin1Char('/')) ? m_data.serviceRoot() + *redirect : *redirect;
        send(exchange, 302, "text/plain", "Found\n", "Location: " + QUrl(location).toEncoded() + "\r\n");
        log(exchange, 302, QStringLiteral("to ") + location);
        return;
    }
    if (path == QLatin1String(vantorix::ServiceAddress::path)) {
        if (exchange->method == "GET" && url.query().compare(QLatin1String("wsdl"), Qt::CaseInsensitive) == 0) {
            send(exchange, 200, "text/xml; charset=utf-8", SoapService::wsdl(m_data.serviceRoot()));
            log(exchange, 200, QStringLiteral("service description"));
            return;
        }
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
        exchange->held = false;
        touch(exchange);
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
    if (behaviour.delay > 0) {
        // The wait is ours, not the client's: no idle time-out meanwhile.
        exchange->held = true;
        exchange->idle->stop();
        QTimer::singleShot(behaviour.delay, this, respond);
    } else {
        respond();
    }
}

void HttpServer::handleFile(Exchange* exchange, const QString& relativePath)
{
    const QString path = m_data.filePath(relativePath);
    auto file = std::make_unique<QFile>(path);
    if (path.isEmpty() || !file->open(QIODevice::ReadOnly)) {
        send(exchange, 404, "text/plain", "No such file\n");
        log(exchange, 404, relativePath);
        return;
    }
    const QFileInfo info(path);
    const qint64 size = file->size();
    // Size and modification time tell a client whether the file it started
    // to fetch is still the same before it asks for the rest.
    const QByteArray etag = '"' + QByteArray::number(size, 16) + '-' +
                            QByteArray::number(info.lastModified().toMSecsSinceEpoch(), 16) + '"';
    const QByteArray modified = httpDate(info.lastModified());
    QByteArray extra = "Accept-Ranges: bytes\r\n";
    if (!m_behaviour.noValidator)
        extra += "ETag: " + etag + "\r\nLast-Modified: " + modified + "\r\n";
    const QByteArray type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name().toUtf8();

    int status = 200;
    qint64 first = 0;
    qint64 last = size - 1;
    const QByteArray range = exchange->headers.value("range");
    const QByteArray ifRange = exchange->headers.value("if-range");
    // With If-Range, a range is sent only of an unchanged file; else the whole file.
    if (!range.isEmpty() && (ifRange.isEmpty() || ifRange == etag || ifRange == modified)) {
        switch (byteRange(range, size, first, last)) {
        case Range::whole:
            first = 0;
            last = size - 1;
            break;
        case Range::part:
            status = 206;
            extra += "Content-Range: bytes " + QByteArray::number(first) + '-' + QByteArray::number(last) + '/' +
                     QByteArray::number(size) + "\r\n";
            break;
        case Range::unsatisfiable:
            send(exchange, 416, "text/plain", "Range not satisfiable\n",
                 extra + "Content-Range: bytes */" + QByteArray::number(size) + "\r\n");
            log(exchange, 416, relativePath + QStringLiteral(" ") + QString::fromLatin1(range));
            return;
        }
    }
    const qint64 length = last - first + 1;
    QTcpSocket* socket = exchange->socket;
    if (socket == nullptr)
        return;
    socket->write(head(status, type, m_behaviour.noLength ? -1 : length, extra));
    QString note = relativePath;
    if (status == 206)
        note += QStringLiteral(" bytes %1-%2/%3").arg(first).arg(last).arg(size);
    if (exchange->method == "HEAD") {
        socket->disconnectFromHost();
        log(exchange, status, note);
        return;
    }
    if (!file->seek(first)) {
        socket->abort();
        log(exchange, status, note + QStringLiteral(" (cannot read)"));
        return;
    }
    exchange->file = std::move(file);
    exchange->toSend = length;
    if (m_behaviour.shortFiles && length > 0) {
        // Fewer bytes than the head promised, then the connection closes.
        exchange->toSend = length / 2;
        note += QStringLiteral(" (told to cut it short)");
    } else if (m_behaviour.stallFiles >= 0 && m_behaviour.stallFiles < length) {
        exchange->toSend = m_behaviour.stallFiles;
        exchange->holdWhenSent = true;
        note += QStringLiteral(" (told to stall after %1 bytes)").arg(m_behaviour.stallFiles);
    }
    log(exchange, status, note);
    pump(exchange);
}

void HttpServer::pump(Exchange* exchange)
{
    QTcpSocket* socket = exchange->socket;
    if (socket == nullptr || exchange->file == nullptr)
        return;
    while (exchange->toSend > 0 && unsent(socket) < sendBufferSize) {
        const qint64 want = qMin(chunkSize, exchange->toSend);
        QByteArray chunk(int(want), Qt::Uninitialized);
        const qint64 got = exchange->file->read(chunk.data(), want);
        if (got <= 0) {
            // The file shrank or cannot be read: cut the connection, so that
            // the client sees fewer bytes than promised, not a whole file.
            exchange->file.reset();
            socket->abort();
            return;
        }
        chunk.truncate(int(got));
        socket->write(chunk);
        exchange->toSend -= got;
    }
    if (exchange->toSend > 0)
        return;
    exchange->file.reset();
    if (exchange->holdWhenSent) {
        exchange->held = true;
        exchange->idle->stop();
        socket->flush();
    } else {
        socket->disconnectFromHost();
    }
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

void HttpServer::send(Exchange* exchange, int status, const QByteArray& contentType, const QByteArray& body,
                      const QByteArray& extraHeaders)
{
    exchange->handled = true;
    QTcpSocket* socket = exchange->socket;
    if (socket == nullptr)
        return;
    socket->write(head(status, contentType, body.size(), extraHeaders) + body);
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
    if (hold) {
        exchange->held = true;
        exchange->idle->stop();
    } else {
        socket->disconnectFromHost();
    }
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
