#include "InstallerDialog.h"
#include "StringTables.h"
#include "ui_InstallerDialog.h"

#include "InstallFolder.h"
#include "InstallerClient.h"
#include "InstallerManager.h"
#include "OfflinePackage.h"
#include "ServiceCall.h"
#include "VantorixInstallerApp.h"
#include "products/InstallerProduct.h"
#include "ui/OptionsWidget.h"
#include "ui/ProductWidget.h"
#include "ui/SubmitReportDialog.h"
#include "ui/TextFit.h"
#include "update/UpdateWidget.h"
#include "update/Updater.h"
#include "update/VersionManager.h"

#include "Applications/Application.h"
#include "Environment/Addon.h"
#include "Environment/Host.h"
#include "Interface/ConfirmAlert.h"
#include "Interface/ErrorAlert.h"
#include "Interface/NotifyAlert.h"
#include "Utility/Convert.h"

#include <QCloseEvent>
#include <QDate>
#include <QDesktopWidget>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>

#include <map>

using namespace vantorix;

namespace installer {

namespace {

// "Installing $1 failed: $2", "Uninstalling $1 failed: $2", "no reason was recorded".
constexpr short installFailedRow = 35;
constexpr short uninstallFailedRow = 36;
constexpr short noReasonRow = 60;
// The error table's row for an installed folder the user cannot replace.
constexpr short packageManaged = 84;

constexpr int rowHeight = 60;
// Rows made beyond the visible ones, so that a scroll step finds them ready.
constexpr int rowsAhead = 4;

QString qtext(short table, short row)
{
    return text(table, row).qString();
}

String programName()
{
    return text(titleTable, 0);
}

// The label's text, cut at the right (with an ellipsis) to the label's width.
void setLabelText(QLabel* label, const String& value)
{
    label->setText(label->fontMetrics().elidedText(value.qString(), Qt::ElideRight, label->width()));
}

// Gives a button styled with fixed minimum and maximum sizes the room its
// texts need in the screen's font.
void fitStyledButton(QPushButton* button, const QStringList& texts)
{
    const int width = fittedWidth(button, texts, button->minimumWidth(), 12);
    const int height = fittedHeight(button, button->minimumHeight(), 4);
    if (width == button->minimumWidth() && height == button->minimumHeight())
        return;
    QString style = button->styleSheet();
    style.replace(QRegularExpression(QStringLiteral("(min|max)-width: *\\d+px")),
                  QStringLiteral("\\1-width: %1px").arg(width - 2));
    style.replace(QRegularExpression(QStringLiteral("(min|max)-height: *\\d+px")),
                  QStringLiteral("\\1-height: %1px").arg(height - 2));
    button->setStyleSheet(style);
    button->setFixedSize(width, height);
}

} // namespace

InstallerDialog::InstallerDialog(QWidget* parent) : QMainWindow(parent), ui(std::make_unique<Ui::InstallerDialog>())
{
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    m_versionManager = new VersionManager(this);
    m_options = new OptionsWidget(this);
    m_options->hide();
    ui->setupUi(this);

    // The account's labels take what room the button leaves; their text is
    // cut to it, so it must not widen the window.
    ui->welcomeLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    ui->emailLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    ui->copyrightLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    setControlsVisible(false);
    initialResize(manager.mainSize.width, manager.mainSize.height);
    ui->statusbar->hide();
    setStyles();

    String footer = text(buttonTable, 38);
    replaceAll(footer, String("$1"), String(QString::number(QDate::currentDate().year())));
    replaceAll(footer, String("$2"),
               addon != nullptr ? addon->getProductVersion() : getVersionString(VantorixInstallerApp::version));
    replaceAll(footer, String("$3"),
               addon != nullptr ? addon->getReleaseDate() : String(VantorixInstallerApp::releaseDate));
    ui->copyrightLabel->setText(footer.qString());
    ui->copyrightLabel->setToolTip(footer.qString());

    // An empty category says so in the list's place.
    m_emptyLabel = new QLabel(ui->listFrame);
    m_emptyLabel->setObjectName(QStringLiteral("emptyLabel"));
    m_emptyLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_emptyLabel->setContentsMargins(10, 40, 10, 10);
    m_emptyLabel->setWordWrap(true);
    m_emptyLabel->setStyleSheet(QStringLiteral("color: rgb(128, 128, 128);"));
    m_emptyLabel->hide();
    ui->gridLayout_3->addWidget(m_emptyLabel, 1, 0);

    // The list makes the widgets of the rows it shows, as they come into view.
    ui->products->setUniformItemSizes(true);
    ui->products->viewport()->installEventFilter(this);
    connect(ui->products->verticalScrollBar(), &QScrollBar::valueChanged, this, &InstallerDialog::showVisibleRows);

    // The start-up questions (the version check waits on the service) come
    // once the window has painted, so it is not blank while they wait; the
    // filter on the window itself stands for "not yet painted". A window that
    // is not shown when the event loop starts asks them at once.
    installEventFilter(this);
    QTimer::singleShot(0, this, [this]() {
        if (!isVisible()) {
            removeEventFilter(this);
            handleInitialise();
        }
    });
    connect(m_options, &OptionsWidget::startInstall, this, &InstallerDialog::startInstall);
    connect(ui->connectionButton, &QPushButton::clicked, this, &InstallerDialog::logout);
    connect(ui->statusFilter, &StatusFilter::filterChanged, this, &InstallerDialog::refreshProducts);
    connect(ui->applicationFilter, &ApplicationMenu::filterChanged, this, &InstallerDialog::refreshProducts);
    connect(ui->installAll, &QPushButton::clicked, this, &InstallerDialog::installAll);
    connect(ui->removeAll, &QPushButton::clicked, this, &InstallerDialog::uninstallAll);
    connect(ui->submitReport, &QPushButton::clicked, this, &InstallerDialog::submitReport);
    connect(&ServiceCall::instance(), &ServiceCall::rebuildFinished, this, &InstallerDialog::rebuildFinished);
}

InstallerDialog::~InstallerDialog()
{
    clearList();
}

void InstallerDialog::clearList()
{
    // The view would only schedule the rows' widgets for deletion; they
    // refer to products that a rebuild or reset is about to destroy, and a
    // picture finishing meanwhile would reach one. So they go now (never
    // from inside one of their own slots: rebuilds they cause are queued).
    std::map<int, QPointer<ProductWidget>> shown;
    shown.swap(m_shown);
    ui->products->clear();
    m_rows.clear();
    m_failed.clear();
    for (const auto& entry : shown)
        delete entry.second.data();
}

void InstallerDialog::dropWidget(int row, ProductWidget* widget)
{
    if (QListWidgetItem* item = ui->products->item(row))
        ui->products->removeItemWidget(item);
    delete widget;
}

void InstallerDialog::setFooterMargin(int left)
{
    QMargins margins = ui->horizontalLayout->contentsMargins();
    margins.setLeft(left);
    ui->horizontalLayout->setContentsMargins(margins);
}

void InstallerDialog::setControlsVisible(bool visible)
{
    for (QWidget* control : {static_cast<QWidget*>(ui->emailLabel), static_cast<QWidget*>(ui->connectionButton),
                             static_cast<QWidget*>(ui->welcomeLabel), static_cast<QWidget*>(ui->filterFrame),
                             static_cast<QWidget*>(ui->listFrame), static_cast<QWidget*>(ui->submitReport)})
        control->setVisible(visible);
    if (visible) {
        setFooterMargin(110);
        // The designed minimum (600 x 600) is too narrow for the categories
        // and the host menu in larger fonts: the window is never made
        // narrower than they need side by side.
        if (QLayout* layout = this->layout()) {
            layout->activate();
            setMinimumSize(minimumSize().expandedTo(layout->minimumSize()));
        }
    } else {
        setFooterMargin(10);
        clearList();
    }
}

void InstallerDialog::initialResize(short width, short height)
{
    if (width != 0 && height != 0 && width >= this->width() && height >= this->height()) {
        resize(width, height);
    } else {
        const QRect available = QGuiApplication::primaryScreen() != nullptr
                                    ? QApplication::desktop()->availableGeometry(this)
                                    : QRect();
        if (available.width() < 901 || available.height() < 901)
            return;
        resize(900, 900);
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect screenRect = screen->geometry();
        move(screenRect.width() / 2 - this->width() / 2, screenRect.height() / 2 - this->height() / 2);
    }
}

void InstallerDialog::setStyles()
{
    ui->welcomeLabel->setStyleSheet(QStringLiteral("color: rgb(128, 128, 128); font: 14pt \"Arial\";"));
    ui->emailLabel->setStyleSheet(QStringLiteral("color: rgb(128, 128, 128); font: 10pt \"Arial\";"));
    ui->installAll->setStyleSheet(QStringLiteral("font: 12pt \"Arial\";"));
    ui->removeAll->setStyleSheet(QStringLiteral("font: 12pt \"Arial\";"));

    // Room for every text the buttons can show, in the screen's fonts.
    QStringList bulk;
    for (short row = 21; row <= 25; ++row)
        bulk << qtext(buttonTable, row);
    for (QPushButton* button : {ui->installAll, ui->removeAll}) {
        button->setFixedSize(fittedWidth(button, bulk, 100, 16), fittedHeight(button, 30, 4));
    }
    ui->installFrame->setFixedHeight(qMax(30, ui->installAll->height()));
    fitStyledButton(ui->connectionButton, {qtext(buttonTable, 26), qtext(buttonTable, 27), qtext(buttonTable, 28)});
    fitStyledButton(ui->submitReport, {qtext(buttonTable, 30), qtext(buttonTable, 31)});
    // Each line gets its font's whole height, descenders included.
    const int welcomeHeight = fittedHeight(ui->welcomeLabel, 20, 2);
    const int emailHeight = fittedHeight(ui->emailLabel, 0, 1);
    ui->welcomeLabel->setMinimumHeight(welcomeHeight);
    ui->emailLabel->setMinimumHeight(emailHeight);
    ui->connection->setMaximumHeight(qMax(40, welcomeHeight + emailHeight));
    ui->footer->setFixedHeight(qMax(35, ui->submitReport->height() + 4));
    ui->statusFilter->setFixedSize(qMax(270, ui->statusFilter->neededWidth()), ui->statusFilter->height());
    ui->applicationFilter->setFixedSize(qMax(250, ui->applicationFilter->neededWidth()),
                                        ui->applicationFilter->height());
    // A narrow window takes the notice on two lines rather than cutting it.
    ui->copyrightLabel->setWordWrap(true);
}

void InstallerDialog::populateConnectionLabels()
{
    if (QLayout* layout = ui->centralwidget->layout())
        layout->activate();
    // An educational sign-in has no account name: greet by e-mail rather
    // than end the greeting with a bare comma.
    String welcome = text(buttonTable, 10);
    replaceAll(welcome, String("$1"), client.getName().empty() ? client.getEmail() : client.getName());
    if (ui->welcomeLabel->isVisible())
        setLabelText(ui->welcomeLabel, welcome);
    String email = text(buttonTable, 11);
    replaceAll(email, String("$1"), client.getEmail());
    if (ui->emailLabel->isVisible())
        setLabelText(ui->emailLabel, email);
}

void InstallerDialog::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    populateConnectionLabels();
}

