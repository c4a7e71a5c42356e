#ifndef VANTORIX_CATALOGUE_VANTORIXTOOLS_H
#define VANTORIX_CATALOGUE_VANTORIXTOOLS_H

#include "Catalogue/Client.h"
#include "Catalogue/Installation.h"

#include <QByteArray>

#include <memory>

namespace vantorix {

class DataBufferIn;
class DataBufferOut;
class DataFile;
class Directory;
class Report;

// The tools store: the record that the installer keeps on disk and exchanges
// with the service. Its element name is given at construction
// ("vantorixtools" by default); it has a version and a target (commercial or
// educational) as attributes and three optional children, each owned: the
// installation record ("installation"), a report ("report", its own tag) and
// the account's record ("client").
//
// On disk it is two kinds of file:
// - installation files, one per product, in the installation folder shared
//   by all users: "com.vantorix.install." + the product's URL name + ".xml",
//   holding only the installation record;
// - the client file in the user's Preferences folder ("Vantorix Tools/" +
//   clientFileName), holding only the client record, enciphered under a key
//   derived from the machine's network hardware address.
// Both are replaced whole: the new content goes to a temporary file in the
// same folder, which is then renamed over the old one. A reader never sees a
// half-written file, an interrupted write leaves the previous file, and of
// two users writing the same file the last one to finish wins.
class VantorixTools : public XMLAssembly {
public:
    enum Target : int { commercial = 0, educational = 1 };

    // Numbers of the last error (getLastError).
    enum Error : short {
        noError = 0,
        clientFileMissing = 1,
        clientFileUndecipherable = 2,
        clientFileUnreadable = 3,
        clientFileUnwritable = 4,
        noEncryptionSeed = 5,
        nullEncryptionSeed = 6,
        installationFileUnwritable = 7
    };

    static const char* const defaultTag;
    static const short currentVersion = 1;
    // The ArchiCAD versions whose legacy stores are migrated.
    static const short minArchiCADVersion = 14;
    static const short maxArchiCADVersion = 17;
    static const char* const installationFilePrefix;
    static const char* const installationFileExtension;
    static const char* const clientFolderName;
    static const char* const clientFileName;

    // Version 1, commercial, no children.
    explicit VantorixTools(const char* elementName = defaultTag);
    VantorixTools(const VantorixTools&) = delete;
    VantorixTools& operator=(const VantorixTools&) = delete;
    ~VantorixTools() override;

    short getVersion() const { return m_version; }
    Target getTarget() const { return m_target; }
    void setTarget(Target target) { m_target = target; }

    Installation* getInstallation() const { return m_installation.get(); }
    Client* getClient() const { return m_client.get(); }
    Report* getReport() const { return m_report.get(); }
    // Each replaces (and deletes) the present child.
    void setInstallation(std::unique_ptr<Installation> installation);
    void setClient(std::unique_ptr<Client> client);
    void setReport(std::unique_ptr<Report> report);
    // Each hands the child over to the caller; the store has none afterwards.
    std::unique_ptr<Installation> releaseInstallation();
    std::unique_ptr<Client> releaseClient();
    std::unique_ptr<Report> releaseReport();

    // ---- installation records

    // With all set and no file: migrates the legacy stores, then merges in
    // every installation file of the installation folder (see
    // readInstallationFolder) and succeeds. Otherwise reads the given file,
    // or the running application's own installation file (failing when there
    // is none), into this store: only the installation record, version and
    // target are taken, the client and report stay as they were. The result
    // is the reader's.
    bool readInstallation(const DataFile* file, bool all, bool clean);
    // The same from a stream.
    bool readInstallation(DataBufferIn& in);
    // Merges the installation files of folder into this store. Only files
    // named "com.vantorix.install.*.xml" are read; one that does not parse
    // is skipped and left as it is. With clean set, installed files that do
    // not exist now are left out of this store (the files on disk are never
    // changed by reading).
    void readInstallationFolder(const Directory& folder, bool clean);
    // Writes the store without client and report into the given file, or
    // into the running application's own installation file, replacing it
    // whole. With create unset a missing file is not made. A file made here
    // is opened to every user.
    bool writeInstallation(DataFile* file, bool create);
    // The same into a stream.
    bool writeInstallation(DataBufferOut& out);

