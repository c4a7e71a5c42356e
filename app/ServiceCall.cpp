#include "ServiceCall.h"
#include "StringTables.h"

#include "Catalogue/VantorixTools.h"
#include "Utility/Logger.h"
#include "Web/RequestBody.h"
#include "Web/ResponseBody.h"
#include "Web/ServiceAddress.h"
#include "Web/WebServiceClient.h"
#include "Web/XMLSOAPEnvelope.h"

#include <QTimer>

using namespace vantorix;

namespace installer {

namespace {

// Rows of the error table.
constexpr short cannotConnectRow = 55;
constexpr short plainHttpRow = 56;

String& problemOfLastPost()
{
    static String problem;
    return problem;
}

} // namespace

const String& ServiceCall::lastProblem()
{
    return problemOfLastPost();
}

ServiceCall& ServiceCall::instance()
{
    static ServiceCall* calls = new ServiceCall;
    return *calls;
}

bool ServiceCall::isBusy()
{
    return WebServiceClient::isPosting();
}

ServiceAnswer ServiceCall::post(const String& operation, VantorixTools& request, VantorixTools& response)
{
    ServiceAnswer answer;
    RequestBody requestBody(request, operation);
    XMLSOAPEnvelope requestEnvelope(requestBody);
    const QByteArray responseTag = ServiceAddress::getResponseTag(operation).toByteArray();
    ResponseBody responseBody(&response, responseTag.constData());
    XMLSOAPEnvelope responseEnvelope(responseBody);
    WebServiceClient web(ServiceAddress::getHost(), ServiceAddress::isSecure());
    answer.posted = web.post(String(ServiceAddress::path), ServiceAddress::getAction(operation), requestEnvelope,
                             &responseEnvelope);
    answer.webError = web.getLastError();
    switch (web.getLastFailure()) {
    case WebServiceClient::plainHttpRefused:
        answer.problem = String(filledText(errorTable, plainHttpRow, web.getFailureAddress().qString()));
        break;
    case WebServiceClient::cannotConnect:
        answer.problem = String(filledText(errorTable, cannotConnectRow, web.getFailureAddress().qString(),
                                           web.getFailureReason().qString()));
        break;
    case WebServiceClient::noFailure: break;
    }
    problemOfLastPost() = answer.problem;
    if (!answer.posted)
        return answer;
    answer.fault = responseBody.isFault();
    answer.activated = responseBody.getOperation().isSuccessful();
    answer.errorCode = responseBody.getErrorCode();
    answer.errorDescription = responseBody.getErrorDescription();
    return answer;
}

void ServiceCall::whenFree(std::function<void()> work)
{
    // Timers also fire inside the waiting post's loop, so each shot looks
    // again and only runs the work once the post has returned.
    QTimer::singleShot(isBusy() ? retryInterval : 0, &instance(), [work]() {
        if (isBusy())
            whenFree(work);
        else
            work();
    });
}

} // namespace installer
