#include "update/UpdateWidget.h"

#include "StringTables.h"
#include "update/VersionManager.h"

#include "Interface/ErrorAlert.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

namespace installer {

namespace {

vantorix::String programTitle()
{
    return text(titleTable, 0);
}

// Row 14 or 15, with the reason on a line of its own when there is one.
QString failureText(const VersionManager& manager)
{
    QString shown = text(errorTable, manager.getErrorCode()).qString();
    if (!manager.getFailure().isEmpty() && manager.getFailure() != shown)
        shown += QStringLiteral("<br>") + manager.getFailure().toHtmlEscaped();
    return shown;
}

} // namespace

UpdateWidget::UpdateWidget(VersionManager* manager, QWidget* parent)
    : QWidget(parent, Qt::Sheet), m_manager(manager), m_message(new QLabel(this)), m_progressBar(new QProgressBar(this))
{
    setObjectName(QStringLiteral("UpdateWidget"));
    resize(359, 78);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setGeometry(20, 10, 321, 21);
    m_message->setText(QStringLiteral("Please wait while the Vantorix Installer is updated"));
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    m_progressBar->setGeometry(20, 40, 311, 10);
    m_progressBar->setFixedHeight(10);
    m_progressBar->setTextVisible(false);
    m_progressBar->setValue(0);

    if (m_manager->update()) {
        connect(m_manager, &VersionManager::updateProgress, this, &UpdateWidget::updateProgress);
        connect(m_manager, &VersionManager::updateComplete, this, &UpdateWidget::updateComplete);
        return;
    }
    // Shown once the sheet is up, then the program ends.
    QTimer::singleShot(0, this, [this] {
        vantorix::ErrorAlert(programTitle(), parentWidget()).show(vantorix::String(failureText(*m_manager)));
        QCoreApplication::quit();
    });
}

UpdateWidget::~UpdateWidget() = default;

int UpdateWidget::getProgress() const
{
    return m_progressBar->value();
}

void UpdateWidget::updateProgress(qint64 downloaded, qint64 total, int previousPercent, qintptr)
{
    // The bar moves by the download's new whole percents; an unknown total
    // moves it by 5 at each report, never past the end.
    const int step = total > 0 ? int(downloaded * 100 / total) - previousPercent : 5;
    m_progressBar->setValue(qBound(0, m_progressBar->value() + qMax(step, 0), 100));
}

void UpdateWidget::updateComplete()
{
    if (m_manager->getErrorCode() != 0)
        vantorix::ErrorAlert(programTitle(), parentWidget()).show(vantorix::String(failureText(*m_manager)));
    QCoreApplication::quit();
}

} // namespace installer
