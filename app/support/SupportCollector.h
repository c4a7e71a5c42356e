#ifndef INSTALLER_SUPPORT_SUPPORTCOLLECTOR_H
#define INSTALLER_SUPPORT_SUPPORTCOLLECTOR_H

#include "Utility/String.h"

#include <QtGlobal>

#include <memory>

namespace vantorix {
class DataFile;
}

namespace installer {

class PermissionLog;

// Packs what support needs to see of this machine into a zip archive in the
// installer's temporary folder: every file directly inside the
// installation-records folder and inside the log folder (as entries
// "<folder name>/<file name>"), and "FilePermissions.xml", which lists the
// access rights of every file met. The archive is handed to a report as
// Base64 text (getPackageData), encoded once.
//
// Files are streamed into the archive, never read whole. Each folder
// contributes at most getFolderLimit() bytes, the newest files first; a file
// that does not fit whole keeps its newest (last) bytes, and what was left
// out is listed in "LeftOut.txt". Links are never followed, so a link placed
// in one of the folders cannot carry another file into the package.
//
// The collector owns the archive and erases it when destroyed, whatever
// became of the report.
class SupportCollector {
public:
    static const char* const packageName;         // "SupportPackage"
    static const char* const packageExtension;    // "zfpkgsprt"
    static const char* const permissionFileName;  // "FilePermissions.xml"
    static const char* const leftOutFileName;     // "LeftOut.txt"
    static constexpr qint64 defaultFolderLimit = qint64(20) << 20;

    SupportCollector();
    ~SupportCollector();
    SupportCollector(const SupportCollector&) = delete;
    SupportCollector& operator=(const SupportCollector&) = delete;

    // Builds the archive. False, with getError() set, when there is no
    // temporary folder or the archive cannot be created or written.
    bool collectData();
    // The archive as Base64 text, encoded on the first call; empty without
    // an archive or when it cannot be read.
    vantorix::String& getPackageData();
    // The archive's path; empty before collectData() made it.
    vantorix::String getPackagePath() const;
    // Why collectData() failed, for the user.
    const vantorix::String& getError() const { return m_error; }

    // The bytes each folder may contribute (tests lower it).
    static qint64 getFolderLimit();
    static void setFolderLimit(qint64 limit);

private:
    bool fail(const vantorix::String& detail);

    std::unique_ptr<vantorix::DataFile> m_packageFile;
    vantorix::String m_packageData;
    vantorix::String m_error;
};

} // namespace installer

#endif
