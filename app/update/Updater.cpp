#include "update/Updater.h"

#include "DirectoryHandler.h"
#include "InstallerClient.h"
#include "StringTables.h"
#include "VantorixInstallerApp.h"
#include "products/Downloader.h"
#include "support/InstallerReport.h"
#include "support/ReportSender.h"
#include "update/UpdateSignature.h"

#include "Catalogue/VantorixTools.h"
#include "File/Directory.h"
#include "Utility/Convert.h"
#include "Utility/Logger.h"
#include "Utility/ZipArchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>

using namespace vantorix;

namespace installer {

const char* const Updater::finishOption = "--finish-update";
const char* const Updater::packageMarker = "package-managed";

namespace {

// Rows of the error table.
enum Row : short {
    localUpdateFailed = 14,
    packageManaged = 84,
    notSigned = 85,
    badSignature = 86,
    badSize = 87,
    noBundle = 88,
    notUnpacked = 89,
    newProgramFailed = 90,
    notReplaced = 91
};

// The most an unpacked update may hold: a few times the program itself.
constexpr qint64 unpackedLimit = qint64(2) << 30;
// The size taken when the service gives none, so that an archive cannot
// fill the disk (Downloader::sizeFits allows up to twice it).
constexpr double unknownReleaseSizeMB = 512.0;
// How long the new program may take to answer --version.
constexpr int versionTimeout = 30000;

QString row(short number, const QString& first = QString(), const QString& second = QString())
{
    return filledText(errorTable, number, first, second);
}

// "." + the folder's name + marker + random letters: hidden, beside the
// installed folder (so the renames stay on one volume), and recognisable.
QString besideTemplate(const QString& root, const char* marker)
{
    const QFileInfo info(root);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1String(marker) +
           QStringLiteral("XXXXXX");
}

const char* const updateMarker = ".update-";
const char* const asideMarker = ".old-";

// A folder name that does not exist yet beside root.
QString asidePath(const QString& root)
{
    QTemporaryDir probe(besideTemplate(root, asideMarker));
    if (!probe.isValid())
        return QString();
    // Only its unique name is wanted: the rename makes the folder.
    const QString path = probe.path();
    probe.remove();
    return path;
}

} // namespace

Updater::Updater(const String& url, QObject* parent) : QObject(parent), m_url(url), m_folder(InstallFolder::current())
{
}

Updater::~Updater()
{
    m_signatureDownloader.reset();
    m_downloader.reset();
}

void Updater::setExpected(const String& version, double releaseSizeMB, const String& sha256)
{
    m_expectedVersion = version;
    m_releaseSizeMB = releaseSizeMB;
    m_sha256 = sha256;
}

QString Updater::bundleName()
{
#ifdef Q_OS_MACOS
    return QStringLiteral("Vantorix Installer.app");
#else
    return QStringLiteral("vantorix-installer");
#endif
}

String Updater::getTempFilePath() const
{
    const Directory* temp = DirectoryHandler::getTempDirectory();
    return temp != nullptr ? temp->getURL() + "/VantorixInstaller.zfpkg" : String();
}

Downloader* Updater::getDownloader()
{
    if (m_url.empty() || m_downloader)
        return m_downloader.get();
    const String path = getTempFilePath();
    if (path.empty())
        return nullptr;
    m_archive = std::make_unique<DataFile>(path, DataFile::readWrite, true);
    if (!m_archive->exists() || !m_archive->open(DataFile::readWrite) || !m_archive->setSize(0)) {
        m_archive.reset();
        return nullptr;
    }
    m_archive->close();
    m_downloader = std::make_unique<Downloader>(m_url, m_archive.get(), 0);
    DownloadCheck check;
    check.releaseSizeMB = m_releaseSizeMB > 0 ? m_releaseSizeMB : unknownReleaseSizeMB;
    check.sha256 = m_sha256.qString().toLatin1().toLower();
    m_downloader->setCheck(check);
    m_signatureDownloader = std::make_unique<Downloader>(m_url + ".sig", 0);
    return m_downloader.get();
}

void Updater::record(const String& action, const String& message, bool success)
{
    m_log.add(action, message, success);
    Logger::write(action + (success ? String(": ") : String(" FAILED: ")) + message);
    if (m_listener)
        m_listener(m_log.getEntries().back());
}

void Updater::addStep(const String& action, const String& message, bool success)
{
    record(action, message, success);
    if (!success && m_failedStep.isEmpty()) {
        m_failedStep = action.qString();
        m_failure = message.qString();
    }
}

bool Updater::fail(const char* action, const String& message, const QString& failure)
{
    record(String(action), message, false);
    m_failedStep = QLatin1String(action);
    m_failure = failure;
    return false;
}

bool Updater::waitForSignature(QByteArray& signature)
{
    Downloader* download = m_signatureDownloader.get();
    if (download == nullptr)
        return false;
    if (!download->isDone()) {
        QEventLoop loop;
        connect(download, qOverload<>(&Downloader::finishDownload), &loop, &QEventLoop::quit);
        if (!download->isDone())
            loop.exec();
    }
    if (!download->isSuccess())
        return false;
    signature = download->getData().get();
    return true;
}

bool Updater::doUpdate()
{
    if (!m_archive || !m_archive->exists())
        return false;
    const QString archivePath = m_archive->getURL().qString();

    const QString executable = QCoreApplication::applicationFilePath();
    if (executable.isEmpty() || !QFileInfo(executable).isExecutable())
        return fail("FindExecutable", String("Addon->getExecutable() failed"), row(localUpdateFailed));
    record(String("FindExecutable"), String("Executable found at ") + String(executable), true);

    const QString root = m_folder.root();
    const QString parent = QFileInfo(root).absolutePath();
    record(String("BundlePath"), String(root), true);
    record(String("ParentPath"), String(parent), true);
    if (!canReplace(m_folder))
        return fail("CheckWritable", String("The bundle or its folder cannot be written: ") + String(root),
                    row(packageManaged, root));

    // Verified before anything is unpacked or moved.
    const qint64 size = QFileInfo(archivePath).size();
    if (size <= 0 || !Downloader::sizeFits(size, m_releaseSizeMB > 0 ? m_releaseSizeMB : unknownReleaseSizeMB))
        return fail("CheckArchiveSize", String("The archive has ") + String(QString::number(size)) + " bytes",
                    row(badSize, QString::number(size), QString::number(m_releaseSizeMB, 'f', 2)));
    record(String("CheckArchiveSize"), String("The archive has ") + String(QString::number(size)) + " bytes", true);

    QByteArray signature;
    const bool signatureFetched = waitForSignature(signature);
    const UpdateSignature::Result verdict =
        UpdateSignature::verify(archivePath, signatureFetched ? signature : QByteArray());
    if (verdict == UpdateSignature::unsigned_)
        return fail("VerifySignature", String("No signature was found at ") + m_url + ".sig", row(notSigned));
    if (verdict != UpdateSignature::valid)
        return fail("VerifySignature", String("The signature does not match the archive"), row(badSignature));
    record(String("VerifySignature"), String("The archive's Ed25519 signature is valid"), true);

    record(String("GetTempDir"), String("Successfully found the temp directory ") + String(parent), true);
    QTemporaryDir staging(besideTemplate(root, updateMarker));
    if (!staging.isValid())
        return fail("CreateUpdateTemp", String("Failed to create the updater temp directory"),
                    row(notUnpacked, staging.errorString()));
    record(String("CreateUpdateTemp"), String("Successfully created temp directory ") + String(staging.path()), true);

    QString reason;
    bool bundleMissing = false;
    if (!unpack(archivePath, staging.path(), reason, bundleMissing)) {
        if (bundleMissing) {
            record(String("Unzip"), String("Successfully unzipped the installer update package"), true);
            return fail("CopyBundle", String("Failed to copy the bundle"), row(noBundle, bundleName()));
        }
        return fail("Unzip", String("Failed to unzip the vantorix installer package"), row(notUnpacked, reason));
    }
    record(String("Unzip"), String("Successfully unzipped the installer update package"), true);

    const QString staged = staging.path() + QLatin1Char('/') + bundleName();
    const InstallFolder stagedFolder(
        staged + (m_folder.isBundle() ? QStringLiteral("/Contents/MacOS") : QStringLiteral("/bin")));
    // Programs executable, everything else readable: zip files do not
    // reliably carry modes.
    bool modesSet = true;
    QDirIterator files(staged, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const bool program = QFileInfo(path).absolutePath() == stagedFolder.programs();
        QFileDevice::Permissions modes = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                         QFileDevice::ReadOther;
        if (program)
            modes |= QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
        modesSet = QFile::setPermissions(path, modes) && modesSet;
    }
    if (!modesSet)
        return fail("CHMOD", String("Failed to run chmod"), row(notUnpacked, QStringLiteral("permissions")));
    record(String("CHMOD"), String("Successfully changed the execution privilege"), true);

    QString reported;
    if (!checkNewProgram(stagedFolder.programs(), reported))
        return fail("CheckNewVersion", String("The new program answered: ") + String(reported),
                    row(newProgramFailed, m_expectedVersion.qString(), reported));
    record(String("CheckNewVersion"), String("The new program reports version ") + String(reported), true);

    // The switch: two renames on one volume, each undone on failure.
    const QString aside = asidePath(root);
    if (aside.isEmpty() || !QDir().rename(root, aside))
        return fail("MoveOldBundle", String("Failed to move the old bundle aside"),
                    row(notReplaced, root, QStringLiteral("rename")));
    record(String("MoveOldBundle"), String("Moved the old bundle aside to ") + String(aside), true);

    if (!QDir().rename(staged, root)) {
        const bool back = QDir().rename(aside, root);
        record(String("Rollback"), String(back ? "Put the old bundle back" : "Failed to put the old bundle back"), back);
        return fail("CopyBundle", String("Failed to copy the bundle"), row(notReplaced, root, QStringLiteral("rename")));
    }
    record(String("CopyBundle"), String("Successfully copied the bundle into ") + String(parent), true);

    if (!startNewProgram(root, aside)) {
        const bool back = QDir().rename(root, staged) && QDir().rename(aside, root);
        record(String("Rollback"), String(back ? "Put the old bundle back" : "Failed to put the old bundle back"), back);
        return fail("OpenNewInstaller", String("Failed to open the new installer bundle"),
                    row(newProgramFailed, m_expectedVersion.qString(), QStringLiteral("not started")));
    }
    record(String("OpenNewInstaller"), String("Successfully opened new installer bundle"), true);
    return true;
}

bool Updater::unpack(const QString& archivePath, const QString& staging, QString& reason, bool& noBundleFound)
{
    ZipArchive archive{String(archivePath)};
    archive.setTotalLimit(unpackedLimit);
    const unsigned count = archive.getEntryCount();
    if (count == 0) {
        reason = archive.getError().empty() ? QStringLiteral("empty") : archive.getError().qString();
        return false;
    }
    const QString top = bundleName() + QLatin1Char('/');
    const QDir target(staging);
    bool found = false;
    for (unsigned index = 0; index < count; ++index) {
        QString name = archive.getEntryPath(index).qString();
        name.replace(QLatin1Char('\\'), QLatin1Char('/'));
        // Only the bundle is taken; anything beside it is left in the archive.
        if (!name.startsWith(top))
            continue;
        found = true;
        // Safe names are checked by the archive; the cleaned path must still
        // be below the staging folder.
        const QString path = QDir::cleanPath(target.absoluteFilePath(name));
        if (!path.startsWith(target.absolutePath() + QLatin1Char('/'))) {
            reason = name;
            return false;
        }
        if (ZipArchive::isDirectoryPath(String(name))) {
            if (!QDir().mkpath(path)) {
                reason = name;
                return false;
            }
            continue;
        }
        // A link could lead a later entry out of the folder: none is taken.
        const auto vertex = archive.getTree().getVertex(archive.getEntryPath(index));
        if (!vertex || archive.getTree().isSymLink(*vertex)) {
            reason = name + QStringLiteral(": a link");
            return false;
        }
        if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
            reason = name;
            return false;
        }
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !archive.readEntry(index, file) || !file.commit()) {
            reason = archive.getError().empty() ? file.errorString() : archive.getError().qString();
            file.cancelWriting();
            return false;
        }
    }
    noBundleFound = !found;
    if (!found)
        reason = bundleName();
    return found;
}

