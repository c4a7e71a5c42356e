#include "Environment/Host.h"

#include "Applications/ApplicationMap.h"
#include "Applications/BundleSearch.h"
#include "Database/Guid.h"
#include "File/File.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTextStream>
#include <QWidget>

namespace vantorix {

Host host;

namespace {

const char* const searchPathVariable = "VANTORIX_HOST_SEARCH_PATH";

#ifdef Q_OS_MACOS
const int processTimeout = 30000;

// Asks Spotlight for every application bundle named archicad*.app in any
// letter case. Empty when mdfind cannot be run or does not finish in time.
QByteArray askSpotlight()
{
    QProcess mdfind;
    mdfind.start(QStringLiteral("mdfind"),
                 {QStringLiteral("kMDItemContentType = com.apple.application-bundle && "
                                 "kMDItemFSName = 'archicad*.app'c")});
    if (!mdfind.waitForStarted(processTimeout))
        return QByteArray();
    if (!mdfind.waitForFinished(processTimeout)) {
        mdfind.kill();
        mdfind.waitForFinished(processTimeout);
        return QByteArray();
    }
    return mdfind.readAllStandardOutput();
}
#endif

} // namespace

namespace {

Host::DiscoveryListener& discoveryListener()
{
    static Host::DiscoveryListener listener;
    return listener;
}

} // namespace

Host::Host() = default;

Host::~Host() = default;

void Host::initialise()
{
    discover();
}

const ApplicationMap* Host::getApplicationMap() const
{
    if (!m_applications)
        discover();
    return m_applications.get();
}

void Host::discover() const
{
    auto applications = std::make_unique<ApplicationMap>();
    loadArchiCAD(*applications);
    // Vectorworks installations are not looked for.
    m_applications = std::move(applications);
    if (discoveryListener())
        discoveryListener()(*m_applications);
}

void Host::setDiscoveryListener(DiscoveryListener listener)
{
    discoveryListener() = std::move(listener);
}

String Host::getLanguage() const
{
    return String(defaultLanguage);
}

String Host::getLocalString(short table, short index) const
{
    auto cached = m_strings.find(table);
    if (cached == m_strings.end()) {
        QFile resource(QStringLiteral(":/Strings/%1.txt").arg(table));
        if (!resource.open(QIODevice::ReadOnly | QIODevice::Text))
            return String();
        auto lines = std::make_unique<std::vector<String>>();
        QTextStream in(&resource);
        in.setCodec("UTF-8");
        while (!in.atEnd())
            lines->emplace_back(in.readLine());
        cached = m_strings.emplace(table, std::move(lines)).first;
    }
    const std::vector<String>& lines = *cached->second;
    if (index < 0 || static_cast<std::size_t>(index) >= lines.size())
        return String();
    return lines[static_cast<std::size_t>(index)];
}

unsigned long long Host::getActiveWindowHandle() const
{
    const QWidget* window = QApplication::activeWindow();
    return window ? static_cast<unsigned long long>(window->winId()) : 0;
}

const std::map<short, bool>& Host::getSupportedVersions()
{
    static const std::map<short, bool> versions{{18, true}, {19, true}};
    return versions;
}

bool Host::isSupportedVersion(short version)
{
    const std::map<short, bool>& versions = getSupportedVersions();
    return versions.find(version) != versions.end();
}

void Host::loadArchiCAD(ApplicationMap& map)
{
    loadArchiCAD(map, findArchiCADBundles());
}

void Host::loadArchiCAD(ApplicationMap& map, const QByteArray& bundlePaths)
{
    for (const QByteArray& raw : bundlePaths.split('\n')) {
        String path(QString::fromUtf8(raw));
        replaceEnclosing(path, String::lineEnding, "", true, true);
        replaceEnclosing(path, File::pathDelimiter, "", false, true);
        if (path.empty())
            continue;
        const QFileInfo bundle(path.qString());
        if (!bundle.exists())
            continue;
        // The installation folder is the one that holds the bundle; a folder
        // holding two bundles (a second copy, a helper) is one installation.
        const String folder(bundle.absolutePath());
        if (map.findInstallation(folder))
            continue;
        auto application = std::make_unique<Application>(HostType::archiCAD, folder);
        if (!application->isValid() || !isSupportedVersion(application->getSignature().getVersion()))
            continue;
        map.insert(Guid().generate(), std::move(application));
    }
}

QStringList Host::searchRoots()
{
    if (qEnvironmentVariableIsSet(searchPathVariable)) {
        QStringList roots;
        for (const QString& root : qEnvironmentVariable(searchPathVariable).split(QDir::listSeparator())) {
            if (!root.isEmpty())
                roots.append(root);
        }
        return roots;
    }
    return {QStringLiteral("/Applications"), QStringLiteral("/opt"), QDir::homePath() + QStringLiteral("/Applications")};
}

QByteArray Host::findArchiCADBundles()
{
#ifdef Q_OS_MACOS
    if (!qEnvironmentVariableIsSet(searchPathVariable))
        return askSpotlight();
#endif
    return BundleSearch(QByteArrayLiteral("archicad"), QByteArrayLiteral(".app")).find(searchRoots());
}

} // namespace vantorix
