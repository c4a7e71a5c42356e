#ifndef INSTALLER_UI_SUBMITREPORTDIALOG_H
#define INSTALLER_UI_SUBMITREPORTDIALOG_H

#include <QDialog>

#include <memory>

class Ui_SubmitReportDialog;

namespace installer {

// Asks for a support ticket id and a message, then sends a support request
// with the support package to the service and shows the report id it
// answers with; when installing from an offline file (no service), exports
// the request to a file the user picks instead. A request that fails keeps
// the dialog open with what was typed, so that the user can try again. While
// the service is asked the dialog shows busy and cannot be sent or closed
// twice; the window keeps painting. Widgets are found by their object names.
class SubmitReportDialog : public QDialog {
    Q_OBJECT
public:
    explicit SubmitReportDialog(QWidget* parent = nullptr);
    ~SubmitReportDialog() override;

    // Not while a request is on its way.
    void reject() override;

private slots:
    void submitReport();

private:
    void setBusy(bool busy);

    std::unique_ptr<Ui_SubmitReportDialog> ui;
    bool m_busy = false;
};

} // namespace installer

#endif
