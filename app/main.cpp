#include "InstallerManager.h"
#include "QuitOnSignal.h"
#include "VantorixInstallerApp.h"
#include "WindowStart.h"
#include "ui/InstallerDialog.h"
#include "update/Updater.h"

#include <QApplication>

#include <memory>

using namespace installer;

int main(int argc, char* argv[])
{
    // Without a display, say so plainly instead of Qt's plugin diagnostics.
    if (!windowstart::displayAvailable(argc, argv))
        return windowstart::noDisplayExitCode;
    std::unique_ptr<QApplication> application;
    {
        windowstart::PlatformGuard guard;
        application = std::make_unique<QApplication>(argc, argv);
    }
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication::setWindowIcon(windowstart::applicationIcon());
    QuitOnSignal quitOnSignal;

    int exitCode = 0;
    if (VantorixInstallerApp::startup() == 0) {
        // One optional argument: a path inside a host application's
        // "VantorixTools" add-on folder, which the options panel acts on.
        // Started by an update: the first thing is to remove the old folder.
        if (argc >= 3 && qstrcmp(argv[1], Updater::finishOption) == 0) {
            QString message;
            Updater::finishUpdate(QString::fromLocal8Bit(argv[2]), message);
        } else if (argc >= 2) {
            manager.commandLinePath = vantorix::String(QString::fromLocal8Bit(argv[1]));
        }

        // The window opens at its saved size and asks its questions once
        // the event loop runs, so it paints before anything waits.
        auto window = std::make_unique<InstallerDialog>();
        window->show();
        exitCode = application->exec();
        // Remembered for the next start; saved with the preferences below.
        manager.mainSize = DialogSize(short(window->width()), short(window->height()));
        window.reset();
    }

    VantorixInstallerApp::shutdown();
    application.reset();
    return exitCode;
}
