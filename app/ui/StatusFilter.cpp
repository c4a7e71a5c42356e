#include "StatusFilter.h"
#include "ui_StatusFilter.h"

#include "InstallerManager.h"
#include "ui/TextFit.h"

#include <QApplication>
#include <QMouseEvent>

using namespace vantorix;

namespace installer {

namespace {

const char* const inactiveStyle = "font: 10pt \"Arial\";color: rgb(134, 137, 139);";
const char* const activeStyle = "font: 10pt \"Arial\";color: rgb(62, 186, 196);";

struct Category {
    Status status;
    const char* activeImage;
    const char* inactiveImage;
};

const Category categories[] = {
    {myTools, ":/images/Images/ToolsActive.png", ":/images/Images/ToolsInActive.png"},
    {updates, ":/images/Images/UpdatesActive.png", ":/images/Images/UpdatesInActive.png"},
    {trial, ":/images/Images/TrialActive.png", ":/images/Images/TrialInActive.png"},
    {educational, ":/images/Images/EducationActive.png", ":/images/Images/EducationInActive.png"},
};

// The screen's pixel ratio, read once: every category image is loaded at it.
qreal pixelRatio()
{
    static const qreal ratio = qApp != nullptr ? qApp->devicePixelRatio() : 1.0;
    return ratio;
}

void setIcon(QLabel* label, const QString& path)
{
    label->setFixedSize(40, 30);
    const qreal ratio = pixelRatio();
    if (ratio > 1.0) {
        QString doubled = path;
        doubled.replace(QLatin1String(".png"), QLatin1String("@2x.png"));
        QPixmap pixmap(doubled);
        pixmap.setDevicePixelRatio(ratio);
        label->setPixmap(pixmap);
    } else {
        label->setPixmap(QPixmap(path));
    }
}

} // namespace

StatusFilter::StatusFilter(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::StatusFilter>())
{
    ui->setupUi(this);
    for (QLabel* label : {ui->myToolsImage, ui->myToolsLabel, ui->updatesImage, ui->updatesLabel, ui->trialImage,
                          ui->trialLabel, ui->educationImage, ui->educationLabel})
        label->installEventFilter(this);

    // Where the screen's fonts are larger than the design assumed, the
    // captions get the room they need instead of being cut.
    QWidget* containers[] = {ui->myTools, ui->updates, ui->trial, ui->educational};
    QLabel* captions[] = {ui->myToolsLabel, ui->updatesLabel, ui->trialLabel, ui->educationLabel};
    for (int i = 0; i < 4; ++i) {
        captions[i]->setStyleSheet(QLatin1String(activeStyle));
        fitCaption(containers[i], captions[i], height());
        captions[i]->setStyleSheet(QLatin1String(inactiveStyle));
    }
    m_neededWidth = qMax(width(), layout()->minimumSize().width());
    setFixedSize(m_neededWidth, height());
}

StatusFilter::~StatusFilter() = default;

void StatusFilter::refresh(Status status)
{
    const bool creatingFile = manager.getInstallerAction() == InstallerManager::createOfflineFile;
    // The category is offered again once the offline file is done with.
    ui->updates->setEnabled(!creatingFile);
    if (creatingFile && status == updates)
        status = myTools;

    const bool educationalUse = manager.getTarget() == 1;
    ui->myTools->setVisible(!educationalUse);
    ui->updates->setVisible(!educationalUse);
    ui->trial->setVisible(!educationalUse);
    ui->educational->setVisible(educationalUse);

    QLabel* images[] = {ui->myToolsImage, ui->updatesImage, ui->trialImage, ui->educationImage};
    QLabel* captions[] = {ui->myToolsLabel, ui->updatesLabel, ui->trialLabel, ui->educationLabel};
    for (int i = 0; i < 4; ++i) {
        const bool active = categories[i].status == status;
        setIcon(images[i], QLatin1String(active ? categories[i].activeImage : categories[i].inactiveImage));
        captions[i]->setStyleSheet(QLatin1String(active ? activeStyle : inactiveStyle));
    }
    manager.setStatus(status);
}

bool StatusFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        const QObject* labels[4][2] = {{ui->myToolsImage, ui->myToolsLabel},
                                       {ui->updatesImage, ui->updatesLabel},
                                       {ui->trialImage, ui->trialLabel},
                                       {ui->educationImage, ui->educationLabel}};
        for (int i = 0; i < 4; ++i) {
            if (watched != labels[i][0] && watched != labels[i][1])
                continue;
            if (categories[i].status == updates && !ui->updates->isEnabled())
                break;
            if (categories[i].status != manager.getCurrentStatus()) {
                refresh(categories[i].status);
                emit filterChanged();
            }
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace installer
