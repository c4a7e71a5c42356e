#include "Environment/Platform.h"
#include "File/Directory.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace vantorix;

class tst_Platform : public QObject {
    Q_OBJECT

private slots:
    void foldersFollowEnvironment();
    void missingTempFolderIsNull();
    void configuredAddresses();
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
}

void tst_Platform::missingTempFolderIsNull()
{
    qputenv("TMPDIR", m_dir.filePath(QStringLiteral("gone")).toUtf8());
    QVERIFY(!platform.getTempDirectory());
}

void tst_Platform::configuredAddresses()
{
    qputenv("VANTORIX_MAC_ADDRESSES", " 02-00-5e-10-00-01 ,0A-0B-0C-0D-0E-0F,");
    const std::vector<String> addresses = platform.getMACAddress();
    QCOMPARE(int(addresses.size()), 2);
    QCOMPARE(addresses[0].qString(), QStringLiteral("02-00-5E-10-00-01"));
    QCOMPARE(addresses[1].qString(), QStringLiteral("0A-0B-0C-0D-0E-0F"));
}

void tst_Platform::realAddressesAreFormatted()
{
    qunsetenv("VANTORIX_MAC_ADDRESSES");
    const QRegularExpression form(QStringLiteral("^([0-9A-F]{2}-){5}[0-9A-F]{2}$"));
    for (const String& address : platform.getMACAddress())
        QVERIFY2(form.match(address.qString()).hasMatch(), qPrintable(address.qString()));
}

QTEST_GUILESS_MAIN(tst_Platform)
#include "tst_Platform.moc"
