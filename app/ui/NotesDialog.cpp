#include "NotesDialog.h"

#include "InstallerManager.h"
#include "products/InstallerProduct.h"

#include "Utility/Convert.h"
#include "Utility/Time.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpacerItem>
#include <QTextEdit>

using namespace vantorix;

namespace installer {

namespace {

// Versions this close count as the same release.
const double sameVersion = 0.00001;

bool isBlank(const String& text)
{
    return text.qString().trimmed().isEmpty();
}

} // namespace

NotesDialog::NotesDialog(InstallerProduct* product, std::vector<ReleaseNote>& notes, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("NotesDialog"));
    setWindowTitle(QString());
    resize(designWidth, designHeight);
    setMinimumSize(designWidth, designHeight);

    auto* grid = new QGridLayout(this);
    grid->setObjectName(QStringLiteral("gridLayout"));
    grid->setSpacing(5);
    grid->setContentsMargins(5, 5, 5, 5);
    m_notesEdit = new QTextEdit(this);
    m_notesEdit->setObjectName(QStringLiteral("notesEdit"));
    m_notesEdit->setReadOnly(true);
    grid->addWidget(m_notesEdit, 0, 0);
    auto* buttons = new QHBoxLayout();
    buttons->setObjectName(QStringLiteral("horizontalLayout"));
    buttons->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    m_okButton->setFixedWidth(90);
    m_okButton->setDefault(true);
    buttons->addWidget(m_okButton);
    grid->addLayout(buttons, 1, 0);

    const DialogSize& saved = manager.releaseSize;
    if (saved.width >= width() && saved.height >= height())
        resize(saved.width, saved.height);

    String name;
    String version;
    String date;
    if (product != nullptr) {
        name = product->getProduct().getName();
        version = product->getPlatform().getVersion();
        date = ToString(product->getPlatform().getReleaseDate()).value();
    }
    m_text = buildText(name, version, date, notes);
    m_notesEdit->setHtml(m_text.qString());
    connect(m_okButton, &QPushButton::clicked, this, &NotesDialog::handleClose);
}

NotesDialog::~NotesDialog() = default;

void NotesDialog::sortNotes(std::vector<ReleaseNote>& notes)
{
    // An insertion sort: stable, and well defined with a tolerance that is
    // not transitive (std::stable_sort would not be). Lists are short.
    for (size_t i = 1; i < notes.size(); ++i) {
        ReleaseNote note = notes[i];
        size_t j = i;
        while (j > 0 && note.getVersion() - notes[j - 1].getVersion() > sameVersion) {
            notes[j] = notes[j - 1];
            --j;
        }
        if (j != i)
            notes[j] = note;
    }
}

String NotesDialog::buildText(const String& name, const String& version, const String& releaseDate,
                              std::vector<ReleaseNote>& notes)
{
    String text("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\" \"http://www.w3.org/TR/REC-html40/strict.dtd\">\n");
    text += "<html><head><meta name=\"qrichtext\" content=\"1\" /><style type=\"text/css\">\n"
            "p, li { white-space: pre-wrap; }\n</style></head>";
    text += "<body style=\" font-family:'Arial'; font-size:13pt; font-weight:400; font-style:normal;\">";
    text += "<p style=\"margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; "
            "text-indent:0px;\">";
    text += "<b>" + name + " v" + version + " (" + releaseDate + ")" + " - Release Notes</b></p><ul>";

    sortNotes(notes);
    bool first = true;
    for (const ReleaseNote& note : notes) {
        if (isBlank(note.getNote()))
            continue;
        // The first note's lines sit under the title, which names the
        // catalogue's version; later notes get a heading of their own.
        if (!first)
            text += "</ul><br/><b>v" + getVersionString(note.getVersion()) + "</b><ul>";
        first = false;
        std::vector<String> lines;
        note.getNote().split(String("\n"), lines);
        if (lines.empty()) {
            text += note.getNote();
            continue;
        }
        for (const String& line : lines)
            text += "<li>" + line + "</li>";
    }
    text += "</ul><br/></body></html>";
    return text;
}

void NotesDialog::handleClose()
{
    manager.releaseSize.width = static_cast<short>(qMin(width(), 32767));
    manager.releaseSize.height = static_cast<short>(qMin(height(), 32767));
    accept();
}

} // namespace installer
