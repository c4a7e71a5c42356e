#ifndef INSTALLER_PRODUCTS_DOWNLOADER_H
#define INSTALLER_PRODUCTS_DOWNLOADER_H

#include "Utility/MemoryBlock.h"
#include "Utility/String.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

class QFile;
class QNetworkAccessManager;
class QNetworkReply;

namespace vantorix {
class DataFile;
}

namespace installer {

class FileDigest;

// What a finished download must match, when the catalogue says. With a
// digest only the digest counts; otherwise the release size (in MB as the
// catalogue gives it) bounds the download from above, see Downloader.
struct DownloadCheck {
    double releaseSizeMB = 0.0;     // 0: not known
    QByteArray sha256;              // lower-case hexadecimal; empty: not known

    bool empty() const { return releaseSizeMB <= 0.0 && sha256.isEmpty(); }
};

// One HTTP(S) GET, to memory or into a file, started at construction and run
// by the event loop of the calling thread.
//
// A download to a file streams into "<file>.part" as the bytes arrive and
// renames it to the file only when the transfer is complete and checked, so
// the file exists only when it holds the whole download. Memory use does not
// grow with the size of the download. When a SHA-256 is expected, it is taken
// on a thread of its own as the bytes reach the disk (FileDigest), so neither
// the check nor a large part resumed from disk holds up the event loop.
//
// A transfer fails (isSuccess() false, getError() set) on a network error, an
// HTTP error status, a redirect to a less safe scheme or more than five
// redirects, a stall (no bytes for getStallTimeout() ms), a run past
// getDeadline() ms, a body shorter than its Content-Length, a digest that
// differs from the catalogue's, a size far above the catalogue's, a download
// to memory above getMemoryLimit(), or a failed write; the last three end the
// transfer as soon as they show. An interrupted file download is resumed with
// a Range request from the bytes already on disk (up to getResumeAttempts()
// times on its own, and again on resume()) only when the server named a
// validator (ETag, else Last-Modified); it goes along as If-Range, so a
// changed file, a 200 answer or a range the server refuses starts over.
// Without a validator a resume starts from the first byte.
//
// cancel() ends a transfer for good: no resume follows on its own, and the
// part on disk is removed.
//
// Signals: when the transfer ends, finishDownload() and then
// finishDownload(userData); notifyProgress as bytes arrive.
class Downloader : public QObject {
    Q_OBJECT
public:
    static const char* const stallVariable;     // VANTORIX_DOWNLOAD_STALL_MS
    static const char* const deadlineVariable;  // VANTORIX_DOWNLOAD_DEADLINE_MS
    static constexpr int defaultStallTimeout = 30000;
    static constexpr int defaultDeadline = 4 * 60 * 60 * 1000;
    static constexpr int defaultResumeAttempts = 2;
    static constexpr int maxRedirects = 5;
    // Downloads to memory are agreements and pictures: a few hundred KB.
    static constexpr qint64 defaultMemoryLimit = 16 * 1024 * 1024;

    // To memory.
    Downloader(const vantorix::String& url, qintptr userData, QObject* parent = nullptr);
    // Into file (not owned; it must outlive the download). A null file
    // downloads to memory.
    Downloader(const vantorix::String& url, vantorix::DataFile* file, qintptr userData, QObject* parent = nullptr);
    ~Downloader() override;

    const vantorix::String& getUrl() const { return m_url; }
    const vantorix::String& getError() const { return m_error; }
    const vantorix::MemoryBlock& getData() const { return m_data; }
    bool isSuccess() const { return m_success; }
    bool isDone() const { return m_done; }
    int getPercent() const { return m_percent; }
    qintptr getUserData() const { return m_userData; }
    vantorix::DataFile* getFile() const { return m_file; }

    // Checked when the transfer ends; may be set or changed while the
    // transfer runs (a digest given late is taken from the bytes on disk).
    void setCheck(const DownloadCheck& check);
    const DownloadCheck& getCheck() const { return m_check; }

