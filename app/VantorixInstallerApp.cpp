#include "VantorixInstallerApp.h"

#include "DirectoryHandler.h"
#include "InstallerManager.h"
#include "products/InstallJournal.h"

#include "Applications/ApplicationMap.h"
#include "Catalogue/VantorixTools.h"
#include "Environment/Host.h"
#include "Environment/Platform.h"
#include "File/Directory.h"
#include "Utility/Convert.h"
#include "Utility/Logger.h"

#include <QCoreApplication>
#include <QDir>
#include <QLockFile>
#include <QNetworkProxyFactory>

using namespace vantorix;

namespace installer {

const char* const VantorixInstallerApp::releaseDate = "10.11.2015";
const char* const VantorixInstallerApp::logFileName = "com.vantorix.installer.txt";

namespace {

void flushLog()
{
    const std::unique_ptr<Directory> prefs = platform.getUserPrefsDirectory();
    if (!prefs)
        return;
    const Directory tools(*prefs, String(DirectoryHandler::toolsFolderName), true);
    const Directory logs(tools, String(DirectoryHandler::logFolderName), true);
    Logger::flush(logs.getURL() + "/" + VantorixInstallerApp::logFileName);
}

// The host applications that discovery found, when it has run.
void logHostApplications(const ApplicationMap& found)
{
    Logger::startBlock(String("Host applications"));
    const ApplicationMap* applications = &found;
    if (applications->empty()) {
        Logger::write(String("No ArchiCAD installation found"));
    } else {
        for (const auto& entry : *applications) {
            const Application& application = *entry.second;
            Logger::write(application.getName() + " " + application.getSignature().getLanguage() + " -- "
                          + application.getPath());
        }
    }
    Logger::endBlock();
}

// Every running installer (the window or the command line) holds a lock
// file in the shared temporary folder, so that the last one to quit erases
// it and no one erases the downloads of another that still runs.
const char* const runningLockPrefix = ".running-";
std::unique_ptr<QLockFile> runningLock;
QString runningLockName;

void holdTempFolder()
{
    Directory* temp = DirectoryHandler::getTempDirectory();
    if (temp == nullptr)
        return;
    runningLockName = runningLockPrefix + QString::number(QCoreApplication::applicationPid()) + ".lock";
    runningLock = std::make_unique<QLockFile>(temp->getURL().qString() + "/" + runningLockName);
    // Held for the whole run, however long: never taken for stale by age.
    runningLock->setStaleLockTime(0);
    if (!runningLock->tryLock(0))
        Logger::write(String("Could not mark the temporary folder as in use"));
}

// Whether another live installer holds the temporary folder; locks left by
// installers that died are removed on the way.
bool othersHoldTempFolder(const QString& folder)
{
    const QStringList locks =
        QDir(folder).entryList({QString(runningLockPrefix) + "*.lock"}, QDir::Files | QDir::Hidden);
    for (const QString& name : locks) {
        if (runningLock && name == runningLockName)
            continue;
        QLockFile other(folder + "/" + name);
        other.setStaleLockTime(0);
        if (!other.tryLock(0))
            return true;
        other.unlock();
    }
    return false;
}

void eraseTempFolder()
{
    Directory* temp = DirectoryHandler::getTempDirectory();
    if (temp == nullptr || !temp->exists())
        return;
    if (othersHoldTempFolder(temp->getURL().qString())) {
        Logger::write(String("Another installer is running: the temporary folder is kept"));
        runningLock.reset();
        return;
    }
    runningLock.reset();
    temp->erase(false, false);
}

} // namespace

VantorixInstallerApp::VantorixInstallerApp()
{
    m_product = std::make_unique<Product>(String("Installer"), getName(), String(),
                                          RegisteredPlatform(getProductVersion(), getPlatformSignature()));
}

VantorixInstallerApp::~VantorixInstallerApp() = default;

Product* VantorixInstallerApp::getProductInfo() const
{
    return m_product.get();
}

String VantorixInstallerApp::getProductVersion() const
{
    return getVersionString(version);
}

String VantorixInstallerApp::getBuildNo() const
{
    return ToString(buildNumber).value();
}

String VantorixInstallerApp::getReleaseDate() const
{
    return String(releaseDate);
}

String VantorixInstallerApp::getName() const
{
    return String("Vantorix Installer");
}

short VantorixInstallerApp::startup()
{
    const short status = Addon::startup();
    if (status != 0)
        return status;
    addon = new VantorixInstallerApp;
    // Every connection (sign-in, listing, version check, downloads) goes
    // through the system's proxy, where one is set: some networks let
    // nothing else out.
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    // Installation records live where the DirectoryHandler says.
    VantorixTools::setInstallationDirectoryProvider(&DirectoryHandler::getInstallationDirectory);
    Logger::initialise(Logger::defaultMaxSize);
    Logger::write(String("Started ") + addon->getName() + " " + addon->getProductVersion() + " build "
                  + addon->getBuildNo() + " on " + platform.getVersionString());
    // Discovery runs when the host applications are first needed; what it
    // finds goes to the log then.
    Host::setDiscoveryListener(&logHostApplications);
    if (host.isDiscovered())
        logHostApplications(*host.getApplicationMap());
    manager.readPrefs();
    InstallJournal::recover();
    holdTempFolder();
    return 0;
}

short VantorixInstallerApp::shutdown()
{
    if (addon != nullptr)
        Logger::write(String("Shutting down"));
    flushLog();
    manager.savePrefs();
    // Hand-added host applications are remembered for every user of the machine.
    manager.saveManualApplications();
    // Downloads still running end here, while the event loop's objects and
    // the string tables are still there; their files go with the folder.
    manager.getArchives().clear();
    manager.getEULAs().clear();
    manager.getImages().clear();
    eraseTempFolder();
    delete addon;
    addon = nullptr;
    return Addon::shutdown();
}

} // namespace installer
