// One row of the product list: its texts by category, installed state and
// action; starting and cancelling an install; the agreement question; the
// picture and its stand-ins; and what the information link shows.

#include "ProductFixture.h"

#include "InstallerManager.h"
#include "ui/ProductWidget.h"

#include "Environment/Host.h"
#include "Interface/AlertRecorder.h"

#include <QDesktopServices>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

using namespace vantorix;
using namespace installer;
using productfixture::ProductFacts;

class tst_ProductWidget : public QObject {
    Q_OBJECT

public slots:
    void openUrl(const QUrl& url) { m_opened << url.toString(); }

private slots:
    void init();
    void cleanupTestCase();

    void texts_data();
    void texts();
    void installAndCancel();
    void unknownSize();
    void agreementQuestion();
    void pictures_data();
    void pictures();
    void informationLink_data();
    void informationLink();

private:
    InstallerProduct* product(const ProductFacts& facts) { return productfixture::addProduct(m_host, facts); }
    static QPushButton* button(QWidget& row) { return row.findChild<QPushButton*>(QStringLiteral("button")); }
    static QProgressBar* progress(QWidget& row) { return row.findChild<QProgressBar*>(QStringLiteral("progressBar")); }

    Guid m_host;
    QStringList m_opened;
};

void tst_ProductWidget::init()
{
    manager.setDefault();
    m_host = productfixture::makeHost();
    m_opened.clear();
}

void tst_ProductWidget::cleanupTestCase()
{
    ProductWidget::setAgreementQuestion({});
    ProductWidget::setNotesViewer({});
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
}

void tst_ProductWidget::texts_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("buttonText");
    // The version (installed in My Tools, else the catalogue's) and link.
    QTest::addColumn<QString>("labelPart");
    QTest::newRow("my tools, not installed") << int(myTools) << false << 0 << "Install" << "Tool 2.5 ";
    QTest::newRow("my tools, installed") << int(myTools) << true << 0 << "Uninstall" << "Tool 1.50 ";
    QTest::newRow("my tools, making a file") << int(myTools) << false << 2 << "Add" << "info...";
    QTest::newRow("educational, installed, making a file") << int(educational) << true << 2 << "Remove"
                                                           << "Tool 2.5 ";
    QTest::newRow("updates") << int(updates) << true << 2 << "Update" << "Notes...";
    QTest::newRow("trial") << int(trial) << false << 0 << "Install" << "info...";
    QTest::newRow("unknown status") << 6 << false << 0 << "" << "info...";
}

void tst_ProductWidget::texts()
{
    QFETCH(int, status);
    QFETCH(bool, installed);
    QFETCH(int, action);
    QFETCH(QString, buttonText);
    QFETCH(QString, labelPart);
    const ProductFacts facts("Tool", true, false, installed ? 1.5 : 0.0, "2.5");
    manager.setInstallerAction(action);
    manager.setStatus(Status(status));
    ProductWidget row(*product(facts), nullptr);
    QCOMPARE(button(row)->text(), buttonText);
    QVERIFY(progress(row)->isHidden());
    const QString label = row.findChild<QLabel*>(QStringLiteral("label"))->text();
    QVERIFY2(label.contains(labelPart), qPrintable(label));
}

void tst_ProductWidget::installAndCancel()
{
    InstallerProduct* tool = product(ProductFacts("Tool", true));
    manager.setStatus(myTools);
    ProductWidget row(*tool, nullptr);

    QTest::mouseClick(button(row), Qt::LeftButton);
    QVERIFY(tool->isBusy());
    QCOMPARE(button(row)->text(), QStringLiteral("Cancel"));
    QVERIFY(!progress(row)->isHidden());

    // A row made while the install runs shows it too.
    ProductWidget second(*tool, nullptr);
    QCOMPARE(button(second)->text(), QStringLiteral("Cancel"));
    QVERIFY(!progress(second)->isHidden());

    // Cancelled, the product is idle at once: its download has ended.
    QTest::mouseClick(button(row), Qt::LeftButton);
    QVERIFY(!tool->isBusy());
    QVERIFY(tool->getDownloaders().empty() || tool->getDownloaders().front()->isCancelled());
    QVERIFY(progress(row)->isHidden());
    QCOMPARE(button(row)->text(), QStringLiteral("Install"));

    // A failure greys the button out for good.
    emit tool->productActionFailure();
    QVERIFY(!button(row)->isEnabled());
    QVERIFY(progress(row)->isHidden());
}

