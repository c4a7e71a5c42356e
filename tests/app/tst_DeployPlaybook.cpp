// The IT staff's playbook (docs/deploy): it passes Ansible's syntax check;
// run on this machine (connection local) with a stand-in for the command, it
// hands over the file, names, host and agreement switch as documented and
// reports each exit code; and run for real, it installs the tools of an
// offline install file made against the service stand-in into a sandbox.
// Every part needs ansible-playbook (package ansible-core) and is skipped
// without it.

#include "common/FakeHost.h"
#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

namespace {

const QString playbook = QStringLiteral(VANTORIX_SOURCE_DIR "/docs/deploy/install-offline.yml");

struct Run {
    int code = -1;
    QString out;
    QString err;
};

Run run(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
        const QByteArray& input = QByteArray())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(testsupport::sandboxDir());
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    Run result;
    if (!process.waitForFinished(240000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        result.err = QStringLiteral("did not finish normally");
        return result;
    }
    result.code = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString ansiblePlaybook()
{
    return QStandardPaths::findExecutable(QStringLiteral("ansible-playbook"));
}

// Ansible keeps its own state under HOME; the sandbox's is used.
QProcessEnvironment ansibleEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ANSIBLE_LOCALHOST_WARNING"), QStringLiteral("false"));
    environment.insert(QStringLiteral("ANSIBLE_NOCOLOR"), QStringLiteral("true"));
    environment.insert(QStringLiteral("ANSIBLE_LOCAL_TEMP"), testsupport::sandboxDir() + QStringLiteral("/tmp/ansible"));
    return environment;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() && file.flush();
}

// Runs the playbook on this machine with the extra variables.
Run runPlaybook(const QJsonObject& variables)
{
    const QString file = testsupport::sandboxDir() + QStringLiteral("/playbook-vars.json");
    QJsonObject all = variables;
    all.insert(QStringLiteral("vantorix_machines"), QStringLiteral("all"));
    all.insert(QStringLiteral("vantorix_become"), false);
    all.insert(QStringLiteral("vantorix_remote_dir"), testsupport::sandboxDir() + QStringLiteral("/remote"));
    if (!writeFile(file, QJsonDocument(all).toJson()))
        return Run{-1, QString(), QStringLiteral("cannot write ") + file};
    return run(ansiblePlaybook(),
               {QStringLiteral("-i"), QStringLiteral("localhost,"), QStringLiteral("-c"), QStringLiteral("local"),
                QStringLiteral("-e"), QLatin1Char('@') + file, playbook},
               ansibleEnvironment());
}

} // namespace

class tst_DeployPlaybook : public QObject {
    Q_OBJECT

private slots:
    void init();
    void syntax();
    void handsOverAndReports_data();
    void handsOverAndReports();
    void installsFromAnOfflineFile();
};

void tst_DeployPlaybook::init()
{
    if (ansiblePlaybook().isEmpty())
        QSKIP("ansible-playbook is not installed (Debian package ansible-core)");
}

void tst_DeployPlaybook::syntax()
{
    const Run checked = run(ansiblePlaybook(),
                            {QStringLiteral("--syntax-check"), QStringLiteral("-i"),
                             QStringLiteral(VANTORIX_SOURCE_DIR "/docs/deploy/inventory.example.ini"), playbook},
                            ansibleEnvironment());
    QVERIFY2(checked.code == 0, qPrintable(checked.out + checked.err));
}

void tst_DeployPlaybook::handsOverAndReports_data()
{
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QString>("host");

    QTest::newRow("done") << 0 << true << "3f2a";
    QTest::newRow("agreement refused") << 8 << false << "";
    QTest::newRow("file unusable") << 10 << true << "/Applications/ArchiCAD 19";
}

