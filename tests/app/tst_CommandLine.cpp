// The command line "vantorix" against the service stand-in and fake host
// installations: run in-process through CommandLine for most cases, and as
// the real program where the process itself matters (no display, Ctrl-C).

#include "InstallerManager.h"
#include "VantorixInstallerApp.h"
#include "cli/CommandLine.h"

#include "common/CliRun.h"
#include "common/FakeHost.h"
#include "common/FileBytes.h"
#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include "Catalogue/VantorixTools.h"
#include "Environment/Host.h"
#include "File/DataFile.h"

#include <QBuffer>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <csignal>

using namespace vantorix;
using namespace installer;
using testsupport::ServiceProcess;

namespace {

const char* const email = "anna.berg@example.com";
const char* const password = "correct horse";

QJsonObject json(const Result& result)
{
    return QJsonDocument::fromJson(result.out.toUtf8()).object();
}

QString errorRow(short row)
{
    return host.getLocalString(32524, row).qString();
}

QString clientFilePath()
{
    const std::unique_ptr<DataFile> file = VantorixTools::getClientFile(false);
    return file ? file->getURL().qString() : QString();
}

fakehost::FakeHostOptions hostOptions(const QString& folder, int version)
{
    fakehost::FakeHostOptions options;
    options.folder = folder;
    options.version = version;
    return options;
}

// Saves the window's preferred host application in the preference file.
bool setPreferredHost(const QString& folder)
{
    addon = new VantorixInstallerApp;
    manager.readPrefs();
    manager.applicationPath = String(folder);
    const bool saved = manager.savePrefs();
    delete addon;
    addon = nullptr;
    return saved;
}

// The values of one key in each entry of a "hosts" or "list" answer.
QStringList values(const QJsonObject& answer, const QString& list, const QString& key)
{
    QStringList found;
    for (const QJsonValue& entry : answer.value(list).toArray())
        found << entry.toObject().value(key).toString();
    return found;
}

// An HTTP proxy on a loopback port for https: it notes each "CONNECT
// host:port" and joins the client to 127.0.0.1 at that port, whatever the host
// is called (the name never needs to resolve).
class RecordingProxy {
public:
    RecordingProxy()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, [this]() {
            while (QTcpSocket* client = m_server.nextPendingConnection())
                serve(client);
        });
    }
    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    const QStringList& requests() const { return m_requests; }

private:
    void serve(QTcpSocket* client)
    {
        QObject::connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
        auto* upstream = new QTcpSocket(client);
        QObject::connect(client, &QTcpSocket::readyRead, client, [this, client, upstream]() {
            if (upstream->state() != QAbstractSocket::UnconnectedState) {
                upstream->write(client->readAll());
                return;
            }
            if (!client->canReadLine())
                return;
            const QList<QByteArray> request = client->peek(client->bytesAvailable()).split(' ');
            if (!client->peek(client->bytesAvailable()).contains("\r\n\r\n"))
                return;
            client->readAll();
            m_requests << QString::fromLatin1(request.value(0) + ' ' + request.value(1));
            const QUrl target(QStringLiteral("//") + QString::fromLatin1(request.value(1)));
            if (request.value(0) != "CONNECT" || target.port() <= 0) {
                client->write("HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                client->disconnectFromHost();
                return;
            }
            QObject::connect(upstream, &QTcpSocket::connected, client,
                             [client]() { client->write("HTTP/1.1 200 Connection established\r\n\r\n"); });
            QObject::connect(upstream, &QTcpSocket::readyRead, client, [upstream, client]() {
                client->write(upstream->readAll());
            });
            QObject::connect(upstream, &QTcpSocket::disconnected, client, [client]() { client->disconnectFromHost(); });
            upstream->connectToHost(QHostAddress::LocalHost, quint16(target.port()));
        });
    }

    QTcpServer m_server;
    QStringList m_requests;
};

} // namespace

