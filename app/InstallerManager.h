#ifndef INSTALLER_INSTALLERMANAGER_H
#define INSTALLER_INSTALLERMANAGER_H

#include "InstallerPrefs.h"
#include "products/ArchiveMap.h"
#include "products/EULAMap.h"
#include "products/ImageMap.h"
#include "products/ProductTree.h"

#include "Applications/ApplicationMap.h"
#include "Database/Guid.h"

#include <memory>
#include <vector>

namespace vantorix {
class Application;
class VantorixTools;
} // namespace vantorix

namespace installer {

// The installer's one controller and its store of working state for the
// whole run: the preferences (inherited), what the user chose to do, the host
// applications known to the installer (it owns them; everything else refers
// to them by Guid), the catalogue received from the service, the product tree
// built from both, the download caches and the store of this run's installs.
//
// Operations that post to the service (rebuild) never post while another
// post waits for its answer (see ServiceCall): reached from a slot that runs
// in that wait, they run again once it is over.
class InstallerManager : public InstallerPrefs {
public:
    // What the user chose to do.
    enum Action : int { installOnline = 0, installFromOfflineFile = 1, createOfflineFile = 2 };
    // Rows of the error table that rebuild, addApplication and the offline
    // file report.
    enum Error : short {
        noError = 0,
        serviceUnreachable = 1,
        invalidApplication = 2,
        unsupportedVersion = 3,
        offlineFileUnreadable = 4,
        offlineFileEmpty = 6,
        noTemporaryFolder = 7,
        offlineFileDamaged = 8,
        offlineFileOtherVersion = 9,
        offlineFileNotSaved = 52,
        offlineDownloadsRunning = 83,
        // Not a row: the rebuild was asked for while another request waited
        // and runs again once it is done (ServiceCall::rebuildFinished).
        deferred = -1
    };

    InstallerManager();
    ~InstallerManager() override;
    InstallerManager(const InstallerManager&) = delete;
    InstallerManager& operator=(const InstallerManager&) = delete;

    int getInstallerAction() const { return installerAction; }
    void setInstallerAction(int action) { installerAction = action; }
    vantorix::Status getCurrentStatus() const { return currentStatus; }
    int getTarget() const { return target; }
    const vantorix::String& getOfflineFilePath() const { return offlineFilePath; }
    // The offline file to read or write. Notes whether a file was there
    // already, so that giving up on it never deletes somebody's file.
    void setOfflineFilePath(const vantorix::String& path);
    bool isOfflineFileSaved() const { return offlineFileSaved; }
    void setOfflineFileSaved(bool saved) { offlineFileSaved = saved; }
    const std::vector<vantorix::Guid>& getManualApplications() const { return manualApplications; }
    const vantorix::Guid& getActiveApplication() const { return activeApplication; }
    vantorix::VantorixTools& getCatalogue() { return *catalogue; }
    vantorix::VantorixTools& getInstallations() { return *installations; }
    ProductTree& getProductTree() { return productTree; }
    ArchiveMap& getArchives() { return archives; }
    EULAMap& getEULAs() { return eulas; }
    ImageMap& getImages() { return images; }
    // The error code of the last rebuild (0 after a success).
    short getLastError() const { return lastError; }

    // Resets the working state; the preferences stay. The hand-added
    // applications are remembered first.
    void setDefault() override;

    // Fetches (or reads) the catalogue for the chosen action and rebuilds
    // the product tree. False after an error alert (the tree keeps its
    // previous content), or, without an alert, when it was deferred.
    bool rebuild();

    // The host applications, gathered on first use.
    vantorix::ApplicationMap& getApplications();
    // The ids of getApplications(), in Guid order or in display order.
    void getApplicationIDs(std::vector<vantorix::Guid>& ids, bool sorted);
    vantorix::Application* getApplication(const vantorix::Guid& id);
    // The id of the application whose cleaned path equals the cleaned path.
    vantorix::Guid getApplication(const vantorix::String& path);
    // Adds a host application chosen by hand: its id (the present one when
    // the folder is known already), or the null Guid with error set to 2
    // (not a valid installation) or 3 (version not supported).
    vantorix::Guid addApplication(const vantorix::String& path, short* error);
    void setActiveApplication(const vantorix::Guid& id);
    void setStatus(vantorix::Status status);
    void setTarget(int target);
    // Whether the active host application may be written to: asks the user
    // to quit it for as long as it runs.
    bool canInstall();
    // Whether the user may leave the current action (log out or quit).
    bool canFinishAction();

    // Merges the remembered hand-added applications into the applications.
    void readManualApplications();
    // Adds the hand-added applications to the shared file (which only grows),
    // replacing it in one step; untouched when nothing is new. False when a
    // save was needed and failed (the previous file stays).
    bool saveManualApplications();
    // Removes a hand-added application (by its folder) from the shared file,
    // replacing it in one step. found tells whether the file listed it.
    // False when the file could not be saved (it stays as it was).
    bool forgetManualApplication(const vantorix::String& path, bool* found);

    // Reads the offline install file at the offline file path into the
    // catalogue and the caches, unpacking its archives into the temporary
    // folder: 0, or the row of the error (4 missing or not an install file,
    // 7 no temporary folder, 8 damaged, 9 another installer version), with
    // the reason in getOfflineProblem(). A refused file changes nothing.
    short readOfflinePackage();
    // Why the last offline file was refused or not saved; empty after success.
    const vantorix::String& getOfflineProblem() const { return offlineProblem; }
    // Writes the offline install file (action 2) whole, or not at all: false
    // after an error alert (nothing downloaded yet, or the file could not be
    // written; a file that was there stays as it was).
    bool saveOfflineFile();
    // Sends the installation report of this run's installs ("Reporting") and
    // empties the store of installs. Sends nothing while a product still
    // installs, for an unsaved offline file, when installing from an offline
    // file, or when nothing was installed. True when the service took it.
    bool sendReport();

    // Cleaning a path for comparison: blanks, tabs and line ends, then "/",
    // then "\" removed from both ends.
    static vantorix::String cleanPath(const vantorix::String& path);
    // Display order: higher version first, then edition (full, solo, start),
    // then language ignoring case; a missing application last.
    static bool displayBefore(const vantorix::Application* a, const vantorix::Application* b);

private:
    // Replaces the shared file of hand-added applications with shared.
    bool writeSharedApplications(vantorix::ApplicationMap& shared);
    bool requestProductListing(std::unique_ptr<vantorix::VantorixTools>& listing, bool& deferredPost);
    void failRebuild(short error);

    int installerAction = installOnline;
    vantorix::Status currentStatus = vantorix::myTools;
    int target = 0;
    vantorix::String offlineFilePath;
    bool offlineFileSaved = false;
    // Whether a file lay at offlineFilePath before the installer took it.
    bool offlineFileExisted = false;
    std::vector<vantorix::Guid> manualApplications;
    vantorix::ApplicationMap applications;
    vantorix::Guid activeApplication;
    std::unique_ptr<vantorix::VantorixTools> catalogue;
    ProductTree productTree;
    ImageMap images;
    ArchiveMap archives;
    EULAMap eulas;
    std::unique_ptr<vantorix::VantorixTools> installations;
    short lastError = noError;
    vantorix::String offlineProblem;
    // Counts resets, so that a rebuild whose post a reset interrupted drops
    // an answer that belongs to the previous choice.
    unsigned generation = 0;
};

// The process-wide manager, constructed before main.
extern InstallerManager manager;

} // namespace installer

#endif
