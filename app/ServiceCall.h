#ifndef INSTALLER_SERVICECALL_H
#define INSTALLER_SERVICECALL_H

#include "Utility/String.h"

#include <QObject>

#include <functional>

namespace vantorix {
class VantorixTools;
}

namespace installer {

// What one exchange with the service came to.
struct ServiceAnswer {
    // The request went out and an answer was read (a SOAP fault included).
    bool posted = false;
    // The web client's error when nothing usable came back (4, 6, 7).
    short webError = 0;
    // What kept the request from the service, for the user (empty when the
    // service was reached): the address and the system's reason, or the
    // refusal of plain http to a remote host.
    vantorix::String problem;
    // A SOAP fault came back.
    bool fault = false;
    // "ActivationResult" (true when the answer leaves it out).
    bool activated = false;
    // The fault's code and text, else "errorCode" and "errorDescription".
    vantorix::String errorCode;
    vantorix::String errorDescription;

    // Posted, no fault, activated.
    bool isSuccessful() const { return posted && !fault && activated; }
};

// The installer's exchanges with the vendor's service, and what happens to
// an exchange asked for while another one waits.
//
// A post blocks in a local event loop in which timers and queued slots still
// run, and the web client refuses a second post from there. Nothing can wait
// for the first post inside such a slot: the first post only returns once the
// slot has returned. So an operation reached from there does not post at all:
// it hands itself to whenFree(), which runs it again from the event loop once
// no post is waiting, and reports its outcome through the signals below.
class ServiceCall : public QObject {
    Q_OBJECT
public:
    // The one instance (created on first use, lives for the process).
    static ServiceCall& instance();

    // Whether a post is waiting for its answer: a post started now would be
    // refused.
    static bool isBusy();

    // Posts request as the operation ("Login", "ProductListing", ...) to the
    // service and reads the answer's "vantorixtools" element into response.
    // Callers give a fresh response store: a failed read leaves it partly
    // filled.
    static ServiceAnswer post(const vantorix::String& operation, vantorix::VantorixTools& request,
                              vantorix::VantorixTools& response);
    // The problem of the last post (ServiceAnswer::problem), for callers
    // that report a failure after the answer is gone.
    static const vantorix::String& lastProblem();

    // Runs work from the event loop once no post is waiting any more (at
    // once on the next turn of the loop when none is waiting now).
    static void whenFree(std::function<void()> work);

    // The interval at which a deferred call looks whether the post it waits
    // for is done.
    static constexpr int retryInterval = 20;

signals:
    // A sign-in that was deferred has run: its result and code.
    void signInFinished(bool success, short code);
    // A rebuild has finished, deferred or not: its result.
    void rebuildFinished(bool success);

private:
    ServiceCall() = default;
};

} // namespace installer

#endif
