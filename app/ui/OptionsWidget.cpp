#include "OptionsWidget.h"
#include "StringTables.h"

#include "DirectoryHandler.h"
#include "InstallerClient.h"
#include "InstallerManager.h"
#include "ServiceCall.h"

#include "Environment/Host.h"
#include "File/DataFile.h"
#include "File/Directory.h"
#include "Interface/ConfirmAlert.h"
#include "Interface/ErrorAlert.h"
#include "Catalogue/VantorixTools.h"
#include "Utility/Convert.h"
#include "Utility/Logger.h"
#include "Web/ServiceAddress.h"
#include "Web/WebConnection.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace vantorix;

namespace installer {

namespace {

// The service's error code for a wrong e-mail or password.
const short wrongCredentials = 21;

const char* const offlineExtension = "zfinstall";
const char* const toolsFolderMarker = "VantorixTools";


// A child widget at an absolute place in the panel.
template <typename W>
W* placed(W* widget, const char* name, int x, int y, int width, int height)
{
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(x, y, width, height);
    return widget;
}

QLabel* rightLabel(QWidget* parent, const char* text, const char* name, int x, int y, int width, int height)
{
    auto* label = placed(new QLabel(QString::fromUtf8(text), parent), name, x, y, width, height);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QRadioButton* radio(QWidget* parent, QVBoxLayout* layout, const char* text, const char* name)
{
    auto* button = new QRadioButton(QString::fromUtf8(text), parent);
    button->setObjectName(QLatin1String(name));
    button->setFocusPolicy(Qt::TabFocus);
    layout->addWidget(button);
    return button;
}

} // namespace

OptionsWidget::OptionsWidget(QWidget* parent) : QWidget(parent, Qt::Sheet)
{
    buildTree();

    connect(m_submitButton, &QPushButton::clicked, this, [this](bool) { doSubmit(); });
    connect(m_quitButton, &QPushButton::clicked, this, [this](bool) { doQuit(); });
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &OptionsWidget::handleEvents);
    for (QAbstractButton* button : {static_cast<QAbstractButton*>(m_installRadio),
                                    static_cast<QAbstractButton*>(m_createOfflineRadio),
                                    static_cast<QAbstractButton*>(m_resetRadio),
                                    static_cast<QAbstractButton*>(m_offlineCheck),
                                    static_cast<QAbstractButton*>(m_commercialRadio),
                                    static_cast<QAbstractButton*>(m_educationalRadio)})
        connect(button, &QAbstractButton::toggled, this, &OptionsWidget::actionChange);
    connect(m_emailEdit, &QLineEdit::textChanged, this, &OptionsWidget::refreshLoginDetails);
    connect(m_passwordEdit, &QLineEdit::textChanged, this, &OptionsWidget::refreshLoginDetails);

