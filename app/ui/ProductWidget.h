#ifndef INSTALLER_UI_PRODUCTWIDGET_H
#define INSTALLER_UI_PRODUCTWIDGET_H

#include "Catalogue/ReleaseNote.h"
#include "Serialise/Status.h"
#include "Utility/String.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

namespace Ui {
class ProductWidget;
}

namespace installer {

class InstallerProduct;

// One row of the product list: the product's picture, name, version and
// information link, the progress of a running install and one button
// (install, uninstall, update, add, remove or cancel by category and
// action). Reads the product and the manager whenever it draws or acts and
// keeps no product state of its own; the product outlives the widget (the
// list is torn down before the product tree is).
class ProductWidget : public QWidget {
    Q_OBJECT
public:
    // Asks the user to accept the agreement at address; true when accepted.
    // The window and the widgets ask through it, so that the question can be
    // answered without a dialog where none may be shown.
    using AgreementQuestion = std::function<bool(const vantorix::String& address, QWidget* parent)>;
    // Shows the release notes of a product.
    using NotesViewer =
        std::function<void(InstallerProduct& product, std::vector<vantorix::ReleaseNote>& notes, QWidget* parent)>;

    ProductWidget(InstallerProduct& product, QWidget* parent);
    ~ProductWidget() override;

    InstallerProduct& getProduct() const { return m_product; }

    void refreshImage();
    void refreshButtonText();
    // Starts installing (also for the window's Install All); nothing for a
    // product installed in My Tools or an install already running.
    void startInstall();
    // Uninstalls (the window's Uninstall All) where the category allows it.
    void startUnInstall();
    // The same for a product whose row has no widget yet (a long list makes
    // the widgets of the rows in view only); the widget made later shows the
    // running install. True when an install runs.
    static bool startInstall(InstallerProduct& product);
    static void startUnInstall(InstallerProduct& product);
    // The picture's address; the grey variant for a product not installed
    // in My Tools or Educational.
    vantorix::String getImageUrl() const;
    void setIcon(const QPixmap& pixmap);
    void setFillerIcon();

    // The button's text for a category, installed state and action.
    static QString buttonText(vantorix::Status status, bool installed, int action);
    // The release notes the information link shows, in catalogue order.
    std::vector<vantorix::ReleaseNote> releaseNotes() const;

    // The agreement question: the default runs the agreement dialog.
    static bool askAgreement(const vantorix::String& address, QWidget* parent);
    static AgreementQuestion setAgreementQuestion(AgreementQuestion question);
    static NotesViewer setNotesViewer(NotesViewer viewer);

signals:
    void stopRefresh();
    void resumeRefresh();

public slots:
    void iconDownloaded();
    void buttonClicked();
    void downloadProgress(int progress);
    void actionFailure();
    void openLink();

private:
    void showProgress();

    std::unique_ptr<Ui::ProductWidget> ui;
    InstallerProduct& m_product;
};

} // namespace installer

#endif
