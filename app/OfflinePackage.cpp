#include "OfflinePackage.h"

#include "StringTables.h"
#include "products/ArchiveMap.h"
#include "products/EULAMap.h"
#include "products/ImageMap.h"
#include "products/InstallerProduct.h"
#include "support/InstallerReport.h"

#include "Catalogue/Client.h"
#include "Catalogue/Installation.h"
#include "Catalogue/VantorixTools.h"
#include "File/DataFile.h"
#include "Serialise/XMLReader.h"
#include "Serialise/XMLWriter.h"
#include "Utility/DataBufferIn.h"
#include "Utility/DataBufferOut.h"
#include "Utility/Logger.h"
#include "Utility/MemoryBlock.h"
#include "Utility/ZipArchive.h"
#include "Utility/ZipWriter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStorageInfo>

#include <map>
#include <set>

using namespace vantorix;

namespace installer {

const char* const OfflinePackage::extension = "zfinstall";
const char* const OfflinePackage::catalogueEntry = "ProductListing.xml";
const char* const OfflinePackage::imagesEntry = "ImageMap.xml";
const char* const OfflinePackage::archivesEntry = "ArchiveMap.xml";
const char* const OfflinePackage::agreementsEntry = "EULAMap.xml";

namespace {

// Rows of the error table that say why a file is refused.
enum DetailRow : short {
    notAnArchiveRow = 74,
    entryUnpackRow = 75,
    entryDamagedRow = 76,
    checksumRow = 77,
    notAZipRow = 78,
    noCatalogueRow = 79,
    versionRow = 80
};

String detailText(short row, const QString& first = QString(), const QString& second = QString())
{
    return String(filledText(errorTable, row, first, second));
}

// A record written by the XML writer into memory, as every entry of the
// file is.
bool recordBytes(XMLShipping& record, QByteArray& bytes)
{
    MemoryBlock block;
    {
        DataBufferOut out(&block);
        if (!XMLWriter(&out).exportFrom(record, true, true, true, true))
            return false;
        out.flush();
        if (out.fail())
            return false;
    }
    bytes = block.get();
    return true;
}

bool readRecord(const MemoryBlock& bytes, XMLShipping& record)
{
    DataBufferIn in(bytes, Encoding::UTF8);
    XMLReader reader(&in);
    return reader.importTo(record);
}

// The catalogue store as it goes into a file: its client without the
// password. The client's record is swapped for a copy for the write and put
// back afterwards on every way out.
bool catalogueBytes(VantorixTools& catalogue, QByteArray& bytes)
{
    std::unique_ptr<Client> own = catalogue.releaseClient();
    if (own) {
        auto copy = std::make_unique<Client>(*own);
        const Time edited = copy->getEditTime();
        copy->setPassword(String());
        copy->setEditTime(edited);
        catalogue.setClient(std::move(copy));
    }
    const bool written = recordBytes(catalogue, bytes);
    catalogue.setClient(std::move(own));
    return written;
}

// Writes what it is given to a file and takes its SHA-256 on the way, so
// that a large archive is read once.
class HashingFile : public QIODevice {
public:
    // Without hashing it only writes.
    HashingFile(const QString& path, bool hashing)
        : m_file(path), m_hash(QCryptographicHash::Sha256), m_hashing(hashing)
    {
    }

