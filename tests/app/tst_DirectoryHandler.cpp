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
    void toolsFolder();
    void installationFolder();
    void logFolder();
    void preferenceFile();
    void sharedPreferenceFile();
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
    QTest::newRow("program") << "Vantorix Installer" << "vantorix_installer";
    QTest::newRow("ends trimmed") << " \tMesh Tools\r\n" << "mesh_tools";
    QTest::newRow("two blanks") << "A  B" << "a__b";
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

void tst_DirectoryHandler::toolsFolder()
{
    QVERIFY(!DirectoryHandler::getVantorixDirectory(false));
    QVERIFY(QDir(m_shared).isEmpty());

    const auto made = DirectoryHandler::getVantorixDirectory(true);
    QVERIFY(made);
    QCOMPARE(made->getURL().qString(), m_shared + "/Vantorix Tools");
    QVERIFY(made->exists());
    QVERIFY(openToAll(m_shared + "/Vantorix Tools"));

    // An existing folder is handed out as it is, whether or not create is set.
    QVERIFY(QFile::setPermissions(m_shared + "/Vantorix Tools",
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    QVERIFY(DirectoryHandler::getVantorixDirectory(false));
    QVERIFY(DirectoryHandler::getVantorixDirectory(true));
    QVERIFY(!openToAll(m_shared + "/Vantorix Tools"));
}

void tst_DirectoryHandler::installationFolder()
{
    QVERIFY(!DirectoryHandler::getInstallationDirectory(false));
    QVERIFY(QDir(m_shared).isEmpty());

    const auto made = DirectoryHandler::getInstallationDirectory(true);
    QVERIFY(made);
    QCOMPARE(made->getURL().qString(), m_shared + "/Vantorix Tools/Installation");
    QVERIFY(openToAll(m_shared + "/Vantorix Tools/Installation"));
    QVERIFY(DirectoryHandler::getInstallationDirectory(false));
}

void tst_DirectoryHandler::logFolder()
{
    QVERIFY(!DirectoryHandler::getLogDirectory());
    QVERIFY(QDir().mkpath(m_prefs + "/Vantorix Tools"));
    QVERIFY(!DirectoryHandler::getLogDirectory());
    QVERIFY(!QFileInfo::exists(m_prefs + "/Vantorix Tools/Logs"));
    QVERIFY(QDir().mkpath(m_prefs + "/Vantorix Tools/Logs"));
    const auto logs = DirectoryHandler::getLogDirectory();
    QVERIFY(logs);
    QCOMPARE(logs->getURL().qString(), m_prefs + "/Vantorix Tools/Logs");
}

void tst_DirectoryHandler::preferenceFile()
{
    const QString expected = m_prefs + "/Vantorix/com.vantorixhq.vantorix_installer.xml";
    QVERIFY(!DirectoryHandler::getPreferenceFile(false));
    QVERIFY(!QFileInfo::exists(m_prefs + "/Vantorix"));

    const auto made = DirectoryHandler::getPreferenceFile(true);
    QVERIFY(made);
    QCOMPARE(made->getLocation().qString(), expected);
    QCOMPARE(made->getPermission(), DataFile::Permission(DataFile::readWrite));
    QCOMPARE(QFileInfo(expected).size(), 0);
    QCOMPARE(DirectoryHandler::getPreferenceFile(false)->getPermission(), DataFile::Permission(DataFile::readWrite));

    // The folder without the file: nothing is made without create.
    QVERIFY(QFile::remove(expected));
    QVERIFY(!DirectoryHandler::getPreferenceFile(false));
    QVERIFY(!QFileInfo::exists(expected));
}

void tst_DirectoryHandler::sharedPreferenceFile()
{
    const QString expected = m_shared + "/Vantorix/com.vantorixhq.vantorix_installer.xml";
    QVERIFY(!DirectoryHandler::getSharedPreferenceFile(false));
    QVERIFY(QDir(m_shared).isEmpty());

    const auto made = DirectoryHandler::getSharedPreferenceFile(true);
    QVERIFY(made);
    QCOMPARE(made->getLocation().qString(), expected);
    QCOMPARE(made->getPermission(), DataFile::Permission(DataFile::readWrite));
    QVERIFY(openToAll(m_shared + "/Vantorix"));
    QVERIFY(QFileInfo(expected).permissions().testFlag(QFileDevice::WriteOther));

    const auto readOnly = DirectoryHandler::getSharedPreferenceFile(false);
    QVERIFY(readOnly);
    QCOMPARE(readOnly->getPermission(), DataFile::Permission(DataFile::readOnly));
}

void tst_DirectoryHandler::tempFolder()
{
    Directory* first = DirectoryHandler::getTempDirectory();
    QVERIFY(first);
    QCOMPARE(first->getURL().qString(), QDir::tempPath() + "/Vantorix Installer");
    QVERIFY(first->exists());
    QCOMPARE(DirectoryHandler::getTempDirectory(), first);

    // Erased (as at shut-down): the same object, made again.
    QVERIFY(first->erase(false, false));
    QCOMPARE(DirectoryHandler::getTempDirectory(), first);
    QVERIFY(first->exists());
}

QTEST_GUILESS_MAIN(tst_DirectoryHandler)
#include "tst_DirectoryHandler.moc"