class tst_CommandLine : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void hosts();
    void addHost_data();
    void addHost();
    void login_data();
    void login();
    void listByStatus_data();
    void listByStatus();
    void hostChoice_data();
    void hostChoice();
    void preferredHostKept();
    void productNames_data();
    void productNames();
    void installAndUninstall();
    void serviceFailures();
    void serviceOutOfReach_data();
    void serviceOutOfReach();
    void runningHost_data();
    void runningHost();
    void usage_data();
    void usage();
    void interruptCancelsInstall();
    void systemProxy();

private:
    QString m_host19;
    QString m_host18;
    QString m_id19;
    ServiceProcess m_service;
};

void tst_CommandLine::initTestCase()
{
    // The sandbox stays from earlier runs: start without their hand-added
    // hosts, installed products and records.
    const QString sandbox = testsupport::sandboxDir();
    for (const char* folder : {"/hosts/Studio", "/hosts/Old", "/elsewhere", "/shared/Vantorix Tools"})
        QDir(sandbox + folder).removeRecursively();
    const QString hosts = sandbox + "/hosts";
    m_host19 = hosts + "/Studio/ArchiCAD 19";
    m_host18 = hosts + "/Old/ArchiCAD 18";
    QVERIFY(fakehost::create(hostOptions(m_host19, 19)));
    QVERIFY(fakehost::create(hostOptions(m_host18, 18)));
    host.initialise();
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
    m_service.exportEnvironment();

    const QJsonObject listed = json(runCli({"hosts", "--json"}));
    m_id19 = values(listed, "hosts", "id").value(values(listed, "hosts", "path").indexOf(m_host19));
    QVERIFY(!m_id19.isEmpty());
}

void tst_CommandLine::init()
{
    QFile::remove(qEnvironmentVariable("VANTORIX_SHARED_DIR") + "/Vantorix/com.vantorixhq.vantorix_installer.xml");
    qunsetenv(CommandLine::passwordVariable);
    qunsetenv(CommandLine::hostWaitVariable);
    m_service.control("reset=1");
    const Result login = runCli({"login", "--email", email, "--password-stdin"}, QByteArray(password) + "\n");
    QVERIFY2(login.code == 0, qPrintable(login.err));
}

void tst_CommandLine::hosts()
{
    const Result listed = runCli({"hosts", "--json"});
    QCOMPARE(listed.code, 0);
    const QJsonArray hosts = json(listed).value("hosts").toArray();
    QCOMPARE(hosts.size(), 2);
    // Display order: the newer version first. The id is the folder's, the
    // same in every run.
    const QJsonObject expected{{"id", m_id19},       {"name", "ArchiCAD 19"}, {"version", "19"},
                               {"language", "INT"},  {"edition", "full"},     {"path", m_host19},
                               {"preferred", false}, {"handAdded", false}};
    QCOMPARE(hosts.at(0).toObject(), expected);
    QVERIFY(hosts.at(1).toObject().value("id").toString() != m_id19);

    QVERIFY(setPreferredHost(m_host19));
    const QJsonArray marked = json(runCli({"hosts", "--json"})).value("hosts").toArray();
    QCOMPARE(marked.at(0).toObject().value("preferred"), QJsonValue(true));
    QCOMPARE(marked.at(1).toObject().value("preferred"), QJsonValue(false));
    QVERIFY(setPreferredHost(QString()));
}

void tst_CommandLine::addHost_data()
{
    QTest::addColumn<int>("version");  // 0: a folder that is not a host
    QTest::addColumn<int>("code");
    QTest::addColumn<short>("errorRow");

    QTest::newRow("host") << 19 << 0 << short(-1);
    QTest::newRow("not a host") << 0 << 5 << short(2);
    QTest::newRow("unsupported version") << 17 << 5 << short(3);
}

