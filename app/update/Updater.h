#ifndef INSTALLER_UPDATE_UPDATER_H
#define INSTALLER_UPDATE_UPDATER_H

#include "InstallFolder.h"
#include "update/UpdateLog.h"

#include "File/DataFile.h"
#include "Utility/String.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace installer {

class Downloader;

// Replaces the installed program folder ("the bundle": the folder of
// InstallFolder, "Vantorix Installer.app" on macOS) with the one in a
// downloaded update archive, and records every step in an update log that
// goes to the service as a report.
//
// Nothing of the installed folder is touched until the update is verified:
// the archive's size, its Ed25519 signature (UpdateSignature, fetched from
// "<address>.sig"), its unpacking into a staging folder beside the installed
// folder, and the unpacked command line answering --version with the offered
// version. Only then the old folder is renamed aside, the new one renamed into
// its place and started; the started program removes the old folder
// (finishUpdate). Any failure on the way puts the old folder back.
class Updater : public QObject {
    Q_OBJECT
public:
    // Which program is started once the new folder is in place: the window,
    // or the command line that finishes the update and exits.
    enum class Restart { window, commandLine };

    explicit Updater(const vantorix::String& url = vantorix::String(), QObject* parent = nullptr);
    ~Updater() override;

    void setUrl(const vantorix::String& url) { m_url = url; }
    const vantorix::String& getUrl() const { return m_url; }
    // What the service announced: the version the new program must report,
    // the release size in MB (0: unknown) and the archive's SHA-256 (empty:
    // unknown).
    void setExpected(const vantorix::String& version, double releaseSizeMB, const vantorix::String& sha256);
    void setRestart(Restart restart) { m_restart = restart; }
    // The folder replaced (by default the running program's).
    void setFolder(const InstallFolder& folder) { m_folder = folder; }

    // The archive's download (into getTempFilePath()), created on first use
    // with the signature's download beside it; null without a URL or when
    // the file cannot be created.
    Downloader* getDownloader();
    vantorix::String getTempFilePath() const;

    // Verifies the downloaded archive and replaces the installed folder.
    // False with getFailure() set when a step failed; the installed folder is
    // then as it was.
    bool doUpdate();
    // Records a step that happened outside doUpdate (the download).
    void addStep(const vantorix::String& action, const vantorix::String& message, bool success);
    // Sends the update log as a report ("Reporting"); the answer is not read.
    void sendReport();
    void clean() {}

    const UpdateLog& getLog() const { return m_log; }
    // The step that failed and why, for the user (a row of the error table,
    // filled in); empty while nothing failed.
    const QString& getFailedStep() const { return m_failedStep; }
    const QString& getFailure() const { return m_failure; }
    // Called with every step as it is recorded (the command line prints them).
    void setStepListener(std::function<void(const LogEntry&)> listener) { m_listener = std::move(listener); }

    // The name of the folder an update archive holds at its top.
    static QString bundleName();
    // Whether the user may replace the installed folder: both it and the
    // folder that holds it must be writable, and it must not be a package's
    // (the file packageMarker among its resources): a system-wide install is
    // updated by the system's package manager, even when root could write it.
    static bool canReplace(const InstallFolder& folder);
    // In the new program, started by an update with the old folder's path:
    // removes that folder when it is the one an update of this folder set
    // aside (beside this folder, named as doUpdate names it), and nothing
    // else. Returns false with message set when it removed nothing.
    static bool finishUpdate(const QString& asidePath, QString& message);
    // The argument that hands the old folder to the new program.
    static const char* const finishOption;  // "--finish-update"
    static const char* const packageMarker; // "package-managed"

private:
    bool fail(const char* action, const vantorix::String& message, const QString& failure);
    void record(const vantorix::String& action, const vantorix::String& message, bool success);
    bool waitForSignature(QByteArray& signature);
    bool unpack(const QString& archivePath, const QString& staging, QString& reason, bool& noBundle);
    bool checkNewProgram(const QString& programs, QString& reported);
    bool startNewProgram(const QString& root, const QString& aside);

    vantorix::String m_url;
    vantorix::String m_expectedVersion;
    double m_releaseSizeMB = 0.0;
    vantorix::String m_sha256;
    Restart m_restart = Restart::window;
    InstallFolder m_folder;
    std::unique_ptr<vantorix::DataFile> m_archive;
    std::unique_ptr<Downloader> m_downloader;
    std::unique_ptr<Downloader> m_signatureDownloader;
    UpdateLog m_log;
    QString m_failedStep;
    QString m_failure;
    std::function<void(const LogEntry&)> m_listener;
};

} // namespace installer

#endif
