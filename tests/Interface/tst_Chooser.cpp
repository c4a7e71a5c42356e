#include "File/DataFile.h"
#include "File/Directory.h"
#include "Interface/Chooser.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QtTest>

#include <memory>
#include <vector>

using namespace vantorix;

class tst_Chooser : public QObject {
    Q_OBJECT

private slots:
    void openFile();
    void saveAddsExtension();
    void realDialogAccepts();
};

void tst_Chooser::openFile()
{
    std::vector<Chooser::Request> requests;
    Chooser::ScopedResponder responder([&requests](const Chooser::Request& request) {
        requests.push_back(request);
        return String("/offline/Tools.zfinstall");
    });
    QWidget window;
    std::unique_ptr<DataFile> file(DataFile::promptOpen(String("Select offline install file"),
                                                        String("Vantorix Install File"), String("zfinstall"), &window));
    QVERIFY(file);
    QCOMPARE(file->getLocation().qString(), QStringLiteral("/offline/Tools.zfinstall"));
    QVERIFY(!QFileInfo::exists(QStringLiteral("/offline")));
    QCOMPARE(int(requests.size()), 1);
    QCOMPARE(requests[0].kind, Chooser::openFile);
    QCOMPARE(requests[0].title.qString(), QStringLiteral("Select offline install file"));
    QCOMPARE(requests[0].filter.qString(), QStringLiteral("Vantorix Install File (*.zfinstall)"));
    QCOMPARE(requests[0].parent, &window);

    std::unique_ptr<Directory> folder(Directory::promptOpen(String("Select ArchiCAD directory")));
    QVERIFY(folder);
    QCOMPARE(requests[1].kind, Chooser::openFolder);
    QCOMPARE(folder->getURL().qString(), QStringLiteral("/offline/Tools.zfinstall"));

    // A cancelled chooser gives nothing.
    Chooser::ScopedResponder cancel([](const Chooser::Request&) { return String(); });
    QVERIFY(!DataFile::promptOpen(String("t"), String("n"), String("e")));
    QVERIFY(!Directory::promptOpen(String("t")));
}

void tst_Chooser::saveAddsExtension()
{
    // The extension is added unless the answer has it; cancelled gives nothing.
    const struct { const char* answer; const char* expected; } answers[] = {
        {"/s/pkg.zfpkgsprt", "/s/pkg.zfpkgsprt"}, {"/s/pkg", "/s/pkg.zfpkgsprt"},
        {"/s/pkg.zip", "/s/pkg.zip.zfpkgsprt"}, {"", ""}};
    for (const auto& c : answers) {
        Chooser::Kind kind = Chooser::openFile;
        Chooser::ScopedResponder responder([&](const Chooser::Request& request) {
            kind = request.kind;
            return String(c.answer);
        });
        std::unique_ptr<DataFile> file(
            DataFile::promptSave(String("Save Support Package"), String("Support Package"), String("zfpkgsprt")));
        QCOMPARE(kind, Chooser::saveFile);
        QCOMPARE(file ? file->getLocation().qString() : QString(), QString::fromLatin1(c.expected));
    }
}

// Without a responder the Qt dialog runs; pick a file in it and accept.
void tst_Chooser::realDialogAccepts()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("made"));
    QTimer timer;
    timer.setInterval(10);
    QString title;
    // The answer is typed into the name field, as a person does:
    // QFileDialog::selectFile leaves the field alone once it has the focus,
    // and an empty field makes accept() open the folder instead. Answered on
    // every tick until the dialog has closed.
    connect(&timer, &QTimer::timeout, this, [&]() {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        title = dialog->windowTitle() + '|' + dialog->nameFilters().join(';');
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (name == nullptr) {
            // Nothing to type into: no file comes back, and the test says so.
            static_cast<QDialog*>(dialog)->reject();
            return;
        }
        name->setText(target);
        static_cast<QDialog*>(dialog)->accept();
    });
    timer.start();
    std::unique_ptr<DataFile> file(DataFile::promptSave(String("Save"), String("Vantorix Install File"), String("zfinstall")));
    timer.stop();
    QVERIFY(file);
    QCOMPARE(title, QStringLiteral("Save|Vantorix Install File (*.zfinstall)"));
    QCOMPARE(file->getLocation().qString(), target + QStringLiteral(".zfinstall"));
}

QTEST_MAIN(tst_Chooser)
#include "tst_Chooser.moc"
