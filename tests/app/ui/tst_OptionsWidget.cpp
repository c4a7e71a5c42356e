// The options and sign-in panel against the service stand-in: the rows and
// size for each choice, sign-in (good, refused, unreachable, educational)
// with the controls disabled while it waits, the command-line start, the
// offline file choices, the reset and the keys.

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
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace vantorix;
using namespace installer;
using testsupport::ServiceProcess;

namespace {

const char* const email = "anna.berg@example.com";
const char* const password = "correct horse";

// The panel with the internet check answered by the test, so that the
// offline panel can be shown without asking any name server.
class Panel : public OptionsWidget {
public:
    Panel() : OptionsWidget(nullptr) {}
    bool online = true;

protected:
    bool checkInternetAccess() const override { return online; }
};

template <typename W>
W* child(QWidget& panel, const char* name)
{
    W* widget = panel.findChild<W*>(QLatin1String(name));
    if (widget == nullptr)
        qFatal("no widget %s", name);
    return widget;
}

QString clientFilePath()
{
    const std::unique_ptr<DataFile> file = VantorixTools::getClientFile(true);
    return file ? file->getURL().qString() : QString();
}

// Signs the client record in without the service and remembers it, as a
// sign-in of an earlier run would have.
void rememberAccount()
{
    client.setEmail(String(email));
    client.setPassword(String(password));
    VantorixTools store;
    store.setClient(std::make_unique<Client>(static_cast<const Client&>(client)));
    QVERIFY(store.writeClient());
}

bool controlsEnabled(QWidget& panel)
{
    return child<QLineEdit>(panel, "emailEdit")->isEnabled() && child<QPushButton>(panel, "submitButton")->isEnabled()
        && child<QPushButton>(panel, "quitButton")->isEnabled()
        && child<QRadioButton>(panel, "installRadio")->isEnabled();
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
    void signInWaitsWithControlsDisabled();
    void commandLineStart_data();
    void commandLineStart();
    void offlineFile_data();
    void offlineFile();
    void reset_data();
    void reset();
    void returnKey();

private:
    int posts() { return m_service.stats().value(QStringLiteral("posts")); }

    ServiceProcess m_service;
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
    // Which of target, e-mail and password rows are shown, e.g. "TE-".
    QTest::addColumn<QString>("rowsShown");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("buttonText");
    QTest::addColumn<bool>("buttonEnabled");

    QTest::newRow("no internet") << false << "installRadio" << false << false << true << ""
                                 << "---" << 140 << "Open Install File..." << true;
    QTest::newRow("install from a file") << true << "installRadio" << true << false << false << ""
                                         << "---" << 140 << "Open Install File..." << true;
    QTest::newRow("reset") << true << "resetRadio" << false << true << false << ""
                           << "---" << 140 << "Reset Settings..." << true;
    QTest::newRow("signed in") << true << "installRadio" << false << false << true << ""
                               << "T--" << 190 << "Install..." << true;
    QTest::newRow("create file, signed in") << true << "createOfflineRadio" << false << false << true << ""
                                            << "T--" << 190 << "Create File..." << true;
    QTest::newRow("educational, e-mail typed") << true << "installRadio" << false << true << false << email
                                               << "TE-" << 220 << "Login..." << true;
    QTest::newRow("educational, nothing typed") << true << "installRadio" << false << true << false << ""
                                                << "TE-" << 220 << "Login..." << false;
    QTest::newRow("signed out, no password") << true << "createOfflineRadio" << false << false << false << email
                                             << "TEP" << 260 << "Login..." << false;
}

void tst_OptionsWidget::rows()
{
    QFETCH(bool, online);
    QFETCH(QString, action);
    QFETCH(bool, offlineChecked);
    QFETCH(bool, educational);
    QFETCH(bool, signedIn);
    QFETCH(QString, typedEmail);
    QFETCH(QString, rowsShown);
    QFETCH(int, height);
    QFETCH(QString, buttonText);
    QFETCH(bool, buttonEnabled);

    if (signedIn)
        rememberAccount();
    Panel panel;
    panel.online = online;
    panel.show();
    // Offline, the file is the only way and the box cannot be unticked.
    QCOMPARE(child<QCheckBox>(panel, "offlineCheck")->isChecked(), !online);
    QCOMPARE(child<QCheckBox>(panel, "offlineCheck")->isEnabled(), online);
    QCOMPARE(child<QRadioButton>(panel, "createOfflineRadio")->isEnabled(), online);

    child<QRadioButton>(panel, qPrintable(action))->setChecked(true);
    if (online)
        child<QCheckBox>(panel, "offlineCheck")->setChecked(offlineChecked);
    child<QRadioButton>(panel, educational ? "educationalRadio" : "commercialRadio")->setChecked(true);
    child<QLineEdit>(panel, "emailEdit")->setText(typedEmail);

    QString shown;
    shown += child<QWidget>(panel, "targetRadioLayout")->isHidden() ? '-' : 'T';
    shown += child<QLineEdit>(panel, "emailEdit")->isHidden() ? '-' : 'E';
    shown += child<QLineEdit>(panel, "passwordEdit")->isHidden() ? '-' : 'P';
    QCOMPARE(shown, rowsShown);
    QCOMPARE(child<QLabel>(panel, "targetLabel")->isHidden(), rowsShown[0] == '-');
    QCOMPARE(child<QLabel>(panel, "emailLabel")->isHidden(), rowsShown[1] == '-');
    QCOMPARE(child<QLabel>(panel, "passwordLabel")->isHidden(), rowsShown[2] == '-');
    QCOMPARE(panel.height(), height);
    QCOMPARE(child<QPushButton>(panel, "submitButton")->y(), height - 40);
    QCOMPARE(child<QPushButton>(panel, "quitButton")->y(), height - 40);
    QCOMPARE(child<QPushButton>(panel, "submitButton")->text(), buttonText);
    QCOMPARE(child<QPushButton>(panel, "submitButton")->isEnabled(), buttonEnabled);
}

void tst_OptionsWidget::signIn_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("educational");
    QTest::addColumn<bool>("reachable");
    QTest::addColumn<int>("postsSent");
    // The start of the error shown; empty when the panel submits.
    QTest::addColumn<QString>("error");

