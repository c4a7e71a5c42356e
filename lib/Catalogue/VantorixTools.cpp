#include "Catalogue/VantorixTools.h"

#include "Catalogue/OrvoTools.h"
#include "Environment/Addon.h"
#include "Environment/Platform.h"
#include "File/DataFile.h"
#include "File/Directory.h"
#include "File/FileWalker.h"
#include "File/SaveWhole.h"
#include "Reporting/Report.h"
#include "Serialise/XMLReader.h"
#include "Serialise/XMLWriter.h"
#include "Utility/Cipher.h"
#include "Utility/Convert.h"
#include "Utility/DataBufferIn.h"
#include "Utility/DataBufferOut.h"
#include "Utility/Logger.h"
#include "Utility/MemoryBlock.h"

#include <QCryptographicHash>
#include <QFileInfo>

namespace vantorix {

namespace {

const char* const childTags[] = {"version", "target", "installation", "report", "client"};
enum Child { versionChild, targetChild, installationChild, reportChild, clientChild, childCount };

// The client file: a magic block, the text's length (4 bytes, most
// significant first) and the XML text, enciphered with Blowfish in CBC mode
// under the SHA-256 digest of a fixed prefix and the hardware address. The
// magic tells whether a key fits without trusting what the text parses to.
const char clientMagic[] = "VTXCLNT1";
const int clientMagicSize = 8;
const int clientHeaderSize = clientMagicSize + 4;
const char* const clientKeyPrefix = "com.vantorix.client:";

QByteArray clientKey(const String& address)
{
    QByteArray seed(clientKeyPrefix);
    seed += address.qString().trimmed().toUpper().toUtf8();
    return QCryptographicHash::hash(seed, QCryptographicHash::Sha256);
}

const QFileDevice::Permissions everybody = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
    | QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther
    | QFileDevice::WriteOther;
const QFileDevice::Permissions ownerOnly =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser;

// A folder inside parent; one made here is opened to every user, since every
// user of the machine installs into it.
std::unique_ptr<Directory> sharedFolder(const Directory& parent, const char* name, bool create)
{
    auto folder = std::make_unique<Directory>(parent, String(name));
    if (folder->exists())
        return folder;
    if (!create)
        return nullptr;
    int error = 0;
    std::unique_ptr<Directory> made(Directory::create(parent, String(name), error));
    if (!made)
        return nullptr;
    made->allowFullAccess();
    return made;
}

// "Vantorix Tools/Installation" in the folder shared by all users: where the
// application's DirectoryHandler puts it too.
std::unique_ptr<Directory> sharedInstallationDirectory(bool create)
{
    const std::unique_ptr<Directory> shared = platform.getSharedDataDirectory();
    if (!shared)
        return nullptr;
    const std::unique_ptr<Directory> tools = sharedFolder(*shared, "Vantorix Tools", create);
    if (!tools)
        return nullptr;
    return sharedFolder(*tools, "Installation", create);
}

VantorixTools::DirectoryProvider installationDirectoryProvider = nullptr;

// Reads the installation files of a folder into a store.
class InstallationWalker : public FileWalker {
public:
    InstallationWalker(VantorixTools& store, bool clean) : m_store(store), m_clean(clean) {}

