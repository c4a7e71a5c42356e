// The installed folder: where the programs look for their files, what
// "cmake --install" puts into the folder (and what only the dev component
// adds), and that a moved copy of the folder runs on its own: the command
// line answers, and the window program without a display says why it cannot
// start instead of Qt's plugin diagnostics.

#include "InstallFolder.h"
#include "WindowStart.h"

#include "common/FakeHost.h"
#include "common/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

using namespace installer;

namespace {

struct Run {
    int code = -1;
    QByteArray out;
    QByteArray err;
};

// Runs program with the sandbox's environment plus changes (an empty value
// removes the variable), from a working folder outside the build.
Run run(const QString& program, const QStringList& arguments, const QMap<QString, QString>& changes = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (auto it = changes.begin(); it != changes.end(); ++it) {
        if (it.value().isEmpty())
            environment.remove(it.key());
        else
            environment.insert(it.key(), it.value());
    }
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(testsupport::sandboxDir());
    process.start(program, arguments);
    Run result;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        result.err = "did not finish normally: " + process.readAllStandardError();
        return result;
    }
    result.code = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

// The files below folder, relative to it, sorted.
QStringList filesBelow(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

Run install(const QString& prefix, const QString& component = QString())
{
    QStringList arguments{QStringLiteral("--install"), QStringLiteral(VANTORIX_BUILD_DIR), QStringLiteral("--prefix"),
                          prefix};
    if (!component.isEmpty())
        arguments << QStringLiteral("--component") << component;
    return run(QStringLiteral(VANTORIX_CMAKE_COMMAND), arguments);
}

QString noDisplayNumber()
{
    for (int number = 917;; ++number) {
        if (!QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)) &&
            !QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)))
            return QStringLiteral(":%1").arg(number);
    }
}

} // namespace

class tst_InstallFolder : public QObject {
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
    void buildFolderHasTheIcon();
    void installedFolder();
    void devComponent();
};

void tst_InstallFolder::layout_data()
{
    QTest::addColumn<QString>("executableDir");
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("resources");
    QTest::addColumn<bool>("bundle");

    QTest::newRow("installed") << "/opt/vantorix-installer/bin" << "/opt/vantorix-installer"
                               << "/opt/vantorix-installer/share/vantorix-installer" << false;
    QTest::newRow("moved, with blanks") << "/home/it/old copy/bin/" << "/home/it/old copy"
                                        << "/home/it/old copy/share/vantorix-installer" << false;
    QTest::newRow("bundle") << "/Applications/Vantorix Installer.app/Contents/MacOS"
                            << "/Applications/Vantorix Installer.app"
                            << "/Applications/Vantorix Installer.app/Contents/Resources" << true;
    // A renamed bundle is still a bundle; MacOS outside one is not.
    QTest::newRow("renamed bundle") << "/Users/a/Old.APP/Contents/MacOS" << "/Users/a/Old.APP"
                                    << "/Users/a/Old.APP/Contents/Resources" << true;
    QTest::newRow("MacOS outside a bundle") << "/x/Contents/MacOS" << "/x/Contents/MacOS"
                                            << "/x/Contents/MacOS/share/vantorix-installer" << false;
    QTest::newRow("elsewhere") << "/srv/tools" << "/srv/tools" << "/srv/tools/share/vantorix-installer" << false;
    QTest::newRow("top bin") << "/bin" << "/" << "/share/vantorix-installer" << false;
}

void tst_InstallFolder::layout()
{
    QFETCH(QString, executableDir);
    QFETCH(QString, root);
    QFETCH(QString, resources);
    QFETCH(bool, bundle);

    const InstallFolder folder(executableDir);
    QCOMPARE(folder.root(), root);
    QCOMPARE(folder.resources(), resources);
    QCOMPARE(folder.isBundle(), bundle);
    QCOMPARE(folder.commandLine(), QDir(executableDir).absoluteFilePath(QStringLiteral("vantorix")));
    QCOMPARE(folder.resource(QStringLiteral("icons/a.png")), resources + QStringLiteral("/icons/a.png"));
}

void tst_InstallFolder::buildFolderHasTheIcon()
{
    // The build folder has the installed shape: the test program in bin/
    // finds the icons as the window program does.
    QCOMPARE(InstallFolder::current().root(), QDir(QStringLiteral(VANTORIX_BUILD_DIR)).canonicalPath());
    const QIcon icon = windowstart::applicationIcon();
    QVERIFY(!icon.isNull());
    QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
    QVERIFY(icon.availableSizes().contains(QSize(256, 256)));
}

