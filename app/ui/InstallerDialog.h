#ifndef INSTALLER_UI_INSTALLERDIALOG_H
#define INSTALLER_UI_INSTALLERDIALOG_H

#include <QMainWindow>
#include <QPointer>

#include <map>
#include <memory>
#include <set>
#include <vector>

class QLabel;
class QListWidgetItem;

namespace Ui {
class InstallerDialog;
}

namespace installer {

class InstallerProduct;
class OptionsWidget;
class ProductWidget;
class VersionManager;

// The program's one window. At start it asks whether a newer installer is
// published, then shows the options and sign-in panel; once the panel has
// set the manager's choice it lists the products of the chosen host
// application and category, with the bulk buttons, the signed-in account,
// the log-out (save, close) button and the report button. It holds no
// product state: the list is rebuilt from the manager's product tree on
// every filter change and every finished product action.
class InstallerDialog : public QMainWindow {
    Q_OBJECT
public:
    explicit InstallerDialog(QWidget* parent = nullptr);
    ~InstallerDialog() override;

    void setControlsVisible(bool visible);
    // Takes the saved size when it is at least the designed one; otherwise
    // 900 x 900 on a screen that has room for it. Then centres the window.
    void initialResize(short width, short height);
    void setStyles();
    void populateConnectionLabels();
    // Back to the options panel: controls hidden, manager reset.
    void showOptions();

    // The product of a list row, and the row's widget (made when the row
    // comes into view: long lists make only what is seen).
    InstallerProduct* productAt(int row) const;
    ProductWidget* widgetAt(int row);
    // The row's widget when it has been made, else null.
    ProductWidget* shownWidgetAt(int row) const;
    OptionsWidget* getOptions() const { return m_options; }
    VersionManager* getVersionManager() const { return m_versionManager; }

protected slots:
    void handleInitialise();
    void refreshProducts();
    void startInstall();
    void logout();
    void installAll();
    void uninstallAll();
    void submitReport();
    void stopRefresh();
    void resumeRefresh();

private slots:
    // A product finished an action: one rebuild, after the product's signal.
    void productCompleted();
    // A product's action failed: its row shows it until the next rebuild.
    void productFailed();
    void showVisibleRows();
    void rebuildFinished(bool success);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setFooterMargin(int left);
    void clearList();
    void dropWidget(int row, ProductWidget* widget);
    void showProducts();
    void queueRefresh();
    // Shows the list, or (empty) the line saying there is nothing in the
    // category, with the bulk buttons disabled.
    void showEmptyCategory(bool empty);

    std::unique_ptr<Ui::InstallerDialog> ui;
    VersionManager* m_versionManager = nullptr;
    OptionsWidget* m_options = nullptr;
    bool m_closeAsked = false;
    bool m_closeAllowed = true;
    bool m_refreshPending = false;
    bool m_refreshSuspended = false;
    // A rebuild of the list is queued and not yet run.
    bool m_refreshQueued = false;
    // startInstall's rebuild was deferred by the manager and reports later.
    bool m_awaitingRebuild = false;
    // The products listed, by row.
    std::vector<InstallerProduct*> m_rows;
    // The widgets made, by row: those of the rows in view and a few around.
    std::map<int, QPointer<ProductWidget>> m_shown;
    // The listed products whose action failed since the list was built.
    std::set<const InstallerProduct*> m_failed;
    // Rows showing a dialog (between their stopRefresh and resumeRefresh):
    // they are inside one of their own slots and must not be destroyed.
    std::set<const QObject*> m_inDialog;
    // Shown when the category lists nothing, saying so.
    QLabel* m_emptyLabel = nullptr;
};

} // namespace installer

#endif