void InstallerDialog::handleInitialise()
{
    const bool available = m_versionManager->isUpdateAvailable();
    if (available && !Updater::canReplace(InstallFolder::current())) {
        // A system-wide install: the package manager brings the new version.
        NotifyAlert(programName(), this)
            .show(String(filledText(errorTable, packageManaged, InstallFolder::current().root())));
    } else if (available) {
        ConfirmAlert question(programName(), this);
        if (!question.isConfirmed(text(questionTable, 2), text(questionTable, 3), text(buttonTable, 8),
                                  text(buttonTable, 9))) {
            QCoreApplication::quit();
            return;
        }
        // The sheet runs the update and quits the program when it ends.
        auto* sheet = new UpdateWidget(m_versionManager, this);
        sheet->move(mapToGlobal(QPoint((width() - sheet->width()) / 2, 0)));
        sheet->show();
        return;
    }
    showOptions();
}

void InstallerDialog::showOptions()
{
    setControlsVisible(false);
    m_awaitingRebuild = false;
    manager.setDefault();
    const QPoint topLeft = mapToGlobal(QPoint((width() - m_options->width()) / 2, 0));
    m_options->move(topLeft);
    m_options->show();
}

void InstallerDialog::startInstall()
{
    setControlsVisible(true);
    QString title = qtext(titleTable, 3);
    QString connectionText = qtext(buttonTable, 26);
    QString reportText = qtext(buttonTable, 30);
    switch (manager.getInstallerAction()) {
    case InstallerManager::installFromOfflineFile:
        title = qtext(titleTable, 5);
        connectionText = qtext(buttonTable, 28);
        reportText = qtext(buttonTable, 31);
        break;
    case InstallerManager::createOfflineFile:
        title = qtext(titleTable, 4);
        connectionText = qtext(buttonTable, 27);
        break;
    default: break;
    }
    setWindowTitle(title);
    ui->connectionButton->setText(connectionText);
    ui->submitReport->setText(reportText);
    populateConnectionLabels();

    if (manager.rebuild()) {
        showProducts();
    } else if (manager.getLastError() == InstallerManager::deferred) {
        // The manager runs the rebuild once the request that holds the
        // service is answered, and reports through rebuildFinished.
        m_awaitingRebuild = true;
    } else {
        showOptions();
    }
}

