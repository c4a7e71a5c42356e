// The options and sign-in panel against the service stand-in: rows and size
// per choice, sign-in with the controls disabled while it waits, the
// command-line start, the offline file choices and the reset.

#include "InstallerClient.h"
#include "InstallerManager.h"
#include "ui/OptionsWidget.h"

#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include "Catalogue/VantorixTools.h"
#include "File/DataFile.h"
#include "Interface/AlertRecorder.h"
#include "Interface/Chooser.h"
#include "Utility/Logger.h"
#include "Web/ServiceAddress.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace vantorix;
using namespace installer;

namespace {

const QString email = QStringLiteral("anna.berg@example.com");
const QString password = QStringLiteral("correct horse");

// The panel with the internet check answered by the test, so that the
// offline panel needs no name server.
class Panel : public OptionsWidget {
public:
    explicit Panel(bool connected = true) : OptionsWidget(nullptr), online(connected) { show(); }
    bool online;

    template <typename W = QWidget>
    W* at(const char* name) const { return findChild<W*>(QLatin1String(name)); }
    bool controlsEnabled() const
    {
        return at("emailEdit")->isEnabled() && at("quitButton")->isEnabled() && at("installRadio")->isEnabled();
    }

protected:
    bool checkInternetAccess() const override { return online; }
};

QString clientFilePath()
{
    const std::unique_ptr<DataFile> file = VantorixTools::getClientFile(true);
    return file ? file->getURL().qString() : QString();
}

// The account as an earlier run's sign-in left it.
void rememberAccount()
{
    client.setEmail(String(email));
    client.setPassword(String(password));
    VantorixTools store;
    store.setClient(std::make_unique<Client>(static_cast<const Client&>(client)));
    QVERIFY(store.writeClient());
}

} // namespace

class tst_OptionsWidget : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void rows_data();
    void rows();
    void signIn_data();
    void signIn();
    void commandLineStart_data();
    void commandLineStart();
    void hiddenPanelLeavesCommandLine();
    void focusOnPassword();
    void offlineFile_data();
    void offlineFile();
    void reset();

private:
    int posts() { return m_service.stats().value(QStringLiteral("posts")); }

    testsupport::ServiceProcess m_service;
};

void tst_OptionsWidget::initTestCase()
{
    QVERIFY2(m_service.start({}, testsupport::dataDir() + "/app/service"), qPrintable(m_service.errorString()));
    m_service.exportEnvironment();
}

void tst_OptionsWidget::init()
{
    client.setDefault();
    QFile::remove(clientFilePath());
    manager.setDefault();
    manager.commandLinePath.clear();
    manager.applicationPath.clear();
    manager.savedStatus = myTools;
    m_service.control(QStringLiteral("reset=1"));
}

void tst_OptionsWidget::rows_data()
{
    QTest::addColumn<bool>("online");
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("offlineChecked");
    QTest::addColumn<bool>("educational");
    QTest::addColumn<bool>("signedIn");
    QTest::addColumn<QString>("typedEmail");
    // Rows shown (target, e-mail, password), height, button text with "-" while it is disabled.
    QTest::addColumn<QString>("expected");

    QTest::newRow("no internet") << false << "installRadio" << false << false << true << ""
                                 << "--- 140 Open Install File...";
    QTest::newRow("install from a file") << true << "installRadio" << true << false << false << ""
                                         << "--- 140 Open Install File...";
    QTest::newRow("reset") << true << "resetRadio" << false << true << false << "" << "--- 140 Reset Settings...";
    QTest::newRow("create file, signed in") << true << "createOfflineRadio" << false << false << true << ""
                                            << "T-- 190 Create File...";
    QTest::newRow("educational, e-mail typed") << true << "installRadio" << false << true << false << email
                                               << "TE- 220 Login...";
    QTest::newRow("signed out, no password") << true << "createOfflineRadio" << false << false << false << email
                                             << "TEP 260 Login...-";
}

