// The main window: its size at start, which products each category lists
// (and the bulk buttons), rebuilds held back while a row shows a dialog, the
// agreement questions of Install All, closing, and one run against the
// service stand-in from the version question to the list and back.

#include "ProductFixture.h"

#include "InstallerClient.h"
#include "InstallerManager.h"
#include "ui/InstallerDialog.h"
#include "update/UpdateWidget.h"
#include "ui/OptionsWidget.h"
#include "ui/ProductWidget.h"

#include "common/FakeHost.h"
#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include "Environment/Host.h"
#include "Interface/AlertRecorder.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using namespace vantorix;
using namespace installer;
using productfixture::ProductFacts;

namespace {

void invoke(QObject* object, const char* slot)
{
    QVERIFY(QMetaObject::invokeMethod(object, slot));
}

} // namespace

class tst_InstallerDialog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void initialResize_data();
    void initialResize();
    void categories_data();
    void categories();
    void suspendedRefresh();
    void longList();
    void rowKeptWhileInDialog();
    void emptyCategory_data();
    void emptyCategory();
    void agreements_data();
    void agreements();
    void closeAsksOnce();
    void startsWithoutBeingShown();
    void againstTheService();

private:
    QListWidget* list() const { return m_window->findChild<QListWidget*>(QStringLiteral("products")); }
    QStringList listed() const;
    // A window past its start: the version check has failed (nothing answers)
    // and the options panel is up.
    static std::unique_ptr<InstallerDialog> startedWindow();

    std::unique_ptr<InstallerDialog> m_window;
    Guid m_host;
    QStringList m_asked;
    QMap<QString, bool> m_answers;
};

std::unique_ptr<InstallerDialog> tst_InstallerDialog::startedWindow()
{
    auto window = std::make_unique<InstallerDialog>();
    window->show();
    if (!QTest::qWaitFor([&]() { return window->getOptions()->isVisible(); }, 10000))
        return nullptr;
    window->getOptions()->hide();
    return window;
}

QStringList tst_InstallerDialog::listed() const
{
    QStringList names;
    for (int row = 0; row < list()->count(); ++row)
        names << m_window->productAt(row)->getProduct().getName().qString();
    return names;
}

void tst_InstallerDialog::initTestCase()
{
    m_window = startedWindow();
    QVERIFY(m_window);
    ProductWidget::setAgreementQuestion([this](const String& address, QWidget*) {
        m_asked << address.qString();
        return m_answers.value(address.qString());
    });
}

void tst_InstallerDialog::cleanupTestCase()
{
    ProductWidget::setAgreementQuestion({});
    m_window.reset();
}

void tst_InstallerDialog::init()
{
    // The rows go before the products they show.
    m_window->setControlsVisible(false);
    manager.setDefault();
    m_host = productfixture::makeHost();
    m_asked.clear();
    m_answers.clear();
}

void tst_InstallerDialog::initialResize_data()
{
    QTest::addColumn<int>("savedWidth");
    QTest::addColumn<int>("savedHeight");
    QTest::addColumn<QSize>("size");
    QTest::newRow("saved size") << 700 << 650 << QSize(700, 650);
    QTest::newRow("too narrow") << 599 << 800 << QSize(600, 600);
    // Nothing saved, on a screen (800 x 600 here) without room for 900 x 900.
    QTest::newRow("nothing saved") << 0 << 0 << QSize(600, 600);
}

void tst_InstallerDialog::initialResize()
{
    QFETCH(int, savedWidth);
    QFETCH(int, savedHeight);
    QFETCH(QSize, size);
    InstallerDialog window;
    QCOMPARE(window.size(), QSize(600, 600));
    window.initialResize(short(savedWidth), short(savedHeight));
    QCOMPARE(window.size(), size);
}

void tst_InstallerDialog::categories_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("action");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("removeText");
    QTest::addColumn<QString>("installText");
    const QStringList mine{"Installed", "Updatable", "Close", "Owned"};
    QTest::newRow("my tools") << int(myTools) << 0 << mine << "Uninstall All" << "Install All";
    QTest::newRow("my tools, making a file") << int(myTools) << 2 << mine << "Remove All" << "Add All";
    // 1.5005 over 1.5 is not an update: the difference must exceed 0.001.
    QTest::newRow("updates") << int(updates) << 0 << QStringList{"Updatable"} << QString() << "Update All";
    QTest::newRow("trial") << int(trial) << 0 << QStringList{"Trial"} << QString() << "Install All";
    QTest::newRow("educational") << int(educational) << 0 << (mine + QStringList{"Trial"}) << "Uninstall All"
                                 << "Install All";
    // Installing from an offline file lists what the file holds archives for.
    QTest::newRow("offline file") << int(myTools) << 1 << QStringList{"Installed", "Owned"} << "Uninstall All"
                                  << "Install All";
}