    QTest::newRow("signed in") << password << false << true << 1 << "";
    QTest::newRow("wrong password") << "Correct horse" << false << true << 1
                                    << "Sorry, either the email address or password entered is incorrect";
    QTest::newRow("service unreachable") << password << false << false << 0
                                         << "An error has occurred trying to connect";
    QTest::newRow("educational, no password") << "" << true << true << 0 << "";
}

void tst_OptionsWidget::signIn()
{
    QFETCH(QString, password);
    QFETCH(bool, educational);
    QFETCH(bool, reachable);
    QFETCH(int, postsSent);
    QFETCH(QString, error);

    Panel panel;
    panel.show();
    if (educational)
        child<QRadioButton>(panel, "educationalRadio")->setChecked(true);
    child<QLineEdit>(panel, "emailEdit")->setText(QString::fromUtf8(email));
    if (!educational)
        child<QLineEdit>(panel, "passwordEdit")->setText(password);
    QVERIFY(child<QPushButton>(panel, "submitButton")->isEnabled());

    QSignalSpy started(&panel, &OptionsWidget::startInstall);
    AlertRecorder alerts;
    const int before = posts();
    const QByteArray url = qgetenv(ServiceAddress::urlVariable);
    if (!reachable)
        qputenv(ServiceAddress::urlVariable, "http://127.0.0.1:9");
    QTest::mouseClick(child<QPushButton>(panel, "submitButton"), Qt::LeftButton);
    QVERIFY(!controlsEnabled(panel));
    panel.handleEvents();
    qputenv(ServiceAddress::urlVariable, url);

    QCOMPARE(posts() - before, postsSent);
    QVERIFY(!Logger::lines().join('\n').contains(QStringLiteral("correct horse")));
    if (error.isEmpty()) {
        QCOMPARE(started.count(), 1);
        QVERIFY(alerts.boxes().empty());
        QVERIFY(panel.isHidden());
        QCOMPARE(manager.getInstallerAction(), int(InstallerManager::installOnline));
        QCOMPARE(manager.getTarget(), educational ? 1 : 0);
        QCOMPARE(client.getEmail().qString(), QString::fromUtf8(email));
        return;
    }
    QCOMPARE(started.count(), 0);
    QCOMPARE(alerts.boxes().size(), std::size_t(1));
    QCOMPARE(alerts.boxes()[0].kind, Alert::error);
    QCOMPARE(alerts.boxes()[0].title.qString(), QStringLiteral("Vantorix Installer"));
    QVERIFY2(alerts.boxes()[0].text.qString().startsWith(error), alerts.boxes()[0].text.data());
    // The panel is usable again with what the user typed.
    QVERIFY(panel.isVisible());
    QVERIFY(controlsEnabled(panel));
    QCOMPARE(child<QLineEdit>(panel, "emailEdit")->text(), QString::fromUtf8(email));
    QCOMPARE(child<QLineEdit>(panel, "passwordEdit")->text(), password);
}