void tst_CommandLine::addHost()
{
    QFETCH(int, version);
    QFETCH(int, code);
    QFETCH(short, errorRow);

    const QString folder = testsupport::sandboxDir() + "/elsewhere/" + QTest::currentDataTag();
    if (version != 0)
        QVERIFY(fakehost::create(hostOptions(folder, version)));
    else
        QVERIFY(QDir().mkpath(folder));

    const Result added = runCli({"hosts", "add", folder});
    QCOMPARE(added.code, code);
    const bool known = values(json(runCli({"hosts", "--json"})), "hosts", "path").contains(folder);
    if (errorRow >= 0) {
        QCOMPARE(added.err.trimmed(), "vantorix: " + ::errorRow(errorRow));
        QVERIFY(!known);
        return;
    }
    // Remembered for the next runs, and found by --host.
    QVERIFY(known);
    QCOMPARE(runCli({"hosts", "add", folder + "/"}).out.left(13), QStringLiteral("Already known"));
    QCOMPARE(runCli({"list", "--host", folder, "--json"}).code, 0);

    // Marked as added by hand, and removed again by its id.
    const QJsonObject listed = json(runCli({"hosts", "--json"}));
    const int index = values(listed, "hosts", "path").indexOf(folder);
    const QJsonObject entry = listed.value("hosts").toArray().at(index).toObject();
    QCOMPARE(entry.value("handAdded"), QJsonValue(true));
    const Result removed = runCli({"hosts", "remove", entry.value("id").toString()});
    QVERIFY2(removed.code == 0, qPrintable(removed.err));
    QVERIFY(removed.out.startsWith("Removed ArchiCAD 19"));
    QVERIFY(!values(json(runCli({"hosts", "--json"})), "hosts", "path").contains(folder));
    const Result again = runCli({"hosts", "remove", folder});
    QCOMPARE(again.code, 4);
    QVERIFY2(again.err.contains("is not known"), qPrintable(again.err));
    // A host that discovery finds is not the user's to remove.
    const Result found = runCli({"hosts", "remove", m_id19});
    QCOMPARE(found.code, 4);
    QVERIFY2(found.err.contains("was found on this machine, not added by hand"), qPrintable(found.err));
    QVERIFY(values(json(runCli({"hosts", "--json"})), "hosts", "id").contains(m_id19));
}

void tst_CommandLine::login_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("environment");
    QTest::addColumn<int>("code");
    QTest::addColumn<short>("errorRow");

    const QStringList fromStdin{"login", "--email", email, "--password-stdin"};
    const QStringList fromEnvironment{"login", "--email", email};
    const QByteArray right("correct horse\n");
    QTest::newRow("stdin, CR LF, no more lines") << fromStdin << QByteArray("correct horse\r\n") << QByteArray() << 0
                                                 << short(-1);
    QTest::newRow("environment") << fromEnvironment << QByteArray() << QByteArray(password) << 0 << short(-1);
    QTest::newRow("educational, address only") << fromEnvironment + QStringList{"--educational"} << QByteArray()
                                               << QByteArray() << 0 << short(-1);
    // Failures keep the remembered account byte for byte.
    QTest::newRow("wrong password") << fromStdin << QByteArray("correct horse \n") << QByteArray() << 2 << short(0);
    QTest::newRow("no password") << fromEnvironment << QByteArray() << QByteArray() << 1 << short(25);
    QTest::newRow("empty stdin") << fromStdin << QByteArray() << QByteArray(password) << 1 << short(25);
    QTest::newRow("service out of reach") << fromStdin << right << QByteArray() << 3 << short(1);
}

