#include "ApplicationMenu.h"
#include "ui_ApplicationMenu.h"

#include "InstallerManager.h"
#include "ui/TextFit.h"

#include "Applications/Application.h"
#include "Environment/Host.h"
#include "File/Directory.h"
#include "Interface/ErrorAlert.h"

#include <QStandardItemModel>

using namespace vantorix;

namespace installer {

namespace {

const char* const controlStyle = "font: 12pt \"Arial\";";

QString labelOf(const Application& application, const ApplicationMenu::DisplayProperties& display)
{
    const ApplicationSignature& signature = application.getSignature();
    QString label = signature.getVersionString().qString();
    if (signature.getType() == ApplicationSignature::solo)
        label += QLatin1String(" Solo");
    else if (signature.getType() == ApplicationSignature::start)
        label = QLatin1String("SE ") + label;
    if (display.showLanguage)
        label += QLatin1Char(' ') + signature.getLanguage().qString().toUpper();
    if (display.showPath && !application.getPath().empty())
        label += QLatin1String(" (") + application.getPath().qString() + QLatin1Char(')');
    return label;
}

} // namespace

ApplicationItem::ApplicationItem(const Guid& id, const QString& label) : QStandardItem(label), m_id(id)
{
    setCheckable(false);
    setSelectable(true);
    setEditable(false);
}

ApplicationMenu::ApplicationMenu(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::ApplicationMenu>()), m_model(new QStandardItemModel(this))
{
    ui->setupUi(this);
    ui->platform->setStyleSheet(QLatin1String(controlStyle));
    ui->menu->setStyleSheet(QLatin1String(controlStyle));
    ui->findButton->setStyleSheet(QLatin1String(controlStyle));
    ui->menu->setModel(m_model);

    // Room for the caption and the button in the screen's fonts; the menu
    // keeps at least the rest of the designed width.
    const int caption = fittedWidth(ui->platform, {ui->platform->text()}, 0, 4);
    ui->platform->setMinimumWidth(caption);
    const int button = fittedWidth(ui->findButton, {ui->findButton->text()}, 80, 16);
    ui->findButton->setMaximumWidth(button);
    ui->findButton->setMinimumWidth(qMin(button, fittedWidth(ui->findButton, {ui->findButton->text()}, 0, 16)));
    constexpr int menuWidth = 90;
    m_neededWidth = qMax(width(), caption + button + menuWidth + 2 * ui->horizontalLayout->spacing());
    setFixedWidth(m_neededWidth);
    connect(ui->menu, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ApplicationMenu::handleFilterChange);
    connect(ui->findButton, &QPushButton::clicked, this, &ApplicationMenu::addApplication);
}

ApplicationMenu::~ApplicationMenu() = default;

std::vector<QString> ApplicationMenu::uniqueLabels(const std::vector<Guid>& ids)
{
    std::vector<DisplayProperties> display(ids.size());
    std::vector<const Application*> applications;
    for (const Guid& id : ids)
        applications.push_back(manager.getApplication(id));

    auto label = [&](std::size_t i) {
        return applications[i] != nullptr ? labelOf(*applications[i], display[i]) : QString();
    };
    // One round: every label carried by two or more applications shows the
    // language where the languages differ, else the folder. True when some
    // group had differing languages (their labels may still collide).
    auto separate = [&]() {
        std::map<QString, std::vector<std::size_t>> byLabel;
        for (std::size_t i = 0; i < ids.size(); ++i) {
            if (applications[i] != nullptr)
                byLabel[label(i)].push_back(i);
        }
        bool languagesDiffered = false;
        for (const auto& group : byLabel) {
            if (group.second.size() < 2)
                continue;
            QString remembered;
            bool differ = false;
            for (std::size_t i : group.second) {
                const QString language = applications[i]->getSignature().getLanguage().qString();
                if (remembered.isEmpty())
                    remembered = language;
                else if (language != remembered)
                    differ = true;
            }
            for (std::size_t i : group.second) {
                if (differ)
                    display[i].showLanguage = true;
                else
                    display[i].showPath = true;
            }
            languagesDiffered = languagesDiffered || differ;
        }
        return languagesDiffered;
    };
    if (separate())
        separate();

    std::vector<QString> labels;
    for (std::size_t i = 0; i < ids.size(); ++i)
        labels.push_back(label(i));
    return labels;
}

void ApplicationMenu::refresh(const Guid& selected)
{
    m_updating = true;
    m_model->clear();
    std::vector<Guid> ids;
    manager.getApplicationIDs(ids, true);
    const std::vector<QString> labels = uniqueLabels(ids);

    int selectedRow = 0;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (ids[i] == selected)
            selectedRow = int(i);
        m_model->appendRow(new ApplicationItem(ids[i], labels[i]));
    }
    ui->menu->setCurrentIndex(ids.empty() ? -1 : selectedRow);
    ui->findButton->setEnabled(manager.getInstallerAction() != InstallerManager::createOfflineFile);
    m_updating = false;
    handleFilterChange();
}

void ApplicationMenu::handleFilterChange()
{
    if (m_updating)
        return;
    const int row = ui->menu->currentIndex();
    const auto* item = row >= 0 ? dynamic_cast<ApplicationItem*>(m_model->item(row)) : nullptr;
    manager.setActiveApplication(item != nullptr ? item->getID() : Guid());
    emit filterChanged();
}

void ApplicationMenu::addApplication()
{
    const std::unique_ptr<Directory> folder(Directory::promptOpen(host.getLocalString(32520, 6), this));
    if (!folder || !folder->exists())
        return;
    short code = 0;
    const Guid id = manager.addApplication(folder->getPathName(), &code);
    if (code != 0 || !id) {
        // A refusal without a code of its own reads as "not a valid installation".
        ErrorAlert(host.getLocalString(32520, 0), this)
            .show(host.getLocalString(32524, code != 0 ? code : short(InstallerManager::invalidApplication)));
        return;
    }
    refresh(id);
}

} // namespace installer
