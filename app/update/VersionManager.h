#ifndef INSTALLER_UPDATE_VERSIONMANAGER_H
#define INSTALLER_UPDATE_VERSIONMANAGER_H

#include "products/InstallerRelease.h"
#include "update/Updater.h"

#include <QObject>

namespace installer {

// Asks the service whether a newer installer than this one is published
// ("InstallerVersion") and keeps what it answered: the newest release, one
// download address per language. The main window owns it (as its QObject
// parent) and asks once at start.
class VersionManager : public QObject {
    Q_OBJECT
public:
    // Rows of the error table.
    enum Error : short { noError = 0, localUpdateFailed = 14, downloadFailed = 15 };

    explicit VersionManager(QObject* parent = nullptr);
    ~VersionManager() override;

    // True when the service names a version above the running one by more
    // than 0.00001. A failed request or a fault means no update; a failed
    // request leaves the transport's code (1 when it gave none) as the error.
    bool isUpdateAvailable();

    // Whether a version text (as the service writes it) is newer than the
    // running installer's.
    static bool isNewer(const vantorix::String& version);

    // Starts the download of the newest installer for the host's language
    // (the last release entry of that language; no fallback to "INT"). False
    // when there is none or the download cannot start; then the error code
    // is row 14 and getFailure() says why.
    bool update();
    Updater& getUpdater() { return m_updater; }
    // Why the update failed, for the user (empty without a failure).
    const QString& getFailure() const { return m_failure; }
    // The step update() stopped at ("FindArchive", "CheckWritable",
    // "Download"), then the updater's failed step; empty without a failure.
    QString getFailedStep() const;

    short getErrorCode() const { return m_errorCode; }
    const InstallerRelease& getRelease() const { return m_release; }
    // The version text of the last answer (empty before one came).
    const vantorix::String& getServerVersion() const { return m_serverVersion; }

signals:
    void updateComplete();
    void updateProgress(qint64 downloaded, qint64 total, int previousPercent, qintptr userData);

public slots:
    // The archive's download ended: verify and replace, report, and say so.
    void updateArchiveDownloaded();

private:
    InstallerRelease m_release;
    Updater m_updater;
    QString m_failure;
    QString m_failedStep;
    bool m_blockOpen = false;
    vantorix::String m_serverVersion;
    short m_errorCode = noError;
};

} // namespace installer

#endif