void tst_CommandLine::login()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, environment);
    QFETCH(int, code);
    QFETCH(short, errorRow);

    const QByteArray before = readFile(clientFilePath());
    if (!environment.isEmpty())
        qputenv(CommandLine::passwordVariable, environment);
    const QByteArray url = qgetenv("VANTORIX_SERVICE_URL");
    if (code == 3)
        qputenv("VANTORIX_SERVICE_URL", "http://127.0.0.1:9");
    const Result result = runCli(arguments, input);
    qputenv("VANTORIX_SERVICE_URL", url);
    QCOMPARE(result.code, code);
    if (errorRow >= 0) {
        // Out of reach: what happened follows the row's text.
        const QString detail = code == 3 ? QStringLiteral(" Cannot connect to 127.0.0.1:9: Connection refused") : QString();
        QCOMPARE(result.err.trimmed(), "vantorix: " + ::errorRow(errorRow) + detail);
        QCOMPARE(readFile(clientFilePath()), before);
    }
    QVERIFY(!result.out.contains(password) && !result.err.contains(password));

    // Educational use remembers the address alone, which is all the
    // educational listing needs; the commercial one then needs a sign-in.
    const bool educational = arguments.contains("--educational");
    QCOMPARE(runCli({"list", "--host", m_id19}).code, educational ? 2 : 0);
    QCOMPARE(runCli({"list", "--host", m_id19, "--status", "edu"}).code, 0);
}

void tst_CommandLine::listByStatus_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("category");

    QTest::newRow("my") << "my" << QStringList{"Door Maker", "Stair Maker"} << "my";
    QTest::newRow("updates") << "updates" << QStringList() << QString();
    QTest::newRow("trials") << "trials" << QStringList{"Roof Maker"} << "trials";
    QTest::newRow("all") << "all" << QStringList{"Door Maker", "Roof Maker", "Stair Maker"} << QString();
    QTest::newRow("edu") << "edu" << QStringList{"Door Maker", "Stair Maker"} << "edu";
}

void tst_CommandLine::listByStatus()
{
    QFETCH(QString, status);
    QFETCH(QStringList, names);
    QFETCH(QString, category);

    const Result result = runCli({"list", "--host", m_id19, "--status", status, "--json"});
    QVERIFY2(result.code == 0, qPrintable(result.err));
    const QJsonObject listing = json(result);
    QCOMPARE(listing.keys(), (QStringList{"host", "products", "status"}));
    QCOMPARE(listing.value("status").toString(), status);
    QCOMPARE(listing.value("host").toObject().value("id").toString(), m_id19);
    QCOMPARE(values(listing, "products", "name"), names);
    for (const QJsonValue& value : listing.value("products").toArray()) {
        const QJsonObject product = value.toObject();
        QCOMPARE(product.keys(),
                 (QStringList{"agreement", "category", "id", "installedVersion", "name", "version"}));
        QVERIFY(product.value("installedVersion").isNull());
        QVERIFY(product.value("agreement").toString().startsWith(m_service.url() + "/files/agreements/"));
        if (!category.isEmpty())
            QCOMPARE(product.value("category").toString(), category);
    }
}

void tst_CommandLine::hostChoice_data()
{
    QTest::addColumn<QStringList>("hostArguments");
    QTest::addColumn<int>("code");

    QTest::newRow("id, any case") << QStringList{"--host", "ID19UPPER"} << 0;
    QTest::newRow("installation folder") << QStringList{"--host", "FOLDER19"} << 0;
    QTest::newRow("unknown") << QStringList{"--host", "/nowhere/ArchiCAD 19"} << 4;
    QTest::newRow("several, none preferred") << QStringList() << 1;
}

void tst_CommandLine::hostChoice()
{
    QFETCH(QStringList, hostArguments);
    QFETCH(int, code);

    hostArguments.replaceInStrings("ID19UPPER", m_id19.toUpper());
    hostArguments.replaceInStrings("FOLDER19", m_host19 + "/");
    const Result result = runCli(QStringList{"list", "--json"} + hostArguments);
    QCOMPARE(result.code, code);
    if (code == 0)
        QCOMPARE(json(result).value("host").toObject().value("path"), QJsonValue(m_host19));
    else if (code == 1)
        QVERIFY2(result.err.contains(m_host19) && result.err.contains(m_host18), qPrintable(result.err));
}

void tst_CommandLine::preferredHostKept()
{
    QVERIFY(setPreferredHost(m_host19));
    // Another host for one command leaves the window's choice alone.
    QCOMPARE(runCli({"list", "--host", m_host18}).code, 0);
    const Result preferred = runCli({"list", "--json"});
    QCOMPARE(preferred.code, 0);
    QCOMPARE(json(preferred).value("host").toObject().value("path"), QJsonValue(m_host19));
    QVERIFY(setPreferredHost(QString()));
}

