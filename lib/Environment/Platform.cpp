#include "Environment/Platform.h"

#include "File/Directory.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QNetworkInterface>
#include <QStandardPaths>
#include <QSysInfo>
#include <QUrl>

#include <algorithm>

namespace vantorix {

Platform platform;

namespace {

// A folder at path as an owned Directory, created first when asked; null when
// the path is empty or the folder is not there afterwards.
std::unique_ptr<Directory> folderAt(const QString& path, bool create)
{
    if (path.isEmpty())
        return nullptr;
    if (create)
        QDir().mkpath(path);
    if (!QFileInfo(path).isDir())
        return nullptr;
    return std::make_unique<Directory>(String(QDir::toNativeSeparators(QDir::cleanPath(path))), false);
}

QString firstStandardLocation(QStandardPaths::StandardLocation location)
{
    const QStringList locations = QStandardPaths::standardLocations(location);
    return locations.isEmpty() ? QString() : locations.first();
}

} // namespace

String Platform::getVersionString() const
{
    return String(QSysInfo::productVersion());
}

std::unique_ptr<Directory> Platform::getUserPrefsDirectory() const
{
    QString path = qEnvironmentVariable("VANTORIX_PREFS_DIR");
    if (path.isEmpty()) {
#ifdef Q_OS_MACOS
        path = QDir::homePath() + QStringLiteral("/Library/Preferences");
#else
        path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
#endif
    }
    return folderAt(path, true);
}

std::unique_ptr<Directory> Platform::getSharedDataDirectory() const
{
    QString path = qEnvironmentVariable("VANTORIX_SHARED_DIR");
    if (path.isEmpty()) {
#ifdef Q_OS_MACOS
        path = QStringLiteral("/Users/Shared");
#else
        const QFileInfo machineWide(QStringLiteral("/var/lib/vantorix"));
        if (machineWide.isDir() && machineWide.isWritable())
            path = machineWide.filePath();
        else
            path = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#endif
    }
    return folderAt(path, true);
}

std::unique_ptr<Directory> Platform::getUserHomeDirectory() const
{
    return folderAt(QDir::homePath(), false);
}

std::unique_ptr<Directory> Platform::getCurrentDirectory() const
{
    if (QCoreApplication::instance() == nullptr)
        return folderAt(QDir::currentPath(), false);
    return folderAt(QCoreApplication::applicationDirPath(), false);
}

std::unique_ptr<Directory> Platform::getDocumentDirectory() const
{
    return folderAt(firstStandardLocation(QStandardPaths::DocumentsLocation), false);
}

std::unique_ptr<Directory> Platform::getLocalDataDirectory() const
{
    return folderAt(firstStandardLocation(QStandardPaths::AppDataLocation), false);
}

std::unique_ptr<Directory> Platform::getTempDirectory() const
{
    // QDir::tempPath follows TMPDIR.
    return folderAt(QDir::tempPath(), false);
}

std::vector<String> Platform::getMACAddress() const
{
    std::vector<String> addresses;
    const QString configured = qEnvironmentVariable("VANTORIX_MAC_ADDRESSES");
    if (!configured.isEmpty()) {
        for (const QString& address : configured.split(QLatin1Char(','), Qt::SkipEmptyParts))
            addresses.emplace_back(address.trimmed().toUpper());
        return addresses;
    }

    QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    // Ethernet first, then the others in the system's order.
    std::stable_sort(interfaces.begin(), interfaces.end(), [](const QNetworkInterface& a, const QNetworkInterface& b) {
        return a.type() == QNetworkInterface::Ethernet && b.type() != QNetworkInterface::Ethernet;
    });
    for (const QNetworkInterface& networkInterface : interfaces) {
        if (networkInterface.flags().testFlag(QNetworkInterface::IsLoopBack))
            continue;
        const QString hardware = networkInterface.hardwareAddress();
        // Only six-byte addresses, written "AA:BB:CC:DD:EE:FF" by Qt.
        if (hardware.size() != 17 || hardware == QLatin1String("00:00:00:00:00:00"))
            continue;
        const String formatted(hardware.toUpper().replace(QLatin1Char(':'), QLatin1Char('-')));
        if (std::find(addresses.begin(), addresses.end(), formatted) == addresses.end())
            addresses.push_back(formatted);
    }
    return addresses;
}

bool Platform::launchUrl(const String& url) const
{
    return QDesktopServices::openUrl(QUrl(url.qString()));
}

} // namespace vantorix
