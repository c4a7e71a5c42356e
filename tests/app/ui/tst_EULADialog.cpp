// The agreement dialog against the service stand-in: nothing can be accepted
// before the text has arrived, a failed or missing agreement is reported and
// counts as declined, a failed download is tried again, the size remembered.

#include "InstallerManager.h"
#include "ui/EULADialog.h"

#include "common/ServiceProcess.h"

#include "Interface/AlertRecorder.h"

#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

using namespace vantorix;
using namespace installer;
using testsupport::ServiceProcess;

class tst_EULADialog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void agreement_data();
    void agreement();
    void failedDownloadIsTriedAgain();

private:
    QString address(const QString& file) const { return m_service.url() + "/files/agreements/" + file; }
    int requests() { return m_service.stats().value(QStringLiteral("requests")); }

    ServiceProcess m_service;
};

void tst_EULADialog::initTestCase()
{
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
    m_service.exportEnvironment();
    Downloader::setStallTimeout(500);
}

void tst_EULADialog::init()
{
    manager.setDefault();
    manager.eulaSize = DialogSize();
    m_service.control(QStringLiteral("reset=1"));
}

void tst_EULADialog::agreement_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QString>("expected"); // the text shown, or the detail in the failure message
    QTest::addColumn<bool>("accepted");

    QTest::newRow("accepted") << "eula.html" << "" << 0 << true << "Licence agreement" << true;
    QTest::newRow("declined") << "eula.html" << "" << 0 << false << "Licence agreement" << false;
    QTest::newRow("not found") << "none.html" << "" << 0 << true << "404" << false;
    QTest::newRow("stalled") << "eula.html" << "stall-files=0" << 0 << true << "no data arrived" << false;
    // Installing from an offline file, agreements come from the file only.
    QTest::newRow("offline, not in the file") << "eula.html" << "" << 1 << true << "Agreement file couldnnot be found"
                                              << false;
}

void tst_EULADialog::agreement()
{
    QFETCH(QString, file);
    QFETCH(QString, control);
    QFETCH(int, action);
    QFETCH(bool, accept);
    QFETCH(QString, expected);
    QFETCH(bool, accepted);

    if (!control.isEmpty())
        QVERIFY(m_service.control(control));
    manager.setInstallerAction(action);
    AlertRecorder alerts;
    const int before = requests();
    manager.eulaSize = DialogSize(720, 640); // a remembered size at least the designed one is taken
    EULADialog dialog(String(address(file)), nullptr);
    QCOMPARE(dialog.size(), QSize(720, 640));
    QPushButton* ok = dialog.findChild<QPushButton*>("okButton");
    QPushButton* cancel = dialog.findChild<QPushButton*>("cancelButton");
    QVERIFY(!ok->isEnabled() && !cancel->isEnabled());
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();

    if (accept && !accepted) {
        // Meant to accept, yet the agreement never arrived: reported, and declined.
        QVERIFY(finished.wait(5000));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!ok->isEnabled());
        QCOMPARE(alerts.boxes().size(), std::size_t(1));
        const QString text = alerts.boxes()[0].text.qString();
        QVERIFY2(text.startsWith("Failed to load the agreement file [") && text.contains(expected)
                     && text.endsWith("].<br>Please contact Vantorix Support with this error message."),
                 qPrintable(text));
        if (action == 1)
            QCOMPARE(requests() - before, 1); // the count's own request only
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(ok->isEnabled() && cancel->isEnabled(), 5000);
    QVERIFY(dialog.findChild<QTextEdit*>("eulaEdit")->toPlainText().contains(expected));
    dialog.resize(730, 610);
    QTest::mouseClick(accept ? ok : cancel, Qt::LeftButton);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(dialog.result(), int(accepted ? QDialog::Accepted : QDialog::Rejected));
    QVERIFY(alerts.boxes().empty());
    QCOMPARE(QSize(manager.eulaSize.width, manager.eulaSize.height), QSize(730, 610));
}

void tst_EULADialog::failedDownloadIsTriedAgain()
{
    // A cut-off download is not kept: the next dialog fetches the agreement afresh.
    AlertRecorder alerts;
    QVERIFY(m_service.control(QStringLiteral("short-files=1")));
    QCOMPARE(EULADialog(String(address("eula.html")), nullptr).exec(), int(QDialog::Rejected));
    QVERIFY(m_service.control(QStringLiteral("reset=1")));
    EULADialog dialog(String(address("eula.html")), nullptr);
    dialog.show();
    QTRY_VERIFY_WITH_TIMEOUT(dialog.findChild<QPushButton*>("okButton")->isEnabled(), 5000);
    QCOMPARE(alerts.boxes().size(), std::size_t(1));
}

QTEST_MAIN(tst_EULADialog)
#include "tst_EULADialog.moc"