    m_emailEdit->setFocus();
    // The timer starts when the panel is shown (showEvent).
}

OptionsWidget::~OptionsWidget() = default;

void OptionsWidget::buildTree()
{
    setObjectName(QStringLiteral("OptionsWidget"));
    // Where the panel is a window of its own rather than an attached sheet,
    // it carries the program's name.
    setWindowTitle(text(titleTable, 0).qString());
    setWindowModality(Qt::WindowModal);
    setFocusPolicy(Qt::NoFocus);
    setBaseSize(baseWidth, baseHeight);
    resize(baseWidth, baseHeight);
    // A sheet fades in where the window system attaches it to its parent.
    // Elsewhere the panel is an ordinary window and must be opaque from the
    // start, or it would stay invisible.
    setWindowOpacity(1.0);

    m_wishLabel = rightLabel(this, "I wish to", "wishLabel", 20, 20, 59, 21);
    m_offlineCheck = placed(new QCheckBox(QStringLiteral("Offline"), this), "offlineCheck", 300, 20, 71, 20);
    m_offlineCheck->setFocusPolicy(Qt::TabFocus);

    m_actionRadioLayout = placed(new QWidget(this), "actionRadioLayout", 90, 20, 211, 61);
    auto* actions = new QVBoxLayout(m_actionRadioLayout);
    actions->setObjectName(QStringLiteral("verticalLayout"));
    actions->setSpacing(5);
    actions->setContentsMargins(0, 0, 0, 0);
    m_installRadio = radio(m_actionRadioLayout, actions, "Install Vantorix Tools", "installRadio");
    m_createOfflineRadio = radio(m_actionRadioLayout, actions, "Create an Offline Install File", "createOfflineRadio");
    m_resetRadio = radio(m_actionRadioLayout, actions, "Reset Installation Settings", "resetRadio");
    m_installRadio->setChecked(true);

    m_targetLabel = placed(new QLabel(QStringLiteral("...for"), this), "targetLabel", 20, 95, 59, 16);
    m_targetLabel->setAlignment(Qt::AlignRight | Qt::AlignTrailing | Qt::AlignVCenter);
    m_targetRadioLayout = placed(new QWidget(this), "targetRadioLayout", 90, 95, 261, 41);
    auto* targets = new QVBoxLayout(m_targetRadioLayout);
    targets->setObjectName(QStringLiteral("verticalLayout_2"));
    targets->setSpacing(5);
    targets->setContentsMargins(0, 0, 0, 0);
    m_commercialRadio = radio(m_targetRadioLayout, targets, "Commercial/Trial use", "commercialRadio");
    m_educationalRadio = radio(m_targetRadioLayout, targets, "Educational Use", "educationalRadio");
    m_commercialRadio->setChecked(true);

    m_emailLabel = rightLabel(this, "Email", "emailLabel", 8, 150, 71, 20);
    m_emailEdit = placed(new QLineEdit(this), "emailEdit", 90, 150, 271, 21);
    m_emailEdit->setFocusPolicy(Qt::StrongFocus);
    m_passwordLabel = rightLabel(this, "Password", "passwordLabel", 8, 180, 71, 20);
    m_passwordEdit = placed(new QLineEdit(this), "passwordEdit", 90, 180, 161, 21);
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    m_passwordEdit->setFocusPolicy(Qt::StrongFocus);

    m_quitButton = placed(new QPushButton(QStringLiteral("Quit"), this), "quitButton", 105, buttonTop, 135, 32);
    m_quitButton->setDefault(false);
    m_quitButton->setAutoDefault(false);
    m_submitButton =
        placed(new QPushButton(QStringLiteral("Open Install File..."), this), "submitButton", 240, buttonTop, 135, 32);
    m_submitButton->setDefault(true);
    m_submitButton->setAutoDefault(true);
    m_submitButton->setFocusPolicy(Qt::StrongFocus);

    setTabOrder(m_offlineCheck, m_emailEdit);
    setTabOrder(m_emailEdit, m_passwordEdit);
    setTabOrder(m_passwordEdit, m_submitButton);
    setTabOrder(m_submitButton, m_quitButton);
}

void OptionsWidget::showEvent(QShowEvent* event)
{
    m_online = checkInternetAccess();
    if (m_online) {
        m_offlineCheck->setChecked(false);
        m_offlineCheck->setEnabled(true);
        m_createOfflineRadio->setEnabled(true);
    } else {
        m_offlineCheck->setChecked(true);
        m_offlineCheck->setEnabled(false);
        m_createOfflineRadio->setEnabled(false);
    }
    m_installRadio->setChecked(true);
    m_commercialRadio->setChecked(true);
    // Every showing starts from what the client record holds: after a
    // log-out, which forgets the password, the user is asked for it again.
    fillLoginFields();
    refreshControls();
    focusLoginField();
    // The submissions' timer runs only while the panel is shown: hidden
    // under the product list, a late command-line start must not reset the
    // manager (and its running downloads).
    m_timer->start(timerInterval);
    QWidget::showEvent(event);
}

void OptionsWidget::hideEvent(QHideEvent* event)
{
    m_timer->stop();
    QWidget::hideEvent(event);
}

void OptionsWidget::focusLoginField()
{
    // With the e-mail known, the password is what is left to type.
    if (m_passwordEdit->isVisibleTo(this) && !m_emailEdit->text().isEmpty())
        m_passwordEdit->setFocus();
    else if (m_emailEdit->isVisibleTo(this))
        m_emailEdit->setFocus();
}

bool OptionsWidget::checkInternetAccess() const
{
    const WebConnection connection(ServiceAddress::getHost(), ServiceAddress::isSecure());
    return connection.hasInternetAccess();
}

void OptionsWidget::fillLoginFields()
{
    client.isLoggedIn(); // reads the client file when nothing is known yet
    m_emailEdit->setText(client.getEmail().qString());
    m_passwordEdit->setText(client.getPassword().qString());
}

void OptionsWidget::actionChange(bool)
{
    refreshControls();
}

void OptionsWidget::refreshControls()
{
    const bool loggedIn = client.isLoggedIn();
    const bool commercial = m_commercialRadio->isChecked();
    const bool fileOnly = !m_online || m_resetRadio->isChecked()
        || (m_installRadio->isChecked() && m_offlineCheck->isChecked());

    bool targetShown = true;
    bool emailShown = true;
    bool passwordShown = true;
    int shift = 0;
    if (fileOnly) {
        targetShown = emailShown = passwordShown = false;
        shift = 120;
    } else if (commercial && loggedIn) {
        emailShown = passwordShown = false;
        shift = 70;
    } else if (!commercial) {
        passwordShown = false;
        shift = 40;
    }

    m_emailLabel->setVisible(emailShown);
    m_emailEdit->setVisible(emailShown);
    m_passwordLabel->setVisible(passwordShown);
    m_passwordEdit->setVisible(passwordShown);
    m_targetLabel->setVisible(targetShown);
    m_targetRadioLayout->setVisible(targetShown);

    // A stored account is what the hidden fields submit. Fields the user
    // fills in keep what was typed, also after a failed sign-in.
    if (loggedIn)
        fillLoginFields();
    if (emailShown)
        refreshLoginDetails();
    else
        m_submitButton->setEnabled(true);
    m_submitButton->move(m_submitButton->x(), buttonTop - shift);
    m_quitButton->move(m_quitButton->x(), buttonTop - shift);
    resize(baseWidth, baseHeight - shift);

    short row = 7;
    if (m_installRadio->isChecked())
        row = m_offlineCheck->isChecked() ? 3 : (loggedIn ? 4 : 6);
    else if (m_createOfflineRadio->isChecked())
        row = loggedIn ? 5 : 6;
    m_submitButton->setText(text(buttonTable, row).qString());
    m_submitButton->setDefault(true);
    m_submitButton->setAutoDefault(true);
}

void OptionsWidget::refreshLoginDetails()
{
    // The fields only decide while the user can edit them: not while a
    // submission runs, and not when they are hidden (the choice needs no
    // typing, or the stored account is used).
    if (m_submitRequested || m_submitting || m_emailEdit->isHidden())
        return;
    const bool ready = !m_emailEdit->text().isEmpty()
        && (m_educationalRadio->isChecked() || !m_passwordEdit->text().isEmpty());
    m_submitButton->setEnabled(ready);
}

void OptionsWidget::setControlsEnabled(bool enabled)
{
    m_wishLabel->setEnabled(enabled);
    m_installRadio->setEnabled(enabled);
    m_createOfflineRadio->setEnabled(enabled && m_online);
    m_resetRadio->setEnabled(enabled);
    m_offlineCheck->setEnabled(enabled && m_online);
    m_targetLabel->setEnabled(enabled);
    m_commercialRadio->setEnabled(enabled);
    m_educationalRadio->setEnabled(enabled);
    m_emailLabel->setEnabled(enabled);
    m_emailEdit->setEnabled(enabled);
    m_passwordLabel->setEnabled(enabled);
    m_passwordEdit->setEnabled(enabled);
    m_quitButton->setEnabled(enabled);
    m_submitButton->setEnabled(enabled);
}

void OptionsWidget::doSubmit()
{
    m_submitRequested = true;
    setControlsEnabled(false);
}

void OptionsWidget::doQuit()
{
    QApplication::quit();
}

void OptionsWidget::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        doQuit();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_submitButton->isEnabled())
            doSubmit();
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void OptionsWidget::handleCommandLine()
{
    if (!m_online || manager.commandLinePath.empty())
        return;
    const String& path = manager.commandLinePath;
    const int found = path.find(String(toolsFolderMarker));
    // The folder holding "VantorixTools" is the host's add-on folder; the
    // host's installation is the folder above it.
    if (found < 2)
        return;
    QDir folder(path.substr(0, found - 1).qString());
    if (!folder.cdUp() || !folder.exists())
        return;
    manager.applicationPath = String(folder.absolutePath());
    manager.savedStatus = updates;
    manager.commandLinePath.clear();
    Logger::write(String("Command-line start for the host application at ") + manager.applicationPath);
    m_submitRequested = true;
    setControlsEnabled(false);
}

