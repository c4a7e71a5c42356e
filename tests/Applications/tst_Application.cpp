#include "Applications/Application.h"
#include "Environment/Host.h"
#include "File/Directory.h"
#include "Utility/Logger.h"
#include "common/FakeHost.h"
#include "common/FileBytes.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace vantorix;

namespace {

struct FolderCase {
    QString language;
    QString edition;
    int version;
    fakehost::ProductVersionFile productVersion;
    bool valid;
    short expectedVersion;
    ApplicationSignature::Type type;
    QString expectedLanguage;
    QString name;
    QString library;
};

// Waits for isRunning to give the expected answer: a just started process
// needs a moment to show in "ps", a just killed one to leave it.
bool becomes(const Application& application, bool running)
{
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (application.isRunning() == running)
            return true;
        QThread::msleep(50);
    }
    return false;
}

bool logHas(const QString& text)
{
    for (const QString& line : Logger::lines()) {
        if (line.endsWith(text))
            return true;
    }
    return false;
}

} // namespace

Q_DECLARE_METATYPE(FolderCase)

class tst_Application : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void folders_data();
    void folders();
    void productVersionContents();
    void missingFolderHasNoFolders();
    void copyKeepsWhatWasWorkedOut();
    void isRunningFindsOnlyThisInstallation_data();
    void isRunningFindsOnlyThisInstallation();
    void isRunningFromTerminal();
    void clearCache();

private:
    QString makeHost(const QString& relative, const fakehost::FakeHostOptions& base = fakehost::FakeHostOptions());

    std::unique_ptr<QTemporaryDir> m_dir;
    std::vector<QProcess*> m_processes;
};

void tst_Application::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    Logger::initialise(Logger::defaultMaxSize);
}

void tst_Application::cleanup()
{
    for (QProcess* process : m_processes) {
        process->kill();
        process->waitForFinished(5000);
        delete process;
    }
    m_processes.clear();
    m_dir->setAutoRemove(!QTest::currentTestFailed());
    m_dir.reset();
}

QString tst_Application::makeHost(const QString& relative, const fakehost::FakeHostOptions& base)
{
    fakehost::FakeHostOptions options = base;
    options.folder = m_dir->path() + QLatin1Char('/') + relative;
    QString error;
    if (!fakehost::create(options, &error))
        qWarning() << error;
    return options.folder;
}

void tst_Application::folders_data()
{
    using fakehost::ProductVersionFile;
    QTest::addColumn<FolderCase>("c");
    const auto full = ApplicationSignature::full;
    const auto solo = ApplicationSignature::solo;
    const auto start = ApplicationSignature::start;
    const ProductVersionFile written = ProductVersionFile::written;

    // The add-on folder is "Add-Ons/VantorixTools/" in every row.
    QTest::newRow("international 19") << FolderCase{"INT", "FULL", 19, written, true, 19, full, "INT", "ArchiCAD 19",
                                                    "ArchiCAD Library 19/Vantorix Library 19/"};
    QTest::newRow("german 19") << FolderCase{"GER", "full", 19, written, true, 19, full, "GER", "ArchiCAD 19",
                                             "BIBLIOTHEKEN 19/Vantorix Library 19/"};
    QTest::newRow("solo 19") << FolderCase{"INT", "SOLO", 19, written, true, 19, solo, "INT", "ArchiCAD Solo 19",
                                           "ArchiCAD Library 19 Solo/Vantorix Library 19/"};
    QTest::newRow("start 19") << FolderCase{"INT", "Start", 19, written, true, 19, start, "INT", "ArchiCAD SE 2016",
                                            "ArchiCAD Library SE 2016/Vantorix Library 19/"};
    QTest::newRow("start of an unknown version") << FolderCase{"INT", "start", 20, written, true, 20, start, "INT",
                                                               "ArchiCAD SE ", "ArchiCAD Library SE /Vantorix Library 20/"};
    // A code not in the table (letter case counts) keeps the international names.
    QTest::newRow("lower-case code is not in the table") << FolderCase{
        "ger", "full", 19, written, true, 19, full, "ger", "ArchiCAD 19", "ArchiCAD Library 19/Vantorix Library 19/"};
    QTest::newRow("unknown edition reads as full") << FolderCase{
        "INT", "educational", 19, written, true, 19, full, "INT", "ArchiCAD 19", "ArchiCAD Library 19/Vantorix Library 19/"};
    QTest::newRow("no ProductVersion.xml") << FolderCase{"GER", "solo", 19, ProductVersionFile::missing, false, Host::version,
                                                         full, "INT", "ArchiCAD 1", "ArchiCAD Library 1/Vantorix Library 1/"};
}

