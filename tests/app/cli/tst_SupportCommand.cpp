// "vantorix support" against the service stand-in, run in-process through
// CommandLine: the request as the stand-in received it (no password in any
// form, in the request or in the logs it packs), the report id printed, the
// failures that exit 3, the export, and the usage errors.
#include "cli/CommandLine.h"

#include "common/CliRun.h"
#include "common/FileBytes.h"
#include "common/ServiceProcess.h"
#include "common/SupportArchive.h"
#include "common/TestSupport.h"

#include "Environment/Host.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QtTest>

using namespace vantorix;
using namespace installer;
using testsupport::ServiceProcess;

namespace {

const char* const email = "anna.berg@example.com";
const char* const password = "correct horse";

QString errorRow(short row)
{
    return host.getLocalString(32524, row).qString();
}

QString logFolder()
{
    return qEnvironmentVariable("VANTORIX_PREFS_DIR") + "/Vantorix Tools/Logs";
}

} // namespace

class tst_SupportCommand : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void sendsWithoutPasswords();
    void failedSendExitsThree_data();
    void failedSendExitsThree();
    void exportSendsNothing();
    void usage_data();
    void usage();

private:
    ServiceProcess m_service;
    // The password as the installer enciphers it for the service.
    QByteArray m_encipheredPassword;
};

void tst_SupportCommand::initTestCase()
{
    QDir(testsupport::sandboxDir() + "/shared/Vantorix Tools").removeRecursively();
    QDir(logFolder()).removeRecursively();
    QVERIFY2(m_service.start({"--record", m_service.recordDir()}), qPrintable(m_service.errorString()));
    m_service.exportEnvironment();
    // A real sign-in, whose log the support package will carry.
    const Result login = runCli({"login", "--email", email, "--password-stdin"}, QByteArray(password) + "\n");
    QVERIFY2(login.code == 0, qPrintable(login.err));
    const QList<QByteArray> posts = m_service.recordedPosts();
    QCOMPARE(posts.size(), 1);
    const QRegularExpressionMatch enciphered =
        QRegularExpression("<password>([^<]+)</password>").match(QString::fromUtf8(posts.first()));
    QVERIFY(enciphered.hasMatch());
    m_encipheredPassword = enciphered.captured(1).toUtf8();
    QVERIFY(!m_encipheredPassword.contains(password));
    // A record of an install, so that both folders are packed.
    writeFile(testsupport::sandboxDir() + "/shared/Vantorix Tools/Installation/com.vantorix.install.door_maker.xml",
              "<installation />\n");
}

void tst_SupportCommand::init()
{
    m_service.control("reset=1");
}

void tst_SupportCommand::sendsWithoutPasswords()
{
    const int before = m_service.recordedPosts().size();
    const Result result = runCli({"support", "--ticket", "T-4711", "--message", "Stair Maker does not start"});
    QVERIFY2(result.code == 0, qPrintable(result.err));
    const QString reportId = result.out.trimmed();
    QVERIFY2(QRegularExpression("^VX\\d+-\\d+$").match(reportId).hasMatch(), qPrintable(result.out));

    const QList<QByteArray> posts = m_service.recordedPosts();
    QCOMPARE(posts.size(), before + 1);
    const QByteArray& post = posts.last();
    QVERIFY(post.contains("<ticket>T-4711</ticket>"));
    QVERIFY(post.contains("<description>Stair Maker does not start</description>"));
    QVERIFY(post.contains(QByteArray("<email>") + email + "</email>"));
    QVERIFY(post.contains("<macAddress>02-00-5E-10-00-01</macAddress>"));
    QVERIFY(!post.contains(password));
    QVERIFY(!post.contains(m_encipheredPassword));
    QVERIFY(post.contains("<password></password>"));

    // The package holds both folders' files and the permission list, as
    // they are on disk; the logs carry no password either.
    const QMap<QString, QByteArray> entries = supportEntries(post);
    const QString record = "Installation/com.vantorix.install.door_maker.xml";
    const QString log = "Logs/com.vantorix.installer.txt";
    QCOMPARE(entries.keys(), QStringList({"FilePermissions.xml", record, log}));
    QCOMPARE(entries.value(record), readFile(testsupport::sandboxDir() + "/shared/Vantorix Tools/" + record));
    // The log as it was before this command appended its own lines.
    QVERIFY(readFile(logFolder() + "/com.vantorix.installer.txt").startsWith(entries.value(log)));
    QVERIFY(entries.value(log).contains("Command line: login"));
    for (auto entry = entries.cbegin(); entry != entries.cend(); ++entry) {
        QVERIFY2(!entry.value().contains(password), qPrintable(entry.key()));
        QVERIFY2(!entry.value().contains(m_encipheredPassword), qPrintable(entry.key()));
    }
    // The id printed is the one the service keeps for the report.
    QVERIFY(m_service.output().contains(reportId));
}

