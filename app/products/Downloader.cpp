#include "Downloader.h"
#include "StringTables.h"

#include "FileDigest.h"
#include "Environment/Host.h"
#include "File/DataFile.h"
#include "Utility/Logger.h"
#include "Web/WebServiceClient.h"

#include "Utility/Sha256.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QUrl>

#include <algorithm>

using namespace vantorix;

namespace installer {

const char* const Downloader::stallVariable = "VANTORIX_DOWNLOAD_STALL_MS";
const char* const Downloader::deadlineVariable = "VANTORIX_DOWNLOAD_DEADLINE_MS";

namespace {

// Rows of the error table.
enum ErrorRow : short {
    stallRow = 16,
    deadlineRow = 17,
    shortBodyRow = 18,
    httpStatusRow = 19,
    insecureRedirectRow = 20,
    tooManyRedirectsRow = 21,
    sizeRow = 22,
    digestRow = 23,
    memoryLimitRow = 53,
    cancelledRow = 54,
};

const char* const emptyUrlError = "Download URL (releaseURL attritbue) is empty in the reponse XML";
const char* const writeError = "Failed to write to file -- ";
// The most taken from the reply in one read. Larger reads cost more processor
// time per byte: the buffer no longer stays in the cache between the copy out
// of the reply and the write.
const int readSize = 256 * 1024;
// Bounds what the network layer buffers ahead of us when the disk is slower.
const qint64 readBufferSize = 4 * 1024 * 1024;

int fromEnvironment(const char* name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

int s_stallTimeout = -1;
int s_deadline = -1;
int s_resumeAttempts = Downloader::defaultResumeAttempts;
qint64 s_memoryLimit = Downloader::defaultMemoryLimit;

String tableText(ErrorRow row, const QString& first = QString(), const QString& second = QString())
{
    return String(filledText(errorTable, row, first, second));
}

// QString::number writes the same in every locale.
QString decimal(double value)
{
    return QString::number(value, 'g', 4);
}

// Errors of the connection itself, after which the same request may well
// succeed when sent again.
bool isInterruption(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyTimeoutError:
        return true;
    default:
        return false;
    }
}

// "bytes <first>-<last>/<total>": first and total (-1 when "*").
bool parseContentRange(const QByteArray& header, qint64& first, qint64& total)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*bytes\\s+(\\d+)-(\\d+)/(\\d+|\\*)\\s*$"));
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(header));
    if (!match.hasMatch())
        return false;
    bool ok = false;
    first = match.captured(1).toLongLong(&ok);
    if (!ok)
        return false;
    total = match.captured(3) == QLatin1String("*") ? -1 : match.captured(3).toLongLong(&ok);
    return ok;
}

// Once per run: the system's proxy settings, and the user data type known
// to queued connections and signal spies.
void prepareOnce()
{
    static bool done = false;
    if (!done) {
        QNetworkProxyFactory::setUseSystemConfiguration(true);
        qRegisterMetaType<qintptr>("qintptr");
        done = true;
    }
}

} // namespace

Downloader::Downloader(const String& url, qintptr userData, QObject* parent)
    : QObject(parent), m_url(url), m_userData(userData)
{
    startDownload();
}

Downloader::Downloader(const String& url, DataFile* file, qintptr userData, QObject* parent)
    : QObject(parent), m_url(url), m_userData(userData), m_file(file)
{
    if (m_file != nullptr) {
        // The file exists again only once it holds the whole download; a
        // part left by an earlier run has no validator to resume from.
        m_file->close();
        QFile::remove(m_file->getURL().qString());
        QFile::remove(partPath());
    }
    startDownload();
}

Downloader::~Downloader()
{
    m_digest.reset();
    // Aborting a live reply makes the network manager report it finished at
    // once: cut both off first, so that no handler runs on this half-destroyed
    // object (at the program's end the string tables it reads are gone).
    if (m_networkManager != nullptr)
        m_networkManager->disconnect(this);
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
    if (m_part)
        m_part->close();
    // A cancelled or failed download leaves nothing behind: nobody can resume
    // it once this object is gone.
    if (m_file != nullptr && !m_success)
        QFile::remove(partPath());
    if (m_networkManager != nullptr)
        m_networkManager->deleteLater();
}

void Downloader::setStallTimeout(int milliseconds)
{
    s_stallTimeout = qMax(milliseconds, 1);
}

