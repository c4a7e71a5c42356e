#include "NotesDialog.h"

#include "products/InstallerProduct.h"

namespace installer {

NotesDialog::NotesDialog(InstallerProduct*, std::vector<vantorix::ReleaseNote>&, QWidget* parent) : QDialog(parent) {}

NotesDialog::~NotesDialog() = default;

void NotesDialog::handleClose() { accept(); }

} // namespace installer
