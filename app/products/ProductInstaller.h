#ifndef INSTALLER_PRODUCTS_PRODUCTINSTALLER_H
#define INSTALLER_PRODUCTS_PRODUCTINSTALLER_H

#include "Database/Guid.h"
#include "Utility/String.h"

#include <QStringList>

#include <vector>

namespace vantorix {
class Application;
class DataFile;
class MemoryBlock;
class ZipArchive;
} // namespace vantorix

namespace installer {

class InstallTransaction;

// One install of one product archive into one host application: reads the
// archive's "manifest.xml" and puts every file it lists into the host
// application's folder for the file's type (or its explicit location),
// replacing older copies. Within copyFiles the files are unpacked into a
// staging folder first and swapped in together (InstallTransaction), so a
// failure leaves the host application as it was. Every path written stays
// inside the host application's folder. Lives for one installFile call; the
// archive file belongs to the caller.
class ProductInstaller {
public:
    ProductInstaller(const vantorix::Guid& applicationId, vantorix::DataFile& archiveFile);
    ~ProductInstaller();
    ProductInstaller(const ProductInstaller&) = delete;
    ProductInstaller& operator=(const ProductInstaller&) = delete;

    // Installs every file of the manifest; on failure error says why and
    // the host application's folders are as they were.
    bool copyFiles();
    // Copies a bundle ("apx", "gdx") with everything inside it: the entries
    // below name in the archive go below directory (which ends with "/").
    bool copyAPX(vantorix::ZipArchive& zip, const vantorix::String& directory, const vantorix::String& name);
    // Writes one file, making its folders; every write is checked.
    bool copyDataToFile(const vantorix::String& path, const vantorix::MemoryBlock* data);
    // Removes the items of directory that are earlier copies of name.
    void eraseOld(const vantorix::String& directory, const vantorix::String& name);

    const vantorix::String& getError() const { return m_error; }
    // The installed add-on ("apx"), or empty when the archive holds none.
    const vantorix::String& getAddOnPath() const { return m_addOnPath; }
    // Files placed through an explicit location.
    const std::vector<vantorix::String>& getInstalledPaths() const { return m_installedPaths; }

    // Whether an item of a folder is a copy of name: its name is name or
    // begins with it, in any letter case (Tool.apx, tool.apx, Tool.apx.old;
    // not MyTool.apx).
    static bool isCopyOf(const QString& item, const QString& name);
    // The copies of name in folder (files, folders and links, hidden ones
    // included), as full paths; staging folders of installs are never among
    // them.
    static QStringList copiesOf(const QString& folder, const QString& name);

private:
    // Fails with the message for an item that would land outside the host
    // application's folder.
    bool failOutside(const QString& what);
    // Whether the folder (made or not) would lie inside the application's
    // folder, links on the way included.
    bool isInsideApplication(const QString& folder) const;
    // Writes data at path, reporting shownPath in messages.
    bool writeFile(const QString& path, const vantorix::MemoryBlock* data, const QString& shownPath);
    // Where a file for target goes now: its staging place during copyFiles.
    QString placeFor(const QString& target) const;

    vantorix::DataFile& m_archive;
    vantorix::Guid m_application;
    vantorix::String m_error;
    vantorix::String m_addOnPath;
    std::vector<vantorix::String> m_installedPaths;
    // The host application's folder (cleaned) and its canonical form.
    QString m_root;
    QString m_canonicalRoot;
    // Set while copyFiles runs.
    InstallTransaction* m_transaction = nullptr;
    // The item being staged: its target and staging paths.
    QString m_itemTarget;
    QString m_itemStaged;
};

// Installs the archive downloaded from url into the host application, all
// inside the log block "Installing File": the installed paths are added to
// localCopies (the add-on alone when there is one) and the host's cache is
// cleared. On failure the reason goes to error when it is given.
bool installFile(const vantorix::Guid& applicationId, const vantorix::String& url,
                 std::vector<vantorix::String>& localCopies, vantorix::String* error);

} // namespace installer

#endif