int Downloader::getStallTimeout()
{
    if (s_stallTimeout < 0)
        s_stallTimeout = fromEnvironment(stallVariable, defaultStallTimeout);
    return s_stallTimeout;
}

void Downloader::setDeadline(int milliseconds)
{
    s_deadline = qMax(milliseconds, 1);
}

int Downloader::getDeadline()
{
    if (s_deadline < 0)
        s_deadline = fromEnvironment(deadlineVariable, defaultDeadline);
    return s_deadline;
}

void Downloader::setResumeAttempts(int attempts)
{
    s_resumeAttempts = qMax(attempts, 0);
}

int Downloader::getResumeAttempts()
{
    return s_resumeAttempts;
}

void Downloader::setMemoryLimit(qint64 bytes)
{
    s_memoryLimit = qMax<qint64>(bytes, 1);
}

qint64 Downloader::getMemoryLimit()
{
    return s_memoryLimit;
}

qint64 Downloader::sizeLimit(double releaseSizeMB)
{
    // Also refuses sizes no catalogue gives (not a number, or beyond any
    // archive) rather than letting them overflow the arithmetic.
    if (!(releaseSizeMB > 0.0))
        return -1;
    const double announced = std::min(releaseSizeMB, 1.0e9) * 1024.0 * 1024.0;
    return static_cast<qint64>(std::max(announced * 2.0, announced + 1024.0 * 1024.0));
}

bool Downloader::sizeFits(qint64 bytes, double releaseSizeMB)
{
    const qint64 limit = sizeLimit(releaseSizeMB);
    return limit < 0 || bytes <= limit;
}

bool Downloader::withinLimits(qint64 size)
{
    if (m_file == nullptr && size > getMemoryLimit()) {
        fail(tableText(memoryLimitRow, decimal(getMemoryLimit() / (1024.0 * 1024.0))));
        return false;
    }
    if (m_check.sha256.isEmpty() && !sizeFits(size, m_check.releaseSizeMB)) {
        fail(tableText(sizeRow, QString::number(size), decimal(m_check.releaseSizeMB)));
        return false;
    }
    return true;
}

void Downloader::startDownload()
{
    prepareOnce();
    m_networkManager = new QNetworkAccessManager();
    // Redirects are followed to the same or a safer scheme only (never from
    // https to http), at most maxRedirects times.
    m_networkManager->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    connect(m_networkManager, &QNetworkAccessManager::finished, this, &Downloader::fileDownloaded);

    // A few checks per stall period instead of restarting a timer for every
    // piece of data that arrives.
    connect(&m_stallTimer, &QTimer::timeout, this, &Downloader::stalled);
    m_deadlineTimer.setSingleShot(true);
    connect(&m_deadlineTimer, &QTimer::timeout, this, &Downloader::deadlinePassed);

    m_attemptsLeft = getResumeAttempts();
    m_deadlineTimer.start(getDeadline());
    sendRequest();
}

void Downloader::setCheck(const DownloadCheck& check)
{
    m_check = check;
    if (m_done || m_verifying)
        return;
    if (m_check.sha256.isEmpty())
        m_digest.reset();
    else
        followDigest();
}

void Downloader::followDigest()
{
    if (m_file == nullptr || m_check.sha256.isEmpty())
        return;
    // A digest that no longer follows the bytes on disk starts again from
    // the first byte.
    if (m_digest && m_digest->size() > stored())
        m_digest.reset();
    if (!m_digest)
        m_digest = std::make_unique<FileDigest>(partPath());
    m_digest->grow(stored());
}

bool Downloader::resume()
{
    if (!m_done || m_success || m_networkManager == nullptr)
        return false;
    m_done = false;
    m_cancelled = false;
    m_error.clear();
    m_percent = 0;
    m_attemptsLeft = getResumeAttempts();
    m_deadlineTimer.start(getDeadline());
    sendRequest();
    return true;
}

QString Downloader::partPath() const
{
    return m_file == nullptr ? QString() : m_file->getURL().qString() + QStringLiteral(".part");
}