void tst_OptionsWidget::rows()
{
    QFETCH(bool, online);
    QFETCH(QString, action);
    QFETCH(bool, offlineChecked);
    QFETCH(bool, educational);
    QFETCH(bool, signedIn);
    QFETCH(QString, typedEmail);
    QFETCH(QString, expected);

    if (signedIn)
        rememberAccount();
    Panel panel(online);
    // Offline, the file is the only way.
    QCOMPARE(panel.at("offlineCheck")->isEnabled() && panel.at("createOfflineRadio")->isEnabled(), online);
    panel.at<QRadioButton>(qPrintable(action))->setChecked(true);
    if (online)
        panel.at<QCheckBox>("offlineCheck")->setChecked(offlineChecked);
    panel.at<QRadioButton>(educational ? "educationalRadio" : "commercialRadio")->setChecked(true);
    panel.at<QLineEdit>("emailEdit")->setText(typedEmail);

    QString shown;
    shown += panel.at("targetLabel")->isHidden() || panel.at("targetRadioLayout")->isHidden() ? '-' : 'T';
    shown += panel.at("emailLabel")->isHidden() || panel.at("emailEdit")->isHidden() ? '-' : 'E';
    shown += panel.at("passwordLabel")->isHidden() || panel.at("passwordEdit")->isHidden() ? '-' : 'P';
    const QPushButton* submit = panel.at<QPushButton>("submitButton");
    const QString button = submit->text() + (submit->isEnabled() ? "" : "-");
    QCOMPARE(QStringLiteral("%1 %2 %3").arg(shown).arg(panel.height()).arg(button), expected);
}

void tst_OptionsWidget::signIn_data()
{
    QTest::addColumn<QString>("typedPassword");
    QTest::addColumn<bool>("educational");
    QTest::addColumn<bool>("reachable");
    QTest::addColumn<int>("postsSent");
    QTest::addColumn<QString>("error"); // the start of the message; empty: the panel submits
    QTest::addColumn<QString>("detail"); // the text under it

    QTest::newRow("signed in") << password << false << true << 1 << "" << "";
    QTest::newRow("wrong password") << "Correct horse" << false << true << 1
                                    << "Sorry, either the email address or password entered is incorrect" << "";
    QTest::newRow("service unreachable") << password << false << false << 0
                                         << "An error has occurred trying to connect"
                                         << "Cannot connect to 127.0.0.1:9: Connection refused";
    QTest::newRow("educational, no password") << "" << true << true << 0 << "" << "";
}

void tst_OptionsWidget::signIn()
{
    QFETCH(QString, typedPassword);
    QFETCH(bool, educational);
    QFETCH(bool, reachable);
    QFETCH(int, postsSent);
    QFETCH(QString, error);
    QFETCH(QString, detail);

    // The answer comes late: the panel's timer keeps ticking while the
    // sign-in waits, and neither a tick nor Return starts a second sign-in
    // or enables the controls in between.
    QVERIFY(m_service.control(QStringLiteral("delay=600")));
    Panel panel;
    if (educational)
        panel.at<QRadioButton>("educationalRadio")->setChecked(true);
    panel.at<QLineEdit>("emailEdit")->setText(email);
    panel.at<QLineEdit>("passwordEdit")->setText(typedPassword);
    int checks = 0;
    bool enabledMeanwhile = false;
    QTimer probe;
    connect(&probe, &QTimer::timeout, [&]() {
        ++checks;
        enabledMeanwhile = enabledMeanwhile || panel.controlsEnabled();
        QTest::keyClick(panel.at("passwordEdit"), Qt::Key_Return);
    });

    QSignalSpy started(&panel, &OptionsWidget::startInstall);
    AlertRecorder alerts;
    const int before = posts();
    const QByteArray url = qgetenv(ServiceAddress::urlVariable);
    if (!reachable)
        qputenv(ServiceAddress::urlVariable, "http://127.0.0.1:9");
    QTest::mouseClick(panel.at<QPushButton>("submitButton"), Qt::LeftButton);
    QVERIFY(!panel.controlsEnabled());
    probe.start(100);
    panel.handleEvents();
    probe.stop();
    qputenv(ServiceAddress::urlVariable, url);

    QVERIFY(!enabledMeanwhile && (postsSent == 0 || checks >= 3));
    QCOMPARE(posts() - before, postsSent);
    QVERIFY(!Logger::lines().join('\n').contains(password));
    QCOMPARE(started.count(), error.isEmpty() ? 1 : 0);
    if (error.isEmpty()) {
        QVERIFY(alerts.boxes().empty() && panel.isHidden());
        QCOMPARE(manager.getInstallerAction(), int(InstallerManager::installOnline));
        QCOMPARE(manager.getTarget(), educational ? 1 : 0);
        return;
    }
    QCOMPARE(alerts.boxes().size(), std::size_t(1));
    QCOMPARE(alerts.boxes()[0].kind, Alert::error);
    QVERIFY2(alerts.boxes()[0].text.qString().startsWith(error), alerts.boxes()[0].text.data());
    QCOMPARE(alerts.boxes()[0].informativeText.qString(), detail);
    // Usable again, with what the user typed, ready for the password.
    QVERIFY(panel.isVisible() && panel.controlsEnabled());
    QCOMPARE(panel.at<QLineEdit>("passwordEdit")->text(), typedPassword);
    QCOMPARE(panel.focusWidget(), panel.at("passwordEdit"));
}

