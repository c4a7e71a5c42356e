#include "products/InstallerProduct.h"

#include "InstallerManager.h"
#include "products/ArchiveMap.h"
#include "products/Downloader.h"
#include "products/HostFolders.h"
#include "products/InstallJournal.h"
#include "products/ProductInstaller.h"

#include "Applications/Application.h"
#include "Catalogue/Executable.h"
#include "Catalogue/ExecutableMap.h"
#include "Catalogue/Installation.h"
#include "Catalogue/ProductMap.h"
#include "Catalogue/VantorixTools.h"
#include "File/DataFile.h"
#include "File/Directory.h"
#include "Utility/Convert.h"
#include "Utility/DataBufferOut.h"
#include "Utility/Logger.h"
#include "Utility/MemoryBlock.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <memory>

#include <unistd.h>

using namespace vantorix;

namespace installer {

namespace {

const char* const bundleExecutableFolder = "/Contents/MacOS/";
// Differences up to these count as equal versions.
constexpr double installedTolerance = 0.00001;
constexpr double updateTolerance = 0.001;

// The last component of a path, without trailing separators.
QString lastComponent(const String& path)
{
    QString text = path.qString();
    while (text.size() > 1 && text.endsWith(QLatin1Char('/')))
        text.chop(1);
    return text.mid(text.lastIndexOf(QLatin1Char('/')) + 1);
}

// The application edition as installation records write it; empty when the
// edition is none of the three.
String editionText(const Application& application)
{
    switch (application.getSignature().getType()) {
    case ApplicationSignature::full: return String("full");
    case ApplicationSignature::solo: return String("solo");
    case ApplicationSignature::start: return String("start");
    }
    return String();
}

} // namespace

InstallerProduct::InstallerProduct(const Product& product, const RegisteredPlatform& platform)
    : m_product(product.getID(), product.getName(), product.getCode()), m_platform(platform)
{
    // The product's own facts without its other platforms: this product
    // stands for one platform, which it holds itself, and a tree holds one
    // product per platform and host, so copying every platform each time
    // would make the tree grow with the square of the platforms.
    m_product.setEditTime(product.getEditTime());
    if (product.getHistory() != nullptr)
        m_product.setHistory(*product.getHistory());
}

InstallerProduct::~InstallerProduct() = default;

bool InstallerProduct::isInstalled() const
{
    return !m_localPaths.empty() || m_localVersion > installedTolerance || m_localVersion < -installedTolerance;
}

bool InstallerProduct::isVisible() const
{
    return isInstalled() || isOwned() || isTrialAvailable();
}

bool InstallerProduct::hasUpdate() const
{
    return ToDouble(m_platform.getVersion()).value() - m_localVersion > updateTolerance;
}

bool InstallerProduct::isListedIn(Status status) const
{
    switch (status) {
    case myTools: return isInstalled() || isOwned();
    case updates: return isInstalled() && hasUpdate();
    case trial: return !isInstalled() && !isOwned() && isTrialAvailable();
    case educational: return true;
    }
    return false;
}

void InstallerProduct::addLocalPath(const String& path)
{
    String local = path;
    const int bundleEnd = local.find(bundleExecutableFolder);
    if (bundleEnd != String::npos)
        local = local.substr(0, bundleEnd);
    if (!local.empty())
        m_localPaths.push_back(local);
}

bool InstallerProduct::isInside(const String& path, const String& folder)
{
    QString root = folder.qString();
    while (root.size() > 1 && root.endsWith(QLatin1Char('/')))
        root.chop(1);
    if (root.isEmpty())
        return false;
    const QString& text = path.qString();
    if (!text.startsWith(root))
        return false;
    return text.size() == root.size() || root == QLatin1String("/") || text.at(root.size()) == QLatin1Char('/');
}

String InstallerProduct::executablePath(const String& localPath, const String& productName)
{
    const QString name = lastComponent(localPath);
    if (name.endsWith(QLatin1String(".apx"), Qt::CaseInsensitive) ||
        name.endsWith(QLatin1String(".gdx"), Qt::CaseInsensitive)) {
        QString bundle = localPath.qString();
        while (bundle.endsWith(QLatin1Char('/')))
            bundle.chop(1);
        return String(bundle) + bundleExecutableFolder + productName;
    }
    return localPath;
}

// ---- installing

void InstallerProduct::install()
{
    m_lastAction = Action::install;
    m_busy = true;
    m_cancelled = false;
    m_application = manager.getActiveApplication();
    m_language = String("INT");
    if (manager.getInstallerAction() != InstallerManager::createOfflineFile) {
        if (const Application* application = manager.getApplication(m_application))
            m_language = application->getSignature().getLanguage();
    }
    refreshDownloader();
    connectDownloaders();
    if (manager.getInstallerAction() == InstallerManager::installFromOfflineFile || isDownloadDone())
        finishDownload();
}

Downloader* InstallerProduct::getUrlDownloader(const String& url, const DownloadCheck& check)
{
    if (url.empty())
        return nullptr;
    ProductArchive* archive = manager.getArchives().fetch(url, 0, check);
    if (archive == nullptr)
        return nullptr;
    // A new install of a product whose archive failed earlier in this run
    // fetches it again (from where it stopped when the server allows it).
    const Downloader* downloader = archive->getDownloader();
    if (downloader != nullptr && downloader->isDone() && !downloader->isSuccess())
        archive->retry();
    return archive->getDownloader();
}

void InstallerProduct::refreshDownloader()
{
    for (const QPointer<Downloader>& downloader : m_downloaders) {
        if (downloader != nullptr)
            downloader->disconnect(this);
    }
    m_downloaders.clear();
    if (manager.getInstallerAction() == InstallerManager::createOfflineFile) {
        // Every language goes into the offline file.
        if (const std::vector<ReleaseUrl>* releases = m_platform.getReleaseList()) {
            for (const ReleaseUrl& release : *releases) {
                // The catalogue's size is that of one language's archive:
                // only each address's own digest applies to every language.
                DownloadCheck check;
                check.sha256 = release.getSha256().toByteArray();
                if (Downloader* downloader = getUrlDownloader(release.getUrl(), check))
                    m_downloaders.emplace_back(downloader);
            }
        }
        return;
    }
    const std::vector<ReleaseUrl>* releases = m_platform.getReleaseList();
    const ReleaseUrl* release = releases != nullptr ? ReleaseUrl::chooseEntry(*releases, m_language) : nullptr;
    if (release == nullptr)
        return;
    DownloadCheck check;
    check.releaseSizeMB = m_platform.getReleaseSize();
    check.sha256 = release->getSha256().toByteArray();
    if (Downloader* downloader = getUrlDownloader(release->getUrl(), check))
        m_downloaders.emplace_back(downloader);
}

void InstallerProduct::cancel()
{
    if (!m_busy || m_cancelled)
        return;
    m_cancelled = true;
    Logger::write(String("Installing ") + m_product.getName() + " cancelled");
    // Each cancelled download reports its end, which makes this product idle.
    for (const QPointer<Downloader>& downloader : m_downloaders) {
        if (downloader != nullptr && !downloader->isDone())
            downloader->cancel();
    }
    if (isDownloadDone())
        finishDownload();
}

void InstallerProduct::connectDownloaders()
{
    m_progressValue = 0;
    m_progressRange = 0;
    m_sizeUnknown = false;
    m_receivedBytes = 0;
    int count = 0;
    for (const QPointer<Downloader>& downloader : m_downloaders) {
        if (downloader == nullptr)
            continue;
        connect(downloader.data(), &Downloader::notifyProgress, this, &InstallerProduct::downloadProgress,
                Qt::UniqueConnection);
        connect(downloader.data(), QOverload<>::of(&Downloader::finishDownload), this,
                &InstallerProduct::finishDownload, Qt::UniqueConnection);
        m_progressValue += downloader->getPercent();
        ++count;
    }
    m_progressRange = 100 * count;
}

bool InstallerProduct::isDownloadDone() const
{
    if (manager.getInstallerAction() == InstallerManager::installFromOfflineFile)
        return true;
    for (const QPointer<Downloader>& downloader : m_downloaders) {
        if (downloader != nullptr && !downloader->isDone())
            return false;
    }
    return true;
}

void InstallerProduct::downloadProgress(qint64 downloaded, qint64 total, int previousPercent, qintptr)
{
    // The network layer gives -1 for a total it does not know: a fixed step
    // then, and no range (a busy bar) for the rest of this install.
    int step = 5;
    if (total > 0) {
        step = static_cast<int>(qBound<qint64>(0, downloaded * 100 / total, 100)) - previousPercent;
    } else if (!m_sizeUnknown) {
        m_sizeUnknown = true;
        m_progressRange = 0;
    }
    if (m_downloaders.size() == 1)
        m_receivedBytes = downloaded;
    else
        m_receivedBytes = qMax(m_receivedBytes, downloaded);
    m_progressValue += step;
    if (m_progressRange > 0)
        m_progressValue = qBound(0, m_progressValue, m_progressRange);
    emit progress(m_progressValue);
}

void InstallerProduct::finishDownload()
{
    if (!isDownloadDone())
        return;  // the last download calls again
    if (!m_busy || m_cancelled) {
        m_busy = false;
        m_cancelled = false;
        return;
    }
    m_cancelled = false;
    const int action = manager.getInstallerAction();
    String error;
    if (action != InstallerManager::installFromOfflineFile) {
        for (const QPointer<Downloader>& downloader : m_downloaders) {
            if (downloader != nullptr && downloader->isDone() && !downloader->isSuccess())
                error += String("URL[") + downloader->getUrl() + "] Error[" + downloader->getError() + "]";
        }
    }
    bool installed = error.empty();
    std::vector<String> localCopies;
    if (installed && action != InstallerManager::createOfflineFile) {
        const std::vector<ReleaseUrl>* releases = m_platform.getReleaseList();
        const ReleaseUrl* release = releases != nullptr ? ReleaseUrl::chooseEntry(*releases, m_language) : nullptr;
        // The record changes in the same transaction as the files: both end
        // as before or both as after.
        RecordChange record;
        installed = prepareRecord(record, error);
        // The reason is kept from an offline file's install too, so that the
        // record never shows a failed install as a success.
        if (installed)
            installed = installFile(m_application, release != nullptr ? release->getUrl() : String(), localCopies,
                                    &error, &record);
        if (!installed && error.empty())
            error = String("Installing failed");
    }

    m_lastError = error;
    if (!installed) {
        Logger::write(String("Installing ") + m_product.getName() + " failed: " + error);
        m_busy = false;
        recordFailure(manager.getInstallations(), error);
        emit productActionFailure();
        return;
    }
    m_localVersion = ToDouble(m_platform.getVersion()).value();
    if (action != InstallerManager::createOfflineFile)
        m_localPaths = localCopies;
    m_busy = false;
    const String noError;
    mergeInstallationData(manager.getInstallations(), &noError);
    emit productActionComplete();
}

// ---- uninstalling

void InstallerProduct::unInstall()
{
    m_lastAction = Action::uninstall;
    m_busy = false;
    m_cancelled = false;
    if (m_localPaths.empty()) {
        if (manager.getInstallerAction() == InstallerManager::createOfflineFile) {
            // The product's archives leave the offline package.
            if (const std::vector<ReleaseUrl>* releases = m_platform.getReleaseList()) {
                for (const ReleaseUrl& release : *releases)
                    manager.getArchives().erase(release.getUrl());
            }
            m_downloaders.clear();
        }
    } else if (!removeInstalled()) {
        Logger::write(String("Uninstalling ") + m_product.getName() + " failed: " + m_lastError);
        emit productActionFailure();
        return;
    }
    m_localPaths.clear();
    m_localVersion = 0.0;
    emit productActionComplete();
}

// ---- installation records

void InstallerProduct::mergeInstallationData(VantorixTools& tools, const String* errorText)
{
    const Application* application = manager.getApplication(m_application);
    if (application == nullptr)
        return;
    // The edition always goes with the entry, so that the same file recorded
    // with and without an outcome stays one entry.
    const String variant = editionText(*application);
    std::vector<Executable> executables;
    for (const String& local : m_localPaths) {
        Executable executable(executablePath(local, m_product.getName()), m_platform.getVersion());
        executable.setVariant(variant);
        if (errorText != nullptr)
            executable.setErrorMessage(*errorText);
        executables.push_back(executable);
    }
    mergeEntries(tools, *application, executables, errorText);
}

void InstallerProduct::mergeEntries(VantorixTools& tools, const Application& application,
                                    const std::vector<Executable>& executables, const String* errorText)
{
    Product record(m_product.getID(), m_product.getName(), m_product.getCode());
    const PlatformSignature signature(HostType::archiCAD, application.getSignature().getVersion());
    RegisteredPlatform platform(getVersionString(m_localVersion), signature);
    for (const Executable& executable : executables)
        platform.mergeExecutable(executable);
    record.getPlatformList().add(platform);
    tools.mergeInstallation(record);

    // The store keeps the outcome of an entry whose version did not change;
    // this outcome replaces it, so a success after a failure at the same
    // version is no longer recorded as a failure.
    if (errorText == nullptr || tools.getInstallation() == nullptr)
        return;
    const Product* stored = tools.getInstallation()->getProducts().getProduct(m_product.getID());
    const RegisteredPlatform* storedPlatform = stored != nullptr ? stored->getPlatformList().find(signature) : nullptr;
    ExecutableMap* entries = storedPlatform != nullptr ? storedPlatform->getExecutables() : nullptr;
    if (entries == nullptr)
        return;
    for (const Executable& executable : executables) {
        if (Executable* entry = entries->find(executable))
            entry->setErrorMessage(*errorText);
    }
}

bool InstallerProduct::readRecord(VantorixTools& store, QString& path, String& error) const
{
    const std::unique_ptr<Directory> folder = VantorixTools::getInstallationDirectory(true);
    const std::unique_ptr<DataFile> file = folder ? VantorixTools::getInstallationFile(m_product, false) : nullptr;
    if (!file) {
        error = installErrorText(recordRow, folder ? folder->getURL().qString() : QString());
        return false;
    }
    path = QDir::cleanPath(file->getURL().qString());
    if (!QFileInfo::exists(path))
        return true;
    // A record that does not parse is not guessed at: changing the files
    // without it would leave it telling something else.
    if (!store.readInstallation(file.get(), false, false)) {
        error = installErrorText(recordRow, path);
        return false;
    }
    return true;
}

QStringList InstallerProduct::recordedItems(const VantorixTools& store, const Application& application) const
{
    QStringList items;
    const Installation* installation = store.getInstallation();
    const Product* product = installation != nullptr ? installation->getProducts().getProduct(m_product.getID()) : nullptr;
    const PlatformSignature signature(HostType::archiCAD, application.getSignature().getVersion());
    const RegisteredPlatform* platform = product != nullptr ? product->getPlatformList().find(signature) : nullptr;
    const ExecutableMap* entries = platform != nullptr ? platform->getExecutables() : nullptr;
    if (entries == nullptr)
        return items;
    for (const Executable& entry : entries->elements()) {
        if (isInside(entry.getPath(), application.getPath()))
            items.append(entry.getPath().qString());
    }
    return items;
}

bool InstallerProduct::recordBytes(const VantorixTools& source, const Application& application,
                                   const QStringList& items, QByteArray& bytes, bool& empty) const
{
    VantorixTools store;
    store.setTarget(source.getTarget());
    if (source.getInstallation() != nullptr)
        store.setInstallation(std::make_unique<Installation>(*source.getInstallation()));
    // This host's entries are the items given, nothing else; other hosts'
    // entries stay as they are.
    const PlatformSignature signature(HostType::archiCAD, application.getSignature().getVersion());
    if (Installation* installation = store.getInstallation()) {
        const Product* product = installation->getProducts().getProduct(m_product.getID());
        const RegisteredPlatform* platform = product != nullptr ? product->getPlatformList().find(signature) : nullptr;
        if (ExecutableMap* entries = platform != nullptr ? platform->getExecutables() : nullptr) {
            std::vector<Executable>& all = entries->elements();
            all.erase(std::remove_if(all.begin(), all.end(),
                                     [&](const Executable& entry) {
                                         return isInside(entry.getPath(), application.getPath());
                                     }),
                      all.end());
        }
    }
    if (!items.isEmpty()) {
        Product record(m_product.getID(), m_product.getName(), m_product.getCode());
        RegisteredPlatform platform(getVersionString(ToDouble(m_platform.getVersion()).value()), signature);
        const String variant = editionText(application);
        for (const QString& item : items) {
            const String path = HostFolders::isFolderEntry(item) ? String(item) : executablePath(String(item), m_product.getName());
            Executable executable(path, m_platform.getVersion());
            executable.setVariant(variant);
            platform.mergeExecutable(executable);
        }
        record.getPlatformList().add(platform);
        store.mergeInstallation(record);
    }
    empty = store.getInstallation() == nullptr || !store.getInstallation()->isExecutable();
    MemoryBlock block(0);
    {
        DataBufferOut out(&block);
        if (!store.writeInstallation(out))
            return false;
        out.flush();
        if (out.fail())
            return false;
    }
    bytes = block.get();
    return true;
}

bool InstallerProduct::prepareRecord(RecordChange& change, String& error)
{
    const Application* application = manager.getApplication(m_application);
    if (application == nullptr)
        return true;  // the install says so
    auto store = std::make_shared<VantorixTools>();
    if (!readRecord(*store, change.path, error))
        return false;
    change.owned = recordedItems(*store, *application);
    const Application host = *application;
    change.build = [this, store, host](const QStringList& items, QByteArray& bytes) {
        bool empty = false;
        return recordBytes(*store, host, items, bytes, empty);
    };
    return true;
}

bool InstallerProduct::removeInstalled()
{
    m_lastError.clear();
    const Application* application = manager.getApplication(m_application);
    if (application == nullptr)
        return true;
    const HostFolders folders(*application);
    if (folders.root().isEmpty())
        return true;  // the host is gone: nothing of it to remove
    VantorixTools store;
    QString recordPath;
    String error;
    if (!readRecord(store, recordPath, error)) {
        m_lastError = installErrorText(uninstallRow, m_product.getName().qString()) + " (" + error + ")";
        return false;
    }
    QStringList recorded = recordedItems(store, *application);
    // A product installed before records listed every item is removed by
    // what the program knows of it.
    if (recorded.isEmpty()) {
        for (const String& local : m_localPaths)
            recorded.append(local.qString());
    }

    InstallTransaction transaction(folders.root(), QFileInfo(recordPath).path());
    QStringList prune;
    for (const QString& entry : recorded) {
        const QString item = HostFolders::itemOf(entry);
        // The record is writable by every user of the machine: only what a
        // product may own is ever removed.
        if (!folders.mayHold(item)) {
            Logger::write(String("Not removing ") + String(entry) + ": it is not a product's item of " +
                          application->getPath());
            continue;
        }
        if (HostFolders::isFolderEntry(entry))
            prune.append(item);
        else
            transaction.moveAside(item);
    }
    std::sort(prune.begin(), prune.end());
    transaction.pruneWhenEmpty(prune);

    QByteArray bytes;
    bool empty = true;
    if (!recordBytes(store, *application, QStringList(), bytes, empty)) {
        m_lastError = installErrorText(uninstallRow, m_product.getName().qString()) + " (" +
                  installErrorText(recordRow, recordPath) + ")";
        return false;
    }
    QString staged;
    if (!empty)
        staged = transaction.addItem(recordPath);
    else
        transaction.moveAside(recordPath);

    const auto failWith = [this](const String& reason) {
        m_lastError = installErrorText(uninstallRow, m_product.getName().qString()) + " (" + reason + ")";
        return false;
    };
    if (!transaction.begin(error))
        return failWith(error);
    if (!staged.isEmpty()) {
        QFile file(staged);
        const bool written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush() &&
                             ::fsync(file.handle()) == 0;
        file.close();
        if (!written || !QFile::setPermissions(staged, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                           QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                           QFileDevice::ReadOther | QFileDevice::WriteOther)) {
            transaction.rollback();
            return failWith(installErrorText(recordRow, recordPath));
        }
    }
    if (!transaction.commit(error))
        return failWith(error);
    Logger::write(String("Uninstalled ") + m_product.getName() + " from " + application->getPath());
    return true;
}

void InstallerProduct::recordFailure(VantorixTools& tools, const String& errorText)
{
    // An earlier install that the rollback kept stays recorded as it was;
    // the failure is recorded under the host's folder, so that a failed
    // first install shows in the report as well.
    const Application* application = manager.getApplication(m_application);
    if (application == nullptr)
        return;
    const Executable executable(application->getPath(), m_platform.getVersion(), errorText, editionText(*application));
    mergeEntries(tools, *application, {executable}, &errorText);
}

} // namespace installer