void Downloader::sendRequest()
{
    QNetworkRequest request{QUrl(m_url.qString())};
    request.setMaximumRedirectsAllowed(maxRedirects);
    // The bytes as stored: a compressed transfer would make Content-Length
    // and ranges count other bytes than those written.
    request.setRawHeader("Accept-Encoding", "identity");
    // Also for http: a redirect may lead to https.
    request.setSslConfiguration(vantorix::WebServiceClient::tlsConfiguration());

    m_offset = 0;
    if (m_file != nullptr) {
        const qint64 onDisk = QFileInfo(partPath()).size();
        if (onDisk > 0 && m_validator.isEmpty()) {
            // Without a validator the server cannot tell whether its file is
            // still the one the part was cut from: a changed file would be
            // glued onto old bytes. Start from the first byte instead.
            Logger::write(String("Download of ") + m_url + " starting over: the server named no validator to resume with");
            discardPart();
        } else if (onDisk > 0) {
            m_offset = onDisk;
            request.setRawHeader("Range", "bytes=" + QByteArray::number(onDisk) + "-");
            request.setRawHeader("If-Range", m_validator);
        }
    }

    m_received = 0;
    // A part resumed from disk is hashed while the request goes out.
    followDigest();
    m_bodyStarted = false;
    m_discardBody = false;
    m_aborted = false;
    m_abortInterrupted = false;
    m_abortError.clear();
    m_restart = false;

    m_reply = m_networkManager->get(request);
    m_reply->setReadBufferSize(readBufferSize);
    connect(m_reply, &QNetworkReply::readyRead, this, &Downloader::receiveBytes);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &Downloader::replyProgress);
    m_lastActivity.start();
    m_stallTimer.start(qMax(getStallTimeout() / 8, 1));
}

bool Downloader::openPart(bool append)
{
    if (m_part && m_part->isOpen())
        m_part->close();
    m_part = std::make_unique<QFile>(partPath());
    // Unbuffered: each chunk goes to the system in one write whose result
    // says at once whether it was stored.
    const QIODevice::OpenMode mode = QIODevice::Unbuffered |
                                     (append ? (QIODevice::WriteOnly | QIODevice::Append)
                                             : (QIODevice::WriteOnly | QIODevice::Truncate));
    if (m_part->open(mode))
        return true;
    fail(String(writeError) + m_file->getURL());
    return false;
}

bool Downloader::beginBody()
{
    m_bodyStarted = true;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool http = status != 0;
    if (http && status != 200 && status != 206) {
        // An error page or an unfollowed redirect: not the file.
        m_discardBody = true;
        return false;
    }
    if (status == 206 && m_offset > 0) {
        qint64 first = -1;
        qint64 total = -1;
        const bool valid = parseContentRange(m_reply->rawHeader("Content-Range"), first, total);
        if (!valid || first != m_offset || (m_expected >= 0 && total >= 0 && total != m_expected)) {
            // Not the continuation of the bytes we hold: start over.
            Logger::write(String("Download of ") + m_url + " answered with another range; starting over");
            m_restart = true;
            abortTransfer(String(), true);
            return false;
        }
        if (total >= 0)
            m_expected = total;
    } else {
        // The whole file from its first byte (also when the server ignored
        // the range or the file changed since the bytes on disk).
        m_offset = 0;
        m_data = MemoryBlock();
        m_digest.reset();
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        m_expected = length.isValid() ? length.toLongLong() : -1;
    }
    if (m_expected > 0 && !withinLimits(m_expected)) {
        abortTransfer(m_error, false);
        return false;
    }
    QByteArray validator = m_reply->rawHeader("ETag");
    if (validator.isEmpty() || validator.startsWith("W/"))
        validator = m_reply->rawHeader("Last-Modified");
    m_validator = validator;
    if (m_file != nullptr) {
        if (!openPart(m_offset > 0))
            return false;
        followDigest();
    }
    return true;
}

bool Downloader::store(const char* bytes, qint64 size)
{
    if (!withinLimits(stored() + size))
        return false;
    if (m_file != nullptr) {
        if (!m_part || m_part->write(bytes, size) != size) {
            fail(String(writeError) + m_file->getURL());
            return false;
        }
    } else {
        m_data.append(bytes, int(size));
    }
    m_received += size;
    if (m_digest)
        m_digest->grow(stored());
    return true;
}

void Downloader::receiveBytes()
{
    if (!m_reply)
        return;
    m_lastActivity.start();
    if (m_aborted || m_discardBody || (!m_bodyStarted && !beginBody()) || m_aborted || m_discardBody) {
        m_reply->skip(m_reply->bytesAvailable());
        return;
    }
    // All the reply holds, in as few reads as the buffer allows, each
    // written as it is.
    if (m_buffer.isEmpty())
        m_buffer.resize(readSize);
    for (qint64 available = m_reply->bytesAvailable(); available > 0; available = m_reply->bytesAvailable()) {
        const qint64 got = m_reply->read(m_buffer.data(), qMin<qint64>(available, m_buffer.size()));
        if (got <= 0)
            break;
        if (!store(m_buffer.constData(), got)) {
            abortTransfer(m_error, false);
            return;
        }
    }
}

