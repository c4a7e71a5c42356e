// Drives the installer's window through its main states and saves a picture
// of each: the options panel, the product lists after signing in, an install
// in progress, a failed install, the agreement and the release notes, the
// support report dialog, then an offline install file made and installed
// from with the stand-in out of reach. It runs the program's own start-up against the service stand-in and the fake
// host applications that scripts/screenshots prepares (the VANTORIX_*
// variables), finds the widgets by their object names and clicks them with
// QTest. Message boxes are answered by a responder and logged, so nothing
// waits on a person.
//
//   vantorix-screenshots <output folder> <account e-mail> <password>

#include "InstallerManager.h"
#include "VantorixInstallerApp.h"
#include "WindowDriver.h"
#include "products/InstallerProduct.h"
#include "ui/InstallerDialog.h"
#include "ui/NotesDialog.h"
#include "ui/OptionsWidget.h"
#include "ui/ProductWidget.h"
#include "ui/SubmitReportDialog.h"
#include "products/EULAMap.h"
#include "Interface/Chooser.h"

#include "Interface/Alert.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <cstdio>
#include <functional>
#include <memory>

using namespace installer;
using namespace windowdriver;

namespace {

QString outputDir;

bool save(QWidget* widget, const QString& name)
{
    if (widget == nullptr) {
        fail(name + QStringLiteral(": nothing to grab"));
        return false;
    }
    const QString path = QDir(outputDir).filePath(name + QStringLiteral(".png"));
    if (!widget->grab().save(path, "PNG")) {
        fail(QStringLiteral("cannot write ") + path);
        return false;
    }
    say(QStringLiteral("saved ") + path);
    return true;
}

// Text set from a download lays out over a few passes before a dialog is
// grabbed.
void saveDialog(QWidget* dialog, const QString& name)
{
    QTest::qWait(800);
    save(dialog, name);
}

class Driver : public WindowDriver {
public:
    Driver(InstallerDialog* window, QString email, QString password)
        : WindowDriver(window), m_email(std::move(email)), m_password(std::move(password))
    {
    }

    void run()
    {
        if (!optionsPanel())
            return;
        if (!signIn(m_email, m_password))
            return;
        save(window(), QStringLiteral("my-tools"));
        categories();
        notes();
        installing();
        failed();
        supportReport();
        settleDownloads();
        offlineFile();
    }

private:
    bool optionsPanel()
    {
        if (!waitForOptions())
            return false;
        save(options(), QStringLiteral("options"));

        click(child<QRadioButton>(options(), "educationalRadio"));
        settle();
        save(options(), QStringLiteral("options-educational"));
        click(child<QRadioButton>(options(), "commercialRadio"));

        click(child<QRadioButton>(options(), "createOfflineRadio"));
        settle();
        save(options(), QStringLiteral("options-offline-file"));
        click(child<QRadioButton>(options(), "installRadio"));
        settle();
        return true;
    }

    void categories()
    {
        showCategory("updatesLabel");
        save(window(), QStringLiteral("updates"));
        showCategory("trialLabel");
        save(window(), QStringLiteral("trial"));
        // The smallest window the user can make: nothing may cover or clip.
        const QSize size = window()->size();
        window()->resize(window()->minimumSize());
        settle(500);
        save(window(), QStringLiteral("trial-smallest"));
        window()->resize(size);
        settle(300);
        showCategory("myToolsLabel");
    }

    // The first row of My Tools whose product has release notes; the link
    // of its label opens them.
    void notes()
    {
        ProductWidget* row = window()->widgetAt(0);
        if (row == nullptr) {
            fail(QStringLiteral("no row for the release notes"));
            return;
        }
        answerModal<NotesDialog>([row] { row->openLink(); }, QStringLiteral("notes"), "okButton",
                                 [](NotesDialog*) { return true; },
                                 [](NotesDialog* dialog) { saveDialog(dialog, QStringLiteral("notes")); });
        settle();
    }

