#include "products/ProductInstaller.h"

#include "InstallerManager.h"
#include "products/InstallJournal.h"
#include "products/ManifestXML.h"
#include "products/ProductArchive.h"

#include "Applications/Application.h"
#include "File/DataFile.h"
#include "Serialise/XMLReader.h"
#include "Utility/DataBufferIn.h"
#include "Utility/Logger.h"
#include "Utility/MemoryBlock.h"
#include "Utility/ZipArchive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

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

} // namespace

ProductInstaller::ProductInstaller(const Guid& applicationId, DataFile& archiveFile)
    : m_archive(archiveFile), m_application(applicationId)
{
}

ProductInstaller::~ProductInstaller() = default;

bool ProductInstaller::isCopyOf(const QString& item, const QString& name)
{
    return !name.isEmpty() && item.startsWith(name, Qt::CaseInsensitive);
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
        if (isCopyOf(item, name) && !InstallTransaction::isStagingItem(item))
            copies.append(clean(folder) + QLatin1Char('/') + item);
    }
    return copies;
}

bool ProductInstaller::failOutside(const QString& what)
{
    m_error = installErrorText(outsideRow, what);
    return false;
}

bool ProductInstaller::isInsideApplication(const QString& folder) const
{
    const QString path = clean(folder);
    if (!isWithin(path, m_root))
        return false;
    // What is there already decides where the rest would be made: a link on
    // the way counts for where it leads.
    QString existing = path;
    while (!isPresent(existing) && isWithin(existing, m_root))
        existing = QFileInfo(existing).path();
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    return !canonical.isEmpty() && isWithin(canonical, m_canonicalRoot);
}

QString ProductInstaller::placeFor(const QString& target) const
{
    const QString path = clean(target);
    if (m_transaction == nullptr || m_itemTarget.isEmpty() || !isWithin(path, m_itemTarget))
        return path;
    return m_itemStaged + path.mid(m_itemTarget.size());
}

void ProductInstaller::eraseOld(const String& directory, const String& name)
{
    const QString folder = directory.qString();
    if (name.empty() || folder.isEmpty() || !QFileInfo(folder).isDir())
        return;
    for (const QString& copy : copiesOf(folder, name.qString())) {
        if (m_transaction != nullptr) {
            m_transaction->moveAside(copy);
        } else if (!removeItem(copy)) {
            Logger::write(String("Could not remove ") + String(copy));
        }
    }
}

bool ProductInstaller::writeFile(const QString& path, const MemoryBlock* data, const QString& shownPath)
{
    if (data == nullptr) {
        m_error = String(invalidDataError);
        return false;
    }
    // A link in the way is replaced, never written through.
    if (QFileInfo(path).isSymLink())
        QFile::remove(path);
    QFile file(path);
    if (!QDir().mkpath(QFileInfo(path).path()) || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_error = String(createError) + String(shownPath);
        return false;
    }
    const QByteArray& bytes = data->get();
    // The file must be on the disk before it is swapped in.
    const bool written = file.write(bytes) == bytes.size() && file.flush() && ::fsync(file.handle()) == 0;
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        m_error = String(writeError) + String(shownPath);
        return false;
    }
    return true;
}

bool ProductInstaller::copyDataToFile(const String& path, const MemoryBlock* data)
{
    return writeFile(placeFor(path.qString()), data, path.qString());
}

bool ProductInstaller::copyAPX(ZipArchive& zip, const String& directory, const String& name)
{
    eraseOld(directory, name);
    const QString folder = directory.qString();
    const QString bundle = name.qString();
    m_itemTarget = clean(folder + bundle);
    m_itemStaged = m_transaction != nullptr ? m_transaction->addItem(m_itemTarget) : m_itemTarget;
    const unsigned count = zip.getEntryCount();
    for (unsigned i = 0; i < count; ++i) {
        const QString path = zip.getEntryPath(i).qString();
        // The bundle's own entries only: another product's bundle whose
        // name merely contains this one is not part of it.
        if (path.isEmpty() || ZipArchive::isDirectoryPath(String(path)) || path.contains(QLatin1String(macMetadataFolder)) ||
            !(path == bundle || path.startsWith(bundle + QLatin1Char('/'))))
            continue;
        const std::unique_ptr<ZipArchive::Entry> entry = zip.getEntry(i);
        if (!entry || entry->isDirectory())
            continue;
        if (!entry->getData()) {
            m_error = installErrorText(damagedEntryRow, path);
            return false;
        }
        if (!isContainedPath(path))
            return failOutside(path);
        if (entry->isSymLink()) {
            // Written as a file holding the link's text; a link that leads
            // out of the host application's folder refuses the archive.
            const QString link = QString::fromUtf8(entry->getData()->get());
            const QString resolved = clean(QFileInfo(folder + path).path() + QLatin1Char('/') + link);
            if (QDir::isAbsolutePath(link) || link.startsWith(QLatin1Char('\\')) || !isWithin(resolved, m_root))
                return failOutside(path);
        }
        if (!copyDataToFile(String(folder + path), entry->getData().get()))
            return false;
    }
    return true;
}

