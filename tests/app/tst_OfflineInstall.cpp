// Offline install files end to end, through the real command line in sandboxes
// of their own: a file made against the service stand-in, then installed on a
// "machine" with other folders, another host installation and no service at
// all, gives byte for byte the files and records an online install gives.
// Files that cannot be used exit with 10 and say why.

#include "common/FakeHost.h"
#include "common/FileBytes.h"
#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include "Environment/Host.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

using testsupport::ServiceProcess;

namespace {

const char* const email = "anna.berg@example.com";
const char* const password = "correct horse";

struct Result {
    int code = -1;
    QString out;
    QString err;
};

// One machine: its own home, preferences, shared and temporary folders, host
// installation and hardware address.
struct Machine {
    QString root;
    QString host;
    QProcessEnvironment environment;

    Result run(const QStringList& arguments, const QByteArray& input = QByteArray()) const
    {
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(testsupport::toolsDir() + "/vantorix", arguments);
        Result result;
        if (!program.waitForStarted(30000))
            return result;
        program.write(input);
        program.closeWriteChannel();
        program.waitForFinished(120000);
        result.code = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -2;
        result.out = QString::fromUtf8(program.readAllStandardOutput());
        result.err = QString::fromUtf8(program.readAllStandardError());
        return result;
    }

    QString records() const { return root + "/shared/Vantorix Tools/Installation"; }
};

Machine makeMachine(const QString& name, const QString& serviceUrl, const QString& address)
{
    Machine machine;
    machine.root = testsupport::sandboxDir() + "/" + name;
    QDir(machine.root).removeRecursively();
    for (const char* folder : {"home", "prefs", "shared", "tmp", "hosts"})
        QDir().mkpath(machine.root + "/" + folder);
    machine.host = machine.root + "/hosts/Studio/ArchiCAD 19";
    fakehost::FakeHostOptions options;
    options.folder = machine.host;
    fakehost::create(options);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", machine.root + "/home");
    environment.insert("XDG_CONFIG_HOME", machine.root + "/home/.config");
    environment.insert("XDG_DATA_HOME", machine.root + "/home/.local/share");
    environment.insert("VANTORIX_PREFS_DIR", machine.root + "/prefs");
    environment.insert("VANTORIX_SHARED_DIR", machine.root + "/shared");
    environment.insert("TMPDIR", machine.root + "/tmp");
    environment.insert("VANTORIX_HOST_SEARCH_PATH", machine.root + "/hosts");
    environment.insert("VANTORIX_SERVICE_URL", serviceUrl);
    environment.insert("VANTORIX_MAC_ADDRESSES", address);
    machine.environment = environment;
    return machine;
}

// Every file under folder, by path relative to it, with its bytes; folders
// as themselves with no bytes.
QMap<QString, QByteArray> tree(const QString& folder)
{
    QMap<QString, QByteArray> found;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(folder).relativeFilePath(path);
        found.insert(relative, it.fileInfo().isDir() ? QByteArray("<folder>") : readFile(path));
    }
    return found;
}

// The installation records with the machine's folder and the edit times
// taken out.
QMap<QString, QByteArray> records(const Machine& machine)
{
    QMap<QString, QByteArray> found = tree(machine.records());
    static const QRegularExpression edited(QStringLiteral(" edit=\"[^\"]*\""));
    // A folder that two products' items share ("Library Parts/") is recorded
    // by whichever install made it, and products install side by side in
    // either order: the folders are compared as one list for all records.
    static const QRegularExpression madeFolder(QStringLiteral("\\s*<executable path=\"([^\"]*/)\"[^>]*/>"));
    QStringList folders;
    for (auto it = found.begin(); it != found.end(); ++it) {
        QString text = QString::fromUtf8(it.value());
        text.replace(machine.root, QStringLiteral("<machine>"));
        text.remove(edited);
        for (auto match = madeFolder.globalMatch(text); match.hasNext();)
            folders << match.next().captured(1);
        text.remove(madeFolder);
        it.value() = text.toUtf8();
    }
    folders.sort();
    found.insert(QStringLiteral("<made folders>"), folders.join(QLatin1Char('\n')).toUtf8());
    return found;
}

QString errorRow(short row)
{
    return vantorix::host.getLocalString(32524, row).qString();
}

} // namespace

class tst_OfflineInstall : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void installsAsOnline();
    void unusableFiles_data();
    void unusableFiles();
    void createRefusals();

private:
    ServiceProcess m_service;
    QString m_file;
};

void tst_OfflineInstall::initTestCase()
{
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
    m_file = testsupport::sandboxDir() + "/carried/tools.zfinstall";
    QDir(testsupport::sandboxDir() + "/carried").removeRecursively();
    QVERIFY(QDir().mkpath(testsupport::sandboxDir() + "/carried"));
}