void tst_OptionsWidget::signInWaitsWithControlsDisabled()
{
    // The answer comes late: the panel's own timer keeps ticking while the
    // sign-in waits, and neither starts a second sign-in nor enables the
    // controls in between.
    QVERIFY(m_service.control(QStringLiteral("delay=800")));
    Panel panel;
    panel.show();
    child<QLineEdit>(panel, "emailEdit")->setText(QString::fromUtf8(email));
    child<QLineEdit>(panel, "passwordEdit")->setText(QString::fromUtf8(password));
    QSignalSpy started(&panel, &OptionsWidget::startInstall);

    int checks = 0;
    bool enabledMeanwhile = false;
    QTimer probe;
    connect(&probe, &QTimer::timeout, [&]() {
        ++checks;
        enabledMeanwhile = enabledMeanwhile || controlsEnabled(panel);
        // Submitting again while it waits changes nothing.
        QTest::keyClick(&panel, Qt::Key_Return);
    });
    probe.start(150);
    const int before = posts();
    panel.doSubmit();
    QVERIFY(started.wait(5000));
    probe.stop();

    QVERIFY2(checks >= 3, "the event loop did not run during the wait");
    QVERIFY(!enabledMeanwhile);
    QCOMPARE(posts() - before, 1);
    QCOMPARE(started.count(), 1);
}

void tst_OptionsWidget::commandLineStart_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<bool>("online");
    QTest::addColumn<bool>("starts");

    const QString hostFolder = testsupport::sandboxDir() + "/hosts/ArchiCAD 19";
    QTest::newRow("inside the add-on folder") << hostFolder + "/Add-Ons/VantorixTools/Stair Maker.apx" << true << true;
    QTest::newRow("no VantorixTools") << hostFolder + "/Add-Ons/Other/Stair Maker.apx" << true << false;
    QTest::newRow("host folder missing") << testsupport::sandboxDir() + "/gone/Add-Ons/VantorixTools" << true << false;
    QTest::newRow("no internet") << hostFolder + "/Add-Ons/VantorixTools/Stair Maker.apx" << false << false;
}

void tst_OptionsWidget::commandLineStart()
{
    QFETCH(QString, argument);
    QFETCH(bool, online);
    QFETCH(bool, starts);

    const QString hostFolder = testsupport::sandboxDir() + "/hosts/ArchiCAD 19";
    QVERIFY(QDir().mkpath(hostFolder + "/Add-Ons/VantorixTools"));
    rememberAccount();
    manager.commandLinePath = String(argument);
    Panel panel;
    panel.online = online;
    panel.show();
    QSignalSpy started(&panel, &OptionsWidget::startInstall);
    AlertRecorder alerts;
    panel.handleEvents();

    QVERIFY(alerts.boxes().empty());
    QCOMPARE(started.count(), starts ? 1 : 0);
    if (starts) {
        QCOMPARE(manager.applicationPath.qString(), QDir(hostFolder).absolutePath());
        QCOMPARE(manager.savedStatus, updates);
        QVERIFY(manager.commandLinePath.empty());
    } else {
        // Left for a later tick.
        QCOMPARE(manager.commandLinePath.qString(), argument);
        QVERIFY(manager.applicationPath.empty());
        QVERIFY(controlsEnabled(panel) || !online);
    }
}