    // Folds one product's installation facts in (id, name, code and each
    // platform's version and installed files), making the installation
    // record when there is none. True when anything changed.
    bool mergeInstallation(const Product& product);

    // The name of a product's installation file.
    static String installationFileName(const Product& product);
    // The installation folder, made (and opened to every user) when create
    // is set; null when it cannot be had. See setInstallationDirectoryProvider.
    static std::unique_ptr<Directory> getInstallationDirectory(bool create);
    // The application names the installation folder (its DirectoryHandler);
    // until it does, "Vantorix Tools/Installation" in the shared data folder
    // is used. Null restores that.
    using DirectoryProvider = std::unique_ptr<Directory> (*)(bool create);
    static void setInstallationDirectoryProvider(DirectoryProvider provider);
    // The installation file of a product in the installation folder (made
    // when create is set), or null without a folder. The file itself is not
    // made here: writeInstallation makes it.
    static std::unique_ptr<DataFile> getInstallationFile(const Product& product, bool create);
    // The running application's own installation file, or null.
    static std::unique_ptr<DataFile> getOwnInstallationFile(bool create);

    // ---- client record

    // Reads the client file (or the given file) into this store; only the
    // client is taken. Fails, with a log line and the last error set, when
    // the file is missing, cannot be deciphered with any of the machine's
    // hardware addresses, or does not parse.
    bool readClient(const DataFile* file = nullptr);
    // Writes this store's client into the client file (or the given file),
    // enciphered under the first hardware address that is not the null
    // address, replacing the file whole.
    bool writeClient(DataFile* file = nullptr);
    // The client file in the user's Preferences folder, or null; the folder
    // is made when create is set.
    static std::unique_ptr<DataFile> getClientFile(bool create);
    // The client file's content for a client store and an address, and back
    // (false when the address is not the one it was made with).
    static bool encipherClient(const QByteArray& text, const String& address, QByteArray& cipherText);
    static bool decipherClient(const QByteArray& cipherText, const String& address, QByteArray& text);

    // Takes the client as a whole.
    void mergeClient(const Client& client);
    // Client: a copy when this store has none, else the other's when force
    // is set or it was edited later. Installation: a copy when this store has
    // none, else the other's products, the later edited one winning each.
    void merge(const VantorixTools& other, bool force);

    // ---- legacy stores

    // Migrates the installed products of the legacy store of an ArchiCAD
    // version (0: every version from 14 to 17); only the product of that
    // name when productName is not empty. True when a legacy store was read.
    bool readLegacyInstallation(short hostVersion, const String& productName);
    // Takes the non-empty name and e-mail of the legacy store's client (0:
    // every version, later versions last). True when a legacy store was read.
    bool readLegacyClient(short hostVersion);

    // ---- errors

    // Where the last read stopped (row and column), for messages about a
    // file that does not parse.
    int getReadRow() const { return m_readRow; }
    int getReadColumn() const { return m_readColumn; }
    short getLastError() const { return m_lastError; }
    const String& getLastErrorText() const { return m_lastErrorText; }
    void setLastError(short error, const String& text);
    // Writes the text to the log and keeps it as the last error text.
    void logMessage(const String& text);

    const char* getTag() const override { return m_tag; }
    void setTag(const char* tag) override { m_tag = tag; }
    unsigned long shippingSize() const override { return 5; }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    // Version 1, commercial, an empty client and an empty installation. The
    // report stays: a response is read into the report that the request
    // carried.
    void setDefault() override;

private:
    bool readInstallationFile(const DataFile& file);
    bool importKeeping(DataBufferIn& in, bool keepClient, bool keepInstallation);

    const char* m_tag;
    short m_version = currentVersion;
    Target m_target = commercial;
    std::unique_ptr<Installation> m_installation;
    std::unique_ptr<Report> m_report;
    std::unique_ptr<Client> m_client;
    int m_readRow = 0;
    int m_readColumn = 0;
    short m_lastError = noError;
    String m_lastErrorText;
};

template <>
struct XMLEnumTable<VantorixTools::Target> {
    static constexpr const char* names[] = {"commercial", "educational"};
};

} // namespace vantorix

#endif