void InstallerDialog::rebuildFinished(bool success)
{
    if (!m_awaitingRebuild)
        return;
    m_awaitingRebuild = false;
    if (success)
        showProducts();
    else if (manager.getLastError() != InstallerManager::deferred)
        showOptions();
    else
        m_awaitingRebuild = true;
}

void InstallerDialog::showProducts()
{
    ui->statusFilter->refresh(manager.savedStatus);
    ui->applicationFilter->refresh(manager.getApplication(manager.applicationPath));
    refreshProducts();
}

void InstallerDialog::refreshProducts()
{
    m_refreshQueued = false;
    if (m_refreshSuspended) {
        m_refreshPending = true;
        return;
    }

    const Status status = manager.getCurrentStatus();
    const int action = manager.getInstallerAction();
    const bool adding = action == InstallerManager::createOfflineFile;
    switch (status) {
    case myTools:
    case educational:
        ui->removeAll->show();
        ui->removeAll->setText(qtext(buttonTable, adding ? 25 : 24));
        ui->installAll->setText(qtext(buttonTable, adding ? 23 : 22));
        break;
    case updates:
        ui->removeAll->hide();
        ui->installAll->setText(qtext(buttonTable, 21));
        break;
    case trial:
        ui->removeAll->hide();
        ui->installAll->setText(qtext(buttonTable, adding ? 23 : 22));
        break;
    }

    clearList();
    ProductTree::ProductList* products = manager.getProductTree().getProducts(manager.getActiveApplication());
    for (std::size_t index = 0; products != nullptr && index < products->size(); ++index) {
        const auto& entry = (*products)[index];
        InstallerProduct* product = entry.get();
        if (product == nullptr || !product->isVisible())
            continue;
        if (action == InstallerManager::installFromOfflineFile && !OfflinePackage::holdsArchives(*product, manager.getArchives()))
            continue;
        if (!product->isListedIn(status))
            continue;
        m_rows.push_back(product);
        connect(product, &InstallerProduct::productActionComplete, this, &InstallerDialog::productCompleted,
                Qt::UniqueConnection);
        connect(product, &InstallerProduct::productActionFailure, this, &InstallerDialog::productFailed,
                Qt::UniqueConnection);
    }

    showEmptyCategory(m_rows.empty());

    // Every row at once (cheap); the widgets only for the rows in view.
    ui->products->setUpdatesEnabled(false);
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        auto* item = new QListWidgetItem(ui->products);
        // The view spans a row over its width; a hint without a valid
        // width would be ignored, height and all.
        item->setSizeHint(QSize(qMax(0, item->sizeHint().width()), rowHeight));
    }
    ui->products->setUpdatesEnabled(true);
    showVisibleRows();
}