void tst_SupportCommand::failedSendExitsThree_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<short>("row");
    // The transport worked, but an answer without a report id confirms nothing.
    QTest::newRow("no report id") << "no-report-id=1" << short(70);
    QTest::newRow("server error") << "status=500" << short(1);
    QTest::newRow("unreachable") << QString() << short(1);
}

void tst_SupportCommand::failedSendExitsThree()
{
    QFETCH(QString, control);
    QFETCH(short, row);
    const QByteArray url = qgetenv("VANTORIX_SERVICE_URL");
    if (control.isEmpty())
        qputenv("VANTORIX_SERVICE_URL", "http://127.0.0.1:9");
    else
        QVERIFY(m_service.control(control));
    const Result result = runCli({"support", "--ticket", "T-1"});
    qputenv("VANTORIX_SERVICE_URL", url);
    QCOMPARE(result.code, 3);
    QCOMPARE(result.out, QString());
    QCOMPARE(result.err.trimmed(), "vantorix: " + errorRow(row));
}

void tst_SupportCommand::exportSendsNothing()
{
    const QString messageFile = testsupport::sandboxDir() + "/message.txt";
    writeFile(messageFile, "Zwei Zeilen, äöü\n<b>& more</b>\n");
    const QString exported = testsupport::sandboxDir() + "/out/request.zfpkgsprt";
    QDir(testsupport::sandboxDir() + "/out").removeRecursively();
    QVERIFY(QDir().mkpath(testsupport::sandboxDir() + "/out"));
    const int posts = m_service.stats().value("posts");

    const Result result = runCli({"support", "--ticket", "", "--message-file", messageFile, "--export", exported});
    QVERIFY2(result.code == 0, qPrintable(result.err));
    QCOMPARE(m_service.stats().value("posts"), posts);
    const QByteArray text = readFile(exported);
    QVERIFY(text.startsWith("<?xml"));
    // An empty ticket goes as typed; the message is escaped, not dropped.
    QVERIFY(text.contains("<ticket></ticket>"));
    QVERIFY(text.contains("Zwei Zeilen, äöü\n&lt;b&gt;&amp; more&lt;/b&gt;\n</description>"));
    QVERIFY(!text.contains(password) && !text.contains(m_encipheredPassword));
    QVERIFY(supportEntries(text).contains("FilePermissions.xml"));
    // Nothing is left beside the export.
    QCOMPARE(QDir(testsupport::sandboxDir() + "/out").entryList(QDir::Files | QDir::Hidden),
             QStringList{"request.zfpkgsprt"});

    // A folder that cannot be written: exit 9 with the file named.
    const Result failed = runCli({"support", "--ticket", "T", "--export", testsupport::sandboxDir() + "/none/x.zfpkgsprt"});
    QCOMPARE(failed.code, 9);
    QCOMPARE(failed.err.trimmed(),
             "vantorix: " + errorRow(72).replace("$1", testsupport::sandboxDir() + "/none/x.zfpkgsprt"));
}

void tst_SupportCommand::usage_data()
{
    const QString big = testsupport::sandboxDir() + "/big.txt";
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");
    QTest::newRow("no ticket") << QStringList{"support", "--message", "hi"} << "The option --ticket is missing.";
    QTest::newRow("two messages") << QStringList{"support", "--ticket", "1", "--message", "a", "--message-file", big}
                                  << "Give either --message or --message-file, not both.";
    QTest::newRow("a stray argument") << QStringList{"support", "--ticket", "1", "secret"}
                                      << "support takes no arguments besides its options.";
    QTest::newRow("missing message file") << QStringList{"support", "--ticket", "1", "--message-file", big + ".none"}
                                          << errorRow(73).replace("$1", big + ".none").replace("$2", "256");
    QTest::newRow("message file too large") << QStringList{"support", "--ticket", "1", "--message-file", big}
                                            << errorRow(73).replace("$1", big).replace("$2", "256");
}

void tst_SupportCommand::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    writeFile(testsupport::sandboxDir() + "/big.txt", QByteArray(256 * 1024 + 1, 'x'));
    const int posts = m_service.stats().value("posts");
    const Result result = runCli(arguments);
    QCOMPARE(result.code, 1);
    QVERIFY2(result.err.contains(error), qPrintable(result.err));
    QVERIFY(!result.err.contains("secret"));
    QCOMPARE(m_service.stats().value("posts"), posts);
}

QTEST_GUILESS_MAIN(tst_SupportCommand)
#include "tst_SupportCommand.moc"