    bool openNew()
    {
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            return false;
        return open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    bool finish()
    {
        const bool flushed = m_file.flush();
        m_file.close();
        QIODevice::close();
        return flushed && m_file.error() == QFileDevice::NoError;
    }
    QByteArray digest() const { return m_hash.result().toHex(); }
    QString fileError() const { return m_file.errorString(); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        const qint64 written = m_file.write(data, size);
        if (written != size)
            return -1;
        if (m_hashing)
            m_hash.addData(data, int(size));
        return written;
    }

private:
    QFile m_file;
    QCryptographicHash m_hash;
    bool m_hashing;
};

// Removes what a refused read unpacked.
class Unpacked {
public:
    ~Unpacked()
    {
        if (!m_kept) {
            for (const QString& path : m_paths)
                QFile::remove(path);
        }
    }
    void add(const QString& path) { m_paths.push_back(path); }
    void keep() { m_kept = true; }

private:
    std::vector<QString> m_paths;
    bool m_kept = false;
};

} // namespace

bool OfflinePackage::isArchiveEntryName(const QString& name)
{
    static const QRegularExpression form(QStringLiteral(
        "^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.zfpkg$"));
    return form.match(name).hasMatch();
}

bool OfflinePackage::holdsArchives(const InstallerProduct& product, const ArchiveMap& archives)
{
    const std::vector<ReleaseUrl>* releases = product.getPlatform().getReleaseList();
    if (releases == nullptr || releases->empty())
        return false;
    for (const ReleaseUrl& release : *releases) {
        if (archives.getArchive(release.getUrl()) == nullptr)
            return false;
    }
    return true;
}

// ---- writing

bool OfflinePackage::write(const QString& path, OfflineContents& contents, String& error, int* archivesWritten)
{
    Logger::startBlock(String("Saving offline install file"));
    Logger::write(String("Offline file: ") + String(path));
    int archives = 0;
    ZipWriter writer(path);
    const auto failed = [&](const String& reason) {
        error = reason.empty() ? String(writer.getError()) : reason;
        writer.abandon();
        Logger::write(String("Saving the offline install file failed: ") + error);
        Logger::endBlock();
        return false;
    };
    if (!writer.open())
        return failed(String());

    QByteArray bytes;
    if (!catalogueBytes(contents.catalogue, bytes) || !writer.addEntry(QLatin1String(catalogueEntry), bytes))
        return failed(String());
    if (!recordBytes(contents.images, bytes) || !writer.addEntry(QLatin1String(imagesEntry), bytes))
        return failed(String());
    if (!recordBytes(contents.archives, bytes) || !writer.addEntry(QLatin1String(archivesEntry), bytes))
        return failed(String());
    if (!recordBytes(contents.eulas, bytes) || !writer.addEntry(QLatin1String(agreementsEntry), bytes))
        return failed(String());
    bytes.clear();

    // Whatever is not yet complete on disk (a download running or failed)
    // is left out; the log says which.
    for (const auto& entry : contents.archives) {
        ProductArchive* archive = entry.second.get();
        DataFile* copy = archive != nullptr ? archive->getFile() : nullptr;
        const Downloader* downloader = archive != nullptr ? archive->getDownloader() : nullptr;
        if (copy == nullptr || (downloader != nullptr && (!downloader->isDone() || !downloader->isSuccess()))) {
            Logger::write(String("Left out (not downloaded): ") + entry.first);
            continue;
        }
        const QString name = archive->getName().qString() + QLatin1Char('.') + QLatin1String(ProductArchive::productArchiveExtension);
        QFile source(copy->getURL().qString());
        if (!source.open(QIODevice::ReadOnly))
            return failed(String(QStringLiteral("%1: %2").arg(source.fileName(), source.errorString())));
        if (!writer.addEntry(name, source, source.size()))
            return failed(String());
        Logger::write(String("Added: ") + String(name) + " (" + entry.first + ")");
        ++archives;
    }
    if (!writer.commit())
        return failed(String());
    if (archivesWritten != nullptr)
        *archivesWritten = archives;
    Logger::write(String(QStringLiteral("Saved %1 archives, %2 bytes")
                             .arg(archives)
                             .arg(QFileInfo(path).size())));
    Logger::endBlock();
    return true;
}

// ---- reading

short OfflinePackage::read(const QString& path, const QString& folder, const String& version,
                           OfflineContents& contents, String& detail)
{
    Logger::write("Reading offline install package");
    detail.clear();
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        Logger::write("Offline file doesn't exist");
        return missing;
    }
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        Logger::write("Temp directory not found");
        return noTemporaryFolder;
    }
    const auto refuse = [&detail](short code, const String& why) {
        detail = why;
        Logger::write(String("Offline file refused: ") + why);
        return code;
    };

    // A password has no business in a file from elsewhere: it is dropped on
    // every way out, whatever else the file holds.
    struct PasswordDrop {
        VantorixTools& store;
        ~PasswordDrop()
        {
            if (Client* client = store.getClient())
                client->setPassword(String());
        }
    } passwordDrop{contents.catalogue};

    ZipArchive zip{String(path)};
    // A file holds every language and version of its products and may well
    // pass the 4 GiB an archive may unpack to; what it unpacks is bounded by
    // the free space of the temporary folder instead (below).
    zip.setTotalLimit(totalLimit);
    const unsigned count = zip.getEntryCount();
    Logger::write(String("Offline entryCount=") + String(QString::number(count)));
    if (count == 0) {
        if (!zip.getError().empty())
            return refuse(damaged, detailText(notAZipRow, zip.getError().qString()));
        return refuse(missing, detailText(noCatalogueRow));
    }