void tst_Application::folders()
{
    QFETCH(FolderCase, c);
    fakehost::FakeHostOptions options;
    options.language = c.language;
    options.edition = c.edition;
    options.version = c.version;
    options.productVersion = c.productVersion;
    const QString path = makeHost(QStringLiteral("GRAPHISOFT/ArchiCAD"), options);

    const Application application(HostType::archiCAD, String(path));
    QCOMPARE(application.isValid(), c.valid);
    QCOMPARE(application.getSignature().getVersion(), c.expectedVersion);
    QCOMPARE(application.getSignature().getType(), c.type);
    QCOMPARE(application.getSignature().getLanguage().qString(), c.expectedLanguage);
    QCOMPARE(application.getName().qString(), c.name);
    QCOMPARE(application.getDirectory(Application::dll).qString(), path + QStringLiteral("/Add-Ons/VantorixTools/"));
    QCOMPARE(application.getDirectory(Application::library).qString(), path + QLatin1Char('/') + c.library);
    QCOMPARE(application.getDirectory(Application::extra).qString(), path + QStringLiteral("/VantorixTools Extras/"));
    const QString postfix = c.valid ? QStringLiteral("%1.0.0 %2 R1").arg(c.version).arg(c.language) : QString();
    QCOMPARE(application.getPrefsPostfix().qString(), postfix);
}

void tst_Application::productVersionContents()
{
    const struct { QByteArray content; bool valid; int version; } files[] = {
        {QByteArray(), false, 1},
        {"<other><shortversionstring>19</shortversionstring></other>", false, 1},
        {"<productversion/>", true, 0},
        {"<?xml version=\"1.0\"?><productversion><build>1234</build><extra><a/></extra>"
         "<shortversionstring>18</shortversionstring></productversion>", true, 18}, // unknown children skipped
        {"<productversion shortversionstring=\"19\" gsprodtype=\"Solo\"/>", true, 19}}; // attributes count as children
    for (const auto& c : files) {
        const QString path = makeHost(QStringLiteral("ArchiCAD"));
        writeFile(path + QStringLiteral("/ProductVersion.xml"), c.content);
        const Application application(HostType::archiCAD, String(path));
        QVERIFY2(application.isValid() == c.valid, c.content.constData());
        QCOMPARE(int(application.getSignature().getVersion()), c.version);
        // Invalid or not, the folders are there to be dropped by the caller.
        QVERIFY(application.getDirectory(Application::dll).qString().endsWith(QStringLiteral("/Add-Ons/VantorixTools/")));
    }
}

void tst_Application::missingFolderHasNoFolders()
{
    const Application missing(HostType::archiCAD, String(m_dir->path() + QStringLiteral("/nowhere")));
    QVERIFY(!missing.isValid());
    QCOMPARE(missing.getDirectory(Application::dll).qString(), QString());
    QCOMPARE(missing.getDefaultExtension(Application::dll).qString(), QString());

    // A host of no family is never valid, whatever its folder holds.
    const QString path = makeHost(QStringLiteral("ArchiCAD 19"));
    QVERIFY(!Application(HostType::all, String(path)).isValid());
    QVERIFY(Application(HostType::archiCAD, String(path)).isValid());

    // Standing for a version rather than an installation: keeps its version.
    const Application version(ApplicationSignature(HostType::archiCAD, 18, ApplicationSignature::solo), String());
    QVERIFY(!version.isValid());
    QCOMPARE(version.getSignature().getVersion(), short(18));
    QCOMPARE(version.getSignature().getType(), ApplicationSignature::full);
}

void tst_Application::copyKeepsWhatWasWorkedOut()
{
    fakehost::FakeHostOptions options;
    options.language = QStringLiteral("GER");
    const QString path = makeHost(QStringLiteral("ArchiCAD 19"), options);
    const Application original(HostType::archiCAD, String(path));
    QVERIFY(original.isValid());
    QVERIFY(QFile::remove(path + QStringLiteral("/ProductVersion.xml")));

    // The copy does not read the (now missing) file again.
    const Application copy(original);
    QVERIFY(copy.isValid());
    QCOMPARE(copy.getSignature().getLanguage().qString(), QStringLiteral("GER"));
    QCOMPARE(copy.getDirectory(Application::library), original.getDirectory(Application::library));

    // After a reset it works everything out again.
    Application reset(original);
    reset.setDefault();
    QVERIFY(!reset.isValid());
    QCOMPARE(reset.getPath().qString(), QString());
}

void tst_Application::isRunningFindsOnlyThisInstallation_data()
{
    QTest::addColumn<QString>("edition");
    QTest::newRow("full") << QStringLiteral("full");
    // A solo edition's bundle is named like the full one: "Solo " is not
    // part of what is looked for.
    QTest::newRow("solo") << QStringLiteral("solo");
}

