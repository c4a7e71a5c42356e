#include "InstallerPrefs.h"
#include "VantorixInstallerApp.h"

#include "common/FileBytes.h"
#include "common/FullDisk.h"
#include "common/TestSupport.h"

#include <QtTest>

using namespace vantorix;
using namespace installer;

class tst_InstallerPrefs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void exactText();
    void roundTrip();
    void damagedFile_data();
    void damagedFile();
    void failedSaveKeepsPrevious();

private:
    QString prefsFile() const { return m_prefs + "/Vantorix/com.vantorixhq.vantorix_installer.xml"; }

    QString m_prefs;
};

namespace {

// A derived record with a reset of its own, as the manager has: reading and
// writing the preferences must not call it.
class Derived : public InstallerPrefs {
public:
    void setDefault() override { ++resets; }
    int resets = 0;
};

} // namespace

void tst_InstallerPrefs::initTestCase()
{
    m_prefs = qEnvironmentVariable("VANTORIX_PREFS_DIR");
    QVERIFY2(!m_prefs.isEmpty(), "run through ctest: the sandbox folders are not set");
    addon = new VantorixInstallerApp;
}

void tst_InstallerPrefs::cleanupTestCase()
{
    delete addon;
    addon = nullptr;
}

void tst_InstallerPrefs::init()
{
    QDir(m_prefs).removeRecursively();
    QVERIFY(QDir().mkpath(m_prefs));
}

void tst_InstallerPrefs::exactText()
{
    InstallerPrefs prefs;
    prefs.mainSize = DialogSize(812, 604);
    prefs.applicationPath = "/Applications/ArchiCAD 19";
    prefs.savedStatus = updates;
    prefs.commandLinePath = "/Applications/ArchiCAD 19/Add-Ons/VantorixTools/x";
    QVERIFY(prefs.savePrefs());
    const QByteArray expected = readFile(testsupport::dataDir() + "/app/prefs-after-run.xml");
    QCOMPARE(readFile(prefsFile()), expected);
    QVERIFY(!expected.contains("VantorixTools"));

    // Saving again replaces the file rather than appending to it.
    QVERIFY(prefs.savePrefs());
    QCOMPARE(readFile(prefsFile()), expected);
}

// First run: no file, defaults; a save makes folder and file; a record
// derived from the preferences (the manager) is read and written without its
// own reset being called.
void tst_InstallerPrefs::roundTrip()
{
    Derived saved;
    saved.mainSize = DialogSize(1, 2);
    saved.savedStatus = trial;
    saved.readPrefs();
    QCOMPARE(saved.mainSize.width, short(0));
    QCOMPARE(saved.savedStatus, myTools);
    QVERIFY(QDir(m_prefs).isEmpty());

    saved.mainSize = DialogSize(812, 604);
    saved.releaseSize = DialogSize(-1, 32767);
    saved.eulaSize = DialogSize(450, 300);
    saved.applicationPath = "/Applications/Graphisoft <AC> & \"19\"/\u00e9t\u00e9";
    saved.savedStatus = educational;
    QVERIFY(saved.savePrefs());

    Derived read;
    read.commandLinePath = "/kept/until/read";
    read.readPrefs();
    const QList<int> sizes{read.mainSize.width, read.mainSize.height, read.releaseSize.width, read.releaseSize.height,
                           read.eulaSize.width, read.eulaSize.height};
    QCOMPARE(sizes, (QList<int>{812, 604, -1, 32767, 450, 300}));
    QCOMPARE(read.applicationPath.qString(), saved.applicationPath.qString());
    QCOMPARE(read.savedStatus, educational);
    QVERIFY(read.commandLinePath.empty());
    QCOMPARE(QDir(m_prefs + "/Vantorix").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(), 1);
    QCOMPARE(saved.resets + read.resets, 0);
}

void tst_InstallerPrefs::damagedFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QList<int>>("sizes");
    QTest::addColumn<QString>("application");
    QTest::addColumn<int>("status");
    QTest::newRow("truncated") << "prefs-truncated.xml" << QList<int>{900, 700, 500, 400, 0, 0} << "" << int(myTools);
    QTest::newRow("unknown status") << "prefs-unknown-status.xml" << QList<int>{900, 700, 500, 400, 300, 200}
                                    << "/Applications/ArchiCAD 19" << int(myTools);
    QTest::newRow("bad end tag") << "prefs-bad-end-tag.xml" << QList<int>{900, 700, 0, 0, 0, 0}
                                 << "/Applications/ArchiCAD 18" << int(trial);
    QTest::newRow("not xml") << "prefs-not-xml.xml" << QList<int>{0, 0, 0, 0, 0, 0} << "" << int(myTools);
    QTest::newRow("unknown element, any order")
        << "prefs-reordered.xml" << QList<int>{640, 480, 0, 0, 0, 0} << "" << int(educational);
}

void tst_InstallerPrefs::damagedFile()
{
    QFETCH(QString, file);
    QFETCH(QList<int>, sizes);
    QFETCH(QString, application);
    QFETCH(int, status);
    QVERIFY(QDir().mkpath(m_prefs + "/Vantorix"));
    QVERIFY(QFile::copy(testsupport::dataDir() + "/app/" + file, prefsFile()));

    InstallerPrefs prefs;
    prefs.mainSize = DialogSize(5, 5);
    prefs.eulaSize = DialogSize(5, 5);
    prefs.applicationPath = "stale";
    prefs.savedStatus = updates;
    prefs.readPrefs();
    const QList<int> read{prefs.mainSize.width,    prefs.mainSize.height, prefs.releaseSize.width,
                          prefs.releaseSize.height, prefs.eulaSize.width,  prefs.eulaSize.height};
    QCOMPARE(read, sizes);
    QCOMPARE(prefs.applicationPath.qString(), application);
    QCOMPARE(int(prefs.savedStatus), status);
}

// A save that runs out of room fails and leaves the previous file exactly as
// it was, and no stray file. The text is far below the toolkit's write
// buffer, so it reaches the disk only when flushed.
void tst_InstallerPrefs::failedSaveKeepsPrevious()
{
    FullDisk disk(testsupport::sandboxDir() + "/full");
    QVERIFY(disk.isReady());
    qputenv("VANTORIX_PREFS_DIR", QFile::encodeName(disk.path()));
    const QString path = disk.path() + "/Vantorix/com.vantorixhq.vantorix_installer.xml";
    InstallerPrefs prefs;
    prefs.mainSize = DialogSize(812, 604);
    const bool first = prefs.savePrefs();
    const QByteArray previous = readFile(path);
    prefs.savedStatus = trial;
    const bool filled = disk.fill();
    const bool second = prefs.savePrefs();
    disk.release();
    InstallerPrefs read;
    read.readPrefs();
    qputenv("VANTORIX_PREFS_DIR", QFile::encodeName(m_prefs));

    QVERIFY(first && filled);
    QVERIFY(!second);
    QCOMPARE(readFile(path), previous);
    QCOMPARE(QDir(disk.path() + "/Vantorix").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"com.vantorixhq.vantorix_installer.xml"});
    QCOMPARE(read.mainSize.width, short(812));
    QCOMPARE(read.savedStatus, myTools);
}

QTEST_GUILESS_MAIN(tst_InstallerPrefs)
#include "tst_InstallerPrefs.moc"
