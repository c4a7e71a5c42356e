// The real "vantorix" program killed (SIGKILL) at random moments while it
// installs and uninstalls a product of a few thousand files; the next run's
// recovery must leave the host and the product's record agreeing: either
// every item installed and recorded, or none of them and no record.

#include "common/FakeHost.h"
#include "common/FileBytes.h"
#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

#include <csignal>

using testsupport::ServiceProcess;

namespace {

const char* const email = "anna.berg@example.com";
const char* const password = "correct horse";
const int bundleFiles = 1500;

using Tree = QMap<QString, QByteArray>;


struct Run {
    int code = -1;
    QByteArray out;
    QByteArray err;
};

QProcess* startCli(const QStringList& arguments)
{
    auto* program = new QProcess;
    program->start(testsupport::toolsDir() + "/vantorix", arguments);
    return program;
}

Run runCli(const QStringList& arguments, const QByteArray& input = QByteArray())
{
    std::unique_ptr<QProcess> program(startCli(arguments));
    program->write(input);
    program->closeWriteChannel();
    Run run;
    if (!program->waitForFinished(120000))
        return run;
    run.code = program->exitCode();
    run.out = program->readAllStandardOutput();
    run.err = program->readAllStandardError();
    return run;
}

} // namespace

class tst_KilledInstall : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void killedRunsRecover();

private:
    // Whether the host holds every item of the product (true), none of them
    // (false, with the rest of the host as before), and fails otherwise.
    bool installedState(bool& installed);

    ServiceProcess m_service;
    QString m_host;
    QString m_record;
    Tree m_empty;
    QElapsedTimer m_clock;
};

void tst_KilledInstall::initTestCase()
{
    const QString sandbox = testsupport::sandboxDir();
    QDir(sandbox + "/killed").removeRecursively();
    QDir(sandbox + "/hosts/Killed").removeRecursively();
    QDir(sandbox + "/shared/Vantorix Tools").removeRecursively();

    // The stand-in's sample data with Stair Maker's archive made large: a
    // bundle of many files, so that a kill can land anywhere in it.
    const QString data = sandbox + "/killed/service";
    QVERIFY(ServiceProcess::copyFolder(QFINDTESTDATA("../data/Web/service"), data));
    const QString content = sandbox + "/killed/content";
    const QByteArray manifest =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><manifest>"
        "<file type=\"dll\"><name>StairMaker.apx</name></file>"
        "<file type=\"library\"><name>StairMaker 19 INT.lcf</name></file>"
        "<file type=\"library\"><name>StairMaker Part.gsm</name><location>Library Parts/StairMaker</location></file>"
        "<file type=\"extra\"><name>StairMaker Read Me.txt</name></file></manifest>";
    writeFile(content + "/manifest.xml", manifest);
    writeFile(content + "/StairMaker.apx/Contents/MacOS/StairMaker", "add-on");
    QByteArray block(8192, '\0');
    for (int i = 0; i < bundleFiles; ++i) {
        for (int k = 0; k < block.size(); ++k)
            block[k] = char(QRandomGenerator::global()->bounded(256));
        writeFile(content + QString("/StairMaker.apx/Contents/Resources/r%1.bin").arg(i, 4, 10, QChar('0')), block);
    }
    writeFile(content + "/StairMaker 19 INT.lcf", "library");
    writeFile(content + "/StairMaker Part.gsm", "part");
    writeFile(content + "/StairMaker Read Me.txt", "read me");
    const QString archive = data + "/files/archives/StairMaker-19-INT.zip";
    QFile::remove(archive);
    QProcess zip;
    zip.setWorkingDirectory(content);
    zip.start("zip", {"-q", "-r", "-0", archive, "manifest.xml", "StairMaker.apx", "StairMaker 19 INT.lcf",
                      "StairMaker Part.gsm", "StairMaker Read Me.txt"});
    QVERIFY2(zip.waitForFinished(60000) && zip.exitCode() == 0, zip.readAllStandardError().constData());

    QVERIFY2(m_service.start({}, data), qPrintable(m_service.errorString()));
    m_service.exportEnvironment();
    fakehost::FakeHostOptions options;
    options.folder = sandbox + "/hosts/Killed/ArchiCAD 19";
    QVERIFY(fakehost::create(options));
    m_host = options.folder;
    m_empty = snapshot(m_host);
    m_record = qEnvironmentVariable("VANTORIX_SHARED_DIR") + "/Vantorix Tools/Installation/com.vantorix.install.stair_maker.xml";
    const Run login = runCli({"login", "--email", email, "--password-stdin"}, QByteArray(password) + "\n");
    QVERIFY2(login.code == 0, login.err.constData());
}

