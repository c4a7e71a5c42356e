#include "InstallerManager.h"
#include "QuitOnSignal.h"
#include "VantorixInstallerApp.h"

#include <QApplication>
#include <QWidget>

#include <memory>

using namespace installer;

int main(int argc, char* argv[])
{
    auto application = std::make_unique<QApplication>(argc, argv);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QuitOnSignal quitOnSignal;

    int exitCode = 0;
    if (VantorixInstallerApp::startup() == 0) {
        // One optional argument: a path inside a host application's
        // "VantorixTools" add-on folder, which the options panel acts on.
        if (argc >= 2)
            manager.commandLinePath = vantorix::String(QString::fromLocal8Bit(argv[1]));

        auto window = std::make_unique<QWidget>();
        window->setWindowTitle(QStringLiteral("Vantorix Installer"));
        window->resize(640, 480);
        if (manager.mainSize.width > 0 && manager.mainSize.height > 0)
            window->resize(manager.mainSize.width, manager.mainSize.height);
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
