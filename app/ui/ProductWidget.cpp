#include "ProductWidget.h"
#include "StringTables.h"
#include "ui_ProductWidget.h"

#include "InstallerManager.h"
#include "products/InstallerProduct.h"
#include "ui/EULADialog.h"
#include "ui/NotesDialog.h"
#include "ui/TextFit.h"

#include "Catalogue/PlatformHistory.h"
#include "Catalogue/ProductHistory.h"
#include "Environment/Host.h"
#include "Environment/Platform.h"
#include "Interface/NotifyAlert.h"

#include <QApplication>
#include <QHash>

using namespace vantorix;

namespace installer {

namespace {

constexpr int iconSize = 50;

QString qtext(short table, short row)
{
    return text(table, row).qString();
}

ProductWidget::AgreementQuestion& agreementQuestion()
{
    static ProductWidget::AgreementQuestion question;
    return question;
}

ProductWidget::NotesViewer& notesViewer()
{
    static ProductWidget::NotesViewer viewer;
    return viewer;
}

qreal pixelRatio()
{
    return qApp != nullptr ? qApp->devicePixelRatio() : 1.0;
}

// Pictures as shown (decoded, and scaled to the icon at the screen's pixel
// ratio), by address: a list of thousands of rows decodes each picture once.
QHash<QString, QPixmap>& shownPictures()
{
    static QHash<QString, QPixmap> pictures;
    return pictures;
}

QPixmap fitted(const QPixmap& pixmap)
{
    const int side = qRound(iconSize * pixelRatio());
    if (pixmap.isNull() || (pixmap.width() == side && pixmap.height() == side))
        return pixmap;
    return pixmap.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

// A compiled-in picture, in its double-resolution file on a high-density
// screen.
QPixmap resourcePicture(const QString& path)
{
    QHash<QString, QPixmap>& pictures = shownPictures();
    const auto found = pictures.constFind(path);
    if (found != pictures.constEnd())
        return *found;
    QString file = path;
    if (pixelRatio() > 1.0)
        file.replace(QLatin1String(".png"), QLatin1String("@2x.png"));
    const QPixmap picture = fitted(QPixmap(file));
    pictures.insert(path, picture);
    return picture;
}

QString swapped(QString address, const char* from, const char* to)
{
    return address.replace(QLatin1String(from), QLatin1String(to));
}

// The style of the action button, made to hold its longest text in the
// font the screen gives it (computed once).
const QString& buttonStyle(QPushButton* button, QSize& size)
{
    static QString style;
    static QSize fittedSize;
    if (style.isEmpty()) {
        const QString font = QStringLiteral("font: 12pt \"Arial\";");
        button->setStyleSheet(font);
        QStringList texts;
        for (short row = 15; row <= 20; ++row)
            texts << qtext(buttonTable, row);
        fittedSize = QSize(fittedWidth(button, texts, 88, 14), fittedHeight(button, 15, 4));
        style = QStringLiteral("QPushButton { %1 padding: 1px; background-color: rgb(255, 255, 255); "
                               "border: 1px solid rgb(153, 153, 153); border-radius: 5px; max-height: %2px; }\n"
                               "QPushButton:pressed { background-color: rgb(204, 204, 204); }")
                    .arg(font)
                    .arg(fittedSize.height());
    }
    size = fittedSize;
    return style;
}

} // namespace

ProductWidget::ProductWidget(InstallerProduct& product, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::ProductWidget>()), m_product(product)
{
    ui->setupUi(this);
    QSize buttonSize;
    ui->button->setStyleSheet(buttonStyle(ui->button, buttonSize));
    ui->button->setFixedSize(buttonSize);
    refreshImage();

    const Status status = manager.getCurrentStatus();
    const QString version = status == myTools && m_product.isInstalled()
                                ? getVersionString(m_product.getLocalVersion()).qString()
                                : m_product.getPlatform().getVersion().qString();
    // Trial and educational rows link to the product's page: without one
    // the link would lead nowhere, so there is none.
    const bool pageLink = status == trial || status == educational;
    const bool linked = !pageLink || !m_product.getPlatform().getProductURL().empty();
    const QString link = qtext(buttonTable, status == updates ? 40 : 39);
    QString label = QStringLiteral("<body style=\"font-family:Arial;font-size=9px;\">"
                                   "<span style=\"font-size: 14px; font-weight: bold;\">") +
                    m_product.getProduct().getName().qString().toHtmlEscaped() + QLatin1Char(' ') +
                    version.toHtmlEscaped() + QStringLiteral("    </span>");
    if (linked)
        label += QStringLiteral("<a href=\"#ReleaseNotes\"><span style=\" text-decoration: "
                                "underline; color:#00b3be; font-size: 11px;\">") +
                 link + QStringLiteral("</span></a>");
    ui->label->setText(label + QStringLiteral("</body>"));

    if (m_product.isBusy() && !m_product.isCancelled()) {
        ui->button->setText(qtext(buttonTable, 20));
        showProgress();
    } else {
        ui->progressBar->hide();
        refreshButtonText();
    }

    connect(ui->button, &QPushButton::clicked, this, &ProductWidget::buttonClicked);
    connect(&m_product, &InstallerProduct::progress, this, &ProductWidget::downloadProgress);
    connect(&m_product, &InstallerProduct::productActionFailure, this, &ProductWidget::actionFailure);
    connect(ui->label, &QLabel::linkActivated, this, &ProductWidget::openLink);
}

ProductWidget::~ProductWidget() = default;

QString ProductWidget::buttonText(Status status, bool installed, int action)
{
    const bool adding = action == InstallerManager::createOfflineFile;
    switch (status) {
    case myTools:
    case educational:
        if (installed)
            return qtext(buttonTable, adding ? 19 : 16);
        return qtext(buttonTable, adding ? 18 : 15);
    case updates: return qtext(buttonTable, 17);
    case trial: return qtext(buttonTable, adding ? 18 : 15);
    }
    return QString();
}

void ProductWidget::refreshButtonText()
{
    ui->button->setText(
        buttonText(manager.getCurrentStatus(), m_product.isInstalled(), manager.getInstallerAction()));
}

String ProductWidget::getImageUrl() const
{
    QString address = m_product.getPlatform().getProductImage().qString();
    const Status status = manager.getCurrentStatus();
    if ((status == myTools || status == educational) && !m_product.isInstalled())
        address = swapped(address, "_active", "_inactive");
    return String(address);
}

void ProductWidget::refreshImage()
{
    const String address = getImageUrl();
    if (address.empty()) {
        setFillerIcon();
        return;
    }
    ImageMap& images = manager.getImages();
    ProductImage* image = images.fetch(address);
    // The other variant is fetched along, so that switching categories
    // never waits for a picture.
    const QString text = address.qString();
    if (text.contains(QLatin1String("_active")))
        images.fetch(String(swapped(text, "_active", "_inactive")));
    else if (text.contains(QLatin1String("_inactive")))
        images.fetch(String(swapped(text, "_inactive", "_active")));

    if (image == nullptr) {
        setFillerIcon();
        return;
    }
    if (image->isReady()) {
        iconDownloaded();
        return;
    }
    // Until the picture arrives the row shows the filler.
    setFillerIcon();
    if (Downloader* downloader = image->getDownloader())
        connect(downloader, QOverload<>::of(&Downloader::finishDownload), this, &ProductWidget::iconDownloaded,
                Qt::UniqueConnection);
}

void ProductWidget::iconDownloaded()
{
    const String address = getImageUrl();
    ProductImage* image = manager.getImages().getImage(address);
    if (image == nullptr || !image->isReady())
        return;
    QHash<QString, QPixmap>& pictures = shownPictures();
    auto found = pictures.constFind(address.qString());
    if (found == pictures.constEnd()) {
        const QPixmap picture = fitted(image->getImage());
        // A picture that did not arrive or does not decode leaves the filler.
        if (picture.isNull()) {
            setFillerIcon();
            return;
        }
        found = pictures.insert(address.qString(), picture);
    }
    setIcon(*found);
}

void ProductWidget::setIcon(const QPixmap& pixmap)
{
    ui->icon->setFixedSize(iconSize, iconSize);
    QPixmap shown = pixmap;
    const qreal ratio = pixelRatio();
    if (ratio > 1.0) {
        ui->icon->setScaledContents(false);
        shown.setDevicePixelRatio(ratio);
    } else {
        ui->icon->setScaledContents(true);
    }
    ui->icon->setPixmap(shown);
}

void ProductWidget::setFillerIcon()
{
    const bool grey = manager.getCurrentStatus() == myTools && !m_product.isInstalled();
    setIcon(resourcePicture(grey ? QStringLiteral(":/images/Images/Filler_inactive.png")
                                 : QStringLiteral(":/images/Images/Filler_active.png")));
}

void ProductWidget::showProgress()
{
    ui->progressBar->setRange(0, m_product.getProgressRange());
    ui->progressBar->setValue(m_product.getProgressValue());
    ui->progressBar->show();
}

void ProductWidget::buttonClicked()
{
    const Status status = manager.getCurrentStatus();
    const bool installed = m_product.isInstalled();
    const int action = manager.getInstallerAction();
    const bool installing = status == updates || status == trial ||
                            ((status == myTools || status == educational) && !installed);

    if (installing && m_product.isBusy() && !m_product.isCancelled()) {
        m_product.cancel();
        ui->progressBar->hide();
        refreshButtonText();
        return;
    }

    // The questions below are modal: the list must not be rebuilt (and
    // this row destroyed) under them. The window rebuilds, if it was asked
    // to meanwhile, only after this slot has returned.
    emit stopRefresh();
    if (!manager.canInstall()) {
        emit resumeRefresh();
        return;
    }
    if (installing) {
        const String address = m_product.getPlatform().getAgreementUrl();
        if (!address.empty()) {
            if (action == InstallerManager::createOfflineFile) {
                // Carried into the offline file with the product.
                manager.getEULAs().fetch(address);
            } else if (status != updates && !askAgreement(address, window())) {
                emit resumeRefresh();
                return;
            }
        }
        startInstall();
    } else if (status == myTools || status == educational) {
        if (status == myTools || manager.getTarget() == 1)
            m_product.unInstall();
    }
    emit resumeRefresh();
}

bool ProductWidget::startInstall(InstallerProduct& product)
{
    if (manager.getCurrentStatus() == myTools && product.isInstalled())
        return false;
    if (product.isBusy() && !product.isCancelled())
        return false;
    product.install();
    // An install that ended at once (failed, or had nothing to fetch) has
    // reported already.
    return product.isBusy() && !product.isCancelled();
}

void ProductWidget::startInstall()
{
    if (startInstall(m_product)) {
        showProgress();
        ui->button->setText(qtext(buttonTable, 20));
    }
}

void ProductWidget::startUnInstall(InstallerProduct& product)
{
    if (!product.isInstalled())
        return;
    if (manager.getCurrentStatus() != myTools && manager.getTarget() != 1)
        return;
    product.unInstall();
}

void ProductWidget::startUnInstall()
{
    startUnInstall(m_product);
}

void ProductWidget::downloadProgress(int progress)
{
    // A range of 0 (the size is not known) makes the bar a busy indicator.
    if (ui->progressBar->maximum() != m_product.getProgressRange())
        ui->progressBar->setRange(0, m_product.getProgressRange());
    ui->progressBar->setValue(progress);
}

void ProductWidget::actionFailure()
{
    ui->progressBar->hide();
    ui->icon->setScaledContents(true);
    QPixmap error = resourcePicture(QStringLiteral(":/images/Images/Error.png"));
    error.setDevicePixelRatio(pixelRatio());
    ui->icon->setPixmap(error);
    refreshButtonText();
    ui->button->setEnabled(false);
}

std::vector<ReleaseNote> ProductWidget::releaseNotes() const
{
    std::vector<ReleaseNote> notes;
    const ProductHistory* history = m_product.getProduct().getHistory();
    if (history == nullptr)
        return notes;
    const PlatformSignature& signature = m_product.getPlatform().getSignature();
    const bool onlyNewer = manager.getCurrentStatus() == updates;
    for (const PlatformHistory& entry : history->elements()) {
        const bool hostApplies = entry.getHostID() == HostType::all || entry.getHostID() == signature.getHostID();
        const bool versionApplies =
            entry.getVersion() == PlatformSignature::allVersions || entry.getVersion() == signature.getVersion();
        if (!hostApplies || !versionApplies)
            continue;
        for (const ReleaseNote& note : entry.getNotes()) {
            if (onlyNewer && !(note.getVersion() - m_product.getLocalVersion() > 0.00001))
                continue;
            String body = note.getNote();
            replaceEnclosing(body, String(" \t\r\n"), String(), true, true);
            if (!body.empty())
                notes.push_back(note);
        }
    }
    return notes;
}

void ProductWidget::openLink()
{
    const Status status = manager.getCurrentStatus();
    if (status == trial || status == educational) {
        if (!m_product.getPlatform().getProductURL().empty())
            platform.launchUrl(m_product.getPlatform().getProductURL());
        return;
    }
    std::vector<ReleaseNote> notes = releaseNotes();
    emit stopRefresh();
    if (!notes.empty()) {
        if (notesViewer()) {
            notesViewer()(m_product, notes, window());
        } else {
            NotesDialog dialog(&m_product, notes, window());
            dialog.exec();
        }
    } else {
        String message = host.getLocalString(questionTable, 10);
        replaceAll(message, String("$1"), m_product.getProduct().getName());
        NotifyAlert(host.getLocalString(titleTable, 0), window()).show(message);
    }
    emit resumeRefresh();
}

bool ProductWidget::askAgreement(const String& address, QWidget* parent)
{
    if (agreementQuestion())
        return agreementQuestion()(address, parent);
    EULADialog dialog(address, parent);
    return dialog.exec() == QDialog::Accepted;
}

ProductWidget::AgreementQuestion ProductWidget::setAgreementQuestion(AgreementQuestion question)
{
    std::swap(agreementQuestion(), question);
    return question;
}

ProductWidget::NotesViewer ProductWidget::setNotesViewer(NotesViewer viewer)
{
    std::swap(notesViewer(), viewer);
    return viewer;
}

} // namespace installer