void tst_ProductWidget::unknownSize()
{
    // Without a Content-Length the network layer reports the total as -1:
    // 30 MB received must give no negative step (nor an overflow), and the
    // row a busy bar.
    InstallerProduct* tool = product(ProductFacts("Tool", true));
    manager.setStatus(myTools);
    ProductWidget row(*tool, nullptr);
    QTest::mouseClick(button(row), Qt::LeftButton);
    QVERIFY(tool->isBusy());
    for (const qint64 received : {qint64(1000), qint64(30) * 1000 * 1000})
        tool->downloadProgress(received, -1, 0, 0);
    QCOMPARE(tool->getProgressRange(), 0);
    QVERIFY(tool->getProgressValue() >= 0);
    QCOMPARE(tool->getReceivedBytes(), qint64(30) * 1000 * 1000);
    QCOMPARE(progress(row)->maximum(), 0);
    tool->cancel();
}

void tst_ProductWidget::agreementQuestion()
{
    bool answer = false;
    QStringList asked;
    ProductWidget::setAgreementQuestion([&](const String& address, QWidget*) {
        asked << address.qString();
        return answer;
    });
    ProductFacts facts("Tool", false, true);
    facts.agreement = "https://agreements.example/tool";
    InstallerProduct* tool = product(facts);
    manager.setStatus(trial);
    ProductWidget row(*tool, nullptr);
    QSignalSpy stops(&row, &ProductWidget::stopRefresh);
    QSignalSpy resumes(&row, &ProductWidget::resumeRefresh);

    QTest::mouseClick(button(row), Qt::LeftButton);
    QCOMPARE(asked, QStringList{facts.agreement});
    QVERIFY(!tool->isBusy());
    QCOMPARE(stops.count(), 1);
    QCOMPARE(resumes.count(), 1);

    answer = true;
    QTest::mouseClick(button(row), Qt::LeftButton);
    QCOMPARE(asked.size(), 2);
    QVERIFY(tool->isBusy());
    QCOMPARE(resumes.count(), 2);
}

void tst_ProductWidget::pictures_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("image");
    // The filler shown (without an address), or the address asked for.
    QTest::addColumn<QString>("shown");
    QTest::newRow("no picture, my tools") << int(myTools) << false << "" << ":/images/Images/Filler_inactive.png";
    QTest::newRow("no picture, installed") << int(myTools) << true << "" << ":/images/Images/Filler_active.png";
    // The grey filler is for My Tools only; the grey picture also for Educational.
    QTest::newRow("no picture, educational") << int(educational) << false << ""
                                             << ":/images/Images/Filler_active.png";
    QTest::newRow("grey picture") << int(educational) << false << "http://127.0.0.1:9/tool_active.png"
                                  << "http://127.0.0.1:9/tool_inactive.png";
}

