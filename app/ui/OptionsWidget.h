#ifndef INSTALLER_UI_OPTIONSWIDGET_H
#define INSTALLER_UI_OPTIONSWIDGET_H

#include "Utility/String.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace installer {

// The options and sign-in panel: a sheet over the main window where the user
// picks the action (install online or from an offline file, create an
// offline file, reset), the use (commercial/trial or educational) and signs
// in. When the choice is complete it configures the manager, hides itself and
// emits startInstall(). The submission itself runs on the next tick of a
// 100 ms timer, after the controls have been disabled, so that the blocking
// sign-in never runs inside a click and cannot be started twice. The widgets
// are children of the panel and are found by their object names.
class OptionsWidget : public QWidget {
    Q_OBJECT
public:
    // The panel's size with every row shown.
    static constexpr int baseWidth = 386;
    static constexpr int baseHeight = 260;
    // The y of the two buttons with every row shown.
    static constexpr int buttonTop = 220;
    static constexpr int timerInterval = 100;

    explicit OptionsWidget(QWidget* parent);
    ~OptionsWidget() override;

    void setControlsEnabled(bool enabled);
    // Shows the rows the current choice needs, sizes the panel to them and
    // names the submit button after what it will do.
    void refreshControls();
    // Whether the last internet check (made at every showing) succeeded.
    bool isOnline() const { return m_online; }

signals:
    void startInstall();

public slots:
    void doSubmit();
    void doQuit();
    void handleEvents();
    void actionChange(bool checked);
    void refreshLoginDetails();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Whether the service host can be reached, asked at every showing.
    virtual bool checkInternetAccess() const;

private:
    void buildTree();
    void handleCommandLine();
    // Focus on the first login field left to fill in.
    void focusLoginField();
    // The sign-in step of a submission: false when the submission stops here.
    bool signIn();
    // The action step: false when the submission stops here (a cancelled
    // file choice, a reset).
    bool chooseAction(int& action, vantorix::String& path);
    void resetSettings();
    void submit(int action, const vantorix::String& path);
    // Shows what the client record holds in the e-mail and password fields.
    void fillLoginFields();

    QTimer* m_timer = nullptr;
    bool m_submitRequested = false;
    bool m_online = false;
    // A submission is running: a tick that arrives while its sign-in waits
    // for the service must not start another one.
    bool m_submitting = false;

    QLabel* m_wishLabel = nullptr;
    QCheckBox* m_offlineCheck = nullptr;
    QWidget* m_actionRadioLayout = nullptr;
    QRadioButton* m_installRadio = nullptr;
    QRadioButton* m_createOfflineRadio = nullptr;
    QRadioButton* m_resetRadio = nullptr;
    QLabel* m_targetLabel = nullptr;
    QWidget* m_targetRadioLayout = nullptr;
    QRadioButton* m_commercialRadio = nullptr;
    QRadioButton* m_educationalRadio = nullptr;
    QLabel* m_emailLabel = nullptr;
    QLineEdit* m_emailEdit = nullptr;
    QLabel* m_passwordLabel = nullptr;
    QLineEdit* m_passwordEdit = nullptr;
    QPushButton* m_quitButton = nullptr;
    QPushButton* m_submitButton = nullptr;
};

} // namespace installer

#endif
