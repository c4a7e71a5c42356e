#ifndef INSTALLER_PRODUCTS_PRODUCTINSTALLER_H
#define INSTALLER_PRODUCTS_PRODUCTINSTALLER_H

#include "products/InstallJournal.h"
#include "products/ManifestXML.h"

#include "Database/Guid.h"
#include "Utility/String.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>

#include <functional>

#include <vector>

namespace vantorix {
class Application;
class DataFile;
class MemoryBlock;
class ZipArchive;
} // namespace vantorix

namespace installer {

class HostFolders;
class InstallTransaction;

// The product's installation record, changed in the same transaction as its
// files: where it is, the items it lists for the host now (the only items
// besides the new ones that the install may replace), and how to write it
// for the items the install placed.
struct RecordChange {
    QString path;
    QStringList owned;
    // The record's bytes listing items for the host (and keeping what it
    // holds for other hosts); false when the record cannot be made.
    std::function<bool(const QStringList& items, QByteArray& bytes)> build;
};

// One install of one product archive into one host application: reads the
// archive's "manifest.xml" and puts every file it lists into the host
// application's folder for the file's type (or its explicit location).
// Everything is checked before anything is touched; then the new items are
// unpacked beside their targets, streamed from the archive, and swapped in
// together with the product's record (InstallTransaction), so a failure
// leaves the host application and the record as they were. An install
// replaces only what the product's own record lists and the items of exactly
// the names it installs (or those names + ".old"), whatever their letter
// case. Lives for one installFile call; the archive file belongs to the
// caller.
class ProductInstaller {
public:
    ProductInstaller(const vantorix::Guid& applicationId, vantorix::DataFile& archiveFile);
    ~ProductInstaller();
    ProductInstaller(const ProductInstaller&) = delete;
    ProductInstaller& operator=(const ProductInstaller&) = delete;

    // The record to change with the files (none: files only).
    void setRecord(const RecordChange* record) { m_record = record; }

    // Installs every file of the manifest; on failure error says why and
    // the host application's folders are as they were.
    bool copyFiles();
    // A bundle's entries: each entry's number and its path below the bundle.
    using BundleEntries = std::vector<std::pair<unsigned, QString>>;
    // Writes one bundle ("apx", "gdx") named name with everything inside it:
    // the entries go below path, the bundle's staging place.
    bool copyAPX(vantorix::ZipArchive& zip, const QString& path, const vantorix::String& name,
                 const BundleEntries& contents);
    // Writes one file from memory, making its folders; every write is
    // checked.
    bool copyDataToFile(const vantorix::String& path, const vantorix::MemoryBlock* data);
    // Plans the items of directory that are earlier copies of name (name
    // itself or name + ".old", in any letter case) to be moved aside.
    void eraseOld(const vantorix::String& directory, const vantorix::String& name);

    const vantorix::String& getError() const { return m_error; }
    // The installed add-on ("apx"), or empty when the archive holds none.
    const vantorix::String& getAddOnPath() const { return m_addOnPath; }
    // Files placed through an explicit location.
    const std::vector<vantorix::String>& getInstalledPaths() const { return m_installedPaths; }
    // Every item the install placed: bundles and files, then the folders it
    // made for them (with a trailing "/").
    const QStringList& getReceipt() const { return m_receipt; }

    // Whether an item of a folder is a copy of name: name itself or
    // name + ".old", in any letter case (not MyTool.apx, not "Tool.apx
    // notes.txt").
    static bool isCopyOf(const QString& item, const QString& name);
    // The copies of name in folder (files, folders and links, hidden ones
    // included), as full paths; staged items are never among them.
    static QStringList copiesOf(const QString& folder, const QString& name);

private:
    struct Planned;

    bool fail(InstallErrorRow row, const QString& what, const QString& second = QString());
    bool readManifest(vantorix::ZipArchive& zip, unsigned index, ManifestXML& manifest);
    bool planFile(vantorix::ZipArchive& zip, const ManifestFile& file, const QHash<QString, unsigned>& index,
                  std::vector<Planned>& plan);
    bool checkSpace(vantorix::ZipArchive& zip, const std::vector<Planned>& plan);
    bool writeEntry(vantorix::ZipArchive& zip, unsigned index, const QString& path, const QString& shownPath);
    bool writeBytes(const QString& path, const QByteArray& bytes, const QString& shownPath);
    void logUnused(vantorix::ZipArchive& zip, const std::vector<bool>& used);

    vantorix::DataFile& m_archive;
    vantorix::Guid m_application;
    vantorix::String m_error;
    vantorix::String m_addOnPath;
    std::vector<vantorix::String> m_installedPaths;
    QStringList m_receipt;
    const RecordChange* m_record = nullptr;
    // Set while copyFiles runs.
    const HostFolders* m_folders = nullptr;
    InstallTransaction* m_transaction = nullptr;
    bool m_ignoresCase = false;
};

// Installs the archive downloaded from url into the host application, all
// inside the log block "Installing File": the installed items are added to
// localCopies and the host's cache is cleared; the record, when given,
// changes with the files. On failure the reason goes to error when it is
// given.
bool installFile(const vantorix::Guid& applicationId, const vantorix::String& url,
                 std::vector<vantorix::String>& localCopies, vantorix::String* error,
                 const RecordChange* record = nullptr);

} // namespace installer

#endif