void tst_CommandLine::productNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("code");

    // Found products stop at their agreement (no --accept-agreements), so
    // nothing is installed here.
    QTest::newRow("name, other case") << "dOOR mAKER" << 8;
    QTest::newRow("id, lower case") << "7a2e5c10-3b4d-4e8f-a1b2-c3d4e5f60718" << 8;
    QTest::newRow("prefix") << "Door" << 4;
    QTest::newRow("longer") << "Door Makers" << 4;
    QTest::newRow("listed, not available") << "Facade Maker" << 4;
}

void tst_CommandLine::productNames()
{
    QFETCH(QString, name);
    QFETCH(int, code);

    const Result result = runCli({"install", name, "--host", m_id19});
    QCOMPARE(result.code, code);
    if (code == 8)
        QVERIFY2(result.err.contains(m_service.url() + "/files/agreements/doormaker.html"), qPrintable(result.err));
    if (code == 4)
        QVERIFY2(result.err.contains(name), qPrintable(result.err));
}

void tst_CommandLine::installAndUninstall()
{
    const Result notInstalled = runCli({"uninstall", "door maker", "--host", m_id19});
    QCOMPARE(notInstalled.code, 0);
    QVERIFY(notInstalled.out.contains("Door Maker is not installed") && notInstalled.err.isEmpty());

    const QString bundle = m_host19 + "/Add-Ons/VantorixTools/DoorMaker.apx";
    const Result installed = runCli({"install", "door maker", "--host", m_id19, "--accept-agreements"});
    QVERIFY2(installed.code == 0, qPrintable(installed.err));
    QVERIFY2(installed.out.contains("Installed Door Maker 1.40"), qPrintable(installed.out));
    QVERIFY(QFileInfo(bundle).isDir());

    const QJsonObject listed = json(runCli({"list", "--host", m_id19, "--json"}));
    const int door = values(listed, "products", "name").indexOf("Door Maker");
    const QJsonValue installedVersion =
        listed.value("products").toArray().at(door).toObject().value("installedVersion");
    // The record names the bundle's executable after the product ("Door
    // Maker") while the archive's is "DoorMaker": the bundle still counts.
    QCOMPARE(installedVersion, QJsonValue("1.40"));

    const Result again = runCli({"install", "Door Maker", "--host", m_id19});
    QCOMPARE(again.code, 0);
    QVERIFY(again.out.contains("up to date"));

    // While the host runs, the message speaks of uninstalling.
    QProcess running;
    running.start(fakehost::executablePath(hostOptions(m_host19, 19)), {"60"});
    QVERIFY(running.waitForStarted());
    const Result refused = runCli({"uninstall", "Door Maker", "--host", m_id19});
    running.kill();
    running.waitForFinished();
    QCOMPARE(refused.code, 7);
    QCOMPARE(refused.err.trimmed(), "vantorix: " + errorRow(59).replace("$1", "ArchiCAD 19"));
    QVERIFY(QFileInfo(bundle).isDir());

    const Result removed = runCli({"uninstall", "Door Maker", "--host", m_id19});
    QCOMPARE(removed.code, 0);
    // The version that was installed, not what is left after.
    QVERIFY2(removed.out.contains("Uninstalling Door Maker 1.40 ..."), qPrintable(removed.out));
    QVERIFY2(removed.out.contains("Uninstalled Door Maker 1.40"), qPrintable(removed.out));
    QVERIFY(!QFileInfo::exists(bundle));
}

