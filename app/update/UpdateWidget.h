#ifndef INSTALLER_UPDATE_UPDATEWIDGET_H
#define INSTALLER_UPDATE_UPDATEWIDGET_H

#include <QWidget>

class QLabel;
class QProgressBar;

namespace installer {

class VersionManager;

// The sheet shown over the main window while the installer updates itself:
// a line of text and the download's progress. It starts the update when it
// is made; when the update ends (or cannot start) it shows what went wrong
// and quits the program; a successful update has started the new one by then.
class UpdateWidget : public QWidget {
    Q_OBJECT
public:
    UpdateWidget(VersionManager* manager, QWidget* parent);
    ~UpdateWidget() override;

    int getProgress() const;

public slots:
    void updateComplete();
    void updateProgress(qint64 downloaded, qint64 total, int previousPercent, qintptr userData);

private:
    VersionManager* m_manager;
    QLabel* m_message;
    QProgressBar* m_progressBar;
};

} // namespace installer

#endif
