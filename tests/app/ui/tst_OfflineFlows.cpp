// The window's two offline flows, driven through the options panel against
// the service stand-in: creating a file (choose it, Add All, the quit question
// while unsaved, Save), then, with the stand-in stopped, installing from it
// (choose it, the list of what it holds, an agreement carried in the file,
// install and uninstall).

#include "InstallerClient.h"
#include "InstallerManager.h"
#include "OfflinePackage.h"
#include "products/EULAMap.h"
#include "products/InstallerProduct.h"
#include "ui/InstallerDialog.h"
#include "ui/OptionsWidget.h"
#include "ui/ProductWidget.h"

#include "common/FakeHost.h"
#include "common/FileBytes.h"
#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include "Applications/Application.h"
#include "Catalogue/VantorixTools.h"
#include "Environment/Host.h"
#include "Interface/AlertRecorder.h"
#include "Interface/Chooser.h"
#include "Utility/ZipArchive.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <algorithm>

using namespace vantorix;
using namespace installer;

namespace {

const char* const email = "anna.berg@example.com";
const char* const password = "correct horse";

void invoke(QObject* object, const char* slot)
{
    QVERIFY(QMetaObject::invokeMethod(object, slot));
}

} // namespace

class tst_OfflineFlows : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void createFile();
    void installFromFile();

private:
    QListWidget* list() const { return m_window->findChild<QListWidget*>(QStringLiteral("products")); }
    OptionsWidget* options() const { return m_window->getOptions(); }
    QString connectionText() const
    {
        return m_window->findChild<QPushButton*>(QStringLiteral("connectionButton"))->text();
    }
    bool anyBusy() const;
    // Submits the panel with the file chooser answering path.
    void submit(const QString& path);

    testsupport::ServiceProcess m_service;
    std::unique_ptr<InstallerDialog> m_window;
    QString m_host;
    QString m_file;
    QStringList m_asked;
};

void tst_OfflineFlows::initTestCase()
{
    // The sample data without a newer installer on offer, so the window goes
    // straight to the options panel.
    const QString data = testsupport::sandboxDir() + "/service-data";
    QDir(data).removeRecursively();
    QVERIFY(testsupport::ServiceProcess::copyFolder(testsupport::dataDir() + "/Web/service", data));
    QByteArray offer = readFile(data + "/installer.json");
    QVERIFY(offer.contains("\"2.06\""));
    writeFile(data + "/installer.json", offer.replace("\"2.06\"", "\"1.00\""));
    QVERIFY2(m_service.start({}, data), qPrintable(m_service.errorString()));
    m_service.exportEnvironment();
    m_host = testsupport::sandboxDir() + "/hosts/ArchiCAD 19";
    QDir(testsupport::sandboxDir() + "/hosts").removeRecursively();
    QDir(testsupport::sandboxDir() + "/shared").removeRecursively();
    fakehost::FakeHostOptions hostOptions;
    hostOptions.folder = m_host;
    QVERIFY(fakehost::create(hostOptions));
    host.initialise();
    m_file = testsupport::sandboxDir() + "/carried.zfinstall";
    QFile::remove(m_file);
    ProductWidget::setAgreementQuestion([this](const String& address, QWidget*) {
        m_asked << address.qString();
        return true;
    });

    AlertRecorder alerts(true);
    m_window = std::make_unique<InstallerDialog>();
    m_window->show();
    QTRY_VERIFY_WITH_TIMEOUT(options()->isVisible(), 20000);
    QVERIFY(client.verifyDetails(String(email), String(password), nullptr));
}

void tst_OfflineFlows::cleanupTestCase()
{
    ProductWidget::setAgreementQuestion({});
    m_window.reset();
}

bool tst_OfflineFlows::anyBusy() const
{
    for (int row = 0; row < list()->count(); ++row) {
        if (m_window->productAt(row) != nullptr && m_window->productAt(row)->isBusy())
            return true;
    }
    return false;
}

