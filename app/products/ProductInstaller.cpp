#include "products/ProductInstaller.h"

#include "InstallerManager.h"
#include "products/InstallJournal.h"
#include "products/ManifestXML.h"
#include "products/HostFolders.h"
#include "products/ProductArchive.h"

#include "Applications/Application.h"
#include "File/DataFile.h"
#include "Serialise/XMLReader.h"
#include "Utility/DataBufferIn.h"
#include "Utility/Logger.h"
#include "Utility/MemoryBlock.h"
#include "Utility/ZipArchive.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStorageInfo>

#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

using namespace vantorix;

namespace installer {

namespace {

const char* const noApplicationError = "Couldn't find the application in the client machine";
const char* const emptyArchiveError = "Empty zip Archive";
const char* const emptyManifestError = "Manifest file found but has zero size";
const char* const manifestFormatError = "Failed to read manifest file -- Wrong format or element encountered";
const char* const noFilesError = "Manifest file doesn't include any files or missing";
const char* const missingEntryError = " is missing from the Zip Archive";
const char* const createError = "Failed to create file at -- ";
const char* const invalidDataError = "Un zipped data was invalid";
const char* const writeError = "Failed to write unzipped data to -- ";
const char* const macMetadataFolder = "__MACOSX";
// Records are shared by every user of the machine: readable and writable by
// all, executable by none.
const QFileDevice::Permissions recordPermissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
    QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::WriteGroup |
    QFileDevice::ReadOther | QFileDevice::WriteOther;

// Makes everything written to the volume holding path durable.
bool syncVolume(const QString& path)
{
#ifdef __linux__
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::syncfs(fd) == 0;
    ::close(fd);
    return synced;
#else
    ::sync();
    return true;
#endif
}

QString clean(const QString& path)
{
    return QDir::cleanPath(path);
}

// The parts of a relative path, split at either separator.
QStringList partsOf(const QString& path)
{
    static const QRegularExpression separators(QStringLiteral("[/\\\\]"));
    return path.split(separators, Qt::SkipEmptyParts);
}

// A relative path that cannot climb out of the folder it is put below.
bool isContainedPath(const QString& path)
{
    if (path.isEmpty() || QDir::isAbsolutePath(path) || path.startsWith(QLatin1Char('\\')) ||
        path.contains(QChar(0)))
        return false;
    return !partsOf(path).contains(QStringLiteral(".."));
}

// A manifest name is one item of its folder.
bool isPlainName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0));
}


// Whether the volume holding folder takes names in any letter case as the
// same name: the folder's own name in another case leads to it.
bool ignoresCase(const QString& folder)
{
    const QFileInfo info(folder);
    const QString name = info.fileName();
    const QString other = name.toUpper() != name ? name.toUpper() : name.toLower();
    if (other == name)
        return false;
    const QFileInfo swapped(info.path() + QLatin1Char('/') + other);
    return swapped.exists() && swapped.canonicalFilePath() == info.canonicalFilePath();
}

// Hidden names of staged and moved-aside items.
bool isStagingName(const QString& name)
{
    return name.startsWith(QLatin1String(InstallJournal::stagingPrefix));
}

// The manifest is read into memory: far larger is not a manifest.
constexpr qint64 manifestLimit = qint64(16) << 20;
// Entry names shown in the log of entries no manifest item takes.
constexpr int unusedShown = 20;
} // namespace

// One item to place: a file (one entry) or a bundle (its entries, each with
// its path below the bundle).
struct ProductInstaller::Planned {
    QString target;
    QString name;
    bool bundle = false;
    unsigned entry = 0;
    BundleEntries contents;
    QString staged;
};

ProductInstaller::ProductInstaller(const Guid& applicationId, DataFile& archiveFile)
    : m_archive(archiveFile), m_application(applicationId)
{
}

ProductInstaller::~ProductInstaller() = default;

bool ProductInstaller::isCopyOf(const QString& item, const QString& name)
{
    return !name.isEmpty() && (item.compare(name, Qt::CaseInsensitive) == 0 ||
                               item.compare(name + QLatin1String(".old"), Qt::CaseInsensitive) == 0);
}

QStringList ProductInstaller::copiesOf(const QString& folder, const QString& name)
{
    QStringList copies;
    if (name.isEmpty())
        return copies;
    const QDir dir(folder);
    const QStringList items =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& item : items) {
        if (isCopyOf(item, name) && !isStagingName(item))
            copies.append(clean(folder) + QLatin1Char('/') + item);
    }
    return copies;
}

