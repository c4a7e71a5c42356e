#include "InstallerClient.h"

#include "ServiceCall.h"

#include "Catalogue/VantorixTools.h"
#include "Utility/Convert.h"
#include "Utility/Logger.h"
#include "Web/ServiceAddress.h"

using namespace vantorix;

namespace installer {

bool InstallerClient::isLoggedIn()
{
    if (!getEmail().empty() && !getPassword().empty())
        return true;
    loadClientData();
    return !getEmail().empty() && !getPassword().empty();
}

bool InstallerClient::loadClientData()
{
    VantorixTools store;
    if (!store.readClient() || store.getClient() == nullptr)
        return false;
    merge(*store.getClient(), true);
    return true;
}

bool InstallerClient::verifyDetails(const String& email, const String& password, short* code)
{
    if (email.empty() || password.empty())
        return false;
    if (ServiceCall::isBusy()) {
        // Reached from a slot that runs while another post waits: posting
        // now would be refused, so sign in again once that post is done.
        Logger::write("Sign-in deferred: another request is waiting for its answer");
        if (code != nullptr)
            *code = deferred;
        const String e = email;
        const String p = password;
        ServiceCall::whenFree([this, e, p]() {
            short result = success;
            const bool signedIn = verifyDetails(e, p, &result);
            emit ServiceCall::instance().signInFinished(signedIn, result);
        });
        return false;
    }

    VantorixTools request;
    auto record = std::make_unique<Client>();
    record->setEmail(email);
    record->setPassword(password);
    request.mergeClient(*record);
    VantorixTools response;
    const ServiceAnswer answer = ServiceCall::post(String(ServiceAddress::login), request, response);

    short result = postFailed;
    if (answer.posted) {
        if (answer.errorCode.empty()) {
            result = success;
        } else {
            // Codes are rows of the error table: one that does not fit
            // (65536 would narrow to 0, success) is a failure like any
            // text that is no number.
            const ToInt32 number(answer.errorCode);
            if (number.isValid() && number.value() >= 0 && number.value() <= 32767)
                result = static_cast<short>(number.value());
        }
    }
    if (code != nullptr)
        *code = result;
    const bool signedIn = answer.posted && !answer.fault && result == success && answer.activated;
    if (!signedIn)
        return false;

    if (Client* returned = response.getClient()) {
        merge(*returned, true);
        // The service's copy never replaces the password the user typed.
        if (returned->getPassword() != password)
            returned->setPassword(password);
    } else {
        // Nothing but the sign-in itself came back: what this object still
        // holds of another account (its name, currency, message) must not
        // be remembered as this one's.
        if (getEmail() != email) {
            const Time edited = getEditTime();
            setDefault();
            setEditTime(edited);
        }
        response.setClient(std::make_unique<Client>(static_cast<const Client&>(*this)));
    }
    // The account is the one the user typed, whatever e-mail came back.
    if (getEmail() != email)
        setEmail(email);
    if (getPassword() != password)
        setPassword(password);
    // The file keeps exactly what this object now holds.
    response.getClient()->merge(*this, true);
    if (!response.writeClient())
        Logger::write("Signed in, but the account could not be remembered for the next start");
    return true;
}

bool InstallerClient::logout()
{
    setPassword(String());
    VantorixTools store;
    store.setClient(std::make_unique<Client>(static_cast<const Client&>(*this)));
    return store.writeClient();
}

} // namespace installer
