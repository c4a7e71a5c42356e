#include "InstallerManager.h"
#include "StringTables.h"

#include "DirectoryHandler.h"
#include "InstallerClient.h"
#include "OfflinePackage.h"
#include "ServiceCall.h"
#include "support/InstallerReport.h"
#include "support/ReportSender.h"

#include "Applications/Application.h"
#include "Catalogue/Client.h"
#include "Catalogue/VantorixTools.h"
#include "Environment/Addon.h"
#include "Environment/Host.h"
#include "File/DataFile.h"
#include "File/Directory.h"
#include "Interface/ConfirmAlert.h"
#include "Interface/ErrorAlert.h"
#include "Serialise/XMLReader.h"
#include "Serialise/XMLWriter.h"
#include "Utility/DataBufferIn.h"
#include "Utility/DataBufferOut.h"
#include "Utility/Logger.h"
#include "Utility/MemoryBlock.h"
#include "Web/ServiceAddress.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>

using namespace vantorix;

namespace installer {

namespace {

String programName()
{
    return text(titleTable, 0);
}

// Closes a log block on every way out.
class LogBlock {
public:
    explicit LogBlock(const char* title) { Logger::startBlock(String(title)); }
    ~LogBlock() { Logger::endBlock(); }
    LogBlock(const LogBlock&) = delete;
    LogBlock& operator=(const LogBlock&) = delete;
};

// Reads the shared file of hand-added applications into map; what cannot be
// read is left out.
void readApplicationFile(const DataFile& file, ApplicationMap& map)
{
    DataBufferIn input(&file, Encoding::UTF8);
    XMLReader reader(&input);
    if (!reader.importTo(map)) {
        // A damaged file keeps the entries read before the damage; one cut
        // in the middle has no path and is dropped.
        std::vector<Guid> cut;
        for (const auto& entry : map) {
            if (entry.second == nullptr || entry.second->getPath().empty())
                cut.push_back(entry.first);
        }
        for (const Guid& id : cut)
            map.erase(id);
    }
    file.close();
}

bool holdsPath(const ApplicationMap& map, const String& path)
{
    for (const auto& entry : map) {
        if (entry.second != nullptr && entry.second->getPath() == path)
            return true;
    }
    return false;
}

// The path of a hand-chosen folder as it is kept: outer white space and
// trailing separators removed.
String keptPath(const String& path)
{
    QString text = path.qString().trimmed();
    while (text.size() > 1 && text.endsWith(QLatin1Char('/')))
        text.chop(1);
    return String(text);
}

} // namespace

InstallerManager::InstallerManager()
    : catalogue(std::make_unique<VantorixTools>()), installations(std::make_unique<VantorixTools>())
{
    // The same reset as setDefault(), except that the machine report is made
    // when first needed: this runs before main, when the platform services
    // may not exist yet.
    catalogue->setDefault();
    installations->setDefault();
}

InstallerManager::~InstallerManager() = default;

void InstallerManager::setOfflineFilePath(const String& path)
{
    offlineFilePath = path;
    offlineFileExisted = !path.empty() && QFile::exists(path.qString());
}

void InstallerManager::setDefault()
{
    ++generation;
    offlineFileSaved = false;
    offlineFileExisted = false;
    installerAction = installOnline;
    currentStatus = myTools;
    target = 0;
    offlineFilePath.clear();
    activeApplication.clear();
    lastError = noError;

    // A post waiting right now reads into a store of its own, so these may
    // be replaced even when this runs inside its wait.
    catalogue = std::make_unique<VantorixTools>();
    catalogue->setDefault();
    catalogue->setReport(std::make_unique<InstallerReport>(true));
    installations = std::make_unique<VantorixTools>();
    installations->setDefault();
    installations->setReport(nullptr);

    productTree.clear();
    images.clear();
    archives.clear();
    eulas.clear();

    saveManualApplications();
    manualApplications.clear();
    applications.clear();
}

// ---- rebuilding

bool InstallerManager::rebuild()
{
    if (ServiceCall::isBusy() && installerAction != installFromOfflineFile) {
        // Reached while another post waits: the listing cannot be asked for
        // now. The catalogue and tree stay as they are until the rebuild
        // runs again, once that post is done.
        Logger::write("Rebuild deferred: another request is waiting for its answer");
        lastError = deferred;
        // The rebuild reports its own outcome through rebuildFinished.
        ServiceCall::whenFree([this]() { rebuild(); });
        return false;
    }

    LogBlock block("Rebuilding product data");
    lastError = noError;
    if (installerAction == installFromOfflineFile) {
        const short error = readOfflinePackage();
        if (error != noError) {
            failRebuild(error);
            return false;
        }
    } else {
        const unsigned started = generation;
        std::unique_ptr<VantorixTools> listing;
        bool deferredPost = false;
        const bool received = requestProductListing(listing, deferredPost);
        if (deferredPost) {
            lastError = deferred;
            ServiceCall::whenFree([this]() { rebuild(); });
            return false;
        }
        if (!received) {
            failRebuild(serviceUnreachable);
            return false;
        }
        if (started != generation) {
            // The choice was reset while the listing was on its way: the
            // answer belongs to the previous choice.
            Logger::write("The product list arrived after the choice changed and is dropped");
            lastError = deferred;
            return false;
        }
        // The new listing takes the place of the old one in one step; the
        // report of the run goes along.
        if (listing->getReport() == nullptr) {
            std::unique_ptr<Report> report = catalogue->releaseReport();
            listing->setReport(report ? std::move(report) : std::make_unique<InstallerReport>(true));
        }
        catalogue = std::move(listing);
    }
    const bool built = productTree.rebuild(getApplications(), *catalogue);
    emit ServiceCall::instance().rebuildFinished(built);
    return built;
}

void InstallerManager::failRebuild(short error)
{
    lastError = error;
    // Why the service could not be reached, or why the file is refused,
    // goes under the message.
    const String detail = error == serviceUnreachable ? ServiceCall::lastProblem()
        : installerAction == installFromOfflineFile  ? offlineProblem
                                                      : String();
    ErrorAlert(programName()).show(text(errorTable, error), detail);
    emit ServiceCall::instance().rebuildFinished(false);
}

bool InstallerManager::requestProductListing(std::unique_ptr<VantorixTools>& listing, bool& deferredPost)
{
    Logger::write("Requesting product list");
    const bool educational = target == 1;
    VantorixTools request;
    if (educational) {
        auto record = std::make_unique<Client>();
        record->setEmail(client.getEmail());
        request.setClient(std::move(record));
    } else {
        request.setClient(std::make_unique<Client>(static_cast<const Client&>(client)));
    }
    request.setReport(std::make_unique<InstallerReport>(true));
    const String operation(educational ? ServiceAddress::productListingEdu : ServiceAddress::productListing);

    // The answer goes into a store of its own: a failed or cut answer must
    // not leave a half-read listing where the catalogue was.
    listing = std::make_unique<VantorixTools>();
    const ServiceAnswer answer = ServiceCall::post(operation, request, *listing);
    if (!answer.posted && answer.webError == 6 && ServiceCall::isBusy()) {
        Logger::write("Product list request deferred: another request is waiting for its answer");
        deferredPost = true;
        return false;
    }
    if (!answer.posted) {
        Logger::write(String("Failed to post request: [") + String(QString::number(answer.webError)) +
                      "] - the service could not be reached or its answer could not be read");
        return false;
    }
    if (answer.fault || !answer.activated || listing->getInstallation() == nullptr) {
        const String code = answer.errorCode.empty() && !answer.fault && answer.activated ? String("none")
                                                                                         : answer.errorCode;
        Logger::write(String("Failed to post request: [") + code + "] - " +
                      (answer.errorDescription.empty() ? String("no product list in the answer")
                                                       : answer.errorDescription));
        return false;
    }
    if (educational)
        listing->setTarget(VantorixTools::educational);
    Logger::write("Successfully requested product list");
    return true;
}

// ---- host applications

ApplicationMap& InstallerManager::getApplications()
{
    if (!applications.empty())
        return applications;
    if (installerAction == createOfflineFile) {
        // One placeholder per supported version, for which the offline file
        // is made whatever is installed here.
        for (const auto& version : Host::getSupportedVersions()) {
            auto placeholder = std::make_unique<Application>(
                ApplicationSignature(HostType::archiCAD, version.first, ApplicationSignature::full), String());
            applications.insert(Guid().generate(), std::move(placeholder));
        }
        return applications;
    }
    if (const ApplicationMap* found = host.getApplicationMap())
        static_cast<Map<Guid, Application>&>(applications) = *found;
    readManualApplications();
    return applications;
}

void InstallerManager::getApplicationIDs(std::vector<Guid>& ids, bool sorted)
{
    ids.clear();
    for (const auto& entry : getApplications())
        ids.push_back(entry.first);
    if (!sorted)
        return;
    std::stable_sort(ids.begin(), ids.end(), [this](const Guid& a, const Guid& b) {
        return displayBefore(applications.find(a), applications.find(b));
    });
}

bool InstallerManager::displayBefore(const Application* a, const Application* b)
{
    if (a == nullptr || b == nullptr)
        return a != nullptr && b == nullptr;
    const ApplicationSignature& first = a->getSignature();
    const ApplicationSignature& second = b->getSignature();
    if (first.getVersion() != second.getVersion())
        return first.getVersion() > second.getVersion();
    if (first.getType() != second.getType())
        return first.getType() < second.getType();
    return first.getLanguage().toLowercase() < second.getLanguage().toLowercase();
}

Application* InstallerManager::getApplication(const Guid& id)
{
    return applications.find(id);
}

String InstallerManager::cleanPath(const String& path)
{
    String cleaned = path;
    replaceEnclosing(cleaned, String(" \t\r\n"), String(), true, true);
    replaceEnclosing(cleaned, String("/"), String(), true, true);
    replaceEnclosing(cleaned, String("\\"), String(), true, true);
    return cleaned;
}

Guid InstallerManager::getApplication(const String& path)
{
    const String wanted = cleanPath(path);
    // No path names no application: the placeholders of an offline file
    // have empty paths, and an empty preferred path must not pick one of
    // them at random.
    if (wanted.empty())
        return Guid();
    for (const auto& entry : getApplications()) {
        if (entry.second != nullptr && cleanPath(entry.second->getPath()) == wanted)
            return entry.first;
    }
    return Guid();
}

Guid InstallerManager::addApplication(const String& path, short* error)
{
    const Guid known = getApplication(path);
    if (known)
        return known;
    auto application = std::make_unique<Application>(HostType::archiCAD, keptPath(path));
    if (!application->isValid()) {
        if (error != nullptr)
            *error = invalidApplication;
        return Guid();
    }
    if (!Host::isSupportedVersion(application->getSignature().getVersion())) {
        if (error != nullptr)
            *error = unsupportedVersion;
        return Guid();
    }
    Guid id;
    id.generate();
    Application& added = *application;
    applications.insert(id, std::move(application));
    manualApplications.push_back(id);
    productTree.buildFor(id, added, *catalogue);
    return id;
}

void InstallerManager::setActiveApplication(const Guid& id)
{
    activeApplication = id;
    if (const Application* application = getApplication(id))
        applicationPath = application->getPath();
}

void InstallerManager::setStatus(Status status)
{
    currentStatus = status;
    savedStatus = status;
}

void InstallerManager::setTarget(int newTarget)
{
    target = newTarget;
    if (newTarget == 1)
        savedStatus = educational;
    else if (savedStatus == educational)
        savedStatus = myTools;
}

void InstallerManager::readManualApplications()
{
    const std::unique_ptr<DataFile> file = DirectoryHandler::getSharedPreferenceFile(false);
    if (!file || !file->exists())
        return;
    ApplicationMap remembered;
    readApplicationFile(*file, remembered);
    for (const auto& entry : remembered) {
        const Application* application = entry.second.get();
        if (application == nullptr || !application->isValid() ||
            !Host::isSupportedVersion(application->getSignature().getVersion()) ||
            holdsPath(applications, application->getPath()))
            continue;
        applications.erase(entry.first);
        applications.insert(entry.first, std::make_unique<Application>(*application));
    }
}

bool InstallerManager::saveManualApplications()
{
    if (manualApplications.empty())
        return true;
    ApplicationMap shared;
    if (const std::unique_ptr<DataFile> existing = DirectoryHandler::getSharedPreferenceFile(false))
        readApplicationFile(*existing, shared);
    bool added = false;
    for (const Guid& id : manualApplications) {
        const Application* application = applications.find(id);
        if (application == nullptr || holdsPath(shared, application->getPath()) || shared.contains(id))
            continue;
        shared.insert(id, std::make_unique<Application>(*application));
        added = true;
    }
    if (!added)
        return true;
    return writeSharedApplications(shared);
}

bool InstallerManager::forgetManualApplication(const String& path, bool* found)
{
    if (found != nullptr)
        *found = false;
    const std::unique_ptr<DataFile> existing = DirectoryHandler::getSharedPreferenceFile(false);
    if (!existing || !existing->exists())
        return true;
    ApplicationMap shared;
    readApplicationFile(*existing, shared);
    const String wanted = cleanPath(path);
    std::vector<Guid> forgotten;
    for (const auto& entry : shared) {
        if (entry.second != nullptr && cleanPath(entry.second->getPath()) == wanted)
            forgotten.push_back(entry.first);
    }
    if (forgotten.empty())
        return true;
    if (found != nullptr)
        *found = true;
    for (const Guid& id : forgotten)
        shared.erase(id);
    // This run's copy goes too, so that shutting down does not add it back.
    for (auto it = manualApplications.begin(); it != manualApplications.end();) {
        const Application* application = applications.find(*it);
        if (application != nullptr && cleanPath(application->getPath()) == wanted)
            it = manualApplications.erase(it);
        else
            ++it;
    }
    return writeSharedApplications(shared);
}

bool InstallerManager::writeSharedApplications(ApplicationMap& shared)
{
    MemoryBlock content;
    {
        DataBufferOut output(&content);
        if (!XMLWriter(&output).exportFrom(shared, true, true, true, true))
            return false;
        output.flush();
        if (output.fail())
            return false;
    }
    const std::unique_ptr<DataFile> file = DirectoryHandler::getSharedPreferenceFile(true);
    if (!file)
        return false;
    const QString path = file->getURL().qString();
    file->close();
    // Written beside the old file and renamed over it only when complete:
    // every user of the machine relies on this file.
    QSaveFile save(path);
    // Unbuffered, so that a full disk fails the write itself: a failure met
    // only while closing the temporary file would not stop the rename.
    if (!save.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (save.write(content.get()) != content.get().size() || !save.flush()) {
        save.cancelWriting();
        return false;
    }
    if (!save.commit())
        return false;
    DataFile(String(path)).allowFullAccess();
    return true;
}

// ---- questions before acting

bool InstallerManager::canInstall()
{
    if (installerAction == createOfflineFile)
        return true;
    const Application* application = getApplication(activeApplication);
    if (application == nullptr || !application->isValid())
        return true;
    String message = text(questionTable, 8);
    replaceAll(message, String("$1"), application->getName());
    while (application->isRunning()) {
        ConfirmAlert ask(programName());
        if (!ask.isConfirmed(message, text(questionTable, 9), text(buttonTable, 37), text(buttonTable, 2)))
            return false;
    }
    return true;
}

bool InstallerManager::canFinishAction()
{
    if (installerAction == createOfflineFile && !offlineFileSaved) {
        ConfirmAlert ask(programName());
        if (!ask.isConfirmed(text(questionTable, 6), text(questionTable, 7), text(buttonTable, 9),
                             text(buttonTable, 2)))
            return false;
        // Only a file the installer made itself and never filled is erased;
        // a file that was there before stays, whatever it holds.
        if (!offlineFilePath.empty() && !offlineFileExisted) {
            QFile file(offlineFilePath.qString());
            if (file.exists() && file.size() == 0)
                file.remove();
        }
        return true;
    }
    if (productTree.isInstalling()) {
        ConfirmAlert ask(programName());
        return ask.isConfirmed(text(questionTable, 4), text(questionTable, 5), text(buttonTable, 29),
                               text(buttonTable, 2));
    }
    return true;
}

// ---- offline install files

short InstallerManager::readOfflinePackage()
{
    offlineProblem.clear();
    // Read into records of their own, so that a refused file leaves no half
    // of itself in the manager.
    auto store = std::make_unique<VantorixTools>();
    store->setDefault();
    store->setReport(std::make_unique<InstallerReport>(false));
    ImageMap readImages;
    ArchiveMap readArchives;
    EULAMap readEULAs;
    OfflineContents contents{*store, readImages, readArchives, readEULAs};
    const Directory* temp = DirectoryHandler::getTempDirectory();
    // The version the writer records (InstallerAction), when no application
    // object runs (tests, tools).
    const String version = addon != nullptr ? addon->getProductVersion() : InstallerAction(true).getVersion();
    const short result = OfflinePackage::read(offlineFilePath.qString(), temp != nullptr ? temp->getURL().qString() : QString(),
                                              version, contents, offlineProblem);
    if (result != OfflinePackage::readable)
        return result;

    images.clear();
    archives.clear();
    eulas.clear();
    std::vector<String> keys;
    for (const auto& entry : readImages)
        keys.push_back(entry.first);
    for (const String& key : keys)
        images.insert(key, readImages.take(key));
    keys.clear();
    for (const auto& entry : readArchives)
        keys.push_back(entry.first);
    for (const String& key : keys)
        archives.insert(key, readArchives.take(key));
    keys.clear();
    for (const auto& entry : readEULAs)
        keys.push_back(entry.first);
    for (const String& key : keys)
        eulas.insert(key, readEULAs.take(key));
    catalogue = std::move(store);

    // Who made the file, for the window's greeting; never a password, and
    // nothing is remembered: the offline machine signs nobody in.
    if (const Client* record = catalogue->getClient()) {
        if (!record->getName().empty())
            client.setName(record->getName());
        if (!record->getEmail().empty())
            client.setEmail(record->getEmail());
    }
    setTarget(catalogue->getTarget() == VantorixTools::educational ? 1 : 0);
    return noError;
}

bool InstallerManager::saveOfflineFile()
{
    if (installerAction != createOfflineFile)
        return false;
    offlineProblem.clear();
    bool anyCopy = false;
    for (const auto& entry : archives) {
        const Downloader* downloader = entry.second ? entry.second->getDownloader() : nullptr;
        if (entry.second && entry.second->getFile() != nullptr && downloader != nullptr && downloader->isDone()
            && downloader->isSuccess())
            anyCopy = true;
    }
    if (!anyCopy) {
        ErrorAlert(programName()).show(text(errorTable, offlineFileEmpty));
        return false;
    }
    // A file saved while an archive or an agreement is still on its way
    // would lack it, and the other machine could not install the product.
    bool running = false;
    for (const auto& entry : archives) {
        const Downloader* downloader = entry.second ? entry.second->getDownloader() : nullptr;
        running = running || (downloader != nullptr && !downloader->isDone());
    }
    for (const auto& entry : eulas)
        running = running || (entry.second && !entry.second->isReady());
    if (running) {
        ErrorAlert(programName()).show(text(errorTable, offlineDownloadsRunning));
        return false;
    }
    // The file names who made it (the listing's answer may carry no client);
    // the writer leaves the password out.
    if (catalogue->getClient() == nullptr || catalogue->getClient()->getEmail().empty())
        catalogue->setClient(std::make_unique<Client>(static_cast<const Client&>(client)));
    OfflineContents contents{*catalogue, images, archives, eulas};
    if (!OfflinePackage::write(offlineFilePath.qString(), contents, offlineProblem)) {
        String message = text(errorTable, offlineFileNotSaved);
        replaceAll(message, String("$1"), offlineFilePath);
        replaceAll(message, String("$2"), offlineProblem);
        ErrorAlert(programName()).show(message);
        return false;
    }
    offlineFileSaved = true;
    return true;
}

bool InstallerManager::sendReport()
{
    // Never half a picture: not while a product still installs, not for an
    // offline file that was not saved, and never without a service.
    if (installerAction == installFromOfflineFile)
        return false;
    if (installerAction == installOnline && productTree.isInstalling())
        return false;
    if (installerAction == createOfflineFile && !offlineFileSaved)
        return false;
    const Installation* installation = installations->getInstallation();
    if (installation == nullptr || !installation->isExecutable())
        return false;

    LogBlock block("Sending the installation report");
    auto report = std::make_unique<InstallerReport>(true);
    report->getAction().setInstallation(true);
    installations->setClient(ReportSender::reportClient(client));
    installations->setReport(std::move(report));
    // Fire and forget: a report that does not arrive is not worth a
    // question to the user, only a line in the log.
    const ServiceAnswer answer = ReportSender::post(*installations, false);
    if (!answer.isSuccessful())
        Logger::write(String("The installation report was not accepted: [") +
                      String(QString::number(answer.webError)) + "] " + answer.errorDescription);
    installations->setDefault();
    installations->setReport(nullptr);
    return answer.isSuccessful();
}

} // namespace installer
