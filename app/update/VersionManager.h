#ifndef INSTALLER_UPDATE_VERSIONMANAGER_H
#define INSTALLER_UPDATE_VERSIONMANAGER_H

#include "products/InstallerRelease.h"

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

    short getErrorCode() const { return m_errorCode; }
    const InstallerRelease& getRelease() const { return m_release; }
    // The version text of the last answer (empty before one came).
    const vantorix::String& getServerVersion() const { return m_serverVersion; }

private:
    InstallerRelease m_release;
    vantorix::String m_serverVersion;
    short m_errorCode = noError;
};

} // namespace installer

#endif