void tst_CommandLine::serviceFailures()
{
    QVERIFY(m_service.control("status=500"));
    const Result listed = runCli({"list", "--host", m_id19});
    QCOMPARE(listed.code, 3);
    QCOMPARE(listed.err.trimmed(), "vantorix: " + errorRow(1));

    // A download that breaks off fails the install, and says where to look.
    QVERIFY(m_service.control("reset=1&short-files=1"));
    const Result installed = runCli({"install", "Stair Maker", "--host", m_id19, "--accept-agreements"});
    QCOMPARE(installed.code, 6);
    // The reason as the log has it, then the log's path.
    const QStringList lines = installed.err.trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.at(0).startsWith("vantorix: Installing Stair Maker failed: URL["), qPrintable(lines.at(0)));
    QVERIFY2(lines.at(0).contains("Error[The download ended early: "), qPrintable(lines.at(0)));
    QCOMPARE(lines.at(1), "vantorix: The log has the details: " + qEnvironmentVariable("VANTORIX_PREFS_DIR")
                              + "/Vantorix Tools/Logs/com.vantorix.installer.txt");
    QVERIFY(!installed.out.contains("Installed"));
}

void tst_CommandLine::serviceOutOfReach_data()
{
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<QString>("detail");

    QTest::newRow("connection refused") << QByteArray("http://127.0.0.1:9")
                                        << "Cannot connect to 127.0.0.1:9: Connection refused";
    QTest::newRow("plain http to another machine")
        << QByteArray("http://192.0.2.10:8443")
        << "Plain http is allowed only to this machine (127.0.0.1, ::1, localhost), not to 192.0.2.10: use an https "
           "address";
}

void tst_CommandLine::serviceOutOfReach()
{
    QFETCH(QByteArray, url);
    QFETCH(QString, detail);
    const QByteArray service = qgetenv("VANTORIX_SERVICE_URL");
    qputenv("VANTORIX_SERVICE_URL", url);
    const Result listed = runCli({"list", "--host", m_id19});
    const Result signedIn = runCli({"login", "--email", email, "--password-stdin"}, QByteArray(password) + "\n");
    qputenv("VANTORIX_SERVICE_URL", service);
    // The row's text stays; what happened follows it.
    for (const Result& result : {listed, signedIn}) {
        QCOMPARE(result.code, 3);
        QCOMPARE(result.err.trimmed(), "vantorix: " + errorRow(1) + ' ' + detail);
    }
}

void tst_CommandLine::runningHost_data()
{
    QTest::addColumn<bool>("wait");
    QTest::addColumn<QString>("runSeconds");
    QTest::addColumn<short>("errorRow");  // -1: installed once the host quit

    QTest::newRow("no waiting") << false << "60" << short(34);
    QTest::newRow("waiting past the limit") << true << "60" << short(33);
    QTest::newRow("host quits while waiting") << true << "2" << short(-1);
}

void tst_CommandLine::runningHost()
{
    QFETCH(bool, wait);
    QFETCH(QString, runSeconds);
    QFETCH(short, errorRow);

    QProcess running;
    running.start(fakehost::executablePath(hostOptions(m_host19, 19)), {runSeconds});
    QVERIFY(running.waitForStarted());
    qputenv(CommandLine::hostWaitVariable, errorRow < 0 ? "60" : "1");

    QStringList arguments{"install", "Roof Maker", "--host", m_id19, "--accept-agreements"};
    if (wait)
        arguments << "--wait-for-host";
    const Result result = runCli(arguments);
    running.kill();
    running.waitForFinished();

    if (errorRow < 0) {
        QVERIFY2(result.code == 0, qPrintable(result.err));
        QVERIFY(result.out.contains("Installed Roof Maker"));
        return;
    }
    QCOMPARE(result.code, 7);
    QString expected = ::errorRow(errorRow);
    expected.replace("$1", "ArchiCAD 19").replace("$2", "1");
    QCOMPARE(result.err.trimmed(), "vantorix: " + expected);
    QCOMPARE(result.out.contains("Waiting for ArchiCAD 19 to quit"), wait);
    QVERIFY(!result.out.contains("Installing"));
}