    // Installs row, saving the agreement as agreementName when given. The
    // stand-in misbehaves (query) only once the agreement has arrived, so
    // that just the product's archive suffers.
    void installRow(int row, const QString& agreementName, const QString& query)
    {
        install(row, agreementName.isEmpty() ? QStringLiteral("agreement") : agreementName,
                [agreementName, query](QWidget* dialog) {
                    if (!agreementName.isEmpty())
                        saveDialog(dialog, agreementName);
                    if (!query.isEmpty())
                        control(query);
                });
    }

    void installing()
    {
        // The stand-in sends the head and a part of every file, then nothing:
        // the install stays in progress.
        const int row = installableRow();
        if (row < 0) {
            fail(QStringLiteral("nothing left to install in My Tools"));
            return;
        }
        installRow(row, QStringLiteral("agreement"), QStringLiteral("stall-files=900"));
        waitFor(
            [&] {
                ProductWidget* widget = window()->shownWidgetAt(row);
                auto* bar = widget != nullptr ? widget->findChild<QProgressBar*>(QStringLiteral("progressBar")) : nullptr;
                return bar != nullptr && bar->isVisible() && bar->value() > 0;
            },
            5000, QStringLiteral("the progress of the install"));
        settle(800);
        if (InstallerProduct* product = window()->productAt(row))
            say(QStringLiteral("install progress %1 of %2").arg(product->getProgressValue()).arg(product->getProgressRange()));
        save(window(), QStringLiteral("installing"));
        // Cancel it: the same button while the install runs.
        if (ProductWidget* widget = window()->shownWidgetAt(row))
            click(widget->findChild<QPushButton*>(QStringLiteral("button")));
        settle(1000);
    }

    void failed()
    {
        // Every file cut short: the archive cannot be read.
        control(QStringLiteral("reset=1"));
        const int row = installableRow();
        if (row < 0) {
            fail(QStringLiteral("nothing left to install for the failed install"));
            return;
        }
        installRow(row, QString(), QStringLiteral("short-files=1"));
        waitFor(
            [&] {
                InstallerProduct* product = window()->productAt(row);
                return product != nullptr && !product->isBusy();
            },
            15000, QStringLiteral("the failed install to end"));
        settle(1000);
        save(window(), QStringLiteral("failed"));
        control(QStringLiteral("reset=1"));
    }

    // The support report dialog, filled in as a user would, closed unsent.
    void supportReport()
    {
        auto* button = window()->findChild<QPushButton*>(QStringLiteral("submitReport"));
        answerModal<SubmitReportDialog>(
            [button] { click(button); }, QStringLiteral("support-report"), "cancelButton",
            [](SubmitReportDialog* dialog) {
                dialog->findChild<QLineEdit*>(QStringLiteral("ticketID"))->setText(QStringLiteral("VX-20417"));
                dialog->findChild<QPlainTextEdit*>(QStringLiteral("message"))
                    ->setPlainText(QStringLiteral("Stair Maker does not show in ArchiCAD 19 after the update."));
                return true;
            },
            [](SubmitReportDialog* dialog) {
                // Text laid out over a few passes.
                QTest::qWait(800);
                saveDialog(dialog, QStringLiteral("support-report"));
            });
    }

    // The cancelled install's archive still waits on the stalled file. A
    // download left open when the program ends crashes it at exit (its
    // reply ends after the string tables are gone), so wait until the
    // downloader gives up on the silent connection.
    void settleDownloads()
    {
        waitUntilIdle(60000);
        settle(500);
    }

    bool idle()
    {
        for (int row = 0; row < list()->count(); ++row) {
            InstallerProduct* product = window()->productAt(row);
            if (product != nullptr && product->isBusy())
                return false;
        }
        return true;
    }