void tst_ProductWidget::pictures()
{
    QFETCH(int, status);
    QFETCH(bool, installed);
    QFETCH(QString, image);
    QFETCH(QString, shown);
    ProductFacts facts("Tool", true, false, installed ? 1.0 : 0.0);
    facts.image = image;
    manager.setStatus(Status(status));
    ProductWidget row(*product(facts), nullptr);
    QCOMPARE(row.getImageUrl().qString(), shown.startsWith(QLatin1Char(':')) ? QString() : shown);
    if (image.isEmpty()) {
        const QPixmap icon = row.findChild<QLabel*>(QStringLiteral("icon"))->pixmap(Qt::ReturnByValue);
        QCOMPARE(icon.toImage(), QPixmap(shown).toImage());
        QCOMPARE(int(manager.getImages().size()), 0);
    } else {
        // Both variants are fetched once, for whichever the list shows next.
        QVERIFY(manager.getImages().getImage(String(image.replace("_inactive", "_active"))) != nullptr);
        QVERIFY(manager.getImages().getImage(String(image.replace("_active", "_inactive"))) != nullptr);
        QCOMPARE(int(manager.getImages().size()), 2);
    }
}

void tst_ProductWidget::informationLink_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<double>("installed");
    // The notes shown, or "page" for the product page, "alert" for none.
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("page");  // the product's page; null: the fixture's
    QTest::newRow("my tools") << int(myTools) << 1.2 << QStringList{"first", "newer", "any host"} << QString();
    QTest::newRow("updates: newer only") << int(updates) << 1.2 << QStringList{"newer", "any host"} << QString();
    QTest::newRow("updates: none newer") << int(updates) << 3.0 << QStringList{"alert"} << QString();
    QTest::newRow("trial") << int(trial) << 0.0 << QStringList{"page"} << QString();
    // A link to nowhere is not shown at all.
    QTest::newRow("trial without a page") << int(trial) << 0.0 << QStringList() << QStringLiteral("");
}

void tst_ProductWidget::informationLink()
{
    QFETCH(int, status);
    QFETCH(double, installed);
    QFETCH(QStringList, shown);
    QFETCH(QString, page);

    ProductFacts facts("Tool", true, true, installed);
    facts.page = page;
    PlatformHistory same(PlatformSignature(HostType::archiCAD, 19));
    same.getNotes() = {ReleaseNote(1.0, String("first")), ReleaseNote(1.2, String(" \r\n\t ")),
                       ReleaseNote(1.5, String("newer"))};
    PlatformHistory otherVersion(PlatformSignature(HostType::archiCAD, 18));
    otherVersion.getNotes() = {ReleaseNote(2.0, String("for 18"))};
    PlatformHistory everyHost{PlatformSignature()};
    everyHost.getNotes() = {ReleaseNote(2.0, String("any host"))};
    facts.history.elements() = {same, otherVersion, everyHost};
    manager.setStatus(Status(status));
    ProductWidget row(*product(facts), nullptr);

    QStringList notes;
    ProductWidget::setNotesViewer([&](InstallerProduct&, std::vector<ReleaseNote>& list, QWidget*) {
        for (const ReleaseNote& note : list)
            notes << note.getNote().qString();
    });
    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
    AlertRecorder alerts;
    QSignalSpy resumes(&row, &ProductWidget::resumeRefresh);
    auto* label = row.findChild<QLabel*>(QStringLiteral("label"));
    QCOMPARE(label->text().contains(QStringLiteral("#ReleaseNotes")), !shown.isEmpty());
    if (shown.isEmpty())
        return;
    emit label->linkActivated(QStringLiteral("#ReleaseNotes"));

    if (shown == QStringList{"page"}) {
        QCOMPARE(m_opened, QStringList{"https://tools.vantorix.example/Tool"});
        QVERIFY(notes.isEmpty());
    } else if (shown == QStringList{"alert"}) {
        QCOMPARE(alerts.boxes().size(), std::size_t(1));
        QCOMPARE(alerts.boxes().front().text.qString(), QStringLiteral("No release notes found for Tool"));
        QCOMPARE(resumes.count(), 1);
    } else {
        QCOMPARE(notes, shown);
        QCOMPARE(resumes.count(), 1);
        QVERIFY(m_opened.isEmpty());
    }
}

QTEST_MAIN(tst_ProductWidget)
#include "tst_ProductWidget.moc"
