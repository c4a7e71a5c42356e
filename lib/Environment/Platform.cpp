#include "Environment/Platform.h"

#include "File/Directory.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkInterface>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>
#include <QUrl>

#include <algorithm>

#ifdef Q_OS_MACOS
#include <libproc.h>
#include <sys/proc_info.h>
#endif

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

// A physical network interface: its name, whether it is wired Ethernet
// (else Wi-Fi), and its hardware address as the system writes it.
struct NetworkCard {
    QString name;
    bool ethernet = true;
    QString address;
};

QByteArray readSmallFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(256).trimmed() : QByteArray();
}

// Linux describes every interface in /sys/class/net/<name>. A physical one
// has a "device" (the bus device behind it; bridges, tunnels, VPNs, veth and
// other virtual interfaces have none) and is of the Ethernet link type (1,
// which Wi-Fi shares; Wi-Fi has "wireless" or "phy80211" besides). False
// where there is no such folder. A machine whose only interfaces are
// virtual (a container) thus has no addresses rather than unstable ones.
bool sysfsCards(std::vector<NetworkCard>& cards)
{
    QString root = qEnvironmentVariable("VANTORIX_SYS_CLASS_NET");
    if (root.isEmpty()) {
#ifdef Q_OS_LINUX
        root = QStringLiteral("/sys/class/net");
#else
        return false;
#endif
    }
    const QDir folder(root);
    if (!folder.exists())
        return false;
    for (const QString& name : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QDir entry(folder.filePath(name));
        if (!QFileInfo::exists(entry.filePath(QStringLiteral("device"))) ||
            readSmallFile(entry.filePath(QStringLiteral("type"))) != "1")
            continue;
        NetworkCard card;
        card.name = name;
        card.ethernet = !QFileInfo::exists(entry.filePath(QStringLiteral("wireless"))) &&
                        !QFileInfo::exists(entry.filePath(QStringLiteral("phy80211")));
        card.address = QString::fromLatin1(readSmallFile(entry.filePath(QStringLiteral("address"))));
        cards.push_back(card);
    }
    return true;
}

// Elsewhere the toolkit's list, wired and wireless interfaces only; on macOS
// the built-in ones are named "en<N>" (bridges, tunnels and the peer-to-peer
// interfaces have other names).
std::vector<NetworkCard> toolkitCards()
{
    std::vector<NetworkCard> cards;
    for (const QNetworkInterface& networkInterface : QNetworkInterface::allInterfaces()) {
        const QNetworkInterface::InterfaceType type = networkInterface.type();
        if (networkInterface.flags().testFlag(QNetworkInterface::IsLoopBack) ||
            (type != QNetworkInterface::Ethernet && type != QNetworkInterface::Wifi))
            continue;
#ifdef Q_OS_MACOS
        if (!networkInterface.name().startsWith(QLatin1String("en")))
            continue;
#endif
        cards.push_back({networkInterface.name(), type == QNetworkInterface::Ethernet, networkInterface.hardwareAddress()});
    }
    return cards;
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

    std::vector<NetworkCard> cards;
    if (!sysfsCards(cards))
        cards = toolkitCards();
    std::stable_sort(cards.begin(), cards.end(), [](const NetworkCard& a, const NetworkCard& b) {
        if (a.ethernet != b.ethernet)
            return a.ethernet;
        return a.name < b.name;
    });
    for (const NetworkCard& card : cards) {
        const QString hardware = card.address.trimmed().toUpper();
        // Only six-byte addresses, "AA:BB:CC:DD:EE:FF", and never the null one.
        static const QRegularExpression sixBytes(QStringLiteral("^([0-9A-F]{2}:){5}[0-9A-F]{2}$"));
        if (!sixBytes.match(hardware).hasMatch() || hardware == QLatin1String("00:00:00:00:00:00"))
            continue;
        const String formatted(QString(hardware).replace(QLatin1Char(':'), QLatin1Char('-')));
        if (std::find(addresses.begin(), addresses.end(), formatted) == addresses.end())
            addresses.push_back(formatted);
    }
    return addresses;
}

bool Platform::launchUrl(const String& url) const
{
    return QDesktopServices::openUrl(QUrl(url.qString()));
}

std::vector<QString> Platform::getRunningProgramPaths() const
{
    std::vector<QString> paths;
#if defined(Q_OS_MACOS)
    std::vector<pid_t> pids(4096);
    int count = proc_listallpids(pids.data(), int(pids.size() * sizeof(pid_t)));
    for (int i = 0; i < count; ++i) {
        char path[PROC_PIDPATHINFO_MAXSIZE];
        if (proc_pidpath(pids[std::size_t(i)], path, sizeof path) > 0)
            paths.push_back(QString::fromUtf8(path));
    }
#elif defined(Q_OS_LINUX)
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& process : processes) {
        bool number = false;
        process.toInt(&number);
        if (!number)
            continue;
        const QString folder = QStringLiteral("/proc/") + process;
        const QString executable = QFileInfo(folder + QStringLiteral("/exe")).symLinkTarget();
        if (!executable.isEmpty())
            paths.push_back(executable);
        QFile commandLine(folder + QStringLiteral("/cmdline"));
        if (!commandLine.open(QIODevice::ReadOnly))
            continue;
        // The first argument only: it ends at the first NUL.
        const QByteArray first = commandLine.read(4096).split('\0').value(0);
        if (first.startsWith('/'))
            paths.push_back(QFile::decodeName(first));
    }
#endif
    return paths;
}

} // namespace vantorix