    // Submits the options panel, the file chooser answering path.
    bool submitWithFile(const QString& path)
    {
        vantorix::Chooser::ScopedResponder chooser(
            [path](const vantorix::Chooser::Request&) { return vantorix::String(path); });
        click(child<QPushButton>(options(), "submitButton"));
        return waitFor([&] { return !options()->isVisible() && list() != nullptr && list()->count() > 0; }, 30000,
                       QStringLiteral("the list after choosing ") + path);
    }

    // Makes an offline install file of the account's tools (Add All, Save),
    // then installs from it with the stand-in out of reach.
    void offlineFile()
    {
        const QString path = QDir(outputDir).filePath(QStringLiteral("tools.zfinstall"));
        QFile::remove(path);
        click(child<QPushButton>(window(), "connectionButton"));
        if (!waitFor([&] { return options()->isVisible(); }, 10000, QStringLiteral("the panel after logging out")))
            return;
        click(child<QRadioButton>(options(), "createOfflineRadio"));
        auto* password = child<QLineEdit>(options(), "passwordEdit");
        if (password != nullptr && password->isVisible()) {
            password->clear();
            QTest::keyClicks(password, m_password);
        }
        if (!submitWithFile(path))
            return;
        waitForRows();
        QMetaObject::invokeMethod(window(), "installAll");
        waitFor([&] { return idle(); }, 60000, QStringLiteral("the tools added to the file"));
        // Their agreements travel in the file: saving waits for them.
        waitFor(
            [] {
                for (const auto& entry : manager.getEULAs()) {
                    if (!entry.second->isReady())
                        return false;
                }
                return true;
            },
            20000, QStringLiteral("the agreements"));
        settle(1200);
        save(window(), QStringLiteral("offline-create"));
        click(child<QPushButton>(window(), "connectionButton"));
        if (!waitFor([&] { return options()->isVisible(); }, 20000, QStringLiteral("the panel after saving")))
            return;

        // The other machine: nothing answers.
        qputenv("VANTORIX_SERVICE_URL", "http://127.0.0.1:9");
        click(child<QRadioButton>(options(), "installRadio"));
        auto* offline = child<QCheckBox>(options(), "offlineCheck");
        if (offline != nullptr && !offline->isChecked())
            click(offline);
        settle();
        if (!submitWithFile(path))
            return;
        waitForRows();
        const int row = installableRow();
        if (row >= 0) {
            // The agreement comes from the file.
            installRow(row, QStringLiteral("offline-agreement"), QString());
            waitFor([&] { return idle(); }, 30000, QStringLiteral("the install from the file"));
            settle(1200);
        }
        save(window(), QStringLiteral("offline-install"));
        QFile::remove(path);
    }

    QString m_email;
    QString m_password;
};

} // namespace

int main(int argc, char* argv[])
{
    auto application = std::make_unique<QApplication>(argc, argv);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    setPrefix(QStringLiteral("screenshots"));
    if (argc < 4) {
        std::fprintf(stderr, "usage: vantorix-screenshots <output folder> <e-mail> <password>\n");
        return 2;
    }
    outputDir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(outputDir)) {
        std::fprintf(stderr, "cannot make %s\n", argv[1]);
        return 1;
    }

    // Every box is logged and answered "yes": the flow never stops on one.
    vantorix::Alert::setResponder([](const vantorix::Alert::Request& request) {
        say(QStringLiteral("message box: ") + request.text.qString() +
            (request.informativeText.empty() ? QString() : QStringLiteral(" / ") + request.informativeText.qString()));
        return true;
    });

    int status = 0;
    if (VantorixInstallerApp::startup() == 0) {
        auto window = std::make_unique<InstallerDialog>();
        window->show();
        Driver(window.get(), QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3])).run();
        window.reset();
    } else {
        fail(QStringLiteral("the installer did not start"));
    }
    VantorixInstallerApp::shutdown();
    application.reset();
    if (failures() > 0)
        status = 1;
    return status;
}
