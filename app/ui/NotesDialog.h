#ifndef INSTALLER_UI_NOTESDIALOG_H
#define INSTALLER_UI_NOTESDIALOG_H

#include "Catalogue/ReleaseNote.h"

#include <QDialog>

#include <vector>

class QPushButton;
class QTextEdit;

namespace installer {

class InstallerProduct;

// Shows a product's release notes as formatted text, newest version first.
// The constructor sorts the caller's list in place. Run modally by the
// caller; remembers its size in the preferences when closed.
class NotesDialog : public QDialog {
    Q_OBJECT
public:
    NotesDialog(InstallerProduct* product, std::vector<vantorix::ReleaseNote>& notes, QWidget* parent);
    ~NotesDialog() override;

public slots:
    void handleClose();

private:
    QTextEdit* m_notesEdit = nullptr;
    QPushButton* m_okButton = nullptr;
};

} // namespace installer

#endif
