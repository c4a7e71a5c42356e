#include "Applications/Application.h"

#include "Applications/ArchiCADInfo.h"
#include "Applications/LocalisedApplication.h"
#include "Environment/Host.h"
#include "Environment/Platform.h"
#include "File/Directory.h"
#include "File/File.h"
#include "Utility/Convert.h"
#include "Utility/Logger.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <iterator>
#include <vector>

namespace vantorix {

namespace {

const char* const childTags[] = {"signature", "path"};

// The per-user cache folder of the host's caches.
String userCacheLocation()
{
    const QStringList locations = QStandardPaths::standardLocations(QStandardPaths::GenericCacheLocation);
#ifdef Q_OS_MACOS
    // ~/Library/Caches, not the machine's /Library/Caches.
    for (const QString& location : locations) {
        if (location.contains(QLatin1String("Users")))
            return String(location);
    }
#else
    // Elsewhere the user's cache folder lies in the home folder, wherever
    // that is.
    const QString home = QDir::homePath();
    for (const QString& location : locations) {
        if (location.startsWith(home + QLatin1Char('/')))
            return String(location);
    }
#endif
    return String();
}

} // namespace

const char* const Application::locationStr[7] = {"dll",           "library",          "identifier",     "extra",
                                                  "userPreference", "globalPreference", "workEnvironment"};
const char* const Application::tag = "application";

Application::Application() = default;

Application::Application(HostType::ID host, const String& path)
    : m_signature(host, Host::version, ApplicationSignature::full, defaultLanguage), m_path(path)
{
}

Application::Application(const ApplicationSignature& signature, const String& path)
    : m_signature(signature), m_path(path)
{
}

Application::~Application() = default;

void Application::initialise() const
{
    if (m_initialised)
        return;
    m_initialised = true;
    m_valid = false;
    m_signature.setType(ApplicationSignature::full);
    m_directories.clear();
    m_extensions.clear();

    if (m_signature.getHostID() == HostType::all || m_path.empty() || !QFileInfo(m_path.qString()).isDir())
        return;
    m_valid = true;

    // Only ArchiCAD hosts are ever created; their folders are worked out here.
    String addOnFolder("Add-Ons");
    String libraryFolder("ArchiCAD Library ");
    std::unique_ptr<ArchiCADInfo> info = ArchiCADInfo::loadFrom(m_path);
    if (!info) {
        // Still usable for its default folders, but callers drop it.
        m_valid = false;
    } else {
        m_signature.setVersion(info->getVersion());
        m_signature.setType(info->getType());
        m_signature.setLanguage(info->getLanguage());
        m_prefsPostfix = info->getPrefsPostfix();
        if (!info->getLanguage().empty()) {
            if (const LocalisedApplication* names = LocalisedApplication::find(info->getLanguage())) {
                addOnFolder = names->getAddOnFolder();
                libraryFolder = names->getLibraryFolder();
            }
        }
    }
    libraryFolder += m_signature.toString();

    const String delimiter(File::pathDelimiter);
    const String version = ToString(m_signature.getVersion()).value();
    m_directories[dll] = addOnFolder + delimiter + "VantorixTools" + delimiter;
    m_directories[library] = libraryFolder + delimiter + "Vantorix Library " + version + delimiter;
    m_directories[extra] = String("VantorixTools Extras") + delimiter;
    m_extensions[dll] = "apx";
    m_extensions[library] = "lcf";
    m_extensions[extra] = "txt";
}

void Application::forget()
{
    m_initialised = false;
    m_valid = false;
    m_directories.clear();
    m_extensions.clear();
    m_prefsPostfix.clear();
}

bool Application::isValid() const
{
    initialise();
    return m_valid;
}

const ApplicationSignature& Application::getSignature() const
{
    initialise();
    return m_signature;
}

String Application::getName() const
{
    return getSignature().getName();
}

const String& Application::getPrefsPostfix() const
{
    initialise();
    return m_prefsPostfix;
}

String Application::getDirectory(Location location) const
{
    initialise();
    const auto it = m_directories.find(location);
    if (it == m_directories.end())
        return String();
    return m_path + File::pathDelimiter + it->second;
}

String Application::getDefaultExtension(Location location) const
{
    initialise();
    const auto it = m_extensions.find(location);
    return it == m_extensions.end() ? String() : it->second;
}

bool Application::isRunning() const
{
    // A running host has its executable in a bundle directly in this
    // installation's folder: <path>/<bundle>.app/Contents/MacOS/<executable>.
    // The process table is read directly: no program is started for it.
    const QString own = QDir::cleanPath(m_path.qString());
    if (own.isEmpty())
        return false;
    for (const QString& program : platform.getRunningProgramPaths()) {
        const QStringList parts = QDir::cleanPath(program).split(QLatin1Char('/'));
        if (parts.size() < 5)
            continue;
        const int n = parts.size();
        if (parts.at(n - 2) != QLatin1String("MacOS") || parts.at(n - 3) != QLatin1String("Contents") ||
            !parts.at(n - 4).endsWith(QLatin1String(".app"), Qt::CaseInsensitive))
            continue;
        if (parts.mid(0, n - 4).join(QLatin1Char('/')) == own)
            return true;
    }
    return false;
}

std::unique_ptr<Directory> Application::getCacheDirectory() const
{
    initialise();
    if (m_signature.getHostID() != HostType::archiCAD)
        return nullptr;
    const String caches = userCacheLocation();
    if (caches.empty())
        return nullptr;
    const QString cacheRoot = caches.qString() + QStringLiteral("/Graphisoft/ArchiCAD-64 Cache Folder");
    const QDir root(cacheRoot);
    const QFileInfoList entries = root.entryInfoList(
        QDir::AllEntries | QDir::AllDirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& entry : entries) {
        if (!entry.fileName().contains(m_prefsPostfix.qString()))
            continue;
        const QString canonical = entry.canonicalFilePath();
        if (!canonical.isEmpty() && QFileInfo(canonical).isDir())
            return std::make_unique<Directory>(String(entry.absoluteFilePath()));
    }
    return nullptr;
}

void Application::clearCache() const
{
    Logger::startBlock("Clearing Cache");
    bool stop = false;
    if (!isValid()) {
        Logger::write("Application is invalid -- Means ProductVersion.xml wasn't found");
        stop = true;
    }
    if (getPrefsPostfix().empty()) {
        Logger::write("<prefspostfix> element in ProductVersion.xml was empty");
        stop = true;
    }
    if (!stop) {
        std::unique_ptr<Directory> cache = getCacheDirectory();
        if (!cache) {
            Logger::write("Cache directory is NULL");
        } else if (!cache->exists()) {
            Logger::write("Cache directory not NULL, but doens't exist");
        } else if (cache->erase(true, true)) {
            Logger::write("Cache successfully cleared -- " + cache->getURL());
        } else {
            Logger::write("Filed to clear Cache -- " + cache->getURL());
        }
    }
    Logger::endBlock();
}

ShippingPtr Application::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0: return ship(m_signature, childTags[0]);
    case 1: return ship(m_path, childTags[1]);
    default: return nullptr;
    }
}

ShippingPtr Application::getShipping(const String& tag, const String&)
{
    return childByTag(tag, childTags, std::size(childTags));
}

void Application::setDefault()
{
    m_signature.setDefault();
    m_path.clear();
    forget();
}

bool Application::validate()
{
    forget();
    return true;
}

} // namespace vantorix
