#ifndef INSTALLER_PRODUCTS_INSTALLERPRODUCT_H
#define INSTALLER_PRODUCTS_INSTALLERPRODUCT_H

#include "Downloader.h"
#include "Catalogue/Product.h"
#include "Catalogue/RegisteredPlatform.h"
#include "Database/Guid.h"
#include "Serialise/Status.h"
#include "Utility/String.h"

#include <QObject>
#include <QPointer>

#include <vector>

#include <QStringList>

namespace vantorix {
class Application;
class Executable;
class VantorixTools;
}

namespace installer {

struct RecordChange;

// One catalogue product on one platform for one host application, as the
// product list shows it: its installed state for that host, its downloads,
// and the install that it runs. The product tree owns it; the downloaders it
// lists belong to the archives of the manager's archive cache.
class InstallerProduct : public QObject {
    Q_OBJECT
public:
    // Copies the product's own facts (id, name, code, edit time, release
    // notes; not its platforms) and the platform; not installed, no
    // downloads, idle.
    InstallerProduct(const vantorix::Product& product, const vantorix::RegisteredPlatform& platform);
    ~InstallerProduct() override;

    const vantorix::Product& getProduct() const { return m_product; }
    const vantorix::RegisteredPlatform& getPlatform() const { return m_platform; }
    const std::vector<vantorix::String>& getLocalPaths() const { return m_localPaths; }
    double getLocalVersion() const { return m_localVersion; }
    void setLocalVersion(double version) { m_localVersion = version; }
    const vantorix::Guid& getApplication() const { return m_application; }
    void setApplication(const vantorix::Guid& application) { m_application = application; }
    const vantorix::String& getLanguage() const { return m_language; }
    bool isBusy() const { return m_busy; }
    // What the product was last asked to do; the window names it when it
    // failed.
    enum class Action { none, install, uninstall };
    Action getLastAction() const { return m_lastAction; }
    bool isCancelled() const { return m_cancelled; }
    void setCancelled(bool cancelled) { m_cancelled = cancelled; }
    // Cancels a running install: its downloads end for good (their parts
    // are removed) and the product is idle again. Logged.
    void cancel();
    // Range 0 while a download's total size is unknown (no Content-Length):
    // the window shows a busy bar, the command line the bytes received.
    int getProgressValue() const { return m_progressValue; }
    int getProgressRange() const { return m_progressRange; }
    qint64 getReceivedBytes() const { return m_receivedBytes; }
    // Why the last install or uninstall failed, as the log has it; empty
    // after a success.
    const vantorix::String& getLastError() const { return m_lastError; }
    const std::vector<QPointer<Downloader>>& getDownloaders() const { return m_downloaders; }

    // Installed paths non-empty, or an installed version other than 0.
    bool isInstalled() const;
    bool isOwned() const { return m_platform.isOwned(); }
    bool isTrialAvailable() const { return m_platform.isTrialAvailable(); }
    // Installed, owned, or a trial is offered.
    bool isVisible() const;
    // The catalogue's version is above the installed one by more than 0.001.
    bool hasUpdate() const;
    // Whether the product belongs to the category (the list also asks
    // isVisible): myTools installed or owned; updates installed with a newer
    // catalogue version; trial neither installed nor owned, with a trial;
    // educational always.
    bool isListedIn(vantorix::Status status) const;

    // Records an installed location; a path through a bundle's
    // "/Contents/MacOS/" is kept as the bundle's own path.
    void addLocalPath(const vantorix::String& path);

    // Starts an install into the manager's active host application.
    void install();
    // Removes the product's installed files from its host application and
    // updates the installation records; emits productActionComplete.
    void unInstall();
    // Collects the downloads the install needs from the manager's archive
    // cache, starting those not yet running.
    void refreshDownloader();
    // Connects the collected downloads and resets the progress.
    void connectDownloaders();
    // Installing from an offline file, no downloads, or every download done.
    bool isDownloadDone() const;
    // The downloader of the archive at url in the manager's archive cache,
    // fetching the archive when the cache has none, and fetching it again
    // when its earlier download failed; null when none. check is what the
    // finished file must match (the catalogue's size or digest).
    static Downloader* getUrlDownloader(const vantorix::String& url, const DownloadCheck& check = {});

    // Records this product's installed files for its target host in tools.
    // With an error text (an empty one included) each entry takes it as the
    // install's outcome: an empty text clears an earlier failure. Without
    // one (null) the recorded outcome is left as it is.
    void mergeInstallationData(vantorix::VantorixTools& tools, const vantorix::String* errorText);

    // The executable path recorded for an installed location: a bundle
    // (".apx", ".gdx") records the executable inside it.
    static vantorix::String executablePath(const vantorix::String& localPath, const vantorix::String& productName);
    // Whether path lies inside folder, comparing whole path components.
    static bool isInside(const vantorix::String& path, const vantorix::String& folder);

signals:
    void productActionComplete();
    void productActionFailure();
    void progress(int value);

public slots:
    void downloadProgress(qint64 downloaded, qint64 total, int previousPercent, qintptr userData);
    // Every download has ended: installs the product.
    void finishDownload();

private:
    // The product's installation file: its path, and its record read into
    // store (empty when there is none). False when it cannot be read.
    bool readRecord(vantorix::VantorixTools& store, QString& path, vantorix::String& error) const;
    // What the record lists for application's folder.
    QStringList recordedItems(const vantorix::VantorixTools& store, const vantorix::Application& application) const;
    // The record's bytes with items as this host's entries; empty tells
    // whether nothing installed remains in it.
    bool recordBytes(const vantorix::VantorixTools& source, const vantorix::Application& application, const QStringList& items,
                     QByteArray& bytes, bool& empty) const;
    bool prepareRecord(RecordChange& change, vantorix::String& error);
    // Removes the recorded items and their record in one transaction.
    bool removeInstalled();
    // Merges entries for application's folder into tools; with an outcome,
    // each entry takes it.
    void mergeEntries(vantorix::VantorixTools& tools, const vantorix::Application& application,
                      const std::vector<vantorix::Executable>& executables, const vantorix::String* errorText);
    // Records a failed install in tools without touching what an earlier
    // install recorded.
    void recordFailure(vantorix::VantorixTools& tools, const vantorix::String& errorText);

    std::vector<vantorix::String> m_localPaths;
    double m_localVersion = 0.0;
    vantorix::Product m_product;
    vantorix::RegisteredPlatform m_platform;
    std::vector<QPointer<Downloader>> m_downloaders;
    bool m_busy = false;
    bool m_cancelled = false;
    int m_progressValue = 0;
    int m_progressRange = 0;
    bool m_sizeUnknown = false;
    qint64 m_receivedBytes = 0;
    vantorix::String m_lastError;
    Action m_lastAction = Action::none;
    vantorix::Guid m_application;
    vantorix::String m_language;
};

} // namespace installer

#endif
