#include "EULADialog.h"
#include "StringTables.h"

#include "InstallerManager.h"
#include "products/EULA.h"

#include "Environment/Host.h"
#include "Interface/ErrorAlert.h"
#include "Utility/Logger.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QTextEdit>
#include <QTimer>

using namespace vantorix;

namespace installer {

namespace {

const short loadFailedRow = 11;
const short notFoundRow = 12;

} // namespace

EULADialog::EULADialog(const String& agreementAddress, QWidget* parent)
    : QDialog(parent), m_address(agreementAddress)
{
    setObjectName(QStringLiteral("EULADialog"));
    setWindowTitle(QStringLiteral("Vantorix EULA"));
    resize(designWidth, designHeight);
    setMinimumSize(designWidth, designHeight);

    auto* grid = new QGridLayout(this);
    grid->setObjectName(QStringLiteral("gridLayout"));
    auto* top = new QHBoxLayout();
    top->setObjectName(QStringLiteral("horizontalLayout_2"));
    m_label = new QLabel(QStringLiteral("Please read the following license agreement carefully. You must accept the "
                                        "terms of this agreement before continuing with the installation."),
                         this);
    m_label->setObjectName(QStringLiteral("label"));
    m_label->setWordWrap(true);
    top->addWidget(m_label);
    grid->addLayout(top, 0, 0);

    m_eulaEdit = new QTextEdit(this);
    m_eulaEdit->setObjectName(QStringLiteral("eulaEdit"));
    m_eulaEdit->setReadOnly(true);
    m_eulaEdit->setAcceptRichText(true);
    grid->addWidget(m_eulaEdit, 1, 0);

    auto* buttons = new QHBoxLayout();
    buttons->setObjectName(QStringLiteral("horizontalLayout"));
    buttons->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    m_cancelButton = new QPushButton(QStringLiteral("Decline"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setFixedWidth(90);
    m_cancelButton->setAutoDefault(false);
    buttons->addWidget(m_cancelButton);
    m_okButton = new QPushButton(QStringLiteral("Accept"), this);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    m_okButton->setFixedWidth(90);
    m_okButton->setDefault(true);
    buttons->addWidget(m_okButton);
    grid->addLayout(buttons, 2, 0);

    const DialogSize& saved = manager.eulaSize;
    if (saved.width >= width() && saved.height >= height())
        resize(saved.width, saved.height);

    m_okButton->setEnabled(false);
    m_cancelButton->setEnabled(false);
    connect(m_okButton, &QPushButton::clicked, this, &EULADialog::handleAccept);
    connect(m_cancelButton, &QPushButton::clicked, this, &EULADialog::handleCancel);
    QTimer::singleShot(0, this, &EULADialog::handleInitialise);
}

EULADialog::~EULADialog() = default;

void EULADialog::handleInitialise()
{
    EULAMap& eulas = manager.getEULAs();
    const bool offline = manager.getInstallerAction() == InstallerManager::installFromOfflineFile;
    EULA* eula = eulas.getEULA(m_address);
    // A download that failed earlier in the run is tried once more, so that
    // a passing network fault does not block the product for the whole run.
    if (eula != nullptr && !offline && eula->isReady() && eula->getDownloader() != nullptr
        && !eula->getDownloader()->isSuccess() && eula->getText().empty()) {
        eulas.erase(m_address);
        eula = nullptr;
    }
    // Installing from an offline file, agreements come from the file only:
    // nothing is fetched, and a missing one is reported at once.
    if (eula == nullptr && !offline)
        eula = eulas.fetch(m_address);

    if (eula == nullptr || eula->isReady() || offline) {
        eulaDownloaded();
        return;
    }
    connect(eula->getDownloader(), QOverload<>::of(&Downloader::finishDownload), this, &EULADialog::eulaDownloaded,
            Qt::UniqueConnection);
}

void EULADialog::eulaDownloaded()
{
    m_cancelButton->setEnabled(true);
    EULA* eula = manager.getEULAs().getEULA(m_address);
    String detail;
    String agreement;
    if (eula != nullptr) {
        agreement = eula->getText();
        if (eula->getDownloader() != nullptr)
            detail = eula->getDownloader()->getError();
    }
    if (agreement.empty()) {
        // Without a reason of its own (no download, or one that delivered an
        // empty text) the agreement is simply not there.
        if (detail.empty())
            detail = host.getLocalString(errorTable, notFoundRow);
        String message = host.getLocalString(errorTable, loadFailedRow);
        replaceAll(message, String("$1"), detail);
        Logger::write(String("Agreement not available: ") + m_address);
        ErrorAlert(host.getLocalString(titleTable, 0), this).show(message);
        reject();
        return;
    }
    m_okButton->setEnabled(true);
    m_okButton->setDefault(true);
    m_eulaEdit->setHtml(agreement.qString());
}

void EULADialog::done(int result)
{
    if (EULA* eula = manager.getEULAs().getEULA(m_address)) {
        if (eula->getDownloader() != nullptr)
            disconnect(eula->getDownloader(), nullptr, this, nullptr);
    }
    QDialog::done(result);
}

void EULADialog::handleAccept()
{
    recordSize();
    accept();
}

void EULADialog::handleCancel()
{
    recordSize();
    reject();
}

void EULADialog::recordSize()
{
    manager.eulaSize.width = static_cast<short>(qMin(width(), 32767));
    manager.eulaSize.height = static_cast<short>(qMin(height(), 32767));
}

} // namespace installer