bool ProductInstaller::copyFiles()
{
    m_addOnPath.clear();
    m_installedPaths.clear();
    m_error.clear();
    const Application* application = manager.getApplication(m_application);
    m_root = application != nullptr ? clean(application->getPath().qString()) : QString();
    m_canonicalRoot = m_root.isEmpty() ? QString() : QFileInfo(m_root).canonicalFilePath();
    if (m_canonicalRoot.isEmpty()) {
        m_error = String(noApplicationError);
        return false;
    }

    ZipArchive zip(m_archive);
    const unsigned count = zip.getEntryCount();
    if (count == 0) {
        // An archive refused for an entry that would leave its folder says
        // so, naming the entry.
        if (zip.getError().qString().contains(QLatin1String("unsafe name")))
            m_error = installErrorText(refusedArchiveRow, zip.getError().qString());
        else
            m_error = String(emptyArchiveError);
        return false;
    }

    // Entries by their path without "/", the first of equal keys kept.
    QHash<QString, unsigned> index;
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
        const std::unique_ptr<ZipArchive::Entry> entry = zip.getEntry(i);
        if (!entry || !entry->getData())
            continue;
        if (entry->getData()->size() == 0) {
            m_error = String(emptyManifestError);
            return false;
        }
        DataBufferIn in(*entry->getData(), Encoding::UTF8);
        XMLReader reader(&in);
        if (!reader.importTo(manifest)) {
            m_error = String(manifestFormatError);
            return false;
        }
    }
    if (manifest.elements().empty()) {
        m_error = String(noFilesError);
        return false;
    }

    InstallTransaction transaction(m_root);
    if (!transaction.begin(m_error))
        return false;
    m_transaction = &transaction;
    bool staged = true;
    for (const ManifestFile& file : manifest.elements()) {
        const QString name = file.getName().qString();
        const auto found = index.constFind(name);
        if (name.isEmpty() || found == index.constEnd()) {
            m_error = file.getName() + missingEntryError;
            staged = false;
            break;
        }
        if (!isPlainName(name)) {
            staged = failOutside(name);
            break;
        }
        const std::unique_ptr<ZipArchive::Entry> entry = zip.getEntry(found.value());
        if (!entry)
            continue;

        QString folder;
        const QString location = file.getLocation().qString();
        if (!location.isEmpty()) {
            if (!isContainedPath(location)) {
                staged = failOutside(location);
                break;
            }
            folder = m_root + QLatin1Char('/') + partsOf(location).join(QLatin1Char('/')) + QLatin1Char('/');
            m_installedPaths.emplace_back(folder + name);
        } else {
            folder = application->getDirectory(file.getType()).qString();
            if (folder.isEmpty()) {
                m_error = installErrorText(noFolderRow, name, QLatin1String(Application::locationStr[file.getType()]));
                staged = false;
                break;
            }
        }
        if (!isInsideApplication(folder) || !isInsideApplication(folder + name)) {
            staged = failOutside(folder + name);
            break;
        }

        const int dot = name.lastIndexOf(QLatin1Char('.'));
        const QString extension =
            dot >= 0 ? name.mid(dot + 1) : application->getDefaultExtension(file.getType()).qString();
        if (extension == QLatin1String("apx") || extension == QLatin1String("gdx")) {
            if (extension == QLatin1String("apx"))
                m_addOnPath = String(folder + name);
            staged = copyAPX(zip, String(folder), file.getName());
        } else {
            if (!entry->isDirectory() && !entry->getData()) {
                m_error = installErrorText(damagedEntryRow, entry->getPath().qString());
                staged = false;
                break;
            }
            if (entry->isSymLink()) {
                const QString link = QString::fromUtf8(entry->getData()->get());
                if (QDir::isAbsolutePath(link) || link.startsWith(QLatin1Char('\\')) ||
                    !isWithin(clean(folder + link), m_root)) {
                    staged = failOutside(entry->getPath().qString());
                    break;
                }
            }
            eraseOld(String(folder), file.getName());
            m_itemTarget = clean(folder + name);
            m_itemStaged = transaction.addItem(m_itemTarget);
            staged = copyDataToFile(String(folder + name), entry->getData().get());
        }
        if (!staged)
            break;
    }
    m_transaction = nullptr;
    m_itemTarget.clear();
    m_itemStaged.clear();
    if (!staged) {
        transaction.rollback();
        return false;
    }
    return transaction.commit(m_error);
}

bool installFile(const Guid& applicationId, const String& url, std::vector<String>& localCopies, String* error)
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
    if (!installer.copyFiles()) {
        Logger::write(String("Failed to copy files with error [") + installer.getError() + "]");
        return fail(installer.getError());
    }

    const std::size_t first = localCopies.size();
    if (installer.getAddOnPath().empty()) {
        for (const String& path : installer.getInstalledPaths())
            localCopies.push_back(path);
    } else {
        localCopies.push_back(installer.getAddOnPath());
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