void tst_OptionsWidget::commandLineStart_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<bool>("online");
    QTest::addColumn<bool>("starts");

    const QString host = testsupport::sandboxDir() + "/hosts/ArchiCAD 19";
    QTest::newRow("inside the add-on folder") << host + "/Add-Ons/VantorixTools/Stair Maker.apx" << true << true;
    QTest::newRow("host folder missing") << testsupport::sandboxDir() + "/gone/Add-Ons/VantorixTools" << true << false;
    QTest::newRow("no internet") << host + "/Add-Ons/VantorixTools/Stair Maker.apx" << false << false;
}

void tst_OptionsWidget::commandLineStart()
{
    QFETCH(QString, argument);
    QFETCH(bool, online);
    QFETCH(bool, starts);

    const QString host = testsupport::sandboxDir() + "/hosts/ArchiCAD 19";
    QVERIFY(QDir().mkpath(host + "/Add-Ons/VantorixTools"));
    rememberAccount();
    manager.commandLinePath = String(argument);
    Panel panel(online);
    QSignalSpy started(&panel, &OptionsWidget::startInstall);
    AlertRecorder alerts;
    panel.handleEvents();

    QVERIFY(alerts.boxes().empty());
    QCOMPARE(started.count(), starts ? 1 : 0);
    // Otherwise left for a later tick.
    QCOMPARE(manager.commandLinePath.qString(), starts ? QString() : argument);
    QCOMPARE(manager.applicationPath.qString(), starts ? QDir(host).absolutePath() : QString());
    QCOMPARE(manager.savedStatus, starts ? updates : myTools);
}

// Once submitted, the panel hides under the product list; a command-line
// path that only turns up then must not submit again (which would reset the
// manager and its running downloads).
void tst_OptionsWidget::hiddenPanelLeavesCommandLine()
{
    const QString host = testsupport::sandboxDir() + "/hosts/ArchiCAD 19";
    QVERIFY(QDir().mkpath(host + "/Add-Ons/VantorixTools"));
    rememberAccount();
    Panel panel;
    QSignalSpy started(&panel, &OptionsWidget::startInstall);
    QTest::mouseClick(panel.at<QPushButton>("submitButton"), Qt::LeftButton);
    QTRY_COMPARE(started.count(), 1);
    QVERIFY(panel.isHidden());

    manager.commandLinePath = String(host + "/Add-Ons/VantorixTools/Stair Maker.apx");
    QTimer* ticks = panel.findChild<QTimer*>();
    QVERIFY(ticks != nullptr);
    QVERIFY(!ticks->isActive());
    QTest::qWait(3 * OptionsWidget::timerInterval);
    QCOMPARE(started.count(), 1);
    QVERIFY(!manager.commandLinePath.empty());

    // Shown again (after a log-out), it takes the path up.
    panel.show();
    QVERIFY(ticks->isActive());
    QTRY_COMPARE(started.count(), 2);

    // Nor does a panel that was never shown (the window makes it hidden and
    // asks the version question first).
    OptionsWidget unshown(nullptr);
    QVERIFY(!unshown.findChild<QTimer*>()->isActive());
}