bool Updater::checkNewProgram(const QString& programs, QString& reported)
{
    QProcess program;
    program.setProcessChannelMode(QProcess::SeparateChannels);
    program.start(InstallFolder(programs).commandLine(), {QStringLiteral("--version")});
    if (!program.waitForStarted(versionTimeout)) {
        reported = program.errorString();
        return false;
    }
    if (!program.waitForFinished(versionTimeout)) {
        program.kill();
        program.waitForFinished();
        reported = QStringLiteral("no answer");
        return false;
    }
    // "vantorix 2.06 (build 13)"
    const QString line = QString::fromUtf8(program.readAllStandardOutput().left(200)).trimmed();
    const QStringList words = line.split(QLatin1Char(' '));
    reported = line.isEmpty() ? QStringLiteral("no answer") : line;
    if (program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0 || words.size() < 2 ||
        words.at(0) != QLatin1String("vantorix"))
        return false;
    const ToDouble offered(m_expectedVersion);
    const ToDouble answered{String(words.at(1))};
    reported = words.at(1);
    return offered.isValid() && answered.isValid() && qAbs(offered.value() - answered.value()) < 0.00001;
}

bool Updater::startNewProgram(const QString& root, const QString& aside)
{
    const InstallFolder folder(root + (m_folder.isBundle() ? QStringLiteral("/Contents/MacOS") : QStringLiteral("/bin")));
    if (m_restart == Restart::commandLine)
        return QProcess::startDetached(folder.commandLine(),
                                       {QStringLiteral("self-update"), QLatin1String(finishOption), aside});
#ifdef Q_OS_MACOS
    return QProcess::startDetached(QStringLiteral("open"), {QStringLiteral("-n"), root, QStringLiteral("--args"),
                                                            QLatin1String(finishOption), aside});
#else
    return QProcess::startDetached(QDir(folder.programs()).filePath(QStringLiteral("vantorix-installer")),
                                   {QLatin1String(finishOption), aside});
#endif
}