bool ProductInstaller::fail(InstallErrorRow row, const QString& what, const QString& second)
{
    m_error = installErrorText(row, what, second);
    return false;
}

void ProductInstaller::eraseOld(const String& directory, const String& name)
{
    const QString folder = directory.qString();
    if (name.empty() || folder.isEmpty() || !QFileInfo(folder).isDir() || m_transaction == nullptr)
        return;
    for (const QString& copy : copiesOf(folder, name.qString())) {
        // A copy in another letter case is replaced as well; the staged
        // item's own place is planned already.
        m_transaction->moveAside(copy);
    }
}

bool ProductInstaller::writeBytes(const QString& path, const QByteArray& bytes, const QString& shownPath)
{
    QFile file(path);
    if (!QDir().mkpath(QFileInfo(path).path()) || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_error = String(createError) + String(shownPath);
        return false;
    }
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        m_error = String(writeError) + String(shownPath);
        return false;
    }
    return true;
}

bool ProductInstaller::copyDataToFile(const String& path, const MemoryBlock* data)
{
    if (data == nullptr) {
        m_error = String(invalidDataError);
        return false;
    }
    return writeBytes(path.qString(), data->get(), path.qString());
}

bool ProductInstaller::writeEntry(ZipArchive& zip, unsigned index, const QString& path, const QString& shownPath)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_error = String(createError) + String(shownPath);
        return false;
    }
    // Streamed in blocks: an entry of any size needs no more memory than one.
    const bool read = zip.readEntry(index, file);
    const bool flushed = file.flush();
    file.close();
    if (!read) {
        const bool writeFailed = file.error() != QFileDevice::NoError || !flushed;
        m_error = writeFailed ? String(writeError) + String(shownPath)
                              : installErrorText(damagedEntryRow, zip.getEntryPath(index).qString());
        if (!writeFailed)
            Logger::write(zip.getError());
        return false;
    }
    if (!flushed || file.error() != QFileDevice::NoError) {
        m_error = String(writeError) + String(shownPath);
        return false;
    }
    return true;
}

bool ProductInstaller::copyAPX(ZipArchive& zip, const QString& path, const String& name, const BundleEntries& contents)
{
    const QString shown = clean(QFileInfo(path).path()) + QLatin1Char('/') + name.qString();
    QSet<QString> made;
    for (const auto& member : contents) {
        const QString& inner = member.second;
        const QString target = path + inner;
        const QString folder = QFileInfo(target).path();
        // Each folder of the bundle is made once.
        if (!made.contains(folder)) {
            if (!QDir().mkpath(folder)) {
                m_error = String(createError) + String(shown + inner);
                return false;
            }
            made.insert(folder);
        }
        if (!writeEntry(zip, member.first, target, shown + inner))
            return false;
    }
    return true;
}

bool ProductInstaller::readManifest(ZipArchive& zip, unsigned index, ManifestXML& manifest)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (zip.getDeclaredSize(index) == 0) {
        m_error = String(emptyManifestError);
        return false;
    }
    if (!zip.readEntry(index, buffer, manifestLimit)) {
        Logger::write(zip.getError());
        return fail(damagedEntryRow, QLatin1String(ManifestXML::fileName));
    }
    DataBufferIn in;
    in.setSource(buffer.data(), Encoding::UTF8);
    XMLReader reader(&in);
    if (!reader.importTo(manifest)) {
        m_error = String(manifestFormatError);
        return false;
    }
    return true;
}

