#ifndef VANTORIX_TOOLS_WINDOWDRIVER_H
#define VANTORIX_TOOLS_WINDOWDRIVER_H

// Drives the installer's main window the way a person does: finds widgets by
// their object names and clicks them with QTest. Shared by the screenshot
// program and the test of the whole flow under a real X server.

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QString>
#include <QTest>
#include <QTimer>

#include <functional>

class QListWidget;

namespace installer {
class InstallerDialog;
class InstallerProduct;
class OptionsWidget;
} // namespace installer

namespace windowdriver {

// Lines go to stderr as "<prefix>: <line>" (default "driver").
void setPrefix(const QString& prefix);
void say(const QString& line);
// Says "FAILED: what" and counts it.
void fail(const QString& what);
int failures();

// Lets pending paints, layouts and short network exchanges finish.
void settle(int ms = 300);
// Waits for condition with the event loop running; a timeout is said, and
// the caller decides whether that is a failure.
bool waitFor(const std::function<bool()>& condition, int ms, const QString& what);
// A button through its own click (a radio button's hit area is its indicator
// and text, not the middle of its geometry); any other widget by a mouse
// click in its middle.
void click(QWidget* widget);
// Changes the service stand-in's behaviour (GET /control?query at
// VANTORIX_SERVICE_URL); waits for the answer.
bool control(const QString& query);

template <typename W>
W* child(QObject* parent, const char* name)
{
    W* widget = parent != nullptr ? parent->findChild<W*>(QLatin1String(name)) : nullptr;
    if (widget == nullptr)
        fail(QStringLiteral("no widget named ") + QLatin1String(name));
    return widget;
}

// Runs action, which opens a modal dialog of type D; when the dialog is up
// and ready(dialog) holds, calls atReady(dialog) and closes the dialog with
// its button named closer. The dialog runs its own event loop inside action,
// so the watching is done by a timer. False when the dialog never showed.
template <typename D>
bool answerModal(const std::function<void()>& action, const QString& name, const char* closer,
                 const std::function<bool(D*)>& ready, const std::function<void(D*)>& atReady = {})
{
    bool seen = false;
    int waited = 0;
    QTimer watch;
    watch.setInterval(100);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        waited += 100;
        auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            if (waited > 15000) {
                watch.stop();
                fail(name + QStringLiteral(": the dialog did not open"));
            }
            return;
        }
        if (!ready(dialog) && waited < 15000)
            return;
        watch.stop();
        seen = true;
        if (atReady)
            atReady(dialog);
        if (auto* button = dialog->template findChild<QPushButton*>(QLatin1String(closer)))
            click(button);
        else
            dialog->reject();
    });
    watch.start();
    action();
    if (!seen)
        waitFor([&] { return seen || !watch.isActive(); }, 20000, name);
    watch.stop();
    return seen;
}

// The steps of the main window's flow.
class WindowDriver {
public:
    explicit WindowDriver(installer::InstallerDialog* window) : m_window(window) {}
    virtual ~WindowDriver() = default;

    installer::OptionsWidget* options() const;
    QListWidget* list() const;
    installer::InstallerDialog* window() const { return m_window; }

    // Waits for the options panel that follows the start-up questions.
    bool waitForOptions();
    // Types the account into the options panel, signs in and waits for the
    // product list.
    bool signIn(const QString& email, const QString& password);
    // The rows in view are made and their icons fetched shortly after a
    // rebuild.
    void waitForRows();
    // Shows the category of the status filter's label (e.g. "trialLabel").
    void showCategory(const char* label);
    // The first row whose product is neither installed nor busy; -1 if none.
    int installableRow();
    // Clicks the install button of row and accepts the licence agreement;
    // atAgreement runs while the agreement is shown.
    bool install(int row, const QString& agreementName,
                 const std::function<void(QWidget*)>& atAgreement = {});
    // Waits until no product of the list is busy.
    bool waitUntilIdle(int ms);

private:
    installer::InstallerDialog* m_window;
};

} // namespace windowdriver

#endif