void tst_OptionsWidget::focusOnPassword()
{
    // An earlier run remembered the address and the user logged out.
    client.setEmail(String(email));
    QVERIFY(client.logout());
    client.setDefault();
    Panel panel;
    QCOMPARE(panel.at<QLineEdit>("emailEdit")->text(), email);
    QCOMPARE(panel.focusWidget(), panel.at("passwordEdit"));

    // Nothing remembered: the e-mail first.
    QFile::remove(clientFilePath());
    client.setDefault();
    Panel fresh;
    QCOMPARE(fresh.focusWidget(), fresh.at("emailEdit"));
}

void tst_OptionsWidget::offlineFile_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<int>("expectedAction"); // -1: nothing submitted

    QTest::newRow("open") << "installRadio" << "in.zfinstall" << QByteArray("PK") << 1;
    QTest::newRow("save") << "createOfflineRadio" << "new.zfinstall" << QByteArray() << 2;
    QTest::newRow("save cancelled") << "createOfflineRadio" << "" << QByteArray() << -1;
    // The old file stays whole until the new one is saved over it.
    QTest::newRow("save over a file") << "createOfflineRadio" << "old.zfinstall" << QByteArray("PK old") << 2;
}

void tst_OptionsWidget::offlineFile()
{
    QFETCH(QString, action);
    QFETCH(QString, chosen);
    QFETCH(QByteArray, existing);
    QFETCH(int, expectedAction);

    const QString folder = testsupport::sandboxDir() + "/files";
    QDir(folder).removeRecursively();
    QVERIFY(QDir().mkpath(folder));
    const QString path = chosen.isEmpty() ? QString() : folder + '/' + chosen;
    QFile file(path);
    if (!existing.isNull())
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(existing) == existing.size() && file.flush());
    file.close();
    rememberAccount();

    Panel panel;
    panel.at<QRadioButton>(qPrintable(action))->setChecked(true);
    if (action == QLatin1String("installRadio"))
        panel.at<QCheckBox>("offlineCheck")->setChecked(true);
    QList<Chooser::Request> asked;
    Chooser::ScopedResponder chooser([&](const Chooser::Request& request) { return asked << request, String(path); });
    QSignalSpy started(&panel, &OptionsWidget::startInstall);
    panel.doSubmit();
    panel.handleEvents();

    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked[0].kind, action == QLatin1String("installRadio") ? Chooser::openFile : Chooser::saveFile);
    QCOMPARE(asked[0].filter.qString(), QStringLiteral("Vantorix Install File (*.zfinstall)"));
    QCOMPARE(started.count(), expectedAction < 0 ? 0 : 1);
    if (expectedAction < 0) {
        QVERIFY(panel.isVisible() && panel.controlsEnabled());
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 0);
        return;
    }
    QCOMPARE(manager.getInstallerAction(), expectedAction);
    QCOMPARE(QFileInfo(manager.getOfflineFilePath().qString()), QFileInfo(path));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), existing.isNull() ? QByteArray() : existing);
}

void tst_OptionsWidget::reset()
{
    const QString tools = qEnvironmentVariable("VANTORIX_SHARED_DIR") + "/Vantorix Tools";
    for (const bool confirmed : {false, true}) {
        QVERIFY(QDir().mkpath(tools + "/Installation"));
        rememberAccount();
        Panel panel;
        panel.at<QRadioButton>("resetRadio")->setChecked(true);
        AlertRecorder alerts(confirmed);
        QSignalSpy started(&panel, &OptionsWidget::startInstall);
        panel.doSubmit();
        panel.handleEvents();

        QCOMPARE(alerts.boxes().size(), std::size_t(1));
        QCOMPARE(alerts.boxes()[0].informativeText.qString(),
                 QStringLiteral("Do you want to reset the installation settings ?"));
        // The panel stays, whatever the answer; a reset forgets the saved
        // login too, which lives outside the tools folder.
        QCOMPARE(started.count(), 0);
        QVERIFY(panel.isVisible() && panel.controlsEnabled());
        QCOMPARE(QDir(tools).exists(), !confirmed);
        QCOMPARE(QFile::exists(clientFilePath()), !confirmed);
        QCOMPARE(client.isLoggedIn(), !confirmed);
        QCOMPARE(panel.at<QLineEdit>("emailEdit")->text().isEmpty(), confirmed);
    }
}

QTEST_MAIN(tst_OptionsWidget)
#include "tst_OptionsWidget.moc"