    void processFile(const DataFile& file) override
    {
        const QString name = QFileInfo(file.getURL().qString()).fileName();
        if (!name.startsWith(QLatin1String(VantorixTools::installationFilePrefix))
            || file.getExtension() != VantorixTools::installationFileExtension)
            return;
        VantorixTools fileStore;
        if (!fileStore.readInstallation(&file, false, false)) {
            Logger::write("Skipped the unreadable installation file " + file.getURL());
            return;
        }
        Installation* installation = fileStore.getInstallation();
        if (installation == nullptr)
            return;
        // Files that are not there now are not counted as installed, but
        // the file on disk keeps them: reading never changes a record. A
        // host on a volume that is not mounted, or a bundle moved away for a
        // moment, must not lose its record; the product's own install or
        // uninstall rewrites it.
        if (m_clean && installation->deregisterOldExecutables() && !installation->isExecutable())
            return;
        for (const auto& entry : installation->getProducts())
            m_store.mergeInstallation(*entry.second);
    }

private:
    VantorixTools& m_store;
    bool m_clean;
};

} // namespace

const char* const VantorixTools::defaultTag = "vantorixtools";
const char* const VantorixTools::installationFilePrefix = "com.vantorix.install.";
const char* const VantorixTools::installationFileExtension = "xml";
const char* const VantorixTools::clientFolderName = "Vantorix Tools";
const char* const VantorixTools::clientFileName = "com.vantorix.client";

VantorixTools::VantorixTools(const char* elementName) : m_tag(elementName ? elementName : defaultTag) {}

VantorixTools::~VantorixTools() = default;

void VantorixTools::setInstallation(std::unique_ptr<Installation> installation)
{
    m_installation = std::move(installation);
}

void VantorixTools::setClient(std::unique_ptr<Client> client)
{
    m_client = std::move(client);
}

void VantorixTools::setReport(std::unique_ptr<Report> report)
{
    m_report = std::move(report);
}

std::unique_ptr<Installation> VantorixTools::releaseInstallation()
{
    return std::move(m_installation);
}

std::unique_ptr<Client> VantorixTools::releaseClient()
{
    return std::move(m_client);
}

std::unique_ptr<Report> VantorixTools::releaseReport()
{
    return std::move(m_report);
}

// ---- installation records

bool VantorixTools::readInstallation(const DataFile* file, bool all, bool clean)
{
    if (all && file == nullptr) {
        readLegacyInstallation(PlatformSignature::allVersions, String());
        if (const std::unique_ptr<Directory> folder = getInstallationDirectory(false))
            readInstallationFolder(*folder, clean);
        return true;
    }
    std::unique_ptr<DataFile> own;
    if (file == nullptr) {
        own = getOwnInstallationFile(false);
        file = own.get();
    }
    if (file == nullptr || !file->exists())
        return false;
    return readInstallationFile(*file);
}

bool VantorixTools::readInstallationFile(const DataFile& file)
{
    // A reader of its own: the caller's handle may be open for writing, or
    // the file may belong to another user and be open to us for reading only.
    const DataFile source(file.getURL(), DataFile::readOnly, false);
    DataBufferIn in(&source, Encoding::UTF8);
    return readInstallation(in);
}

bool VantorixTools::readInstallation(DataBufferIn& in)
{
    return importKeeping(in, true, false);
}

bool VantorixTools::importKeeping(DataBufferIn& in, bool keepClient, bool keepInstallation)
{
    // What is kept is set aside while reading, and whatever the text had in
    // its place is dropped. The report is always kept. Version and target go
    // with the installation record.
    std::unique_ptr<Client> client = keepClient ? std::move(m_client) : nullptr;
    std::unique_ptr<Installation> installation = keepInstallation ? std::move(m_installation) : nullptr;
    std::unique_ptr<Report> report = std::move(m_report);
    const short version = m_version;
    const Target target = m_target;

    XMLReader reader(&in);
    const bool result = reader.importTo(*this);
    m_readRow = reader.getRowPosition();
    m_readColumn = reader.getColPosition();

    m_report = std::move(report);
    if (keepClient)
        m_client = std::move(client);
    if (keepInstallation) {
        m_installation = std::move(installation);
        m_version = version;
        m_target = target;
    }
    return result;
}

void VantorixTools::readInstallationFolder(const Directory& folder, bool clean)
{
    InstallationWalker walker(*this, clean);
    walker.traverse(folder, false);
}

bool VantorixTools::writeInstallation(DataBufferOut& out)
{
    std::unique_ptr<Client> client = std::move(m_client);
    std::unique_ptr<Report> report = std::move(m_report);
    XMLWriter writer(&out);
    const bool result = writer.exportFrom(*this, true, true, true, true);
    m_client = std::move(client);
    m_report = std::move(report);
    return result;
}

bool VantorixTools::writeInstallation(DataFile* file, bool create)
{
    std::unique_ptr<DataFile> own;
    if (file == nullptr) {
        own = getOwnInstallationFile(create);
        file = own.get();
    }
    if (file == nullptr || (!create && !file->exists()))
        return false;
    MemoryBlock block(0);
    {
        DataBufferOut out(&block);
        if (!writeInstallation(out))
            return false;
        out.flush();
        if (out.fail())
            return false;
    }
    file->close();
    if (!saveWhole(file->getURL().qString(), block.get(), everybody)) {
        setLastError(installationFileUnwritable, "Could not write the installation file " + file->getURL());
        return false;
    }
    return true;
}

bool VantorixTools::mergeInstallation(const Product& product)
{
    Product fresh(product.getID(), product.getName(), product.getCode());
    for (const auto& entry : product.getPlatformList())
        fresh.mergeInstallation(*entry.second);
    if (!m_installation)
        m_installation = std::make_unique<Installation>();
    return m_installation->merge(fresh);
}

String VantorixTools::installationFileName(const Product& product)
{
    return installationFilePrefix + product.getURLName() + "." + installationFileExtension;
}

std::unique_ptr<Directory> VantorixTools::getInstallationDirectory(bool create)
{
    if (installationDirectoryProvider != nullptr)
        return installationDirectoryProvider(create);
    return sharedInstallationDirectory(create);
}

void VantorixTools::setInstallationDirectoryProvider(DirectoryProvider provider)
{
    installationDirectoryProvider = provider;
}

std::unique_ptr<DataFile> VantorixTools::getInstallationFile(const Product& product, bool create)
{
    const std::unique_ptr<Directory> folder = getInstallationDirectory(create);
    if (!folder)
        return nullptr;
    return std::make_unique<DataFile>(*folder, installationFileName(product), DataFile::readWrite, false);
}

std::unique_ptr<DataFile> VantorixTools::getOwnInstallationFile(bool create)
{
    if (addon == nullptr || addon->getProductInfo() == nullptr)
        return nullptr;
    return getInstallationFile(*addon->getProductInfo(), create);
}

// ---- client record

std::unique_ptr<DataFile> VantorixTools::getClientFile(bool create)
{
    const std::unique_ptr<Directory> prefs = platform.getUserPrefsDirectory();
    if (!prefs)
        return nullptr;
    const Directory folder(*prefs, String(clientFolderName), create);
    if (!folder.exists())
        return nullptr;
    return std::make_unique<DataFile>(folder, String(clientFileName), DataFile::readWrite, false);
}

bool VantorixTools::encipherClient(const QByteArray& text, const String& address, QByteArray& cipherText)
{
    QByteArray plain(clientMagic, clientMagicSize);
    const quint32 size = static_cast<quint32>(text.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        plain.append(static_cast<char>((size >> shift) & 0xFF));
    plain.append(text);
    return Cipher(clientKey(address), Cipher::blowfish, Cipher::cbc).encrypt(plain, cipherText);
}

bool VantorixTools::decipherClient(const QByteArray& cipherText, const String& address, QByteArray& text)
{
    QByteArray plain;
    if (!Cipher(clientKey(address), Cipher::blowfish, Cipher::cbc).decrypt(cipherText, plain))
        return false;
    if (plain.size() < clientHeaderSize || !plain.startsWith(QByteArray(clientMagic, clientMagicSize)))
        return false;
    quint32 size = 0;
    for (int i = clientMagicSize; i < clientHeaderSize; ++i)
        size = (size << 8) | static_cast<unsigned char>(plain[i]);
    if (size > static_cast<quint32>(plain.size() - clientHeaderSize))
        return false;
    text = plain.mid(clientHeaderSize, static_cast<int>(size));
    return true;
}

bool VantorixTools::readClient(const DataFile* file)
{
    std::unique_ptr<DataFile> own;
    if (file == nullptr) {
        own = getClientFile(false);
        file = own.get();
    }
    if (file == nullptr || !file->exists()) {
        setLastError(clientFileMissing, String("Client file couldn't be found. "));
        return false;
    }
    QByteArray cipherText;
    const DataFile source(file->getURL(), DataFile::readOnly, false);
    if (!source.readAll(cipherText)) {
        setLastError(clientFileMissing, String("Client file couldn't be found. "));
        return false;
    }
    QByteArray text;
    bool deciphered = false;
    for (const String& address : platform.getMACAddress()) {
        if (decipherClient(cipherText, address, text)) {
            deciphered = true;
            break;
        }
    }
    if (!deciphered) {
        setLastError(clientFileUndecipherable, String("The client file couldn't be decrypted. "));
        return false;
    }
    DataBufferIn in;
    in.setSource(text, Encoding::UTF8);
    if (!importKeeping(in, false, true)) {
        setLastError(clientFileUnreadable, "Error reading client file (" + ToString(m_readRow).value() + ", "
                         + ToString(m_readColumn).value() + "). ");
        return false;
    }
    return true;
}

bool VantorixTools::writeClient(DataFile* file)
{
    std::unique_ptr<DataFile> own;
    if (file == nullptr) {
        own = getClientFile(true);
        file = own.get();
    }
    if (file == nullptr) {
        setLastError(clientFileUnwritable, String("Client file couldn't be created. "));
        return false;
    }

    MemoryBlock block(0);
    {
        // Only the client goes into the file.
        std::unique_ptr<Installation> installation = std::move(m_installation);
        std::unique_ptr<Report> report = std::move(m_report);
        DataBufferOut out(&block);
        XMLWriter writer(&out);
        bool result = writer.exportFrom(*this, true, true, true, true);
        out.flush();
        result = result && !out.fail();
        m_installation = std::move(installation);
        m_report = std::move(report);
        if (!result) {
            setLastError(clientFileUnwritable, String("Error writing client file. "));
            return false;
        }
    }

    const std::vector<String> addresses = platform.getMACAddress();
    if (addresses.empty()) {
        setLastError(noEncryptionSeed, String("No encryption seed found. "));
        return false;
    }
    String seed;
    for (const String& address : addresses) {
        if (address != Report::nullAddress && !address.empty()) {
            seed = address;
            break;
        }
    }
    if (seed.empty()) {
        setLastError(nullEncryptionSeed, String("Null encryption seed. "));
        return false;
    }

    QByteArray cipherText;
    if (!encipherClient(block.get(), seed, cipherText)) {
        setLastError(clientFileUnwritable, String("Error writing client file. "));
        return false;
    }
    file->close();
    // The file holds the account's password: only its owner may read it.
    if (!saveWhole(file->getURL().qString(), cipherText, ownerOnly)) {
        setLastError(clientFileUnwritable, String("Client file couldn't be created. "));
        return false;
    }
    return true;
}

void VantorixTools::mergeClient(const Client& client)
{
    if (!m_client)
        m_client = std::make_unique<Client>();
    m_client->merge(client, true);
}

void VantorixTools::merge(const VantorixTools& other, bool force)
{
    if (other.m_client) {
        if (!m_client)
            m_client = std::make_unique<Client>(*other.m_client);
        else
            m_client->merge(*other.m_client, force);
    }
    if (other.m_installation) {
        if (!m_installation)
            m_installation = std::make_unique<Installation>(*other.m_installation);
        else
            m_installation->merge(*other.m_installation);
    }
}

// ---- legacy stores

bool VantorixTools::readLegacyInstallation(short hostVersion, const String& productName)
{
    const short first = hostVersion == PlatformSignature::allVersions ? minArchiCADVersion : hostVersion;
    const short last = hostVersion == PlatformSignature::allVersions ? maxArchiCADVersion : hostVersion;
    bool found = false;
    for (short version = first; version <= last; ++version) {
        OrvoTools legacy;
        if (!legacy.read(version))
            continue;
        found = true;
        for (const Product& product : legacy.getProducts(productName))
            mergeInstallation(product);
    }
    return found;
}

bool VantorixTools::readLegacyClient(short hostVersion)
{
    const short first = hostVersion == PlatformSignature::allVersions ? minArchiCADVersion : hostVersion;
    const short last = hostVersion == PlatformSignature::allVersions ? maxArchiCADVersion : hostVersion;
    bool found = false;
    for (short version = first; version <= last; ++version) {
        OrvoTools legacy;
        if (!legacy.read(version))
            continue;
        found = true;
        const OrvoTools::LegacyClient& legacyClient = legacy.getClient();
        if (legacyClient.name.empty() && legacyClient.email.empty())
            continue;
        if (!m_client)
            m_client = std::make_unique<Client>();
        if (!legacyClient.name.empty())
            m_client->setName(legacyClient.name);
        if (!legacyClient.email.empty())
            m_client->setEmail(legacyClient.email);
    }
    return found;
}

// ---- errors

void VantorixTools::setLastError(short error, const String& text)
{
    m_lastError = error;
    logMessage(text);
}

void VantorixTools::logMessage(const String& text)
{
    m_lastErrorText = text;
    Logger::write(text);
}

// ---- shipping

ShippingPtr VantorixTools::getShipping(unsigned long index, bool)
{
    switch (index) {
    case versionChild: return ship(m_version, childTags[versionChild], true);
    case targetChild: return ship(m_target, childTags[targetChild], true);
    case installationChild:
        return m_installation ? ship(*m_installation, childTags[installationChild]) : nullptr;
    case reportChild: return m_report ? ship(*m_report, nullptr) : nullptr;
    case clientChild: return m_client ? ship(*m_client, childTags[clientChild]) : nullptr;
    default: return nullptr;
    }
}

ShippingPtr VantorixTools::getShipping(const String& tag, const String&)
{
    // The optional children come into being when the text has them.
    if (tag == childTags[installationChild] && !m_installation)
        m_installation = std::make_unique<Installation>();
    else if (tag == childTags[reportChild] && !m_report)
        m_report = std::make_unique<Report>();
    else if (tag == childTags[clientChild] && !m_client)
        m_client = std::make_unique<Client>();
    return childByTag(tag, childTags, childCount);
}

void VantorixTools::setDefault()
{
    m_version = currentVersion;
    m_target = commercial;
    m_client = std::make_unique<Client>();
    m_installation = std::make_unique<Installation>();
}

} // namespace vantorix