void InstallerDialog::showEmptyCategory(bool empty)
{
    ui->installAll->setEnabled(!empty);
    ui->removeAll->setEnabled(!empty);
    ui->products->setVisible(!empty);
    m_emptyLabel->setVisible(empty);
    if (!empty)
        return;
    short row = 41;
    switch (manager.getCurrentStatus()) {
    case myTools: row = 41; break;
    case updates: row = 42; break;
    case trial: row = 43; break;
    case educational: row = 44; break;
    }
    QString name;
    if (const Application* application = manager.getApplication(manager.getActiveApplication()))
        name = application->getName().qString() + QLatin1Char(' ') + application->getSignature().getLanguage().qString();
    m_emptyLabel->setText(filledText(buttonTable, row, name.trimmed()));
}

void InstallerDialog::productCompleted()
{
    // Completions of many products (Uninstall All) come as many signals:
    // the list is rebuilt once after them, never inside a product's signal.
    queueRefresh();
}

void InstallerDialog::queueRefresh()
{
    if (m_refreshQueued)
        return;
    m_refreshQueued = true;
    QMetaObject::invokeMethod(this, "refreshProducts", Qt::QueuedConnection);
}

InstallerProduct* InstallerDialog::productAt(int row) const
{
    return row >= 0 && std::size_t(row) < m_rows.size() ? m_rows[std::size_t(row)] : nullptr;
}