void tst_DeployPlaybook::handsOverAndReports()
{
    QFETCH(int, exitCode);
    QFETCH(bool, accept);
    QFETCH(QString, host);

    // A stand-in for the command: keeps its arguments one a line and its
    // environment's marker, and ends with the chosen code.
    const QString sandbox = testsupport::sandboxDir();
    const QString stub = sandbox + QStringLiteral("/vantorix-stub");
    const QString received = sandbox + QStringLiteral("/received.txt");
    QFile::remove(received);
    QVERIFY(writeFile(stub, QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '%1'\n"
                                           "echo \"marker=$VANTORIX_MARKER\" >> '%1'\n"
                                           "echo 'vantorix: the last line' >&2\nexit %2\n")
                                .arg(received)
                                .arg(exitCode)
                                .toUtf8()));
    QVERIFY(QFile::setPermissions(stub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QString offline = sandbox + QStringLiteral("/office tools.vantorix");
    QVERIFY(writeFile(offline, "not read by the stand-in"));

    QJsonObject variables{
        {QStringLiteral("vantorix_command"), stub},
        {QStringLiteral("vantorix_offline_file"), offline},
        {QStringLiteral("vantorix_products"), QJsonArray{QStringLiteral("Door Maker"), QStringLiteral("stair maker")}},
        {QStringLiteral("vantorix_accept_agreements"), accept},
        {QStringLiteral("vantorix_host"), host},
        {QStringLiteral("vantorix_environment"), QJsonObject{{QStringLiteral("VANTORIX_MARKER"), QStringLiteral("m1")}}},
    };
    const Run played = runPlaybook(variables);

    // The file was copied to the machine and handed over with the names as
    // single arguments.
    QFile file(received);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(played.out + played.err));
    QStringList expected{QStringLiteral("offline"), QStringLiteral("install"),
                         sandbox + QStringLiteral("/remote/office tools.vantorix"), QStringLiteral("Door Maker"),
                         QStringLiteral("stair maker")};
    if (!host.isEmpty())
        expected << QStringLiteral("--host") << host;
    if (accept)
        expected << QStringLiteral("--accept-agreements");
    expected << QStringLiteral("marker=m1");
    QCOMPARE(QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);

    // Each machine's code is reported; a machine that did not end with 0 is
    // a failed machine (ansible-playbook's own exit code 2).
    QVERIFY2(played.out.contains(QStringLiteral("localhost: exit code %1").arg(exitCode)), qPrintable(played.out));
    if (exitCode == 0) {
        QVERIFY2(played.code == 0, qPrintable(played.out + played.err));
    } else {
        QCOMPARE(played.code, 2);
        QVERIFY2(played.out.contains(QStringLiteral("vantorix: the last line")), qPrintable(played.out));
    }
}

void tst_DeployPlaybook::installsFromAnOfflineFile()
{
    const QString vantorix = testsupport::toolsDir() + QStringLiteral("/vantorix");
    const QString sandbox = testsupport::sandboxDir();
    const QProcessEnvironment plain = QProcessEnvironment::systemEnvironment();
    const Run offline = run(vantorix, {QStringLiteral("offline"), QStringLiteral("--help")}, plain);
    if (offline.code != 0)
        QSKIP(qPrintable(QStringLiteral("this build's vantorix has no \"offline\" command yet (vantorix offline "
                                        "--help: %1)")
                             .arg(offline.err.trimmed())));

    // A file made on a "connected" machine: signed in to the stand-in.
    testsupport::ServiceProcess service;
    QVERIFY2(service.start(), qPrintable(service.errorString()));
    QProcessEnvironment connected = plain;
    connected.insert(QStringLiteral("VANTORIX_SERVICE_URL"), service.url());
    const QString file = sandbox + QStringLiteral("/office.vantorix");
    QFile::remove(file);
    Run step = run(vantorix, {QStringLiteral("login"), QStringLiteral("--email"), QStringLiteral("anna.berg@example.com"),
                              QStringLiteral("--password-stdin")},
                   connected, "correct horse\n");
    QVERIFY2(step.code == 0, qPrintable(step.err));
    step = run(vantorix, {QStringLiteral("offline"), QStringLiteral("create"), file, QStringLiteral("Door Maker")},
               connected);
    QVERIFY2(step.code == 0, qPrintable(step.err));
    service.stop();

    // The machine to prepare: folders of its own, one ArchiCAD, no service.
    const QString machine = sandbox + QStringLiteral("/machine");
    QVERIFY(QDir(machine).removeRecursively());
    for (const char* folder : {"prefs", "shared", "tmp", "hosts"})
        QVERIFY(QDir().mkpath(machine + QLatin1Char('/') + QLatin1String(folder)));
    fakehost::FakeHostOptions host;
    host.folder = machine + QStringLiteral("/hosts/ArchiCAD 19");
    QVERIFY(fakehost::create(host));

    const QJsonObject environment{
        {QStringLiteral("VANTORIX_PREFS_DIR"), machine + QStringLiteral("/prefs")},
        {QStringLiteral("VANTORIX_SHARED_DIR"), machine + QStringLiteral("/shared")},
        {QStringLiteral("VANTORIX_HOST_SEARCH_PATH"), machine + QStringLiteral("/hosts")},
        {QStringLiteral("TMPDIR"), machine + QStringLiteral("/tmp")},
        {QStringLiteral("VANTORIX_SERVICE_URL"), QStringLiteral("http://127.0.0.1:9")},
    };
    const Run played = runPlaybook({
        {QStringLiteral("vantorix_command"), vantorix},
        {QStringLiteral("vantorix_offline_file"), file},
        {QStringLiteral("vantorix_products"), QJsonArray{QStringLiteral("Door Maker")}},
        {QStringLiteral("vantorix_accept_agreements"), true},
        {QStringLiteral("vantorix_environment"), environment},
    });
    QVERIFY2(played.code == 0, qPrintable(played.out + played.err));
    QVERIFY2(played.out.contains(QStringLiteral("localhost: exit code 0")), qPrintable(played.out));

    QDirIterator installed(host.folder, {QStringLiteral("DoorMaker.apx")}, QDir::Dirs, QDirIterator::Subdirectories);
    QVERIFY2(installed.hasNext(), "Door Maker is not in the host application's folder");
}

QTEST_MAIN(tst_DeployPlaybook)
#include "tst_DeployPlaybook.moc"
