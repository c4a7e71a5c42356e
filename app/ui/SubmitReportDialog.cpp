#include "ui/SubmitReportDialog.h"
#include "ui_SubmitReportDialog.h"

#include "InstallerClient.h"
#include "InstallerManager.h"
#include "StringTables.h"
#include "support/SupportRequest.h"

#include "File/DataFile.h"
#include "Interface/ErrorAlert.h"
#include "Interface/NotifyAlert.h"

#include <QApplication>

using namespace vantorix;

namespace installer {

namespace {

// Rows of the string tables.
constexpr short programNameRow = 0;      // titles
constexpr short saveTitleRow = 7;        // titles
constexpr short submitRow = 32;          // buttons
constexpr short exportRow = 33;          // buttons
constexpr short reportIdRow = 34;        // buttons
constexpr short packageTypeRow = 35;     // buttons
constexpr short warningRow = 36;         // buttons
constexpr short submitFailedRow = 10;    // errors

const char* const warningStyle = "font: 10pt \"Arial\";\ncolor: rgb(102, 102, 102);";

} // namespace

SubmitReportDialog::SubmitReportDialog(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui_SubmitReportDialog>())
{
    ui->setupUi(this);
    const bool exporting = manager.getInstallerAction() == InstallerManager::installFromOfflineFile;
    ui->submitButton->setText(text(buttonTable, exporting ? exportRow : submitRow).qString());
    ui->warningLabel->setStyleSheet(QLatin1String(warningStyle));
    ui->warningLabel->setText(text(buttonTable, warningRow).qString());
    connect(ui->cancelButton, &QPushButton::clicked, this, &SubmitReportDialog::reject);
    connect(ui->submitButton, &QPushButton::clicked, this, &SubmitReportDialog::submitReport);
}

SubmitReportDialog::~SubmitReportDialog() = default;

void SubmitReportDialog::reject()
{
    if (!m_busy)
        QDialog::reject();
}

void SubmitReportDialog::setBusy(bool busy)
{
    m_busy = busy;
    ui->submitButton->setEnabled(!busy);
    ui->cancelButton->setEnabled(!busy);
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void SubmitReportDialog::submitReport()
{
    if (m_busy)
        return;
    const String title = text(titleTable, programNameRow);
    SupportRequest request(String(ui->ticketID->text()), String(ui->message->toPlainText()));

    setBusy(true);
    const bool prepared = request.prepare(client);
    setBusy(false);
    if (!prepared) {
        ErrorAlert(title, this).show(request.getError());
        return;
    }

    if (manager.getInstallerAction() == InstallerManager::installFromOfflineFile) {
        const std::unique_ptr<DataFile> file(DataFile::promptSave(
            text(titleTable, saveTitleRow), text(buttonTable, packageTypeRow),
            String(SupportCollector::packageExtension), this));
        if (!file)
            return;
        if (!request.exportTo(file->getURL())) {
            ErrorAlert(title, this).show(request.getError());
            return;
        }
        accept();
        return;
    }

    setBusy(true);
    const bool sent = request.send();
    setBusy(false);
    if (!sent) {
        ErrorAlert(title, this).show(text(errorTable, submitFailedRow) + "<br><br>" + request.getError());
        return;
    }
    NotifyAlert(title, this).show(String(filledText(buttonTable, reportIdRow, request.getReportId().qString())));
    accept();
}

} // namespace installer