void Downloader::replyProgress(qint64 received, qint64 total)
{
    m_lastActivity.start();
    if (m_discardBody)
        return;
    const qint64 done = m_offset + received;
    const qint64 whole = total > 0 ? m_offset + total : total;
    // Listeners redraw on each report: one per percent is enough.
    if (whole > 0 && done < whole && qBound<qint64>(0, done * 100 / whole, 100) == m_percent)
        return;
    handleProgress(done, whole);
}

void Downloader::handleProgress(qint64 downloaded, qint64 total)
{
    emit notifyProgress(downloaded, total, m_percent, m_userData);
    // An unknown total (0, or -1 from the network layer) leaves the
    // percentage as it was.
    if (total > 0)
        m_percent = static_cast<int>(qBound<qint64>(0, downloaded * 100 / total, 100));
}

void Downloader::stalled()
{
    if (!m_lastActivity.hasExpired(getStallTimeout()))
        return;
    abortTransfer(tableText(stallRow, decimal(getStallTimeout() / 1000.0)), true);
}

void Downloader::deadlinePassed()
{
    m_attemptsLeft = 0;
    if (m_reply)
        abortTransfer(tableText(deadlineRow, decimal(getDeadline() / 60000.0)), false);
}

void Downloader::cancel()
{
    if (m_done)
        return;
    m_cancelled = true;
    m_attemptsLeft = 0;
    m_stallTimer.stop();
    m_deadlineTimer.stop();
    m_verifying = false;
    m_digest.reset();
    // Cut off at once: the reply's own finished signal must not start a
    // resume (fileDownloaded ignores a reply that is no longer m_reply).
    if (m_reply) {
        QNetworkReply* reply = m_reply;
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    m_error = tableText(cancelledRow);
    Logger::write(String("Download of ") + m_url + " cancelled" + (m_file != nullptr ? "; its part file removed" : ""));
    // complete() removes the part (a failure that is no interruption).
    complete(Outcome::failed);
}

void Downloader::abortTransfer(const String& error, bool interrupted)
{
    if (m_aborted || !m_reply)
        return;
    m_aborted = true;
    m_abortError = error;
    m_abortInterrupted = interrupted;
    m_stallTimer.stop();
    // Aborting ends the reply at once, with its finished signal; do it from
    // the event loop so that no handler of this object runs inside another.
    QPointer<QNetworkReply> reply = m_reply;
    QTimer::singleShot(0, this, [reply]() {
        if (reply)
            reply->abort();
    });
}

void Downloader::fail(const String& error)
{
    if (m_error.empty())
        m_error = error;
}

Downloader::Outcome Downloader::conclude(QNetworkReply* reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QNetworkReply::NetworkError error = reply->error();

    if (!m_error.empty())
        return Outcome::failed;  // a write failed
    if (m_restart) {
        discardPart();
        return Outcome::restart;
    }
    if (m_aborted) {
        m_error = m_abortError;
        return m_abortInterrupted ? Outcome::interrupted : Outcome::failed;
    }
    if (m_url.empty() && error != QNetworkReply::NoError) {
        m_error = String(emptyUrlError);
        return Outcome::failed;
    }
    if (error == QNetworkReply::InsecureRedirectError) {
        m_error = tableText(insecureRedirectRow);
        return Outcome::failed;
    }
    if (error == QNetworkReply::TooManyRedirectsError) {
        m_error = tableText(tooManyRedirectsRow, QString::number(maxRedirects));
        return Outcome::failed;
    }
    if (status == 416 && m_offset > 0) {
        // The bytes on disk are no prefix the server can continue.
        discardPart();
        return Outcome::restart;
    }
    if (status >= 300) {
        m_error = tableText(httpStatusRow, QString::number(status));
        return Outcome::failed;
    }
    const qint64 have = m_offset + m_received;
    const bool shortBody = m_expected >= 0 && have < m_expected;
    if (error != QNetworkReply::NoError) {
        if (shortBody)
            m_error = tableText(shortBodyRow, QString::number(have), QString::number(m_expected));
        else
            m_error = String(reply->errorString());
        return isInterruption(error) ? Outcome::interrupted : Outcome::failed;
    }
    if (shortBody) {
        m_error = tableText(shortBodyRow, QString::number(have), QString::number(m_expected));
        return Outcome::interrupted;
    }
    // A digest is compared once it is complete (compareDigest).
    if (!withinLimits(have))
        return Outcome::failed;
    return Outcome::success;
}

void Downloader::discardPart()
{
    m_digest.reset();
    if (m_part) {
        m_part->close();
        m_part.reset();
    }
    if (m_file != nullptr)
        QFile::remove(partPath());
    m_validator.clear();
    m_expected = -1;
}

Downloader::Outcome Downloader::compareDigest(const QByteArray& digest)
{
    if (m_check.sha256.isEmpty())
        return Outcome::success;
    if (digest.isEmpty()) {
        // The part could not be read back.
        m_error = String(writeError) + m_file->getURL();
        return Outcome::failed;
    }
    if (digest != m_check.sha256.toLower()) {
        m_error = tableText(digestRow);
        return Outcome::failed;
    }
    return Outcome::success;
}

void Downloader::digestComplete()
{
    if (!m_verifying || !m_digest || !m_digest->isComplete())
        return;
    m_verifying = false;
    const QByteArray digest = m_digest->result();
    m_digest.reset();
    complete(compareDigest(digest));
}

bool Downloader::finishFile()
{
    if (!m_part) {
        // An empty body: nothing was written, the file is empty.
        if (!openPart(false))
            return false;
    }
    const bool flushed = m_part->flush();
    m_part->close();
    const bool written = flushed && m_part->error() == QFileDevice::NoError;
    m_part.reset();
    const QString target = m_file->getURL().qString();
    m_file->close();
    if (!written || (QFile::exists(target) && !QFile::remove(target)) || !QFile::rename(partPath(), target)) {
        m_error = String(writeError) + String(target);
        QFile::remove(partPath());
        return false;
    }
    return true;
}

void Downloader::fileDownloaded(QNetworkReply* reply)
{
    if (reply != m_reply) {
        reply->deleteLater();
        return;
    }
    m_stallTimer.stop();
    if (!m_aborted && reply->bytesAvailable() > 0)
        receiveBytes();
    Outcome outcome = conclude(reply);
    reply->disconnect(this);
    reply->deleteLater();
    m_reply = nullptr;
    if (m_part)
        m_part->flush();

    const bool again = outcome == Outcome::restart ||
                       (outcome == Outcome::interrupted && m_file != nullptr && m_attemptsLeft > 0);
    if (again && m_deadlineTimer.isActive()) {
        if (outcome == Outcome::interrupted)
            --m_attemptsLeft;
        Logger::write(String("Download of ") + m_url + (outcome == Outcome::restart ? " starting over" : " resuming") +
                      (m_error.empty() ? String() : String(" after: ") + m_error));
        m_error.clear();
        sendRequest();
        return;
    }

    m_deadlineTimer.stop();
    if (outcome != Outcome::success && m_error.empty())
        m_error = String(reply->errorString());
    if (outcome == Outcome::success && !m_check.sha256.isEmpty()) {
        if (m_file == nullptr) {
            // In memory, and small as a rule.
            outcome = compareDigest(Sha256::hash(m_data.get()).toHex());
        } else {
            // The transfer is over; the result waits for the digest of the
            // last bytes written.
            followDigest();
            m_verifying = true;
            // Called on the hashing thread, which the destructor joins
            // before this object goes; the queued call dies with the object.
            m_digest->finish(stored(), [this]() {
                QMetaObject::invokeMethod(this, [this]() { digestComplete(); }, Qt::QueuedConnection);
            });
            return;
        }
    }
    complete(outcome);
}

void Downloader::complete(Outcome outcome)
{
    m_done = true;
    m_percent = 100;
    m_success = outcome == Outcome::success;
    // A part kept for resume() is hashed again from the disk then: it may
    // have changed in the meantime.
    m_digest.reset();
    if (m_file != nullptr) {
        if (m_success) {
            m_success = finishFile();
        } else if (outcome != Outcome::interrupted) {
            discardPart();
        } else if (m_part) {
            m_part->close();
            m_part.reset();
        }
    }
    if (!m_success && !m_cancelled)
        Logger::write(String("Download of ") + m_url + " failed: " + m_error);
    emit finishDownload();
    emit finishDownload(m_userData);
}

} // namespace installer