void tst_CommandLine::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");

    QTest::newRow("nothing") << QStringList() << 1;
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << 1;
    QTest::newRow("unknown option") << QStringList{"list", "--colour"} << 1;
    QTest::newRow("unknown status") << QStringList{"list", "--status", "mine"} << 1;
    QTest::newRow("install without a name") << QStringList{"install", "--host", "x"} << 1;
    QTest::newRow("password as an argument") << QStringList{"login", "--email", email, "secret"} << 1;
    QTest::newRow("help of a command") << QStringList{"install", "--help"} << 0;
}

void tst_CommandLine::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);

    const Result result = runCli(arguments);
    QCOMPARE(result.code, code);
    // Errors are single lines on err; help and version go to out.
    QCOMPARE(result.err.isEmpty(), code == 0);
    QCOMPARE(result.out.isEmpty(), code != 0);
    QVERIFY(!result.err.contains("secret"));
}

void tst_CommandLine::interruptCancelsInstall()
{
    // The archive's download hangs after its head: only Ctrl-C ends it. The
    // program itself runs, without a display.
    QVERIFY(m_service.control("stall-files=0"));
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    program.setProcessEnvironment(environment);
    program.start(testsupport::toolsDir() + "/vantorix",
                  {"install", "Door Maker", "--host", m_id19, "--accept-agreements"});
    QVERIFY(program.waitForStarted());
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += program.readAllStandardOutput()).contains("Installing Door Maker"), 30000);
    ::kill(pid_t(program.processId()), SIGINT);
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 130);
    QCOMPARE(QString::fromUtf8(program.readAllStandardError()).trimmed(), "vantorix: " + errorRow(37));
    // Shut down as usual: the temporary folder with the partial archive is gone.
    QVERIFY(!QDir(qEnvironmentVariable("TMPDIR") + "/Vantorix Installer").exists());
}

void tst_CommandLine::systemProxy()
{
    // On a network that lets traffic out only through a proxy: the sign-in,
    // the listing and the archive's download all go through the system's
    // proxy (here the environment's, as on Linux). The service is known by a
    // name that does not resolve: only the proxy leads to it.
    const QString name = QStringLiteral("service.vantorix.test");
    ServiceProcess service;
    QVERIFY2(service.startSecure({"--name", name}), qPrintable(service.errorString()));
    const QString port = service.url().section(':', -1);
    RecordingProxy proxy;
    QVERIFY(proxy.listen());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("https_proxy", proxy.address());
    environment.remove("no_proxy");
    environment.insert("VANTORIX_SERVICE_URL", "https://" + name + ':' + port);
    environment.insert("VANTORIX_CA_FILE", service.certificate());
    environment.insert("VANTORIX_PASSWORD", password);
    QString errors;
    auto run = [&](const QStringList& arguments) {
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(testsupport::toolsDir() + "/vantorix", arguments);
        // The proxy runs in this event loop: wait without blocking it.
        const bool ended = program.waitForStarted() &&
                           QTest::qWaitFor([&]() { return program.state() == QProcess::NotRunning; }, 60000);
        if (!ended)
            program.kill();
        errors += QString::fromUtf8(program.readAllStandardError());
        return ended && program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    };
    QCOMPARE(run({"login", "--email", email}), 0);
    QCOMPARE(run({"install", "Door Maker", "--host", m_id19, "--accept-agreements"}), 0);
    QVERIFY2(errors.isEmpty(), qPrintable(errors));
    QCOMPARE(runCli({"uninstall", "Door Maker", "--host", m_id19}).code, 0);

    // Sign-in, listing, archive: each on a connection of its own.
    QVERIFY2(proxy.requests().count("CONNECT " + name + ':' + port) >= 3, qPrintable(proxy.requests().join('\n')));
    QCOMPARE(proxy.requests().filter(QStringLiteral("CONNECT ")).size(), proxy.requests().size());
    const QString served = service.output();
    QVERIFY2(served.contains("Login accepted") && served.contains("DoorMaker-19-INT.zip"), qPrintable(served));
}

QTEST_GUILESS_MAIN(tst_CommandLine)

#include "tst_CommandLine.moc"
