// Drives the installer's window through its main states and saves a picture
// of each: the options panel, the product lists after signing in, an install
// in progress, a failed install, the agreement and the release notes, then an
// offline install file made and installed from with the stand-in out of reach. It
// runs the program's own start-up against the service stand-in and the fake
// host applications that scripts/screenshots prepares (the VANTORIX_*
// variables), finds the widgets by their object names and clicks them with
// QTest. Message boxes are answered by a responder and logged, so nothing
// waits on a person.
//
//   vantorix-screenshots <output folder> <account e-mail> <password>

#include "InstallerManager.h"
#include "VantorixInstallerApp.h"
#include "products/EULAMap.h"
#include "products/InstallerProduct.h"
#include "ui/EULADialog.h"
#include "ui/InstallerDialog.h"
#include "ui/NotesDialog.h"
#include "ui/OptionsWidget.h"
#include "ui/ProductWidget.h"

#include "Interface/Alert.h"
#include "Interface/Chooser.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>

using namespace installer;

namespace {

QString outputDir;
int failures = 0;

void say(const QString& line)
{
    std::fprintf(stderr, "screenshots: %s\n", qPrintable(line));
}

void fail(const QString& what)
{
    ++failures;
    say(QStringLiteral("FAILED: ") + what);
}

// Lets pending paints, layouts and short network exchanges finish.
void settle(int ms = 300)
{
    QTest::qWait(ms);
}

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

template <typename W>
W* child(QObject* parent, const char* name)
{
    W* widget = parent != nullptr ? parent->findChild<W*>(QLatin1String(name)) : nullptr;
    if (widget == nullptr)
        fail(QStringLiteral("no widget named ") + QLatin1String(name));
    return widget;
}

// Waits for condition with the event loop running; a timeout is logged,
// and the driver goes on to take what it can.
bool waitFor(const std::function<bool()>& condition, int ms, const QString& what)
{
    if (QTest::qWaitFor(condition, ms))
        return true;
    say(QStringLiteral("timed out waiting for ") + what);
    return false;
}

void click(QWidget* widget)
{
    // Buttons through their own click: a radio button's hit area is its
    // indicator and text, not the middle of its (wider) geometry.
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->click();
    else if (widget != nullptr)
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
}

// Changes the stand-in's behaviour through its control request; waits for
// the answer.
bool control(const QString& query)
{
    const QString base = qEnvironmentVariable("VANTORIX_SERVICE_URL");
    QNetworkAccessManager network;
    std::unique_ptr<QNetworkReply> reply(network.get(QNetworkRequest(QUrl(base + QStringLiteral("/control?") + query))));
    const bool answered = QTest::qWaitFor([&] { return reply->isFinished(); }, 5000);
    if (!answered || reply->error() != QNetworkReply::NoError) {
        fail(QStringLiteral("the stand-in refused /control?") + query);
        return false;
    }
    return true;
}

// Runs action, which opens a modal dialog of type D; when the dialog is up
// and ready(dialog) holds, saves it as name and closes it with its button
// named closer, after calling beforeClose. The dialog runs its own event loop inside action, so the
// watching is done by a timer.
template <typename D>
void grabModal(const std::function<void()>& action, const QString& name, const char* closer,
               const std::function<bool(D*)>& ready, const std::function<void()>& beforeClose = {})
{
    bool seen = false;
    int waited = 0;
    QTimer watch;
    watch.setInterval(100);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        waited += 100;
        auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            if (waited > 15000) {
                watch.stop();
                fail(name + QStringLiteral(": the dialog did not open"));
            }
            return;
        }
        if (!ready(dialog) && waited < 15000)
            return;
        watch.stop();
        seen = true;
        // Text set from a download lays out over a few passes.
        QTest::qWait(800);
        save(dialog, name);
        if (beforeClose)
            beforeClose();
        if (auto* button = dialog->template findChild<QPushButton*>(QLatin1String(closer)))
            click(button);
        else
            dialog->reject();
    });
    watch.start();
    action();
    if (!seen)
        waitFor([&] { return seen || !watch.isActive(); }, 20000, name);
    watch.stop();
}

class Driver {
public:
    Driver(InstallerDialog* window, QString email, QString password)
        : m_window(window), m_email(std::move(email)), m_password(std::move(password))
    {
    }

    void run()
    {
        if (!optionsPanel())
            return;
        if (!signIn())
            return;
        categories();
        notes();
        installing();
        failed();
        settleDownloads();
        offlineFile();
    }

private:
    OptionsWidget* options() const { return m_window->getOptions(); }
    QListWidget* list() const { return m_window->findChild<QListWidget*>(QStringLiteral("products")); }

