#ifndef INSTALLER_UI_EULADIALOG_H
#define INSTALLER_UI_EULADIALOG_H

#include "Utility/String.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTextEdit;

namespace installer {

// Shows a product's licence agreement and lets the user accept or decline it
// before the product is installed. The text comes from the manager's
// agreement cache, fetched there when missing; until the download has ended
// neither button can be pressed. An agreement that cannot be fetched, or
// whose text is empty, is reported and counts as declined. The caller runs
// the dialog modally: accepted means the agreement was accepted. Widgets are
// found by their object names.
class EULADialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int designWidth = 500;
    static constexpr int designHeight = 500;

    EULADialog(const vantorix::String& agreementAddress, QWidget* parent);
    ~EULADialog() override;

    // Remembers the current size in the preferences.
    void recordSize();

protected:
    // Stops listening to the download once the dialog has closed, however
    // it closed (Escape included), so that a late end of it shows nothing.
    void done(int result) override;

public slots:
    void handleInitialise();
    void handleAccept();
    void handleCancel();
    void eulaDownloaded();

private:
    vantorix::String m_address;
    QLabel* m_label = nullptr;
    QTextEdit* m_eulaEdit = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_okButton = nullptr;
};

} // namespace installer

#endif