void tst_InstallerDialog::categories()
{
    QFETCH(int, status);
    QFETCH(int, action);
    QFETCH(QStringList, names);
    QFETCH(QString, removeText);
    QFETCH(QString, installText);

    for (const ProductFacts& facts : {ProductFacts("Installed", false, false, 1.0), ProductFacts("Updatable", false, false, 1.0, "1.01"),
                                    ProductFacts("Close", false, false, 1.5, "1.5005"), ProductFacts("Owned", true),
                                    ProductFacts("Trial", false, true), ProductFacts("Hidden")})
        productfixture::addProduct(m_host, facts);
    for (const char* packed : {"Installed", "Owned"})
        manager.getArchives().fetch(String(QStringLiteral("http://127.0.0.1:9/archives/%1.zip").arg(packed)));
    manager.setInstallerAction(action);
    manager.setStatus(Status(status));
    invoke(m_window.get(), "refreshProducts");

    QCOMPARE(listed(), names);
    auto* remove = m_window->findChild<QPushButton*>(QStringLiteral("removeAll"));
    auto* install = m_window->findChild<QPushButton*>(QStringLiteral("installAll"));
    QCOMPARE(!remove->isHidden(), !removeText.isEmpty());
    if (!removeText.isEmpty())
        QCOMPARE(remove->text(), removeText);
    QCOMPARE(install->text(), installText);
}

void tst_InstallerDialog::suspendedRefresh()
{
    for (const char* name : {"One", "Two"})
        productfixture::addProduct(m_host, ProductFacts(name, true));
    manager.setStatus(myTools);
    invoke(m_window.get(), "refreshProducts");
    QCOMPARE(list()->count(), 2);

    QSignalSpy rebuilds(list()->model(), &QAbstractItemModel::modelReset);
    invoke(m_window.get(), "stopRefresh");
    productfixture::addProduct(m_host, ProductFacts("Three", true));
    invoke(m_window.get(), "refreshProducts");
    invoke(m_window.get(), "refreshProducts");
    QCOMPARE(rebuilds.count(), 0);
    QCOMPARE(list()->count(), 2);

    // Once, and after the resuming row's own slot has returned.
    invoke(m_window.get(), "resumeRefresh");
    QCOMPARE(rebuilds.count(), 0);
    QTRY_COMPARE(rebuilds.count(), 1);
    QCOMPARE(list()->count(), 3);
    invoke(m_window.get(), "resumeRefresh");
    QTest::qWait(50);
    QCOMPARE(rebuilds.count(), 1);
}

void tst_InstallerDialog::longList()
{
    for (int i = 0; i < 60; ++i)
        productfixture::addProduct(m_host, ProductFacts(QStringLiteral("Tool %1").arg(i), true));
    manager.setStatus(myTools);
    m_window->setControlsVisible(true);
    invoke(m_window.get(), "refreshProducts");
    auto widgets = [this]() { return list()->findChildren<ProductWidget*>().size(); };
    QTRY_VERIFY(m_window->shownWidgetAt(0) != nullptr);
    const int inView = widgets();
    QVERIFY(inView > 0 && inView < 30);

    // A failed row shows its failure after it was scrolled away and back,
    // and the window says why in an alert.
    AlertRecorder alerts;
    emit m_window->productAt(0)->productActionFailure();
    QTRY_COMPARE(alerts.boxes().size(), std::size_t(1));
    QCOMPARE(alerts.boxes().front().text.qString(), QStringLiteral("Installing Tool 0 failed: no reason was recorded"));
    list()->scrollToBottom();
    QTRY_VERIFY(m_window->shownWidgetAt(59) != nullptr);
    QVERIFY(m_window->shownWidgetAt(0) == nullptr);
    QVERIFY(widgets() < 30);
    list()->scrollToTop();
    QTRY_VERIFY(m_window->shownWidgetAt(0) != nullptr);
    QVERIFY(!m_window->shownWidgetAt(0)->findChild<QPushButton*>(QStringLiteral("button"))->isEnabled());
    QVERIFY(m_window->shownWidgetAt(1)->findChild<QPushButton*>(QStringLiteral("button"))->isEnabled());

    // Install All starts the rows that have no widget as well.
    invoke(m_window.get(), "installAll");
    QVERIFY(m_window->productAt(59)->isBusy());
    // Cancelled, so that no download of theirs is still on its way later.
    for (int row = 0; row < 60; ++row)
        m_window->productAt(row)->cancel();
    QVERIFY(!m_window->productAt(59)->isBusy());
    m_window->setControlsVisible(false);
}

