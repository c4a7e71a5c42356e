#include "common/ServiceProcess.h"

#include "common/TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTest>
#include <QTimer>

namespace testsupport {

ServiceProcess::ServiceProcess()
    : m_folder(std::make_unique<QTemporaryDir>(QDir(sandboxDir()).filePath(QStringLiteral("service-XXXXXX"))))
{
}

ServiceProcess::~ServiceProcess()
{
    stop();
    for (const auto& saved : m_savedEnvironment) {
        if (saved.second.isNull())
            qunsetenv(saved.first.constData());
        else
            qputenv(saved.first.constData(), saved.second);
    }
    m_folder->setAutoRemove(!QTest::currentTestFailed());
}

bool ServiceProcess::copyFolder(const QString& from, const QString& to)
{
    const QDir source(from);
    if (!source.exists())
        return false;
    QDirIterator it(from, QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = QDir(to).filePath(source.relativeFilePath(file));
        if (!QDir().mkpath(QFileInfo(target).path()) || !QFile::copy(file, target))
            return false;
    }
    return true;
}

bool ServiceProcess::start(const QStringList& arguments, const QString& dataFolder, int timeoutMilliseconds)
{
    return launch(arguments, dataFolder, timeoutMilliseconds, false);
}

bool ServiceProcess::startSecure(const QStringList& arguments, const QString& dataFolder, int timeoutMilliseconds)
{
    return launch(arguments, dataFolder, timeoutMilliseconds, true);
}

bool ServiceProcess::launch(const QStringList& arguments, const QString& dataFolder, int timeoutMilliseconds, bool secure)
{
    stop();
    m_output.clear();
    m_url.clear();
    m_certificate.clear();
    m_error.clear();
    const QString source =
        dataFolder.isEmpty() ? QDir(testsupport::dataDir()).filePath(QStringLiteral("Web/service")) : dataFolder;
    if (!m_folder->isValid() || !QDir(dataDir()).removeRecursively() || !copyFolder(source, dataDir())) {
        m_error = QStringLiteral("cannot copy the data folder %1").arg(source);
        return false;
    }
    QStringList all = {QStringLiteral("--data"), dataDir(), QStringLiteral("--port"), QStringLiteral("0")};
    if (secure)
        all << QStringLiteral("--tls") << QStringLiteral("--tls-dir") << m_folder->filePath(QStringLiteral("tls"));
    all << arguments;
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(QDir(toolsDir()).filePath(QStringLiteral("vantorix-service")), all);
    if (!m_process.waitForStarted(timeoutMilliseconds)) {
        m_error = QStringLiteral("vantorix-service did not start: ") + m_process.errorString();
        return false;
    }

    // Read until the ready line (and, over HTTPS, the certificate line) came.
    static const QRegularExpression ready(QStringLiteral("listening on (https?://127\\.0\\.0\\.1:\\d+)"));
    static const QRegularExpression certificate(QStringLiteral("\\ncertificate (.+)\\n"));
    const QDeadlineTimer deadline(timeoutMilliseconds);
    while (!deadline.hasExpired()) {
        m_output += m_process.readAllStandardOutput();
        const QString text = QString::fromUtf8(m_output);
        const QRegularExpressionMatch readyMatch = ready.match(text);
        const QRegularExpressionMatch certificateMatch = certificate.match(text);
        if (readyMatch.hasMatch() && (!secure || certificateMatch.hasMatch())) {
            m_url = readyMatch.captured(1);
            if (secure)
                m_certificate = certificateMatch.captured(1).trimmed();
            return true;
        }
        if (m_process.state() != QProcess::Running)
            break;
        m_process.waitForReadyRead(int(qMax<qint64>(deadline.remainingTime(), 1)));
    }
    m_error = QStringLiteral("vantorix-service gave no ready line: ") + QString::fromUtf8(m_output) +
              QString::fromUtf8(m_process.readAllStandardError());
    stop();
    return false;
}

void ServiceProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    m_output += m_process.readAllStandardOutput();
}

bool ServiceProcess::isRunning() const
{
    return m_process.state() == QProcess::Running;
}

QString ServiceProcess::dataDir() const
{
    return m_folder->filePath(QStringLiteral("data"));
}

QString ServiceProcess::recordDir() const
{
    return m_folder->filePath(QStringLiteral("record"));
}

QString ServiceProcess::output()
{
    m_output += m_process.readAllStandardOutput();
    return QString::fromUtf8(m_output);
}

QByteArray ServiceProcess::get(const QString& path)
{
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(m_url + path));
    if (!m_certificate.isEmpty()) {
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setCaCertificates(QSslCertificate::fromPath(m_certificate, QSsl::Pem,
                                                                  QSslCertificate::PatternSyntax::FixedString));
        request.setSslConfiguration(configuration);
    }
    QNetworkReply* reply = manager.get(request);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    const QByteArray body = reply->isFinished() && reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray();
    delete reply;
    return body;
}

void ServiceProcess::exportEnvironment()
{
    const auto set = [this](const char* name, const QByteArray& value) {
        bool saved = false;
        for (const auto& entry : m_savedEnvironment)
            saved = saved || entry.first == name;
        if (!saved)
            m_savedEnvironment.append({QByteArray(name), qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray()});
        if (value.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, value);
    };
    set("VANTORIX_SERVICE_URL", m_url.toUtf8());
    set("VANTORIX_CA_FILE", QFile::encodeName(m_certificate));
}

bool ServiceProcess::control(const QString& query)
{
    return get(QStringLiteral("/control?") + query) == "ok\n";
}

QMap<QString, int> ServiceProcess::stats()
{
    QMap<QString, int> values;
    for (const QByteArray& line : get(QStringLiteral("/control/stats")).split('\n')) {
        const int equals = line.indexOf('=');
        if (equals > 0)
            values.insert(QString::fromUtf8(line.left(equals)), line.mid(equals + 1).toInt());
    }
    return values;
}

QList<QByteArray> ServiceProcess::recordedPosts() const
{
    QList<QByteArray> posts;
    const QDir folder(recordDir());
    for (const QString& name : folder.entryList({QStringLiteral("*.http")}, QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            posts.append(file.readAll());
    }
    return posts;
}

} // namespace testsupport
