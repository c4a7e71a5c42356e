// The support report dialog against the service stand-in: Submit or Export
// by the installer's action, the report id shown, a failure that keeps the
// dialog and what was typed, a slow answer that leaves the window painting
// but busy, and the export in offline-install mode that sends nothing.
#include "DirectoryHandler.h"
#include "InstallerClient.h"
#include "InstallerManager.h"
#include "ui/SubmitReportDialog.h"

#include "common/FileBytes.h"
#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include "Environment/Host.h"
#include "File/Directory.h"
#include "Interface/AlertRecorder.h"
#include "Interface/Chooser.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

using namespace vantorix;
using namespace installer;

namespace {

QString row(short table, short number)
{
    return host.getLocalString(table, number).qString();
}

void fill(SubmitReportDialog& dialog, const QString& ticket, const QString& message)
{
    dialog.findChild<QLineEdit*>("ticketID")->setText(ticket);
    dialog.findChild<QPlainTextEdit*>("message")->setPlainText(message);
}

QPushButton* submitButton(SubmitReportDialog& dialog)
{
    return dialog.findChild<QPushButton*>("submitButton");
}

} // namespace

class tst_SubmitReportDialog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void buttonByAction_data();
    void buttonByAction();
    void showsReportId();
    void failureKeepsTheDialog();
    void busyWhileTheServiceIsSlow();
    void exportsInOfflineMode();

private:
    testsupport::ServiceProcess m_service;
};

void tst_SubmitReportDialog::initTestCase()
{
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
    m_service.exportEnvironment();
    QVERIFY(client.verifyDetails(String("anna.berg@example.com"), String("correct horse"), nullptr));
}

void tst_SubmitReportDialog::cleanupTestCase()
{
    manager.setDefault();
}

void tst_SubmitReportDialog::init()
{
    QVERIFY(m_service.control("reset=1"));
    manager.setInstallerAction(InstallerManager::installOnline);
}

void tst_SubmitReportDialog::buttonByAction_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("text");
    QTest::newRow("online") << int(InstallerManager::installOnline) << row(32521, 32);
    QTest::newRow("offline file") << int(InstallerManager::installFromOfflineFile) << row(32521, 33);
    QTest::newRow("making a file") << int(InstallerManager::createOfflineFile) << row(32521, 32);
}

void tst_SubmitReportDialog::buttonByAction()
{
    QFETCH(int, action);
    QFETCH(QString, text);
    manager.setInstallerAction(action);
    SubmitReportDialog dialog;
    QCOMPARE(submitButton(dialog)->text(), text);
    QVERIFY(submitButton(dialog)->isDefault());
    QCOMPARE(dialog.findChild<QLabel*>("warningLabel")->text(), row(32521, 36));
    QCOMPARE(dialog.size(), QSize(440, 340));
}

