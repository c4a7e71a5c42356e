#ifndef INSTALLER_UI_STATUSFILTER_H
#define INSTALLER_UI_STATUSFILTER_H

#include "Serialise/Status.h"

#include <QWidget>

#include <memory>

class QLabel;

namespace Ui {
class StatusFilter;
}

namespace installer {

// The four product categories above the list (My Tools, Updates, Trial,
// Educational), each an image over a text; clicking one makes it the
// manager's status and emits filterChanged(). Which categories are offered
// follows the manager's action and target.
class StatusFilter : public QWidget {
    Q_OBJECT
public:
    explicit StatusFilter(QWidget* parent = nullptr);
    ~StatusFilter() override;

    // Shows the categories that the manager's action and target allow,
    // highlights status (Updates counts as My Tools while an offline file is
    // made) and stores it in the manager.
    void refresh(vantorix::Status status);

    // The width the categories need in the screen's fonts (at least the
    // designed).
    int neededWidth() const { return m_neededWidth; }

    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void filterChanged();

private:
    std::unique_ptr<Ui::StatusFilter> ui;
    int m_neededWidth = 0;
};

} // namespace installer

#endif