bool tst_KilledInstall::installedState(bool& installed)
{
    const Tree tree = snapshot(m_host);
    for (const QString& name : tree.keys()) {
        if (QFileInfo(name).fileName().startsWith(".vantorix-")) {
            qWarning("left over: %s", qPrintable(name));
            return false;
        }
    }
    const bool recorded = QFile::exists(m_record);
    const QString resources = "Add-Ons/VantorixTools/StairMaker.apx/Contents/Resources";
    int files = 0;
    for (const QString& name : tree.keys())
        files += name.startsWith(resources + "/") ? 1 : 0;
    const bool complete = files == bundleFiles && tree.contains("Library Parts/StairMaker/StairMaker Part.gsm") &&
                          tree.contains("VantorixTools Extras/StairMaker Read Me.txt") &&
                          tree.value("ArchiCAD Library 19/Vantorix Library 19/StairMaker 19 INT.lcf") == "library";
    installed = recorded;
    if (recorded && !complete) {
        qWarning("recorded, but %d of %d files", files, bundleFiles);
        return false;
    }
    if (!recorded) {
        // Nothing of the product; the folders the host had stay.
        for (const QString& name : tree.keys()) {
            if (!m_empty.contains(name) && !name.startsWith("Add-Ons") && !name.startsWith("ArchiCAD Library") &&
                !name.startsWith("VantorixTools Extras")) {
                qWarning("not recorded, but %s is there", qPrintable(name));
                return false;
            }
        }
        if (files != 0 || tree.contains("Library Parts")) {
            qWarning("not recorded, but %d files are there", files);
            return false;
        }
    }
    return true;
}

void tst_KilledInstall::killedRunsRecover()
{
    // How long an uninterrupted install and uninstall take here.
    m_clock.start();
    Run run = runCli({"install", "Stair Maker", "--host", m_host, "--accept-agreements"});
    const qint64 installTime = m_clock.elapsed();
    QVERIFY2(run.code == 0, run.err.constData());
    bool installed = false;
    QVERIFY(installedState(installed) && installed);
    m_clock.restart();
    run = runCli({"uninstall", "Stair Maker", "--host", m_host});
    const qint64 uninstallTime = m_clock.elapsed();
    QVERIFY2(run.code == 0, run.err.constData());
    QVERIFY(installedState(installed) && !installed);
    qInfo("install %lld ms, uninstall %lld ms", installTime, uninstallTime);

    int outcomes[2] = {0, 0};
    for (int round = 0; round < 12; ++round) {
        const bool installing = !installed;
        const qint64 span = installing ? installTime : uninstallTime;
        std::unique_ptr<QProcess> program(
            startCli(installing ? QStringList{"install", "Stair Maker", "--host", m_host, "--accept-agreements"}
                                : QStringList{"uninstall", "Stair Maker", "--host", m_host}));
        QVERIFY(program->waitForStarted());
        // A moment from the start to the end of a whole run (qSleep takes no 0).
        QTest::qSleep(1 + int(QRandomGenerator::global()->bounded(int(qMax<qint64>(span, 20)))));
        ::kill(pid_t(program->processId()), SIGKILL);
        QVERIFY(program->waitForFinished(20000));
        // The next run recovers at its start.
        m_clock.restart();
        const Run list = runCli({"list", "--host", m_host, "--json"});
        QVERIFY2(list.code == 0, list.err.constData());

        QVERIFY2(installedState(installed), qPrintable(QString("round %1, %2").arg(round).arg(installing ? "install" : "uninstall")));
        ++outcomes[installed ? 1 : 0];
    }
    qInfo("after the kills: %d installed, %d not installed", outcomes[1], outcomes[0]);
}

QTEST_GUILESS_MAIN(tst_KilledInstall)
#include "tst_KilledInstall.moc"
