#include "VantorixInstallerApp.h"
#include "common/FileBytes.h"
#include "common/TestSupport.h"

#include "Environment/Addon.h"
#include "Utility/Logger.h"

#include <QLockFile>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <memory>

using namespace installer;
using namespace vantorix;

class tst_Lifecycle : public QObject {
    Q_OBJECT

private slots:
    void startupAndShutdown();
    void programQuitsCleanlyOnSignal();

private:
    static QString logPath(const QString& prefs)
    {
        return prefs + QStringLiteral("/Vantorix Tools/Logs/com.vantorix.installer.txt");
    }
};

void tst_Lifecycle::startupAndShutdown()
{
    const QString prefs = qEnvironmentVariable("VANTORIX_PREFS_DIR");
    const QString temp = QDir::tempPath() + QStringLiteral("/Vantorix Installer");
    QFile::remove(logPath(prefs));

    QVERIFY(addon == nullptr);
    QCOMPARE(VantorixInstallerApp::startup(), short(0));
    QVERIFY(addon != nullptr);

    writeFile(temp + QStringLiteral("/downloads/archive.zip"));
    Logger::write(String("marker line"));

    QCOMPARE(VantorixInstallerApp::shutdown(), short(0));
    QVERIFY(addon == nullptr);
    QVERIFY(!QFileInfo::exists(temp));
    const QByteArray content = readFile(logPath(prefs));
    QVERIFY(content.contains("\tmarker line\n"));
    QVERIFY(content.contains("\tStarted Vantorix Installer 2.05 build 13"));
    QVERIFY(Logger::lines().isEmpty());

    // Another installer that still runs (this test holds its lock) keeps the
    // folder and its downloads; once it is gone, or left only a stale lock
    // behind, the folder goes.
    QVERIFY(QDir().mkpath(temp));
    auto other = std::make_unique<QLockFile>(temp + QStringLiteral("/.running-other.lock"));
    other->setStaleLockTime(0);
    QVERIFY(other->tryLock(0));
    QCOMPARE(VantorixInstallerApp::startup(), short(0));
    writeFile(temp + QStringLiteral("/downloads/archive.zip"));
    QCOMPARE(VantorixInstallerApp::shutdown(), short(0));
    QVERIFY(QFileInfo::exists(temp + QStringLiteral("/downloads/archive.zip")));

    other.reset();
    writeFile(temp + QStringLiteral("/.running-dead.lock"), "2147483646\nvantorix-installer\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    QCOMPARE(VantorixInstallerApp::startup(), short(0));
    QCOMPARE(VantorixInstallerApp::shutdown(), short(0));
    QVERIFY(!QFileInfo::exists(temp));
}

// Starts the program in its own sandbox, asks it to quit with SIGTERM, and
// expects a normal exit.
static void runAndQuit(const QString& sandbox)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VANTORIX_PREFS_DIR"), sandbox + QStringLiteral("/prefs"));
    env.insert(QStringLiteral("VANTORIX_SHARED_DIR"), sandbox + QStringLiteral("/shared"));
    env.insert(QStringLiteral("TMPDIR"), sandbox + QStringLiteral("/tmp"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedChannels);

    // The child inherits the blocked mask, so a SIGTERM sent before it has
    // installed its handler waits instead of killing it.
    sigset_t set, previous;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    QCOMPARE(::sigprocmask(SIG_BLOCK, &set, &previous), 0);
    program.start(testsupport::toolsDir() + QStringLiteral("/vantorix-installer"), QStringList());
    const bool started = program.waitForStarted(30000);
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    QVERIFY(started);

    program.terminate();
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
}

void tst_Lifecycle::programQuitsCleanlyOnSignal()
{
    const QString sandbox = testsupport::sandboxDir() + QStringLiteral("/program");
    QDir(sandbox).removeRecursively();
    const QString prefs = sandbox + QStringLiteral("/prefs");
    const QString temp = sandbox + QStringLiteral("/tmp/Vantorix Installer");
    QVERIFY(QDir().mkpath(prefs) && QDir().mkpath(temp));

    runAndQuit(sandbox);
    QVERIFY(QFileInfo::exists(logPath(prefs)));
    QVERIFY(!QFileInfo::exists(temp));
    const QString prefsFile = prefs + QStringLiteral("/Vantorix/com.vantorixhq.vantorix_installer.xml");
    QByteArray saved = readFile(prefsFile);
    // The offscreen screen is smaller than 901 pixels, so the window keeps
    // its smallest size.
    QVERIFY2(saved.contains("<size width=\"600\" height=\"600\"/>"), saved.constData());

    // A size changed between runs (as by the user resizing the window) is
    // what the next run opens with and saves again.
    saved.replace("<size width=\"600\" height=\"600\"/>", "<size width=\"700\" height=\"650\"/>");
    writeFile(prefsFile, saved);
    runAndQuit(sandbox);
    QVERIFY(readFile(prefsFile).contains("<size width=\"700\" height=\"650\"/>"));
}

QTEST_GUILESS_MAIN(tst_Lifecycle)
#include "tst_Lifecycle.moc"