void tst_InstallerDialog::rowKeptWhileInDialog()
{
    // A row's dialog runs its own event loop: a scroll (or a resize) there
    // must not destroy the row, whose slot is still running under it.
    for (int i = 0; i < 60; ++i)
        productfixture::addProduct(m_host, ProductFacts(QStringLiteral("Tool %1").arg(i), true));
    manager.setStatus(myTools);
    m_window->setControlsVisible(true);
    invoke(m_window.get(), "refreshProducts");
    QTRY_VERIFY(m_window->shownWidgetAt(0) != nullptr);
    QPointer<ProductWidget> asking = m_window->shownWidgetAt(0);

    bool scrolled = false;
    bool keptInDialog = false;
    Alert::ScopedResponder responder([&](const Alert::Request&) {
        list()->scrollToBottom();
        scrolled = QTest::qWaitFor([&]() { return m_window->shownWidgetAt(59) != nullptr; }, 5000);
        QTest::qWait(20);
        keptInDialog = !asking.isNull();
        return true;
    });
    // No release notes: "info..." tells so in a box.
    asking->openLink();
    QVERIFY(scrolled);
    QVERIFY(keptInDialog);
    // Once the dialog is closed, the row goes as any row out of view does.
    QTRY_VERIFY(asking.isNull());
    QVERIFY(m_window->shownWidgetAt(0) == nullptr);
    m_window->setControlsVisible(false);
}

void tst_InstallerDialog::emptyCategory_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("line");  // empty: products are listed
    QTest::newRow("my tools") << int(myTools) << QString();
    QTest::newRow("updates") << int(updates) << "No updates for ArchiCAD 19 INT";
    QTest::newRow("trial") << int(trial) << "No trial tools for ArchiCAD 19 INT";
}

void tst_InstallerDialog::emptyCategory()
{
    QFETCH(int, status);
    QFETCH(QString, line);
    productfixture::addProduct(m_host, ProductFacts("Owned", true));
    manager.setStatus(Status(status));
    m_window->setControlsVisible(true);
    invoke(m_window.get(), "refreshProducts");

    auto* label = m_window->findChild<QLabel*>(QStringLiteral("emptyLabel"));
    QVERIFY(label != nullptr);
    QCOMPARE(label->isVisible(), !line.isEmpty());
    QCOMPARE(list()->isVisible(), line.isEmpty());
    if (!line.isEmpty())
        QCOMPARE(label->text(), line);
    // Nothing for the bulk buttons to act on.
    QCOMPARE(m_window->findChild<QPushButton*>(QStringLiteral("installAll"))->isEnabled(), line.isEmpty());
    QCOMPARE(m_window->findChild<QPushButton*>(QStringLiteral("removeAll"))->isEnabled(), line.isEmpty());
    m_window->setControlsVisible(false);
}

void tst_InstallerDialog::agreements_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("action");
    QTest::addColumn<QStringList>("accepted");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<QStringList>("started");
    QTest::newRow("one question per address, declined skips both")
        << int(myTools) << 0 << QStringList{"https://a.example/y"} << QStringList{"https://a.example/x", "https://a.example/y"}
        << QStringList{"Third", "Free"};
    QTest::newRow("updates ask nothing") << int(updates) << 0 << QStringList() << QStringList()
                                         << QStringList{"First", "Second", "Third", "Free"};
    QTest::newRow("making a file asks nothing") << int(myTools) << 2 << QStringList() << QStringList()
                                                << QStringList{"First", "Second", "Third", "Free"};
}