bool ProductInstaller::planFile(ZipArchive& zip, const ManifestFile& file, const QHash<QString, unsigned>& index,
                                std::vector<Planned>& plan)
{
    const Application* application = manager.getApplication(m_application);
    const QString name = file.getName().qString();
    const auto found = index.constFind(name);
    if (name.isEmpty() || found == index.constEnd()) {
        m_error = file.getName() + missingEntryError;
        return false;
    }
    if (!isPlainName(name))
        return fail(outsideRow, name);

    QString folder;
    const QString location = file.getLocation().qString();
    if (!location.isEmpty()) {
        if (!isContainedPath(location))
            return fail(outsideRow, location);
        folder = m_folders->root() + QLatin1Char('/') + partsOf(location).join(QLatin1Char('/')) + QLatin1Char('/');
    } else {
        folder = application->getDirectory(file.getType()).qString();
        if (folder.isEmpty())
            return fail(noFolderRow, name, QLatin1String(Application::locationStr[file.getType()]));
    }
    Planned item;
    item.name = name;
    item.target = clean(folder + name);
    switch (m_folders->judge(item.target)) {
    case HostFolders::outside: return fail(outsideRow, folder + name);
    case HostFolders::hostOwned: return fail(refusedItemRow, item.target);
    case HostFolders::allowed: break;
    }

    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot >= 0 ? name.mid(dot + 1) : application->getDefaultExtension(file.getType()).qString();
    item.bundle = extension == QLatin1String("apx") || extension == QLatin1String("gdx");
    if (item.bundle) {
        if (extension == QLatin1String("apx"))
            m_addOnPath = String(item.target);
        // The bundle's own entries only: another product's bundle whose
        // name merely contains this one is not part of it.
        QSet<QString> seen;
        const unsigned count = zip.getEntryCount();
        for (unsigned i = 0; i < count; ++i) {
            const QString path = zip.getEntryPath(i).qString();
            if (path.isEmpty() || ZipArchive::isDirectoryPath(String(path)) ||
                path.contains(QLatin1String(macMetadataFolder)) || !path.startsWith(name + QLatin1Char('/')))
                continue;
            if (!isContainedPath(path))
                return fail(outsideRow, path);
            const QString inner = path.mid(name.size());
            // Two entries that the host's volume would take for one file.
            const QString key = m_ignoresCase ? inner.toLower() : inner;
            if (seen.contains(key))
                return fail(nameClashRow, folder + path);
            seen.insert(key);
            item.contents.emplace_back(i, inner);
        }
        if (item.contents.empty())
            return fail(emptyBundleRow, item.target);
    } else {
        const std::unique_ptr<ZipArchive::Entry> entry = zip.getEntry(found.value());
        if (!entry)
            return fail(damagedEntryRow, name);
        if (entry->isDirectory()) {
            m_error = String(invalidDataError);
            return false;
        }
        item.entry = found.value();
        if (!location.isEmpty())
            m_installedPaths.emplace_back(item.target);
    }
    // A link entry is written as a file holding the link's text; a link that
    // leads out of the host application's folder refuses the archive.
    for (const auto& member : item.bundle ? item.contents : BundleEntries{{item.entry, QString()}}) {
        const String path = zip.getEntryPath(member.first);
        const auto vertex = zip.getTree().getVertex(member.first);
        if (!vertex || !zip.getTree().isSymLink(*vertex))
            continue;
        QBuffer link;
        link.open(QIODevice::WriteOnly);
        if (!zip.readEntry(member.first, link, 4096))
            return fail(damagedEntryRow, path.qString());
        const QString text = QString::fromUtf8(link.data());
        const QString place = item.bundle ? item.target + member.second : item.target;
        if (QDir::isAbsolutePath(text) || text.startsWith(QLatin1Char('\\')) ||
            !isWithin(clean(QFileInfo(place).path() + QLatin1Char('/') + text), m_folders->root()))
            return fail(outsideRow, path.qString());
    }
    // A later manifest file for the same place wins.
    for (Planned& earlier : plan) {
        if (earlier.target.compare(item.target, m_ignoresCase ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0) {
            earlier = std::move(item);
            return true;
        }
    }
    plan.push_back(std::move(item));
    return true;
}

bool ProductInstaller::checkSpace(ZipArchive& zip, const std::vector<Planned>& plan)
{
    quint64 needed = 0;
    for (const Planned& item : plan) {
        if (item.bundle) {
            for (const auto& member : item.contents)
                needed += zip.getDeclaredSize(member.first);
        } else {
            needed += zip.getDeclaredSize(item.entry);
        }
    }
    const QStorageInfo volume(m_folders->root());
    const qint64 available = volume.isValid() ? volume.bytesAvailable() : -1;
    // Room for the record, the journal and the file system's own needs.
    const quint64 margin = quint64(1) << 20;
    if (available >= 0 && quint64(available) < needed + margin) {
        const quint64 megabytes = (needed + margin + (1 << 20) - 1) >> 20;
        return fail(noSpaceRow, m_folders->root(), QString::number(megabytes));
    }
    return true;
}

void ProductInstaller::logUnused(ZipArchive& zip, const std::vector<bool>& used)
{
    QStringList unused;
    int metadata = 0;
    for (unsigned i = 0; i < used.size(); ++i) {
        const QString path = zip.getEntryPath(i).qString();
        if (used[i] || path.isEmpty() || ZipArchive::isDirectoryPath(String(path)))
            continue;
        if (path.contains(QLatin1String(macMetadataFolder)))
            ++metadata;
        else
            unused.append(path);
    }
    if (unused.isEmpty() && metadata == 0)
        return;
    Logger::write(String("Entries of the archive that no manifest file takes (not installed): ") +
                  String(QString::number(unused.size() + metadata)));
    for (int k = 0; k < unused.size() && k < unusedShown; ++k)
        Logger::write(String(unused.at(k)));
    if (unused.size() > unusedShown)
        Logger::write(String("... and ") + String(QString::number(unused.size() - unusedShown)) + " more");
    if (metadata > 0)
        Logger::write(String(QString::number(metadata)) + " of them Mac OS metadata (" + macMetadataFolder + ")");
}

bool ProductInstaller::copyFiles()
{
    m_addOnPath.clear();
    m_installedPaths.clear();
    m_receipt.clear();
    m_error.clear();
    const Application* application = manager.getApplication(m_application);
    if (application == nullptr) {
        m_error = String(noApplicationError);
        return false;
    }
    const HostFolders folders(*application);
    if (folders.root().isEmpty()) {
        m_error = String(noApplicationError);
        return false;
    }
    m_folders = &folders;
    struct Reset {
        const HostFolders*& folders;
        ~Reset() { folders = nullptr; }
    } reset{m_folders};
    m_ignoresCase = ignoresCase(folders.root());

    ZipArchive zip(m_archive);
    const unsigned count = zip.getEntryCount();
    if (count == 0) {
        // An archive refused as a whole says why, naming the entry or the
        // limit.
        const QString reason = zip.getError().qString();
        if (reason.isEmpty() || reason.endsWith(QLatin1String("is not a readable zip archive")))
            m_error = String(emptyArchiveError);
        else
            m_error = installErrorText(refusedArchiveRow, reason);
        return false;
    }

    // Entries by their path without "/", the first of equal keys kept.
    QHash<QString, unsigned> index;
    std::vector<bool> used(count, false);
    ManifestXML manifest;
    for (unsigned i = 0; i < count; ++i) {
        const QString path = zip.getEntryPath(i).qString();
        if (path.isEmpty())
            continue;
        const QString key = QString(path).remove(QLatin1Char('/'));
        if (!index.contains(key))
            index.insert(key, i);
        if (ZipArchive::isDirectoryPath(String(path)) || path != QLatin1String(ManifestXML::fileName))
            continue;
        // The archive's scan refuses two entries of one name: there is one
        // manifest at most.
        used[i] = true;
        if (!readManifest(zip, i, manifest))
            return false;
    }
    if (manifest.elements().empty()) {
        m_error = String(noFilesError);
        return false;
    }

    std::vector<Planned> plan;
    for (const ManifestFile& file : manifest.elements()) {
        if (!planFile(zip, file, index, plan))
            return false;
    }
    for (const Planned& item : plan) {
        if (item.bundle) {
            for (const auto& member : item.contents)
                used[member.first] = true;
        } else {
            used[item.entry] = true;
        }
    }
    logUnused(zip, used);
    if (!checkSpace(zip, plan))
        return false;

    // The plan: new items beside their targets; the items they replace, and
    // what the product's record lists for this host, aside.
    InstallTransaction transaction(folders.root(), m_record != nullptr ? QFileInfo(m_record->path).path() : QString());
    m_transaction = &transaction;
    struct TransactionReset {
        InstallTransaction*& transaction;
        ~TransactionReset() { transaction = nullptr; }
    } transactionReset{m_transaction};
    QStringList targets;
    for (Planned& item : plan) {
        item.staged = transaction.addItem(item.target);
        targets.append(item.target);
    }
    for (const Planned& item : plan)
        eraseOld(String(QFileInfo(item.target).path()), String(item.name));
    QStringList ownedFolders;
    if (m_record != nullptr) {
        for (const QString& recorded : m_record->owned) {
            const QString owned = HostFolders::itemOf(recorded);
            if (!folders.mayHold(owned)) {
                Logger::write(String("Not replacing ") + String(recorded) + ": the host application owns it");
                continue;
            }
            if (HostFolders::isFolderEntry(recorded))
                ownedFolders.append(owned);
            else
                transaction.moveAside(owned);
        }
    }

    // The receipt: every item placed, and the folders that hold them that
    // this install makes or an earlier one of this product made.
    m_receipt = targets;
    QStringList madeFolders = transaction.foldersToMake();
    for (const QString& folder : ownedFolders) {
        bool holds = false;
        for (const QString& target : targets)
            holds = holds || isWithin(target, folder);
        if (holds && !madeFolders.contains(folder))
            madeFolders.append(folder);
    }
    std::sort(madeFolders.begin(), madeFolders.end());
    // The host's own folders for a type of file stay the host's, whoever
    // made them.
    for (const QString& folder : madeFolders) {
        if (folders.mayHold(folder))
            m_receipt.append(folder + QLatin1Char('/'));
    }
    // Folders of the old version that no new item needs go when empty.
    QStringList prune;
    for (const QString& folder : ownedFolders) {
        if (!madeFolders.contains(folder))
            prune.append(folder);
    }
    std::sort(prune.begin(), prune.end());
    transaction.pruneWhenEmpty(prune);

    QString recordStaged;
    QByteArray recordBytes;
    if (m_record != nullptr) {
        if (!m_record->build(m_receipt, recordBytes))
            return fail(recordRow, m_record->path);
        recordStaged = transaction.addItem(m_record->path);
    }

    if (!transaction.begin(m_error))
        return false;
    for (const Planned& item : plan) {
        const bool written = item.bundle ? copyAPX(zip, item.staged, String(item.name), item.contents)
                                         : writeEntry(zip, item.entry, item.staged, item.target);
        if (!written) {
            transaction.rollback();
            return false;
        }
    }
    if (m_record != nullptr) {
        if (!writeBytes(recordStaged, recordBytes, m_record->path) ||
            !QFile::setPermissions(recordStaged, recordPermissions)) {
            transaction.rollback();
            return fail(recordRow, m_record->path);
        }
    }
    // Every new byte on the disk before anything is swapped in, in one pass
    // for the whole install rather than one wait per file.
    if (!syncVolume(folders.root()) ||
        (m_record != nullptr && !syncVolume(QFileInfo(m_record->path).path()))) {
        transaction.rollback();
        return fail(unwritableFolderRow, folders.root());
    }
    return transaction.commit(m_error);
}

bool installFile(const Guid& applicationId, const String& url, std::vector<String>& localCopies, String* error,
                 const RecordChange* record)
{
    Logger::startBlock(String("Installing File"));
    struct BlockEnd {
        ~BlockEnd() { Logger::endBlock(); }
    } blockEnd;
    const auto fail = [error](const String& text) {
        if (error != nullptr)
            *error = text;
        return false;
    };

    Logger::write(String("Installing url: ") + url);
    ProductArchive* archive = url.empty() ? nullptr : manager.getArchives().getArchive(url);
    if (archive == nullptr) {
        const String text("Failed to find the url in the Archive Map");
        Logger::write(text);
        return fail(text);
    }
    DataFile* file = archive->getFile();
    if (file == nullptr) {
        const String text("iter->second = NULL in the archive map");
        Logger::write(text);
        return fail(text);
    }
    Logger::write(String("Starting the install"));
    ProductInstaller installer(applicationId, *file);
    installer.setRecord(record);
    if (!installer.copyFiles()) {
        Logger::write(String("Failed to copy files with error [") + installer.getError() + "]");
        return fail(installer.getError());
    }

    // Every item placed, the add-on first: a product of library files alone
    // is installed too, and uninstalling it removes them all.
    const std::size_t first = localCopies.size();
    if (!installer.getAddOnPath().empty())
        localCopies.push_back(installer.getAddOnPath());
    for (const QString& item : installer.getReceipt()) {
        if (!HostFolders::isFolderEntry(item) && item != installer.getAddOnPath().qString())
            localCopies.emplace_back(item);
    }
    if (localCopies.size() == first) {
        Logger::write(String("Local copies is empty"));
    } else {
        Logger::write(String("Copy files done:"));
        for (std::size_t i = first; i < localCopies.size(); ++i)
            Logger::write(localCopies[i]);
    }
    if (const Application* application = manager.getApplication(applicationId))
        application->clearCache();
    else
        Logger::write(String("Failed to find the application to clear the cache"));
    return true;
}

} // namespace installer
