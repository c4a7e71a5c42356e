// The release-notes dialog: the exact rich text, highest version first with
// close versions in their given order and blank notes left out, and the size
// remembered.

#include "InstallerManager.h"
#include "products/InstallerProduct.h"
#include "ui/NotesDialog.h"

#include "Catalogue/Product.h"
#include "Catalogue/RegisteredPlatform.h"
#include "Utility/Time.h"

#include <QPushButton>
#include <QtTest>

using namespace vantorix;
using namespace installer;

Q_DECLARE_METATYPE(std::vector<vantorix::ReleaseNote>)

namespace {

const char* const header =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\" \"http://www.w3.org/TR/REC-html40/strict.dtd\">\n"
    "<html><head><meta name=\"qrichtext\" content=\"1\" /><style type=\"text/css\">\n"
    "p, li { white-space: pre-wrap; }\n</style></head>"
    "<body style=\" font-family:'Arial'; font-size:13pt; font-weight:400; font-style:normal;\">"
    "<p style=\"margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; "
    "text-indent:0px;\"><b>Stair Maker v2.10 ( 1/ 6/2015) - Release Notes</b></p><ul>";

std::unique_ptr<InstallerProduct> stairMaker()
{
    RegisteredPlatform platform;
    platform.setVersion(String("2.10"));
    platform.details().releaseDate = Time(2015, 6, 1, 0, 0, 0);
    const Product product(String("4F1C2A7E-0D3B-4C55-9E61-2B7D8A9C0E11"), String("Stair Maker"), String("SM"));
    return std::make_unique<InstallerProduct>(product, platform);
}

std::vector<ReleaseNote> notes(std::initializer_list<std::pair<double, const char*>> list)
{
    std::vector<ReleaseNote> result;
    for (const auto& note : list)
        result.emplace_back(note.first, String(note.second));
    return result;
}

} // namespace

class tst_NotesDialog : public QObject {
    Q_OBJECT

private slots:
    void text_data();
    void text();
    void size();
};

void tst_NotesDialog::text_data()
{
    QTest::addColumn<std::vector<ReleaseNote>>("given");
    QTest::addColumn<QString>("list"); // the text after the title line

    QTest::newRow("highest first") << notes({{1.2, "Landings."}, {1.3, "Spiral stairs.\nWinders."}, {1.1, "First."}})
                                   << "<li>Spiral stairs.</li><li>Winders.</li></ul><br/><b>v1.20</b><ul>"
                                      "<li>Landings.</li></ul><br/><b>v1.10</b><ul><li>First.</li>";
    // Versions within 0.00001 of each other are the same release.
    QTest::newRow("ties keep their order") << notes({{1.0, "one"}, {1.000005, "two"}, {2.0, "top"}, {0.999999, "three"}})
                                           << "<li>top</li></ul><br/><b>v1.00</b><ul><li>one</li></ul><br/>"
                                              "<b>v1.00</b><ul><li>two</li></ul><br/><b>v1.00</b><ul><li>three</li>";
    // A blank newest note gives no heading: the next note sits under the title.
    QTest::newRow("blank notes skipped") << notes({{3.0, " \n\t\r\n "}, {2.0, "Kept.\n"}, {1.0, ""}})
                                         << "<li>Kept.</li><li></li>";
}

void tst_NotesDialog::text()
{
    QFETCH(std::vector<ReleaseNote>, given);
    QFETCH(QString, list);

    const std::unique_ptr<InstallerProduct> product = stairMaker();
    NotesDialog dialog(product.get(), given, nullptr);
    QCOMPARE(dialog.getText().qString(), QString::fromUtf8(header) + list + "</ul><br/></body></html>");
}

void tst_NotesDialog::size()
{
    // A remembered size lower than the designed one is not taken; the size
    // the user leaves the dialog at is.
    manager.releaseSize = DialogSize(900, 299);
    const std::unique_ptr<InstallerProduct> product = stairMaker();
    std::vector<ReleaseNote> list = notes({{1.0, "One."}});
    NotesDialog dialog(product.get(), list, nullptr);
    QCOMPARE(dialog.size(), QSize(550, 300));
    dialog.show();
    dialog.resize(640, 420);
    QTest::mouseClick(dialog.findChild<QPushButton*>("okButton"), Qt::LeftButton);
    QCOMPARE(QSize(manager.releaseSize.width, manager.releaseSize.height), QSize(640, 420));
}

QTEST_MAIN(tst_NotesDialog)
#include "tst_NotesDialog.moc"