    // The records first, wherever they stand in the file.
    const std::map<QString, XMLShipping*> records{{QLatin1String(catalogueEntry), &contents.catalogue},
                                                  {QLatin1String(imagesEntry), &contents.images},
                                                  {QLatin1String(archivesEntry), &contents.archives},
                                                  {QLatin1String(agreementsEntry), &contents.eulas}};
    bool catalogueRead = false;
    std::vector<unsigned> archiveEntries;
    zip.setEntryLimit(recordLimit);
    for (unsigned index = 0; index < count; ++index) {
        const String entryPath = zip.getEntryPath(index);
        if (ZipArchive::isDirectoryPath(entryPath))
            continue;
        const auto record = records.find(entryPath.qString());
        if (record == records.end()) {
            archiveEntries.push_back(index);
            continue;
        }
        Logger::write(String("Reading: ") + entryPath);
        const std::unique_ptr<ZipArchive::Entry> entry = zip.getEntry(index);
        if (!entry || !entry->getData())
            return refuse(damaged, detailText(entryUnpackRow, entryPath.qString(), zip.getError().qString()));
        if (entry->empty())
            continue;
        if (!readRecord(*entry->getData(), *record->second))
            return refuse(damaged, detailText(entryDamagedRow, entryPath.qString()));
        if (record->second == &contents.catalogue)
            catalogueRead = true;
    }
    if (!catalogueRead)
        return refuse(missing, detailText(noCatalogueRow));

    // A file of another version is refused before anything is unpacked.
    const auto* report = dynamic_cast<const InstallerReport*>(contents.catalogue.getReport());
    const String written = report != nullptr ? report->getAction().getVersion() : String();
    if (written != version) {
        Logger::write("File created with different installer build");
        detail = detailText(versionRow, written.empty() ? QStringLiteral("?") : written.qString(), version.qString());
        return otherVersion;
    }

    // Every archive the cache lists is named as the writer names them: the
    // name becomes a path in the temporary folder.
    std::set<QString> listed;
    for (const auto& entry : contents.archives) {
        const QString name = entry.second ? entry.second->getName().qString() + QStringLiteral(".zfpkg") : QString();
        if (!isArchiveEntryName(name))
            return refuse(damaged, detailText(notAnArchiveRow, name));
        listed.insert(name);
    }

    // The catalogue's checksums by archive entry, where it gives them.
    std::map<QString, std::pair<QByteArray, String>> expected;
    if (const Installation* installation = contents.catalogue.getInstallation()) {
        for (const auto& product : installation->getProducts()) {
            if (!product.second)
                continue;
            for (const auto& platform : product.second->getPlatformList()) {
                const std::vector<ReleaseUrl>* releases = platform.second ? platform.second->getReleaseList() : nullptr;
                if (releases == nullptr)
                    continue;
                for (const ReleaseUrl& release : *releases) {
                    const ProductArchive* archive = contents.archives.getArchive(release.getUrl());
                    if (archive != nullptr && !release.getSha256().empty())
                        expected[archive->getName().qString() + QStringLiteral(".zfpkg")] = {
                            release.getSha256().qString().toLower().toLatin1(), release.getUrl()};
                }
            }
        }
    }

    quint64 declared = 0;
    for (const unsigned index : archiveEntries)
        declared += zip.getDeclaredSize(index);
    const QStorageInfo storage(folder);
    if (storage.isValid() && storage.bytesAvailable() >= 0 && declared > quint64(storage.bytesAvailable()))
        return refuse(damaged, detailText(entryUnpackRow, QFileInfo(path).fileName(),
                                          QStringLiteral("%1 bytes do not fit into the %2 bytes free in %3")
                                              .arg(declared)
                                              .arg(storage.bytesAvailable())
                                              .arg(folder)));

    Unpacked unpacked;
    std::set<QString> copies;
    const QDir target(folder);
    for (const unsigned index : archiveEntries) {
        const QString name = zip.getEntryPath(index).qString();
        Logger::write(String("Reading: ") + String(name));
        if (!isArchiveEntryName(name) || listed.count(name) == 0)
            return refuse(damaged, detailText(notAnArchiveRow, name));
        const QString copyPath = target.filePath(name);
        const auto check = expected.find(name);
        HashingFile copy(copyPath, check != expected.end());
        unpacked.add(copyPath);
        if (!copy.openNew())
            return refuse(damaged, detailText(entryUnpackRow, name, copy.fileError()));
        const bool unpackedWhole = zip.readEntry(index, copy);
        const bool closed = copy.finish();
        if (!unpackedWhole || !closed)
            return refuse(damaged, detailText(entryUnpackRow, name,
                                              unpackedWhole ? copy.fileError() : zip.getError().qString()));
        // Checked before anything is offered for install.
        if (check != expected.end() && copy.digest() != check->second.first)
            return refuse(damaged, detailText(checksumRow, check->second.second.qString()));
        copies.insert(name);
    }

    // An archive the cache lists without a copy in the file cannot be
    // installed: its record goes, so the product is not offered.
    std::vector<String> absent;
    for (const auto& entry : contents.archives) {
        if (copies.count(entry.second->getName().qString() + QStringLiteral(".zfpkg")) == 0)
            absent.push_back(entry.first);
    }
    for (const String& url : absent) {
        Logger::write(String("Not in the file: ") + url);
        contents.archives.erase(url);
    }
    unpacked.keep();
    Logger::write(String(QStringLiteral("Offline file read: %1 archives").arg(copies.size())));
    return readable;
}

} // namespace installer
