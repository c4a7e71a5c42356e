// The self-update from end to end: an installed folder made by
// "cmake --install", the stand-in offering a newer version, "vantorix
// self-update" run from the installed folder. A good archive puts the new
// version in place and starts it (it removes the old folder and says so in
// its log); every bad one stops the update at its step, leaves the old
// program runnable and nothing beside it. The report the stand-in receives
// carries the steps as they ran.

#include "update/UpdateSignature.h"
#include "update/Updater.h"

#include "common/OtherUser.h"
#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

using namespace installer;

namespace {

struct Run {
    int code = -1;
    QByteArray out;
    QByteArray err;
};

Run run(const QString& program, const QStringList& arguments, const QString& input = QString())
{
    QProcess process;
    process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    process.setWorkingDirectory(testsupport::sandboxDir());
    process.start(program, arguments);
    if (!input.isEmpty())
        process.write(input.toUtf8());
    process.closeWriteChannel();
    Run result;
    if (!process.waitForFinished(180000) || process.exitStatus() != QProcess::NormalExit) {
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

QString sandbox(const QString& relative)
{
    return QDir(testsupport::sandboxDir()).filePath(relative);
}

bool sign(const QString& archive, const QString& key)
{
    return run(QStringLiteral("openssl"), {QStringLiteral("pkeyutl"), QStringLiteral("-sign"), QStringLiteral("-rawin"),
                                          QStringLiteral("-inkey"), key, QStringLiteral("-in"), archive,
                                          QStringLiteral("-out"), archive + QStringLiteral(".sig")})
               .code == 0;
}

// Zips the folder "top" inside stage into archive (links stored as links).
bool zipFolder(const QString& stage, const QString& top, const QString& archive)
{
    QFile::remove(archive);
    QProcess zip;
    zip.setWorkingDirectory(stage);
    zip.start(QStringLiteral("zip"), {QStringLiteral("-qry"), QStringLiteral("-X"), archive, top});
    return zip.waitForFinished(120000) && zip.exitStatus() == QProcess::NormalExit && zip.exitCode() == 0;
}

QString testKey()
{
    return QDir(testsupport::dataDir()).filePath(QStringLiteral("app/update/test-update-key.private.pem"));
}

// Everything beside the installed folder: what an update leaves behind.
QStringList besides(const QString& root)
{
    QStringList names = QFileInfo(root).dir().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    names.removeAll(QFileInfo(root).fileName());
    return names;
}

QString logText()
{
    QFile log(sandbox(QStringLiteral("prefs/Vantorix Tools/Logs/com.vantorix.installer.txt")));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

// The steps of the update reports the stand-in received: "Action=1" each.
QStringList reportedSteps(const testsupport::ServiceProcess& service)
{
    QStringList steps;
    static const QRegularExpression step(
        QStringLiteral("<step>\\s*<action>([^<]*)</action>\\s*<success>([^<]*)</success>"));
    for (const QByteArray& post : service.recordedPosts()) {
        const QString text = QString::fromUtf8(post);
        if (!text.contains(QLatin1String("<update>")))
            continue;
        QRegularExpressionMatchIterator it = step.globalMatch(text);
        while (it.hasNext()) {
            const QRegularExpressionMatch match = it.next();
            steps << match.captured(1) + QLatin1Char('=') + match.captured(2);
        }
    }
    return steps;
}

} // namespace

class tst_SelfUpdate : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void signatureCheck();
    void updates();
    void failures_data();
    void failures();
    void checkOnly();
    void unwritableFolder();
    void packageFolder();
    void finishRemovesOnlyTheOldFolder_data();
    void finishRemovesOnlyTheOldFolder();

private:
    // Installs the build into a fresh folder with a blank in its name.
    bool installOld();
    bool startService(const QString& archive, const QStringList& switches = {});
    QString versionOf(const QString& root);

    QString m_archives;   // the update archives made once
    QString m_root;       // the installed folder of this test function
    testsupport::ServiceProcess m_service;
};

void tst_SelfUpdate::initTestCase()
{
    QVERIFY(UpdateSignature::usesTestKey());
    m_archives = sandbox(QStringLiteral("archives"));
    QVERIFY(QDir(m_archives).removeRecursively());
    QVERIFY(QDir().mkpath(m_archives));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QProcess script;
    environment.insert(QStringLiteral("NO_BUILD"), QStringLiteral("1"));
    environment.insert(QStringLiteral("BUILD_DIR"), QStringLiteral(VANTORIX_BUILD_DIR));
    script.setProcessEnvironment(environment);
    const QString good = m_archives + QStringLiteral("/good.zip");
    script.start(QStringLiteral(VANTORIX_SOURCE_DIR "/scripts/make-update-archive"), {good});
    QVERIFY(script.waitForFinished(180000));
    QVERIFY2(script.exitCode() == 0, script.readAllStandardError().constData());

    // The bad archives, from the good one's content.
    const QString stage = sandbox(QStringLiteral("stage"));
    QVERIFY(QDir(stage).removeRecursively());
    QVERIFY(QDir().mkpath(stage));
    QVERIFY(run(QStringLiteral("unzip"), {QStringLiteral("-q"), good, QStringLiteral("-d"), stage}).code == 0);

    // Signed by another key.
    QVERIFY(QFile::copy(good, m_archives + QStringLiteral("/other-key.zip")));
    const QString otherKey = m_archives + QStringLiteral("/other.pem");
    QVERIFY(run(QStringLiteral("openssl"), {QStringLiteral("genpkey"), QStringLiteral("-algorithm"),
                                           QStringLiteral("ed25519"), QStringLiteral("-out"), otherKey})
                .code == 0);
    QVERIFY(sign(m_archives + QStringLiteral("/other-key.zip"), otherKey));
    // Not signed at all.
    QVERIFY(QFile::copy(good, m_archives + QStringLiteral("/unsigned.zip")));
    // The folder under another name: no bundle.
    QVERIFY(QDir(stage).rename(QStringLiteral("vantorix-installer"), QStringLiteral("Something Else")));
    QVERIFY(zipFolder(stage, QStringLiteral("Something Else"), m_archives + QStringLiteral("/no-bundle.zip")));
    QVERIFY(sign(m_archives + QStringLiteral("/no-bundle.zip"), testKey()));
    QVERIFY(QDir(stage).rename(QStringLiteral("Something Else"), QStringLiteral("vantorix-installer")));
    // A link in the bundle, which could lead later entries elsewhere.
    const QString link = stage + QStringLiteral("/vantorix-installer/share/elsewhere");
    QVERIFY(QFile::link(QStringLiteral("/tmp"), link));
    QVERIFY(zipFolder(stage, QStringLiteral("vantorix-installer"), m_archives + QStringLiteral("/link.zip")));
    QVERIFY(sign(m_archives + QStringLiteral("/link.zip"), testKey()));
    QVERIFY(QFile::remove(link));
    // A command line that is no program.
    const QString program = stage + QStringLiteral("/vantorix-installer/bin/vantorix");
    QVERIFY(QFile::remove(program));
    QFile broken(program);
    QVERIFY(broken.open(QIODevice::WriteOnly));
    QVERIFY(broken.write("not a program\n") > 0);
    broken.close();
    QVERIFY(zipFolder(stage, QStringLiteral("vantorix-installer"), m_archives + QStringLiteral("/no-start.zip")));
    QVERIFY(sign(m_archives + QStringLiteral("/no-start.zip"), testKey()));
}

void tst_SelfUpdate::init()
{
    m_root = sandbox(QStringLiteral("installed/%1/Vantorix Installer").arg(QTest::currentTestFunction()));
}

void tst_SelfUpdate::cleanup()
{
    m_service.stop();
}

bool tst_SelfUpdate::installOld()
{
    QDir(QFileInfo(m_root).path()).removeRecursively();
    const Run installed = run(QStringLiteral(VANTORIX_CMAKE_COMMAND),
                              {QStringLiteral("--install"), QStringLiteral(VANTORIX_BUILD_DIR), QStringLiteral("--prefix"),
                               m_root});
    return installed.code == 0 && versionOf(m_root) == QLatin1String("2.05");
}

QString tst_SelfUpdate::versionOf(const QString& root)
{
    const Run version = run(root + QStringLiteral("/bin/vantorix"), {QStringLiteral("--version")});
    const QList<QByteArray> words = version.out.split(' ');
    return version.code == 0 && words.size() >= 2 ? QString::fromUtf8(words.at(1)) : QString();
}

// The stand-in with installer.json naming archive (under files/installer/)
// for the host's language, and that archive with its signature when there is one.
bool tst_SelfUpdate::startService(const QString& archive, const QStringList& switches)
{
    const QString data = sandbox(QStringLiteral("data/%1").arg(QTest::currentTestFunction()));
    QDir(data).removeRecursively();
    if (!testsupport::ServiceProcess::copyFolder(QDir(testsupport::dataDir()).filePath(QStringLiteral("app/service")), data))
        return false;
    const QString files = data + QStringLiteral("/files/installer");
    QDir().mkpath(files);
    const QString name = QFileInfo(archive).fileName();
    if (!QFile::copy(archive, files + QLatin1Char('/') + name))
        return false;
    if (QFile::exists(archive + QStringLiteral(".sig")) &&
        !QFile::copy(archive + QStringLiteral(".sig"), files + QLatin1Char('/') + name + QStringLiteral(".sig")))
        return false;
    QJsonObject releases;
    releases.insert(QStringLiteral("INT"), QStringLiteral("${SERVICE}/files/installer/") + name);
    releases.insert(QStringLiteral("DEU"), QStringLiteral("${SERVICE}/files/installer/missing-DEU.zip"));
    QJsonObject installer;
    installer.insert(QStringLiteral("version"), QStringLiteral("2.06"));
    installer.insert(QStringLiteral("releaseSize"), double(QFileInfo(archive).size()) / 1e6);
    installer.insert(QStringLiteral("releases"), releases);
    QFile json(data + QStringLiteral("/installer.json"));
    if (!json.open(QIODevice::WriteOnly) || json.write(QJsonDocument(installer).toJson()) <= 0)
        return false;
    json.close();
    QDir(m_service.recordDir()).removeRecursively();
    if (!m_service.start(QStringList{QStringLiteral("--record"), m_service.recordDir()} + switches, data))
        return false;
    m_service.exportEnvironment();
    return true;
}

void tst_SelfUpdate::signatureCheck()
{
    // The trusted key, the good archive and its signature agree; a changed
    // byte of the signature, or of the key, does not.
    const QString good = m_archives + QStringLiteral("/good.zip");
    QFile file(good + QStringLiteral(".sig"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray signature = file.readAll();
    QCOMPARE(UpdateSignature::verify(good, signature), UpdateSignature::valid);
    QCOMPARE(UpdateSignature::verify(good, QByteArray()), UpdateSignature::unsigned_);
    QCOMPARE(UpdateSignature::verify(good, signature.left(63)), UpdateSignature::mismatch);
    QByteArray key = UpdateSignature::trustedKey();
    key[0] = char(key[0] ^ 1);
    QCOMPARE(UpdateSignature::verify(good, signature, key), UpdateSignature::mismatch);
    signature[10] = char(signature[10] ^ 0x40);
    QCOMPARE(UpdateSignature::verify(good, signature), UpdateSignature::mismatch);
    QCOMPARE(UpdateSignature::verify(m_archives + QStringLiteral("/absent.zip"), signature), UpdateSignature::unreadable);
}

void tst_SelfUpdate::updates()
{
    QVERIFY(installOld());
    QVERIFY2(startService(m_archives + QStringLiteral("/good.zip")), qPrintable(m_service.errorString()));
    const QString before = logText();

    const Run update = run(m_root + QStringLiteral("/bin/vantorix"), {QStringLiteral("self-update")});
    QVERIFY2(update.code == 0, update.err.constData());
    QVERIFY2(update.out.contains("Newest version: 2.06"), update.out.constData());
    QVERIFY2(update.out.contains("  VerifySignature: "), update.out.constData());

    // The new version started: it removes the old folder and logs it.
    QTRY_VERIFY_WITH_TIMEOUT(besides(m_root).isEmpty(), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(logText().mid(before.size()).contains(
                                 QLatin1String("Update finished: removed the previous version at ")),
                             60000);
    QCOMPARE(versionOf(m_root), QStringLiteral("2.06"));
    // Its files are as the archive had them: programs executable.
    QVERIFY(QFileInfo(m_root + QStringLiteral("/bin/vantorix-installer")).isExecutable());
    QVERIFY(QFileInfo::exists(m_root + QStringLiteral("/share/vantorix-installer/icons/vantorix-installer.svg")));

    const QStringList steps = reportedSteps(m_service);
    const QStringList expected{QStringLiteral("Download=1"),       QStringLiteral("FindExecutable=1"),
                               QStringLiteral("BundlePath=1"),     QStringLiteral("ParentPath=1"),
                               QStringLiteral("CheckArchiveSize=1"), QStringLiteral("VerifySignature=1"),
                               QStringLiteral("GetTempDir=1"),     QStringLiteral("CreateUpdateTemp=1"),
                               QStringLiteral("Unzip=1"),          QStringLiteral("CHMOD=1"),
                               QStringLiteral("CheckNewVersion=1"), QStringLiteral("MoveOldBundle=1"),
                               QStringLiteral("CopyBundle=1"),     QStringLiteral("OpenNewInstaller=1")};
    QCOMPARE(steps, expected);
    // The report names the version it came from; the account goes without its password.
    const QByteArray post = m_service.recordedPosts().constLast();
    QVERIFY(post.contains("<previousVersion>2.05</previousVersion>"));
    QVERIFY(post.contains("<password></password>"));
}

void tst_SelfUpdate::failures_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("message");

    QTest::newRow("unsigned") << "unsigned.zip" << QStringList() << "VerifySignature"
                              << "The installer update is not signed";
    QTest::newRow("signed by another key") << "other-key.zip" << QStringList() << "VerifySignature"
                                           << "signature does not match the Vantorix key";
    QTest::newRow("truncated download") << "good.zip" << QStringList{QStringLiteral("--short-files")} << "Download"
                                        << "An error occures while downloading";
    QTest::newRow("no bundle") << "no-bundle.zip" << QStringList() << "CopyBundle"
                               << "holds no \"vantorix-installer\" folder";
    QTest::newRow("link in the bundle") << "link.zip" << QStringList() << "Unzip"
                                        << "could not be unpacked (vantorix-installer/share/elsewhere: a link)";
    QTest::newRow("new program does not start") << "no-start.zip" << QStringList() << "CheckNewVersion"
                                                << "did not start or did not report version 2.06";
}

void tst_SelfUpdate::failures()
{
    QFETCH(QString, archive);
    QFETCH(QStringList, switches);
    QFETCH(QString, step);
    QFETCH(QString, message);

    QVERIFY(installOld());
    QVERIFY2(startService(m_archives + QLatin1Char('/') + archive, switches), qPrintable(m_service.errorString()));
    const Run update = run(m_root + QStringLiteral("/bin/vantorix"), {QStringLiteral("self-update")});
    QCOMPARE(update.code, 12);
    const QString error = QString::fromUtf8(update.err);
    QVERIFY2(error.contains(QStringLiteral("The update stopped at the step ") + step), update.err.constData());
    QVERIFY2(error.contains(message), update.err.constData());

    // The old program is in place and runs; nothing is left beside it.
    QCOMPARE(versionOf(m_root), QStringLiteral("2.05"));
    QCOMPARE(besides(m_root), QStringList());
    // The report went out, with the failed step last.
    const QStringList steps = reportedSteps(m_service);
    QVERIFY(!steps.isEmpty());
    QCOMPARE(steps.constLast(), step + QStringLiteral("=0"));
}

void tst_SelfUpdate::checkOnly()
{
    QVERIFY(installOld());
    QVERIFY(startService(m_archives + QStringLiteral("/good.zip")));
    const Run check = run(m_root + QStringLiteral("/bin/vantorix"), {QStringLiteral("self-update"), QStringLiteral("--check")});
    QCOMPARE(check.code, 11);
    QVERIFY(check.out.contains("Installed version: 2.05\nNewest version: 2.06\n"));
    QCOMPARE(versionOf(m_root), QStringLiteral("2.05"));
    QVERIFY(m_service.recordedPosts().size() == 1);
}

void tst_SelfUpdate::unwritableFolder()
{
    // A folder another user installed (as the package is) is not replaced:
    // "self-update" run by someone who cannot write it says that the package
    // manager brings updates, and changes nothing.
    const QString reachable = makeReachableFolder();
    QVERIFY(!reachable.isEmpty());
    const QString app = reachable + QStringLiteral("/app");
    const QString home = reachable + QStringLiteral("/home");
    m_root = app + QStringLiteral("/Vantorix Installer");
    QVERIFY(QDir().mkpath(app));
    QVERIFY(QDir().mkpath(home));
    QVERIFY(QFile::setPermissions(home, QFileDevice::Permissions(0x7777)));
    QVERIFY(installOld());
    QVERIFY(startService(m_archives + QStringLiteral("/good.zip")));
    const InstallFolder folder(m_root + QStringLiteral("/bin"));
    QVERIFY(Updater::canReplace(folder));
    const QFileDevice::Permissions modes = QFileInfo(app).permissions();
    if (::getuid() != 0)
        QVERIFY(QFile::setPermissions(app, QFileDevice::ReadOwner | QFileDevice::ExeOwner));

    const QByteArray command = "'" + QFile::encodeName(m_root) + "/bin/vantorix' self-update >'" +
                               QFile::encodeName(home) + "/out.txt' 2>'" + QFile::encodeName(home) + "/err.txt'";
    const QByteArray homePath = QFile::encodeName(home);
    int exitCode = -1;
    const bool ran = runAsOtherUser([&] {
        for (const char* name : {"HOME", "VANTORIX_PREFS_DIR", "VANTORIX_SHARED_DIR", "TMPDIR"})
            ::setenv(name, homePath.constData(), 1);
        if (!Updater::canReplace(folder))
            exitCode = std::system(command.constData());
        return exitCode != -1 && WIFEXITED(exitCode) && WEXITSTATUS(exitCode) == 12;
    });
    QFile::setPermissions(app, modes);
    QFile err(home + QStringLiteral("/err.txt"));
    QVERIFY(err.open(QIODevice::ReadOnly));
    const QByteArray error = err.readAll();
    QVERIFY2(ran, error.constData());
    QVERIFY2(error.contains("The update stopped at the step CheckWritable"), error.constData());
    QVERIFY2(error.contains("its updates come through the system's package manager"), error.constData());
    QCOMPARE(versionOf(m_root), QStringLiteral("2.05"));
    QCOMPARE(besides(m_root), QStringList());
    QVERIFY(QDir(reachable).removeRecursively());
}

void tst_SelfUpdate::packageFolder()
{
    // The package's folder is left to the package manager, whoever runs it.
    QVERIFY(installOld());
    QFile marker(m_root + QStringLiteral("/share/vantorix-installer/package-managed"));
    QVERIFY(marker.open(QIODevice::WriteOnly) && marker.write("package\n") == 8);
    marker.close();
    QVERIFY(startService(m_archives + QStringLiteral("/good.zip")));
    const Run update = run(m_root + QStringLiteral("/bin/vantorix"), {QStringLiteral("self-update")});
    QCOMPARE(update.code, 12);
    QVERIFY2(update.err.contains("The update stopped at the step CheckWritable"), update.err.constData());
    QVERIFY2(update.err.contains("its updates come through the system's package manager"), update.err.constData());
    QCOMPARE(versionOf(m_root), QStringLiteral("2.05"));
    QCOMPARE(besides(m_root), QStringList());
}

void tst_SelfUpdate::finishRemovesOnlyTheOldFolder_data()
{
    // The path handed to the new program, relative to the folder that holds
    // the installed one; whether it is removed.
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("link");
    QTest::addColumn<bool>("removed");
    QTest::newRow("the old folder") << ".Vantorix Installer.old-a1B2c3" << false << true;
    QTest::newRow("another folder beside") << "Documents" << false << false;
    QTest::newRow("the old name elsewhere") << "deeper/.Vantorix Installer.old-a1B2c3" << false << false;
    QTest::newRow("the old name, longer") << ".Vantorix Installer.old-a1B2c3d4" << false << false;
    QTest::newRow("a link with the old name") << ".Vantorix Installer.old-L1nk00" << true << false;
}

void tst_SelfUpdate::finishRemovesOnlyTheOldFolder()
{
    QFETCH(QString, path);
    QFETCH(bool, link);
    QFETCH(bool, removed);
    if (!QFileInfo::exists(m_root + QStringLiteral("/bin/vantorix")))
        QVERIFY(installOld());
    const QString parent = QFileInfo(m_root).path();
    const QString given = parent + QLatin1Char('/') + path;
    const QString content = link ? parent + QStringLiteral("/target") : given;
    QVERIFY(QDir().mkpath(content));
    QFile keep(content + QStringLiteral("/keep.txt"));
    QVERIFY(keep.open(QIODevice::WriteOnly) && keep.write("kept") == 4);
    keep.close();
    if (link)
        QVERIFY(QFile::link(content, given));

    const Run finish = run(m_root + QStringLiteral("/bin/vantorix"),
                           {QStringLiteral("self-update"), QStringLiteral("--finish-update"), given});
    QCOMPARE(finish.code, removed ? 0 : 9);
    QCOMPARE(QFileInfo::exists(given), !removed);
    if (!removed)
        QVERIFY(QFileInfo::exists(content + QStringLiteral("/keep.txt")));
    QCOMPARE(versionOf(m_root), QStringLiteral("2.05"));
    QFile::remove(given);
    QDir(given).removeRecursively();
    QDir(parent + QStringLiteral("/target")).removeRecursively();
    QDir(parent + QStringLiteral("/deeper")).removeRecursively();
}

QTEST_GUILESS_MAIN(tst_SelfUpdate)
#include "tst_SelfUpdate.moc"
