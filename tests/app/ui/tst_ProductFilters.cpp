// The two filters above the product list: the categories (which are offered
// for the action and target, and what a click does) and the host menu (labels
// that tell equal hosts apart, and adding a host folder with "Find...").

#include "ProductFixture.h"

#include "InstallerManager.h"
#include "ui/ApplicationMenu.h"
#include "ui/StatusFilter.h"

#include "common/FakeHost.h"
#include "common/TestSupport.h"

#include "Environment/Host.h"
#include "Interface/AlertRecorder.h"
#include "Interface/Chooser.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <algorithm>

using namespace vantorix;
using namespace installer;

class tst_ProductFilters : public QObject {
    Q_OBJECT

private slots:
    void init();

    void categories();
    void hostLabels_data();
    void hostLabels();
    void findHost_data();
    void findHost();
};

namespace {

QStringList shownCategories(StatusFilter& filter)
{
    QStringList shown;
    for (const char* name : {"myTools", "updates", "trial", "educational"}) {
        if (!filter.findChild<QWidget*>(QLatin1String(name))->isHidden())
            shown << QLatin1String(name);
    }
    return shown;
}

void click(StatusFilter& filter, const char* label)
{
    QTest::mouseClick(filter.findChild<QLabel*>(QLatin1String(label)), Qt::LeftButton);
}

QStringList menuLabels(ApplicationMenu& menu)
{
    auto* combo = menu.findChild<QComboBox*>(QStringLiteral("menu"));
    QStringList labels;
    for (int i = 0; i < combo->count(); ++i)
        labels << combo->itemText(i);
    return labels;
}

} // namespace

void tst_ProductFilters::init()
{
    manager.setDefault();
}

void tst_ProductFilters::categories()
{
    StatusFilter filter;
    QSignalSpy changes(&filter, &StatusFilter::filterChanged);
    filter.refresh(myTools);
    QCOMPARE(shownCategories(filter), (QStringList{"myTools", "updates", "trial"}));

    click(filter, "trialLabel");
    QCOMPARE(manager.getCurrentStatus(), trial);
    QCOMPARE(manager.savedStatus, trial);
    QCOMPARE(changes.count(), 1);
    QVERIFY(filter.findChild<QLabel*>(QStringLiteral("trialLabel"))->styleSheet().contains("62, 186, 196"));
    QVERIFY(filter.findChild<QLabel*>(QStringLiteral("myToolsLabel"))->styleSheet().contains("134, 137, 139"));
    // The active category again: nothing happens.
    click(filter, "trialImage");
    QCOMPARE(changes.count(), 1);

    // Making an offline file: no updates; asking for them gives My Tools.
    manager.setInstallerAction(InstallerManager::createOfflineFile);
    filter.refresh(updates);
    QCOMPARE(manager.getCurrentStatus(), myTools);
    click(filter, "updatesLabel");
    QCOMPARE(manager.getCurrentStatus(), myTools);
    QCOMPARE(changes.count(), 1);
    // And back once the file is done with.
    manager.setInstallerAction(InstallerManager::installOnline);
    filter.refresh(myTools);
    click(filter, "updatesImage");
    QCOMPARE(manager.getCurrentStatus(), updates);
    QCOMPARE(changes.count(), 2);

    manager.setTarget(1);
    filter.refresh(educational);
    QCOMPARE(shownCategories(filter), QStringList{"educational"});
    QCOMPARE(manager.getCurrentStatus(), educational);
}

void tst_ProductFilters::hostLabels_data()
{
    // Hosts as "version language path [solo]", labels in any order (hosts
    // that sort alike keep the order of their ids).
    QTest::addColumn<QStringList>("hosts");
    QTest::addColumn<QStringList>("labels");
    QTest::newRow("different versions") << QStringList{"19 INT /a", "18 INT /b"} << QStringList{"18", "19"};
    QTest::newRow("same version and language")
        << QStringList{"19 INT /a", "19 INT /b"} << QStringList{"19 (/a)", "19 (/b)"};
    QTest::newRow("same version, other languages")
        << QStringList{"19 INT /a", "19 GER /b"} << QStringList{"19 GER", "19 INT"};
    QTest::newRow("languages, then folders") << QStringList{"19 INT /a", "19 GER /b", "19 GER /c"}
                                             << QStringList{"19 GER (/b)", "19 GER (/c)", "19 INT"};
    QTest::newRow("editions") << QStringList{"19 INT /a solo", "19 INT /b"} << QStringList{"19", "19 Solo"};
}