void tst_Application::isRunningFindsOnlyThisInstallation()
{
    QFETCH(QString, edition);
    fakehost::FakeHostOptions options;
    options.edition = edition;
    const QString running = makeHost(QStringLiteral("one/GRAPHISOFT/ArchiCAD 19"), options);
    const QString idle = makeHost(QStringLiteral("two/GRAPHISOFT/ArchiCAD 19"), options);
    // Same bundle name one level further down: its folder is not "idle".
    const QString deeper = makeHost(QStringLiteral("two/GRAPHISOFT/ArchiCAD 19/nested"), options);

    const Application runningApp(HostType::archiCAD, String(running));
    const Application idleApp(HostType::archiCAD, String(idle));
    QVERIFY(runningApp.isValid());
    QVERIFY(!runningApp.isRunning());

    options.folder = running;
    auto* process = new QProcess;
    m_processes.push_back(process);
    process->start(fakehost::executablePath(options), {QStringLiteral("60")});
    QVERIFY(process->waitForStarted(10000));
    QVERIFY(becomes(runningApp, true));
    QVERIFY(!idleApp.isRunning());

    options.folder = deeper;
    auto* nested = new QProcess;
    m_processes.push_back(nested);
    nested->start(fakehost::executablePath(options), {QStringLiteral("60")});
    QVERIFY(nested->waitForStarted(10000));
    QVERIFY(becomes(Application(HostType::archiCAD, String(deeper)), true));
    QVERIFY(!idleApp.isRunning());

    process->kill();
    QVERIFY(process->waitForFinished(10000));
    QVERIFY(becomes(runningApp, false));
}

void tst_Application::isRunningFromTerminal()
{
    // Started on a terminal the process is listed with a terminal name such
    // as "pts/3"; its path must still be found.
    const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
    if (script.isEmpty())
        QSKIP("no script(1) to give the process a terminal");
    fakehost::FakeHostOptions options;
    options.folder = makeHost(QStringLiteral("terminal/ArchiCAD 19"));
    const Application application(HostType::archiCAD, String(options.folder));
    auto* process = new QProcess;
    m_processes.push_back(process);
    process->start(script, {QStringLiteral("-qfc"), QStringLiteral("'%1' 60").arg(fakehost::executablePath(options)),
                            QStringLiteral("/dev/null")});
    QVERIFY(process->waitForStarted(10000));
    QVERIFY(becomes(application, true));
}

void tst_Application::clearCache()
{
    const QString cacheHome = QDir::homePath() + QStringLiteral("/.cache-tst-application");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheHome));
    const QString cacheRoot = cacheHome + QStringLiteral("/Graphisoft/ArchiCAD-64 Cache Folder");
    const QString cache = cacheRoot + QStringLiteral("/Cache 19.0.0 INT R1");
    const QString other = cacheRoot + QStringLiteral("/Cache 18.0.0 INT R1");
    // A plain file whose name holds the postfix is not the cache folder.
    for (const QString& file : {cache + QStringLiteral("/a.dat"), cache + QStringLiteral("/sub/.hidden"),
                                other + QStringLiteral("/b.dat"), cacheRoot + QStringLiteral("/19.0.0 INT R1.lock")})
        writeFile(file);

    const Application application(HostType::archiCAD, String(makeHost(QStringLiteral("ArchiCAD 19"))));
    std::unique_ptr<Directory> found = application.getCacheDirectory();
    QVERIFY(found);
    QCOMPARE(found->getURL().qString(), cache);

    application.clearCache();
    QVERIFY(QDir(cache).exists());
    QVERIFY(QDir(cache).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
    QVERIFY(QFile::exists(other + QStringLiteral("/b.dat")));
    QVERIFY(QFile::exists(cacheRoot + QStringLiteral("/19.0.0 INT R1.lock")));
    QVERIFY(logHas(QStringLiteral("-------- Clearing Cache")));
    QVERIFY(logHas(QStringLiteral("\tCache successfully cleared -- ") + cache));
    QCOMPARE(Logger::depth(), short(0));

    // An invalid host is refused before its cache is looked for; a valid one
    // without a cache folder clears nothing.
    Logger::initialise(Logger::defaultMaxSize);
    fakehost::FakeHostOptions options;
    options.productVersion = fakehost::ProductVersionFile::missing;
    Application(HostType::archiCAD, String(makeHost(QStringLiteral("invalid"), options))).clearCache();
    QVERIFY(logHas(QStringLiteral("Application is invalid -- Means ProductVersion.xml wasn't found")));
    QVERIFY(logHas(QStringLiteral("<prefspostfix> element in ProductVersion.xml was empty")));
    QVERIFY(!logHas(QStringLiteral("Cache directory is NULL")));

    Logger::initialise(Logger::defaultMaxSize);
    options.productVersion = fakehost::ProductVersionFile::written;
    options.version = 17;
    const Application valid(HostType::archiCAD, String(makeHost(QStringLiteral("valid"), options)));
    QVERIFY(!valid.getCacheDirectory());
    valid.clearCache();
    QVERIFY(logHas(QStringLiteral("Cache directory is NULL")));
    QCOMPARE(Logger::depth(), short(0));
    QDir(cacheHome).removeRecursively();
}

QTEST_GUILESS_MAIN(tst_Application)
#include "tst_Application.moc"