ProductWidget* InstallerDialog::shownWidgetAt(int row) const
{
    const auto found = m_shown.find(row);
    return found != m_shown.end() ? found->second : nullptr;
}

ProductWidget* InstallerDialog::widgetAt(int row)
{
    if (ProductWidget* existing = shownWidgetAt(row))
        return existing;
    QListWidgetItem* item = ui->products->item(row);
    InstallerProduct* product = productAt(row);
    if (item == nullptr || product == nullptr)
        return nullptr;
    auto* widget = new ProductWidget(*product, this);
    connect(widget, &ProductWidget::stopRefresh, this, &InstallerDialog::stopRefresh);
    connect(widget, &ProductWidget::resumeRefresh, this, &InstallerDialog::resumeRefresh);
    // A row that failed keeps showing it until the list is rebuilt, however
    // often its widget is made again.
    if (m_failed.count(product) != 0)
        widget->actionFailure();
    ui->products->setItemWidget(item, widget);
    m_shown[row] = widget;
    return widget;
}

void InstallerDialog::productFailed()
{
    auto* product = qobject_cast<InstallerProduct*>(sender());
    if (product == nullptr)
        return;
    m_failed.insert(product);
    // The reason, where the user looks. Shown once the product's own signal
    // is over: the alert runs an event loop of its own, and the product (or
    // its row) may be gone by the time it closes.
    const bool uninstalling = product->getLastAction() == InstallerProduct::Action::uninstall;
    QString reason = product->getLastError().qString();
    if (reason.isEmpty())
        reason = text(errorTable, noReasonRow);
    const QString message = filledText(errorTable, uninstalling ? uninstallFailedRow : installFailedRow,
                                       product->getProduct().getName().qString(), reason);
    QTimer::singleShot(0, this, [this, message]() { ErrorAlert(programName(), this).show(String(message)); });
}

void InstallerDialog::showVisibleRows()
{
    const int count = ui->products->count();
    if (count == 0)
        return;
    const int viewHeight = qMax(ui->products->viewport()->height(), rowHeight);
    const QModelIndex top = ui->products->indexAt(QPoint(0, 0));
    const int first = top.isValid() ? top.row() : 0;
    const int last = qMin(count - 1, first + viewHeight / rowHeight + rowsAhead);
    // Widgets are made for the rows in view and a few around them, and the
    // others let go, so that a long list costs what a short one does.
    const int keepFirst = qMax(0, first - rowsAhead);
    for (auto it = m_shown.begin(); it != m_shown.end();) {
        // A row with a dialog open stays until the dialog is closed (the
        // dialog's own loop runs this on a resize).
        const bool inDialog = m_inDialog.count(it->second.data()) != 0;
        if (!inDialog && (it->first < keepFirst || it->first > last)) {
            dropWidget(it->first, it->second);
            it = m_shown.erase(it);
        } else {
            ++it;
        }
    }
    for (int row = first; row <= last; ++row)
        widgetAt(row);
}