void OptionsWidget::handleEvents()
{
    // A tick that arrives while a submission's sign-in waits for the
    // service (the wait keeps timers running) leaves everything alone.
    if (m_submitting)
        return;
    handleCommandLine();
    if (!m_submitRequested)
        return;
    // Another exchange with the service is waiting for its answer: a
    // sign-in now could not be sent, so it waits for a later tick.
    if (ServiceCall::isBusy())
        return;
    m_submitRequested = false;
    m_submitting = true;

    int action = InstallerManager::installOnline;
    String path;
    const bool proceed = signIn() && chooseAction(action, path);
    m_submitting = false;
    if (proceed) {
        submit(action, path);
        return;
    }
    setControlsEnabled(true);
    refreshControls();
    // After a wrong password, the password field, to type it again.
    focusLoginField();
}

bool OptionsWidget::signIn()
{
    if (m_educationalRadio->isChecked()) {
        const String email(m_emailEdit->text());
        if (email.empty())
            return false;
        // Educational use needs no password and no service call: only the
        // e-mail is kept, for the listing request. The edit time moves only
        // when the e-mail changes.
        const String previous = client.getEmail();
        const Time edited = client.getEditTime();
        client.setDefault();
        client.setEmail(previous);
        client.setEditTime(edited);
        client.setEmail(email);
        return true;
    }
    const bool needsService = (m_installRadio->isChecked() && !m_offlineCheck->isChecked())
        || m_createOfflineRadio->isChecked();
    if (!needsService)
        return true; // an offline file or a reset: no account needed

    const String email(m_emailEdit->text());
    const String password(m_passwordEdit->text());
    // Nothing to send (a command-line start before the user has signed in
    // once): the user fills in the fields and submits.
    if (email.empty() || password.empty())
        return false;

    short code = 0;
    if (client.verifyDetails(email, password, &code))
        return true;
    // Not sent, because another exchange was waiting (handleEvents checks
    // for that first, so this is not expected): nothing to report, the user
    // may submit again.
    if (code == InstallerClient::deferred)
        return false;
    Logger::write(String("Verification failed: ") + ToString(code).value());
    if (code == wrongCredentials)
        ErrorAlert(text(titleTable, 0), this).show(text(errorTable, 0));
    else
        ErrorAlert(text(titleTable, 0), this).show(text(errorTable, 1), ServiceCall::lastProblem());
    return false;
}