void tst_ProductFilters::hostLabels()
{
    QFETCH(QStringList, hosts);
    QFETCH(QStringList, labels);
    Guid last;
    QString lastPath;
    for (const QString& facts : hosts) {
        const QStringList parts = facts.split(QLatin1Char(' '));
        lastPath = parts[2];
        if (parts.size() > 3) {
            // The edition is read from the host's folder.
            fakehost::FakeHostOptions options;
            options.folder = testsupport::sandboxDir() + QStringLiteral("/editions") + parts[2];
            options.version = parts[0].toInt();
            options.language = parts[1];
            options.edition = parts[3];
            QVERIFY(fakehost::create(options));
            lastPath = options.folder;
        }
        last = productfixture::makeHost(short(parts[0].toInt()), parts[1], lastPath);
    }
    manager.setActiveApplication(Guid());
    ApplicationMenu menu;
    QSignalSpy changes(&menu, &ApplicationMenu::filterChanged);
    menu.refresh(last);
    QStringList shown = menuLabels(menu);
    std::sort(shown.begin(), shown.end());
    QCOMPARE(shown, labels);
    // The given host is selected and becomes the active one.
    QCOMPARE(manager.getActiveApplication(), last);
    QCOMPARE(manager.applicationPath.qString(), lastPath);
    QCOMPARE(changes.count(), 1);
}

void tst_ProductFilters::findHost_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("errorRow");
    QTest::newRow("not a host folder") << 0 << 2;
    QTest::newRow("unsupported version") << 17 << 3;
    QTest::newRow("supported version") << 19 << 0;
}

void tst_ProductFilters::findHost()
{
    QFETCH(int, version);
    QFETCH(int, errorRow);
    productfixture::makeHost(18, "INT", "/elsewhere");
    const QString folder = testsupport::sandboxDir() + QStringLiteral("/found/%1").arg(QTest::currentDataTag());
    QVERIFY(QDir().mkpath(folder));
    if (version != 0) {
        fakehost::FakeHostOptions options;
        options.folder = folder;
        options.version = version;
        QVERIFY(fakehost::create(options));
    }

    ApplicationMenu menu;
    menu.refresh(Guid());
    QSignalSpy changes(&menu, &ApplicationMenu::filterChanged);
    Chooser::ScopedResponder chooser([&](const Chooser::Request& request) {
        return request.kind == Chooser::openFolder ? String(folder) : String();
    });
    AlertRecorder alerts;
    QTest::mouseClick(menu.findChild<QPushButton*>(QStringLiteral("findButton")), Qt::LeftButton);

    if (errorRow != 0) {
        QCOMPARE(alerts.boxes().size(), std::size_t(1));
        QCOMPARE(alerts.boxes().front().kind, Alert::error);
        QCOMPARE(alerts.boxes().front().text, host.getLocalString(32524, short(errorRow)));
        QCOMPARE(menuLabels(menu), QStringList{"18"});
        QCOMPARE(changes.count(), 0);
    } else {
        QVERIFY(alerts.boxes().empty());
        QCOMPARE(menuLabels(menu), (QStringList{"19", "18"}));
        QCOMPARE(menu.findChild<QComboBox*>(QStringLiteral("menu"))->currentIndex(), 0);
        QCOMPARE(manager.getManualApplications().size(), std::size_t(1));
        QCOMPARE(manager.getActiveApplication(), manager.getManualApplications().front());
        QVERIFY(changes.count() >= 1);
    }
}

QTEST_MAIN(tst_ProductFilters)
#include "tst_ProductFilters.moc"