void tst_OfflineInstall::installsAsOnline()
{
    const Machine connected = makeMachine("connected", m_service.url(), "02-00-5E-10-00-01");
    Result result = connected.run({"login", "--email", email, "--password-stdin"}, QByteArray(password) + "\n");
    QVERIFY2(result.code == 0, qPrintable(result.err));
    // The online install, to compare with.
    result = connected.run({"install", "Stair Maker", "Door Maker", "--accept-agreements"});
    QVERIFY2(result.code == 0, qPrintable(result.err));
    // The file: every language and both host versions of each product.
    result = connected.run({"offline", "create", m_file, "stair maker", "Door Maker"});
    QVERIFY2(result.code == 0, qPrintable(result.err));
    QVERIFY2(result.out.contains("Wrote " + m_file), qPrintable(result.out));
    QCOMPARE(result.out.count("In the file: "), 4);
    QVERIFY(!readFile(m_file).contains(password));

    // The other machine has no network: the stand-in is gone.
    m_service.stop();
    const Machine offline = makeMachine("offline", QStringLiteral("http://127.0.0.1:9"), "02-00-5E-10-00-02");
    result = offline.run({"offline", "list", m_file, "--json"});
    QVERIFY2(result.code == 0, qPrintable(result.err));
    const QJsonArray products = QJsonDocument::fromJson(result.out.toUtf8()).object().value("products").toArray();
    QCOMPARE(products.size(), 4);
    for (const QJsonValue& product : products)
        QCOMPARE(product.toObject().value("languages").toArray().size(), 2);

    // The agreements travel in the file; installing needs them accepted.
    result = offline.run({"offline", "install", m_file});
    QCOMPARE(result.code, 8);
    QCOMPARE(tree(offline.records()).size(), 0);
    result = offline.run({"offline", "install", m_file, "--accept-agreements"});
    QVERIFY2(result.code == 0, qPrintable(result.err + result.out));
    QVERIFY(result.out.contains("Installed Stair Maker 2.10") && result.out.contains("Installed Door Maker 1.40"));

    // Byte for byte what the online install gave: files and records.
    QCOMPARE(tree(offline.host), tree(connected.host));
    QCOMPARE(records(offline), records(connected));
    QCOMPARE(records(offline).size(), 3);

    // Again: nothing to do.
    result = offline.run({"offline", "install", m_file, "--accept-agreements"});
    QCOMPARE(result.code, 0);
    QCOMPARE(result.out.count("up to date"), 2);
    // Nothing unpacked stays once the program has ended.
    QCOMPARE(QDir(offline.root + "/tmp").entryList({"*.zfpkg"}, QDir::Files, QDir::NoSort).size(), 0);
}

void tst_OfflineInstall::unusableFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<short>("row");

    QTest::newRow("missing") << "missing.zfinstall" << short(4);
    QTest::newRow("traversal") << "traversal.zfinstall" << short(8);
    QTest::newRow("damaged catalogue") << "damaged-catalogue.zfinstall" << short(8);
    QTest::newRow("another version") << "other-version.zfinstall" << short(9);
}

void tst_OfflineInstall::unusableFiles()
{
    QFETCH(QString, file);
    QFETCH(short, row);

    const Machine offline = makeMachine("refusing", QStringLiteral("http://127.0.0.1:9"), "02-00-5E-10-00-03");
    const QString path = testsupport::dataDir() + "/app/offline/" + file;
    for (const QString& command : {QStringLiteral("list"), QStringLiteral("install")}) {
        const Result result = offline.run({"offline", command, path});
        QCOMPARE(result.code, 10);
        QVERIFY2(result.err.startsWith("vantorix: " + errorRow(row)), qPrintable(result.err));
    }
    QCOMPARE(QDir(offline.root + "/tmp").entryList({"*.zfpkg"}, QDir::Files).size(), 0);
    QCOMPARE(tree(offline.records()).size(), 0);
}

void tst_OfflineInstall::createRefusals()
{
    QVERIFY(m_service.isRunning() || m_service.start());
    const Machine connected = makeMachine("refused", m_service.url(), "02-00-5E-10-00-04");
    const QString file = connected.root + "/never.zfinstall";
    // Not signed in.
    QCOMPARE(connected.run({"offline", "create", file, "Stair Maker"}).code, 2);
    QVERIFY(connected.run({"login", "--email", email, "--password-stdin"}, QByteArray(password) + "\n").code == 0);
    // A product the account does not list.
    const Result unknown = connected.run({"offline", "create", file, "Stair Maker", "Window Maker"});
    QCOMPARE(unknown.code, 4);
    QVERIFY2(unknown.err.contains("\"Window Maker\""), qPrintable(unknown.err));
    QVERIFY(!QFile::exists(file));
    // Usage.
    QCOMPARE(connected.run({"offline", "create", file}).code, 1);
    QCOMPARE(connected.run({"offline", "burn", file}).code, 1);
}

QTEST_GUILESS_MAIN(tst_OfflineInstall)
#include "tst_OfflineInstall.moc"