bool OptionsWidget::chooseAction(int& action, String& path)
{
    action = InstallerManager::installOnline;
    path.clear();
    if (m_installRadio->isChecked() && m_offlineCheck->isChecked()) {
        const std::unique_ptr<DataFile> file(
            DataFile::promptOpen(text(titleTable, 1), text(buttonTable, 0), String(offlineExtension), this));
        if (!file)
            return false;
        action = InstallerManager::installFromOfflineFile;
        path = file->getURL();
        return true;
    }
    if (m_createOfflineRadio->isChecked()) {
        const std::unique_ptr<DataFile> file(
            DataFile::promptSave(text(titleTable, 2), text(buttonTable, 0), String(offlineExtension), this));
        if (!file)
            return false;
        action = InstallerManager::createOfflineFile;
        path = file->getURL();
        return true;
    }
    if (m_resetRadio->isChecked()) {
        resetSettings();
        return false;
    }
    return true;
}

void OptionsWidget::resetSettings()
{
    ConfirmAlert ask(text(titleTable, 0), this);
    if (!ask.isConfirmed(text(questionTable, 0), text(questionTable, 1), text(buttonTable, 1), text(buttonTable, 2)))
        return;
    Logger::write(String("Resetting installation settings"));
    const std::unique_ptr<Directory> tools = DirectoryHandler::getVantorixDirectory(false);
    if (tools && tools->exists())
        tools->erase(false, true);
    // The saved login lives in the client file of the Preferences folder,
    // not in the tools folder: it goes too, or the next look at the client
    // record would read the account straight back.
    const std::unique_ptr<DataFile> clientFile = VantorixTools::getClientFile(false);
    if (clientFile && clientFile->exists() && !QFile::remove(clientFile->getURL().qString()))
        Logger::write(String("The client file could not be removed: ") + clientFile->getURL());
    client.setDefault();
    fillLoginFields();
}

void OptionsWidget::submit(int action, const String& path)
{
    setControlsEnabled(true);
    Logger::startBlock(String("Options Widget submit"));
    Logger::write(String("Installer Action= ") + ToString(action).value());
    if (!path.empty())
        Logger::write(String("Install path=") + path);
    manager.setDefault();
    manager.setInstallerAction(action);
    manager.setOfflineFilePath(path);
    if (action == InstallerManager::createOfflineFile) {
        // The file is made (empty) only now, once the manager has noted that
        // it was not there before, so that giving up the action removes it
        // again. A file the user chose to replace keeps its content until
        // the new one is saved.
        QFile file(path.qString());
        if (!file.exists() && !file.open(QIODevice::WriteOnly))
            Logger::write(String("The offline install file could not be created: ") + path);
    }
    if (m_commercialRadio->isVisibleTo(this))
        manager.setTarget(m_commercialRadio->isChecked() ? 0 : 1);
    hide();
    Logger::endBlock();
    emit startInstall();
}

} // namespace installer
