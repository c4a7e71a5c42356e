#include "DirectoryHandler.h"
#include "VantorixInstallerApp.h"

#include "Catalogue/Product.h"
#include "File/DataFile.h"
#include "File/Directory.h"

#include <QtTest>

using namespace vantorix;
using namespace installer;

namespace {

const QFileDevice::Permissions everybody = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
    | QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
    | QFileDevice::WriteOther | QFileDevice::ExeOther;

bool openToAll(const QString& path)
{
    return (QFileInfo(path).permissions() & everybody) == everybody;
}

void emptyFolder(const QString& path)
{
    QDir(path).removeRecursively();
    QDir().mkpath(path);
}

} // namespace

class tst_DirectoryHandler : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void fileNameForm_data();
    void fileNameForm();
    void preferenceFileName();
    void sharedFolders_data();
    void sharedFolders();
    void logFolder();
    void preferenceFiles_data();
    void preferenceFiles();
    void tempFolder();

private:
    QString m_prefs;
    QString m_shared;
};

void tst_DirectoryHandler::initTestCase()
{
    m_prefs = qEnvironmentVariable("VANTORIX_PREFS_DIR");
    m_shared = qEnvironmentVariable("VANTORIX_SHARED_DIR");
    QVERIFY2(!m_prefs.isEmpty() && !m_shared.isEmpty(), "run through ctest: the sandbox folders are not set");
    addon = new VantorixInstallerApp;
}

void tst_DirectoryHandler::cleanupTestCase()
{
    delete addon;
    addon = nullptr;
}

void tst_DirectoryHandler::init()
{
    emptyFolder(m_prefs);
    emptyFolder(m_shared);
}

void tst_DirectoryHandler::fileNameForm_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("form");
    QTest::newRow("ends trimmed") << " \tMesh Tools\r\n" << "mesh_tools";
    QTest::newRow("tabs and line ends inside") << "A\tB\r\nC" << "a_b__c";
    QTest::newRow("only blanks") << " \t " << "";
    QTest::newRow("other characters stay") << "Stair-Maker 2.0" << "stair-maker_2.0";
}

void tst_DirectoryHandler::fileNameForm()
{
    QFETCH(QString, name);
    QFETCH(QString, form);
    QCOMPARE(DirectoryHandler::fileNameForm(String(name)).qString(), form);
    // A product's file name part is made the same way.
    QCOMPARE(Product::getURLName(String(name)).qString(), form);
}

void tst_DirectoryHandler::preferenceFileName()
{
    // Without the application object there is no preference file.
    Addon* app = addon;
    addon = nullptr;
    QVERIFY(DirectoryHandler::getPreferenceFileName().empty());
    QVERIFY(!DirectoryHandler::getPreferenceFile(true));
    addon = app;
    QVERIFY(!QFileInfo::exists(m_prefs + "/Vantorix/"));
}

void tst_DirectoryHandler::sharedFolders_data()
{
    QTest::addColumn<bool>("installation");
    QTest::newRow("Vantorix Tools") << false;
    QTest::newRow("Installation") << true;
}

// Made only when asked, and then opened to every user; an existing folder is
// handed out as it is.
void tst_DirectoryHandler::sharedFolders()
{
    QFETCH(bool, installation);
    const auto get = installation ? &DirectoryHandler::getInstallationDirectory : &DirectoryHandler::getVantorixDirectory;
    const QString expected = m_shared + (installation ? "/Vantorix Tools/Installation" : "/Vantorix Tools");
    QVERIFY(!get(false));
    QVERIFY(QDir(m_shared).isEmpty());

    const auto made = get(true);
    QVERIFY(made && made->exists());
    QCOMPARE(made->getURL().qString(), expected);
    QVERIFY(openToAll(expected));

    QVERIFY(QFile::setPermissions(expected, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    QVERIFY(get(false) && get(true));
    QVERIFY(!openToAll(expected));
}

void tst_DirectoryHandler::logFolder()
{
    QVERIFY(QDir().mkpath(m_prefs + "/Vantorix Tools"));
    QVERIFY(!DirectoryHandler::getLogDirectory());
    QVERIFY(!QFileInfo::exists(m_prefs + "/Vantorix Tools/Logs"));
    QVERIFY(QDir().mkpath(m_prefs + "/Vantorix Tools/Logs"));
    const auto logs = DirectoryHandler::getLogDirectory();
    QVERIFY(logs && logs->getURL().qString() == m_prefs + "/Vantorix Tools/Logs");
}

void tst_DirectoryHandler::preferenceFiles_data()
{
    QTest::addColumn<bool>("shared");
    QTest::newRow("user's") << false;
    QTest::newRow("shared") << true;
}

// Nothing is made without create; the shared file is read-only unless asked
// to be made, and made open to every user.
void tst_DirectoryHandler::preferenceFiles()
{
    QFETCH(bool, shared);
    const auto get = shared ? &DirectoryHandler::getSharedPreferenceFile : &DirectoryHandler::getPreferenceFile;
    const QString folder = (shared ? m_shared : m_prefs) + "/Vantorix";
    const QString expected = folder + "/com.vantorixhq.vantorix_installer.xml";
    QVERIFY(!get(false));
    QVERIFY(!QFileInfo::exists(folder));

    const auto made = get(true);
    QVERIFY(made);
    QCOMPARE(made->getLocation().qString(), expected);
    QCOMPARE(made->getPermission(), DataFile::Permission(DataFile::readWrite));
    QCOMPARE(QFileInfo(expected).size(), 0);
    QCOMPARE(get(false)->getPermission(), DataFile::Permission(shared ? DataFile::readOnly : DataFile::readWrite));
    QCOMPARE(openToAll(folder), shared);
    QCOMPARE(QFileInfo(expected).permissions().testFlag(QFileDevice::WriteOther), shared);

    // The folder without the file: nothing is made without create.
    QVERIFY(QFile::remove(expected));
    QVERIFY(!get(false));
    QVERIFY(!QFileInfo::exists(expected));
}

void tst_DirectoryHandler::tempFolder()
{
    Directory* first = DirectoryHandler::getTempDirectory();
    QVERIFY(first && first->exists());
    QCOMPARE(first->getURL().qString(), QDir::tempPath() + "/Vantorix Installer");

    // Erased (as at shut-down): the same object, made again.
    QVERIFY(first->erase(false, false));
    QCOMPARE(DirectoryHandler::getTempDirectory(), first);
    QVERIFY(first->exists());
}

QTEST_GUILESS_MAIN(tst_DirectoryHandler)
#include "tst_DirectoryHandler.moc"