void tst_InstallerDialog::agreements()
{
    QFETCH(int, status);
    QFETCH(int, action);
    QFETCH(QStringList, accepted);
    QFETCH(QStringList, asked);
    QFETCH(QStringList, started);

    const QString agreements[][2] = {{"First", "https://a.example/x"},
                                     {"Second", "https://a.example/x"},
                                     {"Third", "https://a.example/y"},
                                     {"Free", ""}};
    for (const auto& entry : agreements) {
        // Installed and older, so that they are listed as updates too.
        ProductFacts facts(entry[0], true, false, status == updates ? 1.0 : 0.0, "2.00");
        facts.agreement = entry[1];
        productfixture::addProduct(m_host, facts);
    }
    for (const QString& address : accepted)
        m_answers[address] = true;
    manager.setInstallerAction(action);
    manager.setStatus(Status(status));
    invoke(m_window.get(), "refreshProducts");
    QCOMPARE(list()->count(), 4);

    invoke(m_window.get(), "installAll");
    QCOMPARE(m_asked, asked);
    QStringList busy;
    for (int row = 0; row < list()->count(); ++row) {
        if (m_window->productAt(row)->isBusy())
            busy << m_window->productAt(row)->getProduct().getName().qString();
    }
    QCOMPARE(busy, started);
    if (action == InstallerManager::createOfflineFile) {
        // The agreements go into the offline file.
        QVERIFY(manager.getEULAs().getEULA(String("https://a.example/x")) != nullptr);
        QVERIFY(manager.getEULAs().getEULA(String("https://a.example/y")) != nullptr);
    }
}

void tst_InstallerDialog::closeAsksOnce()
{
    std::unique_ptr<InstallerDialog> window = startedWindow();
    QVERIFY(window);
    // An offline file that has not been saved makes leaving a question.
    manager.setInstallerAction(InstallerManager::createOfflineFile);
    AlertRecorder alerts;
    alerts.queue(false);
    QVERIFY(!window->close());
    QVERIFY(window->isVisible());
    QCOMPARE(alerts.boxes().size(), std::size_t(1));
    QCOMPARE(alerts.boxes().back().text, host.getLocalString(32522, 6));

    // Cancel keeps the window and the next close asks again.
    alerts.queue(true);
    QVERIFY(window->close());
    QCOMPARE(alerts.boxes().size(), std::size_t(2));
    QVERIFY(window->close());
    QCOMPARE(alerts.boxes().size(), std::size_t(2));
}

void tst_InstallerDialog::startsWithoutBeingShown()
{
    // The start-up questions wait for the window's first paint; a window
    // that is never shown must still get past them to the options panel
    // (no service listens here, so no update is offered).
    InstallerDialog hidden;
    QTRY_VERIFY(!hidden.getOptions()->isHidden());
    QVERIFY(!hidden.isVisible());
}

void tst_InstallerDialog::againstTheService()
{
    testsupport::ServiceProcess service;
    QVERIFY2(service.start(), qPrintable(service.errorString()));
    service.exportEnvironment();
    fakehost::FakeHostOptions options;
    options.folder = testsupport::sandboxDir() + "/hosts/ArchiCAD 19";
    QVERIFY(fakehost::create(options));
    host.initialise();

    // The stand-in offers 2.06; accepting starts the update on its sheet.
    // This data's archive has no signature beside it, so nothing is changed:
    // row 14 and the reason (the program would quit); the panel is then
    // opened by hand.
    AlertRecorder alerts(true);
    InstallerDialog window;
    window.show();
    QTRY_VERIFY_WITH_TIMEOUT(alerts.boxes().size() == 2, 20000);
    QCOMPARE(alerts.boxes()[0].kind, Alert::confirm);
    QCOMPARE(alerts.boxes()[0].text, host.getLocalString(32522, 2));
    QVERIFY(window.findChild<UpdateWidget*>() != nullptr);
    QCOMPARE(alerts.boxes()[1].kind, Alert::error);
    QCOMPARE(alerts.boxes()[1].text.qString(),
             host.getLocalString(32524, 14).qString() + "<br>" + host.getLocalString(32524, 85).qString());
    QVERIFY(!window.getOptions()->isVisible());
    // The sheet quit the application: without a running loop that only
    // stops the next loops, until exec() has run once.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    window.showOptions();

    QVERIFY(client.verifyDetails(String("anna.berg@example.com"), String("correct horse"), nullptr));
    window.getOptions()->hide();
    manager.savedStatus = myTools;
    invoke(&window, "startInstall");
    auto* products = window.findChild<QListWidget*>(QStringLiteral("products"));
    QVERIFY(products->isVisibleTo(&window));
    QVERIFY(products->count() > 0);
    QVERIFY(window.findChild<QLabel*>(QStringLiteral("welcomeLabel"))->text().contains(QStringLiteral("Anna Berg")));
    QCOMPARE(window.windowTitle(), host.getLocalString(32520, 3).qString());

    // Logging out forgets the password and goes back to the panel.
    invoke(&window, "logout");
    QVERIFY(client.getPassword().empty());
    QVERIFY(window.getOptions()->isVisible());
    QVERIFY(!products->isVisibleTo(&window));
    QCOMPARE(products->count(), 0);
}

QTEST_MAIN(tst_InstallerDialog)
#include "tst_InstallerDialog.moc"
