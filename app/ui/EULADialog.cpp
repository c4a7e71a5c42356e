#include "EULADialog.h"

namespace installer {

EULADialog::EULADialog(const vantorix::String& agreementAddress, QWidget* parent)
    : QDialog(parent), m_address(agreementAddress)
{
}

EULADialog::~EULADialog() = default;

void EULADialog::recordSize() {}
void EULADialog::handleInitialise() {}
void EULADialog::handleAccept() { accept(); }
void EULADialog::handleCancel() { reject(); }
void EULADialog::eulaDownloaded() {}

} // namespace installer