    bool optionsPanel()
    {
        if (!QTest::qWaitFor([&] { return options() != nullptr && options()->isVisible(); }, 20000)) {
            fail(QStringLiteral("the options panel did not show"));
            return false;
        }
        settle();
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

    bool signIn()
    {
        auto* email = child<QLineEdit>(options(), "emailEdit");
        auto* password = child<QLineEdit>(options(), "passwordEdit");
        if (email == nullptr || password == nullptr)
            return false;
        email->clear();
        QTest::keyClicks(email, m_email);
        password->clear();
        QTest::keyClicks(password, m_password);
        click(child<QPushButton>(options(), "submitButton"));
        if (!QTest::qWaitFor([&] { return !options()->isVisible() && list() != nullptr && list()->count() > 0; },
                             30000)) {
            fail(QStringLiteral("no products listed after signing in"));
            return false;
        }
        waitForRows();
        save(m_window, QStringLiteral("my-tools"));
        return true;
    }

    // The rows in view are made and their icons fetched shortly after a
    // rebuild.
    void waitForRows()
    {
        waitFor([&] { return m_window->shownWidgetAt(0) != nullptr; }, 5000, QStringLiteral("the first row"));
        settle(1200);
    }

    void showCategory(const char* label)
    {
        click(child<QLabel>(m_window, label));
        // A category may rightly be empty (Updates, while nothing older is
        // installed).
        if (!QTest::qWaitFor([&] { return list()->count() > 0; }, 3000)) {
            say(QLatin1String(label) + QStringLiteral(": the list is empty"));
            settle(500);
            return;
        }
        waitForRows();
    }

    void categories()
    {
        showCategory("updatesLabel");
        save(m_window, QStringLiteral("updates"));
        showCategory("trialLabel");
        save(m_window, QStringLiteral("trial"));
        // The smallest window the user can make: nothing may cover or clip.
        const QSize size = m_window->size();
        m_window->resize(m_window->minimumSize());
        settle(500);
        save(m_window, QStringLiteral("trial-smallest"));
        m_window->resize(size);
        settle(300);
        showCategory("myToolsLabel");
    }

    // The first row of My Tools whose product has release notes; the link
    // of its label opens them.
    void notes()
    {
        ProductWidget* row = m_window->widgetAt(0);
        if (row == nullptr) {
            fail(QStringLiteral("no row for the release notes"));
            return;
        }
        grabModal<NotesDialog>([row] { row->openLink(); }, QStringLiteral("notes"), "okButton",
                               [](NotesDialog*) { return true; });
        settle();
    }

    // The row of the first product of the list that is not installed.
    int installableRow()
    {
        for (int row = 0; row < list()->count(); ++row) {
            InstallerProduct* product = m_window->productAt(row);
            if (product != nullptr && !product->isInstalled() && !product->isBusy())
                return row;
        }
        return -1;
    }

    // Clicks the install button of row; answers the agreement, saving it as
    // agreementName when given. The stand-in misbehaves (query) only once the
    // agreement has arrived, so that just the product's archive suffers.
    void install(int row, const QString& agreementName, const QString& query)
    {
        list()->scrollToItem(list()->item(row));
        settle();
        ProductWidget* widget = m_window->widgetAt(row);
        auto* button = widget != nullptr ? widget->findChild<QPushButton*>(QStringLiteral("button")) : nullptr;
        if (button == nullptr) {
            fail(QStringLiteral("no install button in row %1").arg(row));
            return;
        }
        say(QStringLiteral("installing row %1: %2").arg(row).arg(widget->findChild<QLabel*>(QStringLiteral("label"))->text()));
        grabModal<EULADialog>([button] { click(button); },
                              agreementName.isEmpty() ? QStringLiteral("agreement-unused") : agreementName, "okButton",
                              [](EULADialog* dialog) {
                                  auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("okButton"));
                                  return ok != nullptr && ok->isEnabled();
                              },
                              [query] {
                                  if (!query.isEmpty())
                                      control(query);
                              });
        if (agreementName.isEmpty())
            QFile::remove(QDir(outputDir).filePath(QStringLiteral("agreement-unused.png")));
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
        install(row, QStringLiteral("agreement"), QStringLiteral("stall-files=900"));
        waitFor(
            [&] {
                ProductWidget* widget = m_window->shownWidgetAt(row);
                auto* bar = widget != nullptr ? widget->findChild<QProgressBar*>(QStringLiteral("progressBar")) : nullptr;
                return bar != nullptr && bar->isVisible() && bar->value() > 0;
            },
            5000, QStringLiteral("the progress of the install"));
        settle(800);
        if (InstallerProduct* product = m_window->productAt(row))
            say(QStringLiteral("install progress %1 of %2").arg(product->getProgressValue()).arg(product->getProgressRange()));
        save(m_window, QStringLiteral("installing"));
        // Cancel it: the same button while the install runs.
        if (ProductWidget* widget = m_window->shownWidgetAt(row))
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
        install(row, QString(), QStringLiteral("short-files=1"));
        waitFor(
            [&] {
                InstallerProduct* product = m_window->productAt(row);
                return product != nullptr && !product->isBusy();
            },
            15000, QStringLiteral("the failed install to end"));
        settle(1000);
        save(m_window, QStringLiteral("failed"));
        control(QStringLiteral("reset=1"));
    }

    bool idle()
    {
        for (int row = 0; row < list()->count(); ++row) {
            InstallerProduct* product = m_window->productAt(row);
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
        click(child<QPushButton>(m_window, "connectionButton"));
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
        QMetaObject::invokeMethod(m_window, "installAll");
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
        save(m_window, QStringLiteral("offline-create"));
        click(child<QPushButton>(m_window, "connectionButton"));
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
            install(row, QStringLiteral("offline-agreement"), QString());
            waitFor([&] { return idle(); }, 30000, QStringLiteral("the install from the file"));
            settle(1200);
        }
        save(m_window, QStringLiteral("offline-install"));
        QFile::remove(path);
    }

    // The cancelled install's archive still waits on the stalled file. A
    // download left open when the program ends crashes it at exit (its
    // reply ends after the string tables are gone), so wait until the
    // downloader gives up on the silent connection.
    void settleDownloads()
    {
        const auto idle = [&] {
            for (int row = 0; row < list()->count(); ++row) {
                InstallerProduct* product = m_window->productAt(row);
                if (product != nullptr && product->isBusy())
                    return false;
            }
            return true;
        };
        if (!idle())
            say(QStringLiteral("waiting for the stalled download to time out"));
        waitFor(idle, 60000, QStringLiteral("the downloads to end"));
        settle(500);
    }

    InstallerDialog* m_window;
    QString m_email;
    QString m_password;
};

} // namespace

int main(int argc, char* argv[])
{
    auto application = std::make_unique<QApplication>(argc, argv);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
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
    if (failures > 0)
        status = 1;
    return status;
}
