#ifndef VANTORIX_INSTALLER_INSTALLFOLDER_H
#define VANTORIX_INSTALLER_INSTALLFOLDER_H

#include <QString>

namespace installer {

// The one folder the installer runs from, found from its own executable so
// that the folder can be moved, or replaced whole by an update, and still
// work. Two shapes:
//
//   <folder>/bin/vantorix-installer, <folder>/bin/vantorix,
//   <folder>/share/vantorix-installer/...          (Linux, the build folder)
//
//   <folder> = "Vantorix Installer.app": Contents/MacOS/Vantorix Installer,
//   Contents/MacOS/vantorix, Contents/Resources/...  (macOS)
//
// Any other place of the executable counts as the folder itself, with the
// resources in share/vantorix-installer below it.
class InstallFolder {
public:
    // The layout around an executable in executableDir.
    explicit InstallFolder(const QString& executableDir);
    // The layout of the running program (QCoreApplication::applicationDirPath).
    static InstallFolder current();

    // The folder an update replaces: everything the program needs is inside.
    const QString& root() const { return m_root; }
    // Where the programs are (bin, or Contents/MacOS).
    const QString& programs() const { return m_programs; }
    // Where the files shipped beside the programs are (icons, notices).
    const QString& resources() const { return m_resources; }
    bool isBundle() const { return m_bundle; }

    // The command-line program ("vantorix") of this folder.
    QString commandLine() const;
    // A file below resources(), whether or not it exists.
    QString resource(const QString& relativePath) const;

private:
    QString m_root;
    QString m_programs;
    QString m_resources;
    bool m_bundle = false;
};

} // namespace installer

#endif
