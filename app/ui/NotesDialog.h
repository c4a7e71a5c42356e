#ifndef INSTALLER_UI_NOTESDIALOG_H
#define INSTALLER_UI_NOTESDIALOG_H

#include "Catalogue/ReleaseNote.h"

#include <QDialog>

#include <vector>

class QPushButton;
class QTextEdit;

namespace installer {

class InstallerProduct;

// Shows a product's release notes as formatted text: a title line with the
// catalogue's version and release date, then the notes, newest version
// first, one list item per line of a note. The constructor sorts the
// caller's list in place. Run modally by the caller; remembers its size in
// the preferences when closed with its button.
class NotesDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int designWidth = 550;
    static constexpr int designHeight = 300;

    NotesDialog(InstallerProduct* product, std::vector<vantorix::ReleaseNote>& notes, QWidget* parent);
    ~NotesDialog() override;

    // The rich text shown (as built, before the text editor reformats it).
    const vantorix::String& getText() const { return m_text; }

    // Orders notes by version, highest first; notes whose versions lie
    // within 0.00001 of each other keep their order.
    static void sortNotes(std::vector<vantorix::ReleaseNote>& notes);
    // The rich text for a product's title and its notes (sorted first).
    static vantorix::String buildText(const vantorix::String& name, const vantorix::String& version,
                                      const vantorix::String& releaseDate, std::vector<vantorix::ReleaseNote>& notes);

public slots:
    void handleClose();

private:
    QTextEdit* m_notesEdit = nullptr;
    QPushButton* m_okButton = nullptr;
    vantorix::String m_text;
};

} // namespace installer

#endif
