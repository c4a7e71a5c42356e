#ifndef INSTALLER_DIRECTORYHANDLER_H
#define INSTALLER_DIRECTORYHANDLER_H

#include "Utility/String.h"

#include <memory>

namespace vantorix {
class DataFile;
class Directory;
} // namespace vantorix

namespace installer {

// The one place that knows the installer's working folders and preference
// files. Every result is a new object owned by the caller, or null when the
// folder or file is not there (and was not to be created), except the
// temporary folder, which is made once and kept for the whole run.
//
//   temporary folder   <system temp>/Vantorix Installer
//   tools folder       <shared data>/Vantorix Tools            (open to all users)
//   installation files <shared data>/Vantorix Tools/Installation (open to all users)
//   log folder         <user Preferences>/Vantorix Tools/Logs
//   preferences        <user Preferences>/Vantorix/<preference file name>
//   shared preferences <shared data>/Vantorix/<preference file name>
class DirectoryHandler {
public:
    static const char* const tempFolderName;
    static const char* const toolsFolderName;
    static const char* const installationFolderName;
    static const char* const logFolderName;
    static const char* const preferenceFolderName;

    // Created (or opened) on first use and cached; not owned by the caller.
    // Null when it cannot be made; the next call tries again.
    static vantorix::Directory* getTempDirectory();
    // Made only when create is set; a folder made here is opened to full
    // access for all users, since every user installs into it.
    static std::unique_ptr<vantorix::Directory> getVantorixDirectory(bool create);
    static std::unique_ptr<vantorix::Directory> getInstallationDirectory(bool create);
    // Never created here.
    static std::unique_ptr<vantorix::Directory> getLogDirectory();
    // The per-user preference file, read-write. With create set the folder
    // and an empty file are made when missing.
    static std::unique_ptr<vantorix::DataFile> getPreferenceFile(bool create);
    // The shared file of the same name (the hand-added host applications):
    // read-only unless create is set. Folder and file made here are opened to
    // all users, since any user may rewrite them.
    static std::unique_ptr<vantorix::DataFile> getSharedPreferenceFile(bool create);

    // "com.vantorixhq." + the file-name form of the program's product name +
    // ".xml"; empty before the application object exists.
    static vantorix::String getPreferenceFileName();
    // The folder of the per-user preference file (made when create is set).
    static std::unique_ptr<vantorix::Directory> getPreferenceDirectory(bool create);
    // The file-name form of a name: lower case, white space at both ends
    // removed, every other white-space character replaced by "_".
    static vantorix::String fileNameForm(const vantorix::String& name);

private:
    static std::unique_ptr<vantorix::Directory> m_tempDirectory;
};

} // namespace installer

#endif
