#include "VersionManager.h"

#include "ServiceCall.h"
#include "StringTables.h"
#include "VantorixInstallerApp.h"
#include "products/Downloader.h"
#include "support/InstallerReport.h"

#include "Catalogue/VantorixTools.h"
#include "Environment/Host.h"
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

// Rows of the error table with the reason shown below row 14.
constexpr short packageManagedRow = 84;
constexpr short noArchiveRow = 92;

} // namespace

VersionManager::VersionManager(QObject* parent) : QObject(parent), m_updater(String()) {}

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

bool VersionManager::update()
{
    Logger::startBlock(String("UpdateInstaller"));
    m_errorCode = noError;
    m_failure.clear();
    m_failedStep.clear();
    const String language = host.getLanguage();
    String url;
    for (const ReleaseUrl& entry : m_release.getReleaseList()) {
        if (entry.getLanguage().qString().compare(language.qString(), Qt::CaseInsensitive) == 0) {
            url = entry.getUrl();
            m_updater.setExpected(m_serverVersion, m_release.getSize(), entry.getSha256());
        }
    }
    if (url.empty()) {
        Logger::write(String("Empty installer URL for language ") + language);
        Logger::endBlock();
        m_errorCode = localUpdateFailed;
        m_failure = filledText(errorTable, noArchiveRow, language.qString());
        m_failedStep = QStringLiteral("FindArchive");
        return false;
    }
    Logger::write(String("Updating for language ") + language + " at " + url);
    // A folder the user cannot write is updated by the system's package
    // manager: nothing is downloaded.
    if (!Updater::canReplace(InstallFolder::current())) {
        Logger::write(String("The installed folder cannot be written: ") + String(InstallFolder::current().root()));
        Logger::endBlock();
        m_errorCode = localUpdateFailed;
        m_failure = filledText(errorTable, packageManagedRow, InstallFolder::current().root());
        m_failedStep = QStringLiteral("CheckWritable");
        return false;
    }
    m_updater.setUrl(url);
    Downloader* downloader = m_updater.getDownloader();
    if (downloader == nullptr) {
        Logger::write(String("Failed to initialise the downloader (downloader=0)"));
        m_updater.addStep(String("Download"), String("Failed to initialise the downloader"), false);
        m_updater.sendReport();
        Logger::endBlock();
        m_errorCode = localUpdateFailed;
        m_failure = text(errorTable, localUpdateFailed).qString();
        m_failedStep = QStringLiteral("Download");
        return false;
    }
    Logger::write(String("initialising signals"));
    m_blockOpen = true;
    connect(downloader, &Downloader::notifyProgress, this, &VersionManager::updateProgress);
    connect(downloader, qOverload<>(&Downloader::finishDownload), this, &VersionManager::updateArchiveDownloaded);
    return true;
}

QString VersionManager::getFailedStep() const
{
    if (!m_failedStep.isEmpty())
        return m_failedStep;
    return m_updater.getFailedStep();
}

void VersionManager::updateArchiveDownloaded()
{
    m_errorCode = noError;
    Downloader* downloader = m_updater.getDownloader();
    if (downloader != nullptr && !downloader->isSuccess()) {
        Logger::write(String("Failed to download update archive"));
        m_errorCode = downloadFailed;
        m_updater.addStep(String("Download"), downloader->getError(), false);
        m_failure = downloader->getError().qString();
    } else if (downloader != nullptr) {
        Logger::write(String("Downloader finished successfully"));
        m_updater.addStep(String("Download"), String("Downloaded ") + downloader->getUrl(), true);
        if (!m_updater.doUpdate()) {
            Logger::write(String("File downloaded but local update failed"));
            m_errorCode = localUpdateFailed;
            m_failure = m_updater.getFailure();
        }
    } else {
        Logger::write(String("Downloader is zero after the archive is downloaded"));
    }
    m_updater.sendReport();
    if (m_blockOpen) {
        m_blockOpen = false;
        Logger::endBlock();
    }
    emit updateComplete();
}

} // namespace installer