bool Updater::canReplace(const InstallFolder& folder)
{
    const QFileInfo root(folder.root());
    const QFileInfo parent(root.absolutePath());
    return root.isDir() && root.isWritable() && parent.isDir() && parent.isWritable() &&
           !QFileInfo::exists(folder.resource(QLatin1String(packageMarker)));
}

bool Updater::finishUpdate(const QString& asidePath, QString& message)
{
    const InstallFolder folder = InstallFolder::current();
    const QFileInfo own(folder.root());
    const QFileInfo aside(asidePath);
    // Only what an update of this very folder set aside: beside it, named
    // after it, a real folder (not a link to somewhere else).
    const QString expected = QStringLiteral(".") + own.fileName() + QLatin1String(asideMarker);
    if (aside.absolutePath() != own.absolutePath() || !aside.fileName().startsWith(expected) ||
        aside.fileName().size() != expected.size() + 6 || aside.isSymLink() || !aside.isDir()) {
        message = QStringLiteral("Not removed (not an old installer folder): ") + asidePath;
        Logger::write(String(message));
        return false;
    }
    const bool removed = QDir(aside.absoluteFilePath()).removeRecursively();
    message = (removed ? QStringLiteral("Update finished: removed the previous version at ")
                       : QStringLiteral("Update finished, but the previous version could not be removed: ")) +
              aside.absoluteFilePath();
    Logger::write(String(message));
    return removed;
}

void Updater::sendReport()
{
    // The stored account says who updated; its password stays out.
    UpdateReport update(m_log);
    auto report = std::make_unique<InstallerReport>(true);
    report->getAction().setUpdate(&update);
    InstallerClient account;
    account.loadClientData();
    const std::unique_ptr<VantorixTools> tools = ReportSender::makeRecord(account, std::move(report));
    const ServiceAnswer answer = ReportSender::post(*tools, false);
    Logger::write(String(answer.posted ? "Update report sent" : "Update report not sent"));
}

} // namespace installer