void tst_OptionsWidget::offlineFile_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<int>("expectedAction");

    QTest::newRow("open") << "installRadio" << "in.zfinstall" << QByteArray("PK") << 1;
    QTest::newRow("open cancelled") << "installRadio" << "" << QByteArray() << -1;
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
    if (!existing.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(existing) == existing.size());
    }
    rememberAccount();

    Panel panel;
    panel.show();
    child<QRadioButton>(panel, qPrintable(action))->setChecked(true);
    if (action == QLatin1String("installRadio"))
        child<QCheckBox>(panel, "offlineCheck")->setChecked(true);
    QList<Chooser::Request> asked;
    Chooser::ScopedResponder chooser([&](const Chooser::Request& request) {
        asked << request;
        return String(path);
    });
    QSignalSpy started(&panel, &OptionsWidget::startInstall);
    panel.doSubmit();
    panel.handleEvents();

    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked[0].kind, action == QLatin1String("installRadio") ? Chooser::openFile : Chooser::saveFile);
    QCOMPARE(asked[0].filter.qString(), QStringLiteral("Vantorix Install File (*.zfinstall)"));
    if (expectedAction < 0) {
        QCOMPARE(started.count(), 0);
        QVERIFY(panel.isVisible());
        QVERIFY(controlsEnabled(panel));
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 0);
        return;
    }
    QCOMPARE(started.count(), 1);
    QCOMPARE(manager.getInstallerAction(), expectedAction);
    QCOMPARE(QFileInfo(manager.getOfflineFilePath().qString()).absoluteFilePath(), QFileInfo(path).absoluteFilePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), existing.isNull() ? QByteArray() : existing);
}

void tst_OptionsWidget::reset_data()
{
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("confirmed") << true;
    QTest::newRow("declined") << false;
}

void tst_OptionsWidget::reset()
{
    QFETCH(bool, confirmed);

    const QString tools = qEnvironmentVariable("VANTORIX_SHARED_DIR") + "/Vantorix Tools";
    QVERIFY(QDir().mkpath(tools + "/Installation"));
    QFile record(tools + "/Installation/com.vantorix.install.stair_maker.xml");
    QVERIFY(record.open(QIODevice::WriteOnly));
    record.close();
    rememberAccount();

    Panel panel;
    panel.show();
    child<QRadioButton>(panel, "resetRadio")->setChecked(true);
    AlertRecorder alerts(confirmed);
    QSignalSpy started(&panel, &OptionsWidget::startInstall);
    panel.doSubmit();
    panel.handleEvents();

    QCOMPARE(alerts.boxes().size(), std::size_t(1));
    const Alert::Request& box = alerts.boxes()[0];
    QCOMPARE(box.kind, Alert::confirm);
    QCOMPARE(box.informativeText.qString(), QStringLiteral("Do you want to reset the installation settings ?"));
    QCOMPARE(box.buttons, QStringList({"Reset", "Cancel"}));
    // The panel stays, whatever the answer.
    QCOMPARE(started.count(), 0);
    QVERIFY(panel.isVisible());
    QVERIFY(controlsEnabled(panel));
    QCOMPARE(QDir(tools).exists(), !confirmed);
    QCOMPARE(QFile::exists(clientFilePath()), !confirmed);
    QCOMPARE(client.isLoggedIn(), !confirmed);
}

void tst_OptionsWidget::returnKey()
{
    Panel panel;
    panel.show();
    // Without a password the submit button is disabled: Return does nothing.
    child<QLineEdit>(panel, "emailEdit")->setText(QString::fromUtf8(email));
    QTest::keyClick(child<QLineEdit>(panel, "emailEdit"), Qt::Key_Return);
    QVERIFY(child<QLineEdit>(panel, "emailEdit")->isEnabled());

    child<QLineEdit>(panel, "passwordEdit")->setText(QString::fromUtf8(password));
    QTest::keyClick(child<QLineEdit>(panel, "passwordEdit"), Qt::Key_Enter);
    QVERIFY(!child<QLineEdit>(panel, "emailEdit")->isEnabled());
}

QTEST_MAIN(tst_OptionsWidget)
#include "tst_OptionsWidget.moc"