bool InstallerDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->products->viewport() && event->type() == QEvent::Resize)
        QTimer::singleShot(0, this, &InstallerDialog::showVisibleRows);
    if (watched == this && event->type() == QEvent::Paint) {
        // Queued: the questions start after this paint has reached the screen.
        removeEventFilter(this);
        QTimer::singleShot(0, this, &InstallerDialog::handleInitialise);
    }
    return QMainWindow::eventFilter(watched, event);
}

void InstallerDialog::stopRefresh()
{
    if (qobject_cast<ProductWidget*>(sender()) != nullptr)
        m_inDialog.insert(sender());
    m_refreshSuspended = true;
    m_refreshPending = false;
}

void InstallerDialog::resumeRefresh()
{
    if (m_inDialog.erase(sender()) != 0) {
        // Rows kept for the dialog go once its row's slot has returned.
        QTimer::singleShot(0, this, &InstallerDialog::showVisibleRows);
    }
    m_refreshSuspended = false;
    // Queued: the widget that resumes is still inside its own slot, and the
    // rebuild destroys it.
    if (m_refreshPending)
        queueRefresh();
    m_refreshPending = false;
}

void InstallerDialog::installAll()
{
    const int action = manager.getInstallerAction();
    const Status status = manager.getCurrentStatus();
    const bool adding = action == InstallerManager::createOfflineFile;
    // The questions are modal; the rows stay as they are until the end.
    stopRefresh();
    if (!adding && !manager.canInstall()) {
        resumeRefresh();
        return;
    }

    std::map<String, bool> accepted;
    for (InstallerProduct* product : m_rows) {
        const String address = product->getPlatform().getAgreementUrl();
        if (!address.empty())
            accepted.emplace(address, false);
    }
    if (adding) {
        // Carried into the offline file; accepted where it is installed.
        for (auto& entry : accepted) {
            manager.getEULAs().fetch(entry.first);
            entry.second = true;
        }
    } else if (status != updates) {
        for (auto& entry : accepted)
            entry.second = ProductWidget::askAgreement(entry.first, this);
    }

    for (int row = 0; row < int(m_rows.size()); ++row) {
        const String address = m_rows[std::size_t(row)]->getPlatform().getAgreementUrl();
        if (status == updates || address.empty() || accepted[address]) {
            if (ProductWidget* widget = shownWidgetAt(row))
                widget->startInstall();
            else
                ProductWidget::startInstall(*m_rows[std::size_t(row)]);
        }
    }
    resumeRefresh();
}

void InstallerDialog::uninstallAll()
{
    stopRefresh();
    if (manager.getInstallerAction() != InstallerManager::createOfflineFile && !manager.canInstall()) {
        resumeRefresh();
        return;
    }
    for (int row = 0; row < int(m_rows.size()); ++row) {
        if (ProductWidget* widget = shownWidgetAt(row))
            widget->startUnInstall();
        else
            ProductWidget::startUnInstall(*m_rows[std::size_t(row)]);
    }
    resumeRefresh();
}

void InstallerDialog::logout()
{
    switch (manager.getInstallerAction()) {
    case InstallerManager::createOfflineFile:
        if (manager.saveOfflineFile()) {
            manager.sendReport();
            showOptions();
        }
        break;
    case InstallerManager::installOnline:
        if (manager.canFinishAction()) {
            manager.sendReport();
            // Forgets the password; the next start knows the e-mail only.
            client.logout();
            showOptions();
        }
        break;
    default: QCoreApplication::quit(); break;
    }
}

void InstallerDialog::submitReport()
{
    SubmitReportDialog dialog(nullptr);
    dialog.exec();
}

void InstallerDialog::closeEvent(QCloseEvent* event)
{
    if (!m_closeAsked) {
        m_closeAsked = true;
        m_closeAllowed = manager.canFinishAction();
        if (m_closeAllowed)
            manager.sendReport();
    }
    if (!m_closeAllowed) {
        m_closeAsked = false;
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace installer
