#ifndef INSTALLER_UI_APPLICATIONMENU_H
#define INSTALLER_UI_APPLICATIONMENU_H

#include "Database/Guid.h"

#include <QStandardItem>
#include <QWidget>

#include <map>
#include <memory>
#include <vector>

class QStandardItemModel;

namespace Ui {
class ApplicationMenu;
}

namespace installer {

// A menu entry: a host application, by its id.
class ApplicationItem : public QStandardItem {
public:
    ApplicationItem(const vantorix::Guid& id, const QString& label);
    const vantorix::Guid& getID() const { return m_id; }

private:
    vantorix::Guid m_id;
};

// The drop-down of the host applications beside the category filter, and
// the "Find..." button that adds one by hand. Choosing an entry makes it the
// manager's active application and emits filterChanged(). Entries that would
// read the same are told apart by their language, or by their folder.
class ApplicationMenu : public QWidget {
    Q_OBJECT
public:
    // How an entry is labelled beyond its version.
    struct DisplayProperties {
        bool showLanguage = false;
        bool showPath = false;
    };

    explicit ApplicationMenu(QWidget* parent = nullptr);
    ~ApplicationMenu() override;

    // Refills the menu from the manager's applications in display order,
    // selects selected (the first entry when it is not listed) and makes the
    // selection the active application.
    void refresh(const vantorix::Guid& selected);

    // The width the menu needs in the screen's fonts (at least the designed).
    int neededWidth() const { return m_neededWidth; }

    // The labels of the applications, in the order given, made unique.
    static std::vector<QString> uniqueLabels(const std::vector<vantorix::Guid>& ids);

public slots:
    void addApplication();
    void handleFilterChange();

signals:
    void filterChanged();

private:
    std::unique_ptr<Ui::ApplicationMenu> ui;
    QStandardItemModel* m_model = nullptr;
    bool m_updating = false;
    int m_neededWidth = 0;
};

} // namespace installer

#endif
