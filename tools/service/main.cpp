// vantorix-service: a local stand-in for the vendor's web service.
//
//   vantorix-service --data <folder> [--port N] [--tls [--cert F --key F | --tls-dir D]]
//                    [--idle-timeout MS] [--max-connections N] [--redirect FROM=TO ...] [misbehaviour switches]
//
// The first line it prints is "vantorix-service listening on <root address>";
// one line per request follows.

#include "HttpServer.h"
#include "ServiceData.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSslSocket>
#include <QTextStream>

#include <csignal>

namespace {

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

bool readFile(const QString& path, QByteArray& content)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    content = file.readAll();
    return true;
}

// Makes a self-signed certificate for 127.0.0.1 and localhost (and name,
// when given) with the openssl command, unless the folder already holds one.
bool generateCertificate(const QString& folder, const QString& name, QString& certificate, QString& key)
{
    certificate = QDir(folder).filePath(QStringLiteral("service.crt"));
    key = QDir(folder).filePath(QStringLiteral("service.key"));
    if (QFile::exists(certificate) && QFile::exists(key))
        return true;
    if (!QDir().mkpath(folder)) {
        err() << "cannot create " << folder << '\n';
        return false;
    }
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                   QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-days"), QStringLiteral("365"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=127.0.0.1/O=Vantorix service stand-in"), QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=IP:127.0.0.1,DNS:localhost") +
                       (name.isEmpty() ? QString() : QStringLiteral(",DNS:") + name),
                   QStringLiteral("-keyout"), key,
                   QStringLiteral("-out"), certificate});
    if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0) {
        err() << "openssl could not make a certificate: " << openssl.errorString() << '\n'
              << QString::fromLocal8Bit(openssl.readAll());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vantorix-service"));
    std::signal(SIGPIPE, SIG_IGN);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A local stand-in for the Vantorix web service."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("data"), QStringLiteral("The data folder (accounts.json, listings, installer.json, files/, reports/)."),
         QStringLiteral("folder"), QStringLiteral(".")},
        {QStringLiteral("port"), QStringLiteral("The port on 127.0.0.1 (0: a free one)."), QStringLiteral("port"),
         QStringLiteral("0")},
        {QStringLiteral("tls"), QStringLiteral("Serve HTTPS.")},
        {QStringLiteral("name"),
         QStringLiteral("Another host name for the stand-in (one that a test proxy leads to): used in ${SERVICE} and "
                        "added to a generated certificate."),
         QStringLiteral("host")},
        {QStringLiteral("cert"), QStringLiteral("The certificate (PEM) for HTTPS."), QStringLiteral("file")},
        {QStringLiteral("key"), QStringLiteral("The private key (PEM) for HTTPS."), QStringLiteral("file")},
        {QStringLiteral("tls-dir"),
         QStringLiteral("Where a generated certificate is kept (service.crt, service.key); default <data>/tls."),
         QStringLiteral("folder")},
        {QStringLiteral("delay"), QStringLiteral("Wait this long before answering a post."), QStringLiteral("ms")},
        {QStringLiteral("stall"), QStringLiteral("Send half of each answer, then nothing more.")},
        {QStringLiteral("close-early"), QStringLiteral("Send half of each answer, then close the connection.")},
        {QStringLiteral("status"), QStringLiteral("Answer posts with this HTTP status and an HTML page."),
         QStringLiteral("code")},
        {QStringLiteral("malformed"), QStringLiteral("Answer posts with XML that does not parse.")},
        {QStringLiteral("empty"), QStringLiteral("Answer posts with an empty body.")},
        {QStringLiteral("no-activation-result"), QStringLiteral("Leave ActivationResult out of the answers.")},
        {QStringLiteral("no-report-id"), QStringLiteral("Answer support requests without a report id.")},
        {QStringLiteral("record"),
         QStringLiteral("Keep every received post, head and body as sent, in this folder (for tests)."),
         QStringLiteral("folder")},
        {QStringLiteral("short-files"), QStringLiteral("Cut every served file short and close the connection.")},
        {QStringLiteral("stall-files"), QStringLiteral("Send this many bytes of every served file, then nothing more."),
         QStringLiteral("bytes")},
        {QStringLiteral("redirect"),
         QStringLiteral("Answer requests for one path with a 302 to another path or an http(s) address (repeatable)."),
         QStringLiteral("from=to")},
        {QStringLiteral("idle-timeout"),
         QStringLiteral("Close a connection that sends or takes nothing for this long (default 30000)."),
         QStringLiteral("ms"), QStringLiteral("30000")},
        {QStringLiteral("max-connections"),
         QStringLiteral("The most connections served at once; more wait to be accepted (default 256)."),
         QStringLiteral("count"), QStringLiteral("256")},
    });
    parser.process(app);

    Behaviour behaviour;
    behaviour.delay = parser.value(QStringLiteral("delay")).toInt();
    behaviour.stall = parser.isSet(QStringLiteral("stall"));
    behaviour.closeEarly = parser.isSet(QStringLiteral("close-early"));
    behaviour.status = parser.value(QStringLiteral("status")).toInt();
    behaviour.malformed = parser.isSet(QStringLiteral("malformed"));
    behaviour.empty = parser.isSet(QStringLiteral("empty"));
    behaviour.noActivationResult = parser.isSet(QStringLiteral("no-activation-result"));
    behaviour.noReportId = parser.isSet(QStringLiteral("no-report-id"));
    behaviour.shortFiles = parser.isSet(QStringLiteral("short-files"));
    if (parser.isSet(QStringLiteral("stall-files"))) {
        bool ok = false;
        behaviour.stallFiles = parser.value(QStringLiteral("stall-files")).toLongLong(&ok);
        if (!ok || behaviour.stallFiles < 0) {
            err() << "vantorix-service: not a byte count: " << parser.value(QStringLiteral("stall-files")) << '\n';
            return 2;
        }
    }
    for (const QString& redirect : parser.values(QStringLiteral("redirect"))) {
        QString problem;
        if (!behaviour.addRedirect(redirect, &problem)) {
            err() << "vantorix-service: " << problem << '\n';
            return 2;
        }
    }
    bool idleOk = false;
    const int idleTimeout = parser.value(QStringLiteral("idle-timeout")).toInt(&idleOk);
    bool capOk = false;
    const int maxConnections = parser.value(QStringLiteral("max-connections")).toInt(&capOk);
    if (!idleOk || idleTimeout <= 0 || !capOk || maxConnections <= 0) {
        err() << "vantorix-service: --idle-timeout and --max-connections take positive numbers\n";
        return 2;
    }

    ServiceData data(parser.value(QStringLiteral("data")));
    QString error;
    if (!data.load(&error)) {
        err() << "vantorix-service: " << error << '\n';
        return 2;
    }

    HttpServer server(data, behaviour);
    server.setIdleTimeout(idleTimeout);
    server.setMaxConnections(maxConnections);
    if (parser.isSet(QStringLiteral("record")))
        server.setRecordFolder(QDir(parser.value(QStringLiteral("record"))).absolutePath());
    const bool tls = parser.isSet(QStringLiteral("tls")) || parser.isSet(QStringLiteral("cert"));
    QString certificatePath;
    if (tls) {
        if (!QSslSocket::supportsSsl()) {
            err() << "vantorix-service: this Qt has no TLS support\n";
            return 2;
        }
        QString keyPath;
        if (parser.isSet(QStringLiteral("cert"))) {
            certificatePath = parser.value(QStringLiteral("cert"));
            keyPath = parser.value(QStringLiteral("key"));
        } else {
            const QString folder = parser.isSet(QStringLiteral("tls-dir"))
                                       ? parser.value(QStringLiteral("tls-dir"))
                                       : data.folder().filePath(QStringLiteral("tls"));
            if (!generateCertificate(folder, parser.value(QStringLiteral("name")), certificatePath, keyPath))
                return 2;
        }
        QByteArray certificateText;
        QByteArray keyText;
        if (!readFile(certificatePath, certificateText) || !readFile(keyPath, keyText)) {
            err() << "vantorix-service: cannot read the certificate or the key\n";
            return 2;
        }
        const QSslCertificate certificate(certificateText, QSsl::Pem);
        QSslKey key(keyText, QSsl::Ec, QSsl::Pem);
        if (key.isNull())
            key = QSslKey(keyText, QSsl::Rsa, QSsl::Pem);
        if (certificate.isNull() || key.isNull()) {
            err() << "vantorix-service: the certificate or the key is not valid PEM\n";
            return 2;
        }
        server.setTls(certificate, key);
    }

    bool portOk = false;
    const int port = parser.value(QStringLiteral("port")).toInt(&portOk);
    if (!portOk || port < 0 || port > 65535) {
        err() << "vantorix-service: not a port: " << parser.value(QStringLiteral("port")) << '\n';
        return 2;
    }
    if (!server.listen(QHostAddress::LocalHost, quint16(port))) {
        err() << "vantorix-service: cannot listen on 127.0.0.1:" << port << ": " << server.errorString() << '\n';
        return 2;
    }
    const QString root =
        QStringLiteral("%1://127.0.0.1:%2").arg(tls ? QStringLiteral("https") : QStringLiteral("http")).arg(server.serverPort());
    const QString name = parser.value(QStringLiteral("name"));
    data.setServiceRoot(name.isEmpty() ? root
                                       : QStringLiteral("%1://%2:%3")
                                             .arg(tls ? QStringLiteral("https") : QStringLiteral("http"), name)
                                             .arg(server.serverPort()));

    QTextStream out(stdout);
    out << "vantorix-service listening on " << root << '\n';
    if (tls)
        out << "certificate " << QFileInfo(certificatePath).absoluteFilePath() << '\n';
    out.flush();
    return app.exec();
}