void tst_InstallFolder::installedFolder()
{
    const QString sandbox = testsupport::sandboxDir();
    const QString first = sandbox + QStringLiteral("/install/first");
    QVERIFY(QDir(sandbox + QStringLiteral("/install")).removeRecursively());
    const Run installed = install(first);
    QVERIFY2(installed.code == 0, installed.err.constData());

    QStringList expected{QStringLiteral("bin/vantorix"), QStringLiteral("bin/vantorix-installer"),
                         QStringLiteral("share/vantorix-installer/icons/vantorix-installer.svg")};
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        expected << QStringLiteral("share/vantorix-installer/icons/vantorix-installer-%1.png").arg(size);
    expected.sort();
    QCOMPARE(filesBelow(first), expected);

    // Moved whole, the folder still works: nothing points back to the build.
    const QString moved = sandbox + QStringLiteral("/install/moved elsewhere/Vantorix");
    QVERIFY(QDir().mkpath(QFileInfo(moved).path()));
    QVERIFY(QDir().rename(first, moved));
    const QString commandLine = moved + QStringLiteral("/bin/vantorix");

    const Run version = run(commandLine, {QStringLiteral("--version")});
    QCOMPARE(version.code, 0);
    QVERIFY2(version.out.startsWith("vantorix 2."), version.out.constData());

    fakehost::FakeHostOptions host;
    host.folder = sandbox + QStringLiteral("/hosts/ArchiCAD 19");
    QVERIFY(fakehost::create(host));
    const Run hosts = run(commandLine, {QStringLiteral("hosts"), QStringLiteral("--json")});
    QVERIFY2(hosts.code == 0, hosts.err.constData());
    const QJsonArray list = QJsonDocument::fromJson(hosts.out).object().value(QStringLiteral("hosts")).toArray();
    QCOMPARE(list.size(), 1);
    QCOMPARE(list.at(0).toObject().value(QStringLiteral("path")).toString(), QDir(host.folder).absolutePath());

    // Without a display: one clear message and exit code 1, whether no
    // display is named or the named one cannot be reached.
    const QString window = moved + QStringLiteral("/bin/vantorix-installer");
    const QString unreachable = noDisplayNumber();
    const QList<QPair<QMap<QString, QString>, QByteArray>> cases{
        {{{QStringLiteral("QT_QPA_PLATFORM"), QString()},
          {QStringLiteral("DISPLAY"), QString()},
          {QStringLiteral("WAYLAND_DISPLAY"), QString()}},
         "cannot open a window: no display is set"},
        {{{QStringLiteral("QT_QPA_PLATFORM"), QString()},
          {QStringLiteral("DISPLAY"), unreachable},
          {QStringLiteral("WAYLAND_DISPLAY"), QString()}},
         "cannot open a window: the display \"" + unreachable.toLatin1() + "\" cannot be reached"},
        {{{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb")},
          {QStringLiteral("DISPLAY"), QString()},
          {QStringLiteral("WAYLAND_DISPLAY"), QString()}},
         "cannot open a window: the display cannot be reached"},
    };
    for (const auto& noDisplay : cases) {
        const Run started = run(window, {}, noDisplay.first);
        QCOMPARE(started.code, windowstart::noDisplayExitCode);
        QVERIFY2(started.err.startsWith("vantorix-installer: " + noDisplay.second), started.err.constData());
        QVERIFY2(started.err.contains("vantorix --help"), started.err.constData());
        QVERIFY2(!started.err.contains("plugin") && !started.err.contains("qt.qpa"), started.err.constData());
        QCOMPARE(started.err.count('\n'), 2);
    }
}

void tst_InstallFolder::devComponent()
{
    // The developer programs only come with the dev component, on their own.
    const QString prefix = testsupport::sandboxDir() + QStringLiteral("/install-dev");
    QVERIFY(QDir(prefix).removeRecursively());
    const Run installed = install(prefix, QStringLiteral("dev"));
    QVERIFY2(installed.code == 0, installed.err.constData());
    QCOMPARE(filesBelow(prefix), (QStringList{QStringLiteral("bin/vantorix-fakehost"), QStringLiteral("bin/vantorix-service")}));
}

QTEST_MAIN(tst_InstallFolder)
#include "tst_InstallFolder.moc"