void tst_OfflineFlows::submit(const QString& path)
{
    Chooser::ScopedResponder chooser([path](const Chooser::Request& request) {
        return request.extension == String("zfinstall") ? String(path) : String();
    });
    options()->findChild<QPushButton*>(QStringLiteral("submitButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(!options()->isVisible(), 10000);
}

void tst_OfflineFlows::createFile()
{
    options()->findChild<QRadioButton*>(QStringLiteral("createOfflineRadio"))->click();
    submit(m_file);
    QCOMPARE(manager.getInstallerAction(), int(InstallerManager::createOfflineFile));
    QCOMPARE(m_window->windowTitle(), host.getLocalString(32520, 4).qString());
    QCOMPARE(connectionText(), host.getLocalString(32521, 27).qString());
    QTRY_VERIFY_WITH_TIMEOUT(list()->count() > 0, 10000);
    // The panel made the file empty when it was chosen.
    QVERIFY(QFileInfo(m_file).isFile());

    // Nothing saved yet: leaving asks, and Cancel keeps the file and the list.
    {
        AlertRecorder alerts(false);
        QVERIFY(!manager.canFinishAction());
        QCOMPARE(alerts.boxes().size(), std::size_t(1));
        QCOMPARE(alerts.boxes().front().text, host.getLocalString(32522, 6));
        QVERIFY(QFileInfo(m_file).isFile());
    }

    // The newest version comes first, whichever placeholder was made first.
    QCOMPARE(manager.getApplication(manager.getActiveApplication())->getSignature().getVersion(), short(19));
    // Add All: every language and version of the listed products, their
    // agreements carried without asking.
    const int listed = list()->count();
    invoke(m_window.get(), "installAll");
    QTRY_VERIFY_WITH_TIMEOUT(!anyBusy(), 30000);
    // Each product added: its archives for every language downloaded.
    for (int row = 0; row < list()->count(); ++row)
        QVERIFY2(m_window->productAt(row)->isInstalled(), qPrintable(m_window->productAt(row)->getLastError().qString()));
    QVERIFY(m_asked.isEmpty());
    QVERIFY(!manager.getEULAs().empty());

    // The agreements are fetched as they are added; Save waits for them.
    QTRY_VERIFY_WITH_TIMEOUT(std::all_of(manager.getEULAs().begin(), manager.getEULAs().end(),
                                         [](const auto& entry) { return entry.second->isReady(); }),
                             20000);
    // Save writes the file and goes back to the panel.
    AlertRecorder alerts;
    m_window->findChild<QPushButton*>(QStringLiteral("connectionButton"))->click();
    QVERIFY2(alerts.boxes().empty(), alerts.boxes().empty() ? "" : qPrintable(alerts.boxes().front().text.qString()));
    QTRY_VERIFY(options()->isVisible());
    ZipArchive zip{String(m_file)};
    QVERIFY(zip.getEntryCount() > 4u);
    QCOMPARE(zip.getEntryPath(0).qString(), QStringLiteral("ProductListing.xml"));
    QVERIFY(listed > 0);
}

void tst_OfflineFlows::installFromFile()
{
    QVERIFY(QFileInfo(m_file).size() > 0);
    m_service.stop();
    qputenv("VANTORIX_SERVICE_URL", "http://127.0.0.1:9");
    // The stand-in's address still resolves, so the panel offers both ways:
    // the user ticks "Offline".
    options()->findChild<QRadioButton*>(QStringLiteral("installRadio"))->click();
    auto* offline = options()->findChild<QCheckBox*>(QStringLiteral("offlineCheck"));
    if (!offline->isChecked())
        offline->click();
    AlertRecorder alerts(true);
    submit(m_file);
    for (const Alert::Request& box : alerts.boxes())
        qWarning("%s %s", qPrintable(box.text.qString()), qPrintable(box.informativeText.qString()));
    QVERIFY(alerts.boxes().empty());
    QCOMPARE(manager.getInstallerAction(), int(InstallerManager::installFromOfflineFile));
    QCOMPARE(m_window->windowTitle(), host.getLocalString(32520, 5).qString());
    QCOMPARE(connectionText(), host.getLocalString(32521, 28).qString());
    QTRY_VERIFY_WITH_TIMEOUT(list()->count() > 0 || manager.getArchives().empty(), 10000);
    QVERIFY2(list()->count() > 0, qPrintable(QStringLiteral("%1 archives read, status %2")
                                                 .arg(manager.getArchives().size())
                                                 .arg(int(manager.getCurrentStatus()))));

    // Every product listed has its archives in the file, and its agreement
    // comes from there.
    for (int row = 0; row < list()->count(); ++row) {
        const InstallerProduct* product = m_window->productAt(row);
        QVERIFY(OfflinePackage::holdsArchives(*product, manager.getArchives()));
        const String agreement = product->getPlatform().getAgreementUrl();
        if (!agreement.empty()) {
            EULA* eula = manager.getEULAs().getEULA(agreement);
            QVERIFY(eula != nullptr && !eula->getText().empty());
        }
    }

    const int rows = list()->count();
    invoke(m_window.get(), "installAll");
    QTRY_VERIFY_WITH_TIMEOUT(!anyBusy(), 30000);
    QVERIFY(!m_asked.isEmpty());
    QCOMPARE(list()->count(), rows);
    for (int row = 0; row < rows; ++row)
        QVERIFY2(m_window->productAt(row)->isInstalled(), qPrintable(m_window->productAt(row)->getLastError().qString()));
    QVERIFY(QDir(m_host + "/Add-Ons/VantorixTools").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size() > 0);

    // And out again, from the file's list.
    invoke(m_window.get(), "uninstallAll");
    QTRY_VERIFY_WITH_TIMEOUT(!anyBusy(), 30000);
    for (int row = 0; row < list()->count(); ++row)
        QVERIFY(!m_window->productAt(row)->isInstalled());
    QCOMPARE(QDir(testsupport::sandboxDir() + "/shared/Vantorix Tools/Installation").entryList(QDir::Files).size(), 0);
}

QTEST_MAIN(tst_OfflineFlows)
#include "tst_OfflineFlows.moc"