void tst_SubmitReportDialog::showsReportId()
{
    AlertRecorder alerts;
    SubmitReportDialog dialog;
    dialog.show();
    fill(dialog, "T-100", "The door tool is missing");
    QTest::mouseClick(submitButton(dialog), Qt::LeftButton);

    QCOMPARE(alerts.boxes().size(), std::size_t(1));
    const Alert::Request& box = alerts.boxes().front();
    QCOMPARE(box.kind, Alert::notify);
    QCOMPARE(box.title.qString(), row(32520, 0));
    const QString before = row(32521, 34).section("$1", 0, 0);
    QVERIFY2(box.text.qString().startsWith(before), qPrintable(box.text.qString()));
    const QString reportId = box.text.qString().mid(before.size()).section(' ', 0, 0);
    QVERIFY(!reportId.isEmpty());
    QCOMPARE(box.text.qString(), QString(row(32521, 34)).replace("$1", reportId));
    QVERIFY(m_service.output().contains(reportId));
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void tst_SubmitReportDialog::failureKeepsTheDialog()
{
    QVERIFY(m_service.control("no-report-id=1"));
    AlertRecorder alerts;
    SubmitReportDialog dialog;
    dialog.show();
    fill(dialog, "T-101", "first try");
    QTest::mouseClick(submitButton(dialog), Qt::LeftButton);

    QCOMPARE(alerts.boxes().size(), std::size_t(1));
    QCOMPARE(alerts.boxes().front().kind, Alert::error);
    // The failure message with the support address, and why.
    QCOMPARE(alerts.boxes().front().text.qString(), row(32524, 10) + "<br><br>" + row(32524, 70));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dialog.findChild<QLineEdit*>("ticketID")->text(), QStringLiteral("T-101"));
    QCOMPARE(dialog.findChild<QPlainTextEdit*>("message")->toPlainText(), QStringLiteral("first try"));
    QVERIFY(submitButton(dialog)->isEnabled());
    // The package went with the failed request.
    const QDir temp(DirectoryHandler::getTempDirectory()->getURL().qString());
    QCOMPARE(temp.entryList({"SupportPackage*"}, QDir::Files), QStringList());

    // The next try goes through.
    QVERIFY(m_service.control("reset=1"));
    QTest::mouseClick(submitButton(dialog), Qt::LeftButton);
    QCOMPARE(alerts.boxes().size(), std::size_t(2));
    QCOMPARE(alerts.boxes().back().kind, Alert::notify);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void tst_SubmitReportDialog::busyWhileTheServiceIsSlow()
{
    QVERIFY(m_service.control("delay=1500"));
    AlertRecorder alerts;
    SubmitReportDialog dialog;
    dialog.show();
    fill(dialog, "T-102", "slow");
    // Sampled from the event loop while the answer is awaited: the loop runs
    // (nothing is frozen), and the dialog cannot be sent or closed twice.
    bool sampled = false;
    bool submitEnabled = true;
    bool busyCursor = false;
    QTimer::singleShot(300, &dialog, [&]() {
        sampled = true;
        submitEnabled = submitButton(dialog)->isEnabled();
        busyCursor = QApplication::overrideCursor() != nullptr
            && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        dialog.reject();
    });
    QTest::mouseClick(submitButton(dialog), Qt::LeftButton);
    QVERIFY(sampled);
    QVERIFY(!submitEnabled);
    QVERIFY(busyCursor);
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QCOMPARE(alerts.boxes().size(), std::size_t(1));
    QCOMPARE(alerts.boxes().front().kind, Alert::notify);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void tst_SubmitReportDialog::exportsInOfflineMode()
{
    manager.setInstallerAction(InstallerManager::installFromOfflineFile);
    const QString path = testsupport::sandboxDir() + "/exported.zfpkgsprt";
    QFile::remove(path);
    const int posts = m_service.stats().value("posts");
    QList<Chooser::Request> asked;
    QString answer;
    Chooser::ScopedResponder chooser([&](const Chooser::Request& request) {
        asked << request;
        return String(answer);
    });
    AlertRecorder alerts;
    SubmitReportDialog dialog;
    dialog.show();
    fill(dialog, "T-103", "offline");

    // Cancelled: the dialog stays, nothing is written.
    QTest::mouseClick(submitButton(dialog), Qt::LeftButton);
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.front().kind, Chooser::saveFile);
    QCOMPARE(asked.front().title.qString(), row(32520, 7));
    QCOMPARE(asked.front().typeName.qString(), row(32521, 35));
    QCOMPARE(asked.front().extension.qString(), QStringLiteral("zfpkgsprt"));
    QVERIFY(dialog.isVisible());
    QVERIFY(!QFile::exists(path));

    answer = path;
    QTest::mouseClick(submitButton(dialog), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(alerts.boxes().empty());
    const QByteArray text = readFile(path);
    QVERIFY(text.contains("<ticket>T-103</ticket>"));
    QVERIFY(text.contains("<attachment>"));
    QVERIFY(!text.contains("correct horse"));
    QCOMPARE(m_service.stats().value("posts"), posts);
}

QTEST_MAIN(tst_SubmitReportDialog)
#include "tst_SubmitReportDialog.moc"
