#include "support/SupportCollector.h"

#include "DirectoryHandler.h"
#include "StringTables.h"
#include "support/PermissionLog.h"

#include "File/DataFile.h"
#include "File/Directory.h"
#include "Serialise/Base64Coder.h"
#include "Serialise/XMLWriter.h"
#include "Utility/DataBufferOut.h"
#include "Utility/Logger.h"
#include "Utility/MemoryBlock.h"
#include "Utility/ZipArchive.h"
#include "Utility/ZipWriter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <numeric>
#include <vector>

using namespace vantorix;

namespace installer {

namespace {

// Row of the error table for a support package that cannot be made.
constexpr short collectFailedRow = 45;
// Names tried for the archive when the plain name is taken (another
// installer collecting at the same time, or a run that was killed).
constexpr int packageNameAttempts = 100;

qint64 folderLimit = SupportCollector::defaultFolderLimit;

// Adds the files directly inside folderPath to zip as "<folderName>/<name>"
// and lists every one of them in log. Notes what the size limit left out.
bool addDirectoryFiles(ZipWriter& zip, PermissionLog& log, const String& folderPath, const String& folderName,
                       QStringList& leftOut)
{
    const QString path = folderPath.qString();
    const QStringList names =
        QDir(path).entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::NoSort);

    std::vector<QFileInfo> files;
    for (const QString& name : names) {
        const QFileInfo info(path + QLatin1Char('/') + name);
        // A link put there since the listing is not followed either.
        if (!info.exists() || info.isSymLink() || !info.isFile())
            continue;
        log.elements().emplace_back(String(info.filePath()), info.permissions());
        files.push_back(info);
    }

    // The newest files fill the folder's share first.
    std::vector<std::size_t> byAge(files.size());
    std::iota(byAge.begin(), byAge.end(), std::size_t(0));
    std::stable_sort(byAge.begin(), byAge.end(), [&](std::size_t a, std::size_t b) {
        return files[a].lastModified() > files[b].lastModified();
    });
    std::vector<qint64> allowed(files.size(), 0);
    qint64 remaining = folderLimit;
    for (std::size_t index : byAge) {
        allowed[index] = std::min(files[index].size(), remaining);
        remaining -= allowed[index];
    }

    for (std::size_t i = 0; i < files.size(); ++i) {
        const QFileInfo& info = files[i];
        const QString entryName = folderName.qString() + QLatin1Char('/') + info.fileName();
        // A name that zip readers would take for a path elsewhere ("..\\x"
        // splits into "..", "x") is left out rather than failing the package.
        if (!ZipArchive::isSafeName(entryName.toUtf8())) {
            leftOut << QStringLiteral("%1: left out (the name cannot be stored in a zip)").arg(entryName);
            continue;
        }
        QFile file(info.filePath());
        // Unreadable files are listed with their rights but not packed.
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const qint64 size = file.size();
        if (allowed[i] <= 0) {
            leftOut << QStringLiteral("%1: left out (%2 bytes)").arg(entryName).arg(size);
            continue;
        }
        const qint64 take = std::min(allowed[i], size);
        if (take < size) {
            leftOut << QStringLiteral("%1: the first %2 of %3 bytes left out").arg(entryName).arg(size - take).arg(size);
            if (!file.seek(size - take))
                continue;
        }
        if (!zip.addEntry(entryName, file, take))
            return false;
    }
    return true;
}

// Adds one folder's files, when the folder is there.
bool addFolder(ZipWriter& zip, PermissionLog& log, const Directory* folder, QStringList& leftOut)
{
    if (folder == nullptr || !folder->exists())
        return true;
    return addDirectoryFiles(zip, log, folder->getURL(), folder->getName(), leftOut);
}

} // namespace

const char* const SupportCollector::packageName = "SupportPackage";
const char* const SupportCollector::packageExtension = "zfpkgsprt";
const char* const SupportCollector::permissionFileName = "FilePermissions.xml";
const char* const SupportCollector::leftOutFileName = "LeftOut.txt";

SupportCollector::SupportCollector() = default;

SupportCollector::~SupportCollector()
{
    if (m_packageFile) {
        m_packageFile->setSize(0);
        m_packageFile->close();
        m_packageFile->erase();
    }
}

qint64 SupportCollector::getFolderLimit()
{
    return folderLimit;
}

void SupportCollector::setFolderLimit(qint64 limit)
{
    folderLimit = limit;
}

String SupportCollector::getPackagePath() const
{
    return m_packageFile ? m_packageFile->getURL() : String();
}

bool SupportCollector::fail(const String& detail)
{
    Logger::write(String("Collecting support data failed: ") + detail);
    m_error = String(filledText(errorTable, collectFailedRow, detail.qString()));
    return false;
}

bool SupportCollector::collectData()
{
    m_error.clear();
    if (m_packageFile)
        return fail(String("the support data was collected already"));
    Directory* temp = DirectoryHandler::getTempDirectory();
    if (temp == nullptr)
        return fail(String("there is no temporary folder"));

    // Made here and nowhere else, so that erasing it later never removes a
    // file that belongs to somebody else.
    const QString folder = temp->getURL().qString();
    QString path;
    for (int attempt = 0; attempt < packageNameAttempts && path.isEmpty(); ++attempt) {
        const QString name = attempt == 0 ? QStringLiteral("%1.%2").arg(packageName, packageExtension)
                                          : QStringLiteral("%1-%2.%3").arg(packageName).arg(attempt).arg(packageExtension);
        QFile file(folder + QLatin1Char('/') + name);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            path = file.fileName();
    }
    if (path.isEmpty())
        return fail(String("the file ") + String(folder + QLatin1Char('/') + packageName) + " cannot be created");
    m_packageFile = std::make_unique<DataFile>(String(path));

    ZipWriter zip(path);
    if (!zip.open())
        return fail(zip.getError());
    PermissionLog log;
    QStringList leftOut;
    const std::unique_ptr<Directory> records = DirectoryHandler::getInstallationDirectory(false);
    const std::unique_ptr<Directory> logs = DirectoryHandler::getLogDirectory();
    if (!addFolder(zip, log, records.get(), leftOut) || !addFolder(zip, log, logs.get(), leftOut))
        return fail(zip.getError());

    MemoryBlock permissions;
    {
        DataBufferOut output(&permissions);
        if (!XMLWriter(&output).exportFrom(log, true, true, true, true))
            return fail(String("the file permissions cannot be written"));
        output.flush();
    }
    if (!zip.addEntry(QString::fromLatin1(permissionFileName), permissions.get()))
        return fail(zip.getError());
    if (!leftOut.isEmpty()) {
        const QString note = QStringLiteral("Each folder is packed up to %1 bytes, its newest files first.\n")
                                 .arg(folderLimit)
                             + leftOut.join(QLatin1Char('\n')) + QLatin1Char('\n');
        if (!zip.addEntry(QString::fromLatin1(leftOutFileName), note.toUtf8()))
            return fail(zip.getError());
    }
    if (!zip.commit())
        return fail(zip.getError());
    return true;
}

String& SupportCollector::getPackageData()
{
    if (!m_packageData.empty() || !m_packageFile)
        return m_packageData;
    QFile file(m_packageFile->getURL().qString());
    if (!file.open(QIODevice::ReadOnly))
        return m_packageData;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return m_packageData;
    m_packageData = String(QString::fromLatin1(Base64Coder().encode(bytes)));
    return m_packageData;
}

} // namespace installer
