#ifndef VANTORIX_INTERFACE_ALERT_H
#define VANTORIX_INTERFACE_ALERT_H

#include "Utility/String.h"

#include <QStringList>

#include <functional>

class QWidget;

namespace vantorix {

// The base of the modal message boxes (NotifyAlert, ErrorAlert,
// ConfirmAlert): a title (callers pass the program's name) and an optional
// parent window, neither owned.
//
// Scripting: every box goes through one process-wide hook. When a responder
// is installed (setResponder or ScopedResponder), no window is shown: the
// responder receives a Request describing the box and returns the answer
// (true = the accept button of a ConfirmAlert; ignored for the others). With
// no responder the real QMessageBox runs modally. Tests install a responder
// (see AlertRecorder) so that no test ever waits on a window.
class Alert {
public:
    enum Kind { notify, error, confirm };

    struct Request {
        Kind kind = notify;
        String title;
        String text;
        String informativeText;
        // The button labels in order: "OK" for notify and error; the accept
        // label then the reject label for confirm.
        QStringList buttons;
        QWidget* parent = nullptr;
    };

    using Responder = std::function<bool(const Request&)>;

    // Installs responder (an empty one restores the real boxes) and returns
    // the one it replaces.
    static Responder setResponder(Responder responder);

    // Installs a responder for its own lifetime and puts back the previous one.
    class ScopedResponder {
    public:
        explicit ScopedResponder(Responder responder);
        ~ScopedResponder();
        ScopedResponder(const ScopedResponder&) = delete;
        ScopedResponder& operator=(const ScopedResponder&) = delete;

    private:
        Responder m_previous;
    };

    explicit Alert(const String& title, QWidget* parent = nullptr);
    virtual ~Alert();

    const String& getTitle() const { return m_title; }
    QWidget* getParent() const { return m_parent; }

protected:
    // Hands the request to the responder, or shows the real box.
    static bool present(const Request& request);

private:
    static bool showBox(const Request& request);

    String m_title;
    QWidget* m_parent;
};

} // namespace vantorix

#endif
