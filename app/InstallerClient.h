#ifndef INSTALLER_INSTALLERCLIENT_H
#define INSTALLER_INSTALLERCLIENT_H

#include "Catalogue/Client.h"

namespace installer {

// The signed-in account as the installer knows it: the e-mail address and
// password the user typed and what the service returned at sign-in (name,
// currency, message). Sign-in ("Login") fills it and remembers it in the
// client file, so the next start knows the user. The password is never
// written to the log.
class InstallerClient : public vantorix::Client {
public:
    // verifyDetails codes besides the service's own error codes.
    enum Code : short {
        success = 0,
        // The post failed or the service's error code is not a number.
        postFailed = 11,
        // Called while another request waits for its answer: nothing was
        // sent; the sign-in runs again once that request is done and reports
        // through ServiceCall::signInFinished. Not a row of the error table:
        // callers show nothing for it.
        deferred = -1
    };

    InstallerClient() = default;

    // Both e-mail and password set; if not, the client file is read first.
    bool isLoggedIn();
    // Takes the client record of the client file into this object. A
    // missing, damaged or foreign file (or one without a client) leaves it
    // unchanged; the result says whether a record was taken.
    bool loadClientData();
    // Signs in with the service. True on success, when this object holds the
    // account (with the typed password, whatever the service sent back) and
    // the client file has been rewritten. code, when given, receives 0, 11,
    // the service's error code, or deferred; an empty e-mail or password
    // returns false at once and leaves it alone. A failed sign-in changes
    // neither this object nor the client file.
    bool verifyDetails(const vantorix::String& email, const vantorix::String& password, short* code);
    // Forgets the password and rewrites the client file, so the next start
    // knows the e-mail but is signed out. False when the file could not be
    // written.
    bool logout();
};

// The process-wide account, constructed before main.
extern InstallerClient client;

} // namespace installer

#endif
