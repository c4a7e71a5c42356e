#include "VersionManager.h"

#include "ServiceCall.h"
#include "VantorixInstallerApp.h"
#include "support/InstallerReport.h"

#include "Catalogue/VantorixTools.h"
#include "Utility/Convert.h"
#include "Utility/Logger.h"
#include "Web/ServiceAddress.h"

using namespace vantorix;

namespace installer {

namespace {

// Closes the log block on every way out.
class LogBlock {
public:
    explicit LogBlock(const char* title) { Logger::startBlock(String(title)); }
    ~LogBlock() { Logger::endBlock(); }
    LogBlock(const LogBlock&) = delete;
    LogBlock& operator=(const LogBlock&) = delete;
};

} // namespace

VersionManager::VersionManager(QObject* parent) : QObject(parent) {}

VersionManager::~VersionManager() = default;

bool VersionManager::isNewer(const String& version)
{
    const ToDouble number(version);
    return number.isValid() && number.value() - VantorixInstallerApp::version > 0.00001;
}

bool VersionManager::isUpdateAvailable()
{
    LogBlock block("IsUpdateAvailable");
    m_errorCode = noError;

    // The request: a report whose action carries the running version.
    VantorixTools request;
    request.setReport(std::make_unique<InstallerReport>(true));

    // The answer's action reads its "release" child into our release record
    // and its "version" child as text. A fresh release each time, so that a
    // second check never mixes two answers.
    m_release = InstallerRelease();
    m_serverVersion.clear();
    VantorixTools response;
    auto answerReport = std::make_unique<InstallerReport>(false);
    InstallerReport* read = answerReport.get();
    read->getAction().setRelease(&m_release);
    response.setReport(std::move(answerReport));

    const ServiceAnswer answer = ServiceCall::post(String(ServiceAddress::installerVersion), request, response);
    // The action refers to our release only for the read.
    read->getAction().setRelease(nullptr);

    if (!answer.posted) {
        Logger::write(String("Post failed [") + ToString(int(answer.webError)).value() + "]");
        m_errorCode = answer.webError != 0 ? answer.webError : short(1);
        return false;
    }
    if (answer.fault) {
        Logger::write(String("Response body is a fault: ") + answer.errorCode + " -- " + answer.errorDescription);
        return false;
    }
    m_serverVersion = read->getAction().getVersion();
    Logger::write(String("Successful installerVersion call, returned version=") + m_serverVersion);
    return isNewer(m_serverVersion);
}

} // namespace installer