    // Starts a failed download again; a file download continues from the
    // bytes already on disk when the server allows it. False when the
    // download is running or has succeeded.
    bool resume();

    // Ends a running transfer for good, as a failure with the error
    // "cancelled": finishDownload is emitted, the part on disk is removed
    // and nothing resumes on its own (resume() starts from the first byte).
    // Nothing when the download has ended.
    void cancel();
    bool isCancelled() const { return m_cancelled; }

    // Time limits and automatic resumes for every download started later
    // (the environment variables above give the first values; tests shorten
    // them). Values below 1 ms are taken as 1 ms.
    static void setStallTimeout(int milliseconds);
    static int getStallTimeout();
    static void setDeadline(int milliseconds);
    static int getDeadline();
    static void setResumeAttempts(int attempts);
    static int getResumeAttempts();
    // The most bytes a download to memory takes (defaultMemoryLimit unless
    // set; values below 1 are taken as 1).
    static void setMemoryLimit(qint64 bytes);
    static qint64 getMemoryLimit();

    // Whether a byte count is no more than a release size in MB allows. The
    // catalogue gives one size per release, while each language has its own
    // archive of another size, and it does not say whether an MB is 10^6 or
    // 2^20 bytes: so only what is far larger is refused, more than twice the
    // size (and more than 1 MiB above it). 0: no limit.
    static bool sizeFits(qint64 bytes, double releaseSizeMB);
    static qint64 sizeLimit(double releaseSizeMB);

signals:
    void finishDownload(qintptr data);
    void finishDownload();
    void notifyProgress(qint64 downloaded, qint64 total, int previousPercent, qintptr userData);

public slots:
    void handleProgress(qint64 downloaded, qint64 total);

private slots:
    void fileDownloaded(QNetworkReply* reply);
    void receiveBytes();
    void replyProgress(qint64 received, qint64 total);
    void stalled();
    void deadlinePassed();

private:
    enum class Outcome { success, failed, interrupted, restart };

    void startDownload();
    void sendRequest();
    bool beginBody();
    bool store(const char* bytes, qint64 size);
    qint64 stored() const { return m_offset + m_received; }
    void fail(const vantorix::String& error);
    bool withinLimits(qint64 size);
    void abortTransfer(const vantorix::String& error, bool interrupted);
    Outcome conclude(QNetworkReply* reply);
    Outcome compareDigest(const QByteArray& digest);
    void followDigest();
    void digestComplete();
    void complete(Outcome outcome);
    bool finishFile();
    void discardPart();
    bool openPart(bool append);
    QString partPath() const;

    vantorix::MemoryBlock m_data;
    vantorix::String m_url;
    QNetworkAccessManager* m_networkManager = nullptr;
    bool m_success = false;
    bool m_done = false;
    vantorix::String m_error;
    qintptr m_userData = 0;
    vantorix::DataFile* m_file = nullptr;
    QPointer<QNetworkReply> m_reply;
    int m_percent = 0;

    DownloadCheck m_check;
    std::unique_ptr<QFile> m_part;
    qint64 m_offset = 0;        // bytes on disk when this request began
    qint64 m_received = 0;      // bytes of this request's body taken
    qint64 m_expected = -1;     // the whole size when known
    QByteArray m_validator;     // ETag or Last-Modified of the bytes on disk
    bool m_bodyStarted = false;
    bool m_discardBody = false;     // an error page: not stored
    bool m_restart = false;         // the answer does not continue the part
    bool m_aborted = false;
    bool m_abortInterrupted = false;
    vantorix::String m_abortError;
    int m_attemptsLeft = 0;
    QTimer m_stallTimer;            // checks m_lastActivity
    QElapsedTimer m_lastActivity;
    QTimer m_deadlineTimer;
    QByteArray m_buffer;            // reused for every read from the reply
    std::unique_ptr<FileDigest> m_digest;   // of the part, when a digest is expected
    bool m_verifying = false;       // transfer over, waiting for m_digest
    bool m_cancelled = false;
};

} // namespace installer

#endif
