#include "Environment/Platform.h"
#include "File/Directory.h"
#include "common/FileBytes.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace vantorix;

class tst_Platform : public QObject {
    Q_OBJECT

private slots:
    void foldersFollowEnvironment();
    void onlyPhysicalInterfaces();
    void realAddressesAreFormatted();

private:
    QTemporaryDir m_dir;
};

void tst_Platform::foldersFollowEnvironment()
{
    const QString prefs = m_dir.filePath(QStringLiteral("not yet/Preferences"));
    const QString shared = m_dir.filePath(QStringLiteral("Shared"));
    qputenv("VANTORIX_PREFS_DIR", prefs.toUtf8());
    qputenv("VANTORIX_SHARED_DIR", shared.toUtf8());
    qputenv("TMPDIR", m_dir.path().toUtf8());

    const std::unique_ptr<Directory> prefsDir = platform.getUserPrefsDirectory();
    QVERIFY(prefsDir);
    QVERIFY(prefsDir->exists());
    QCOMPARE(QDir(prefsDir->getURL().qString()).absolutePath(), QDir(prefs).absolutePath());
    const std::unique_ptr<Directory> sharedDir = platform.getSharedDataDirectory();
    QVERIFY(sharedDir && sharedDir->exists());
    QCOMPARE(QDir(sharedDir->getURL().qString()).absolutePath(), QDir(shared).absolutePath());
    const std::unique_ptr<Directory> temp = platform.getTempDirectory();
    QVERIFY(temp);
    QCOMPARE(QDir(temp->getURL().qString()).absolutePath(), QDir(m_dir.path()).absolutePath());
    QVERIFY(!platform.getVersionString().empty());

    // A temporary folder that does not exist is none at all.
    qputenv("TMPDIR", m_dir.filePath(QStringLiteral("gone")).toUtf8());
    QVERIFY(!platform.getTempDirectory());
}

void tst_Platform::onlyPhysicalInterfaces()
{
    // Addresses set for the run are taken as they are, in upper case.
    qputenv("VANTORIX_MAC_ADDRESSES", " 02-00-5e-10-00-01 ,0A-0B-0C-0D-0E-0F,");
    QVERIFY(platform.getMACAddress() == (std::vector<String>{"02-00-5E-10-00-01", "0A-0B-0C-0D-0E-0F"}));

    // A fake /sys/class/net: name, link type, address, and which of
    // "device", "phy80211" or "bridge" it holds.
    const QString root = m_dir.filePath(QStringLiteral("net"));
    const struct {
        const char* name;
        const char* type;
        const char* address;
        const char* marks;
    } interfaces[] = {
        {"lo", "772", "00:00:00:00:00:00", ""},
        {"wlp2s0", "1", "0a:00:00:00:00:03", "device phy80211"},
        {"eth1", "1", "0a:00:00:00:00:02", "device"},
        {"enp3s0", "1", "0a:00:00:00:00:01", "device"},
        {"usb0", "1", "0A:00:00:00:00:02", "device"}, // the same card again
        {"enp0s31f6", "1", "00:00:00:00:00:00", "device"},
        {"ib0", "32", "80:00:02:08:fe:80:00:00:00:00:00:00:00:11:22:33:44:55:66:77", "device"},
        {"docker0", "1", "02:42:ac:11:00:01", "bridge"},
        {"veth12ab", "1", "02:42:ac:11:00:02", ""},
        {"tun0", "65534", "", ""},
    };
    for (const auto& entry : interfaces) {
        const QString folder = root + QLatin1Char('/') + QLatin1String(entry.name);
        writeFile(folder + QStringLiteral("/type"), QByteArray(entry.type) + '\n');
        writeFile(folder + QStringLiteral("/address"), QByteArray(entry.address) + '\n');
        for (const QString& mark : QString::fromLatin1(entry.marks).split(QLatin1Char(' '), Qt::SkipEmptyParts))
            QVERIFY(QDir().mkpath(folder + QLatin1Char('/') + mark));
    }
    writeFile(root + QStringLiteral("/bonding_masters"), "");
    qunsetenv("VANTORIX_MAC_ADDRESSES");
    qputenv("VANTORIX_SYS_CLASS_NET", QFile::encodeName(root));

    // Wired first, each kind by name; virtual, null, odd-sized and repeated addresses left out.
    QStringList found;
    for (const String& address : platform.getMACAddress())
        found.append(address.qString());
    QCOMPARE(found, (QStringList{"0A-00-00-00-00-01", "0A-00-00-00-00-02", "0A-00-00-00-00-03"}));

    // A folder without interfaces is no list at all, not the toolkit's.
    qputenv("VANTORIX_SYS_CLASS_NET", QFile::encodeName(m_dir.filePath(QStringLiteral("empty"))));
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("empty"))));
    QVERIFY(platform.getMACAddress().empty());
    qunsetenv("VANTORIX_SYS_CLASS_NET");
}

void tst_Platform::realAddressesAreFormatted()
{
    qunsetenv("VANTORIX_MAC_ADDRESSES");
    qunsetenv("VANTORIX_SYS_CLASS_NET");
    const std::vector<String> addresses = platform.getMACAddress();
    if (addresses.empty())
        QSKIP("This machine has no physical network interface (a sandbox or container); the filtering is "
              "checked on a fake interface folder by onlyPhysicalInterfaces.");
    const QRegularExpression form(QStringLiteral("^([0-9A-F]{2}-){5}[0-9A-F]{2}$"));
    for (const String& address : addresses)
        QVERIFY2(form.match(address.qString()).hasMatch(), qPrintable(address.qString()));
    // Asked twice, the same list in the same order (it is a key).
    QVERIFY(platform.getMACAddress() == addresses);
}

QTEST_GUILESS_MAIN(tst_Platform)
#include "tst_Platform.moc"
