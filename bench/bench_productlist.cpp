// The product list at its largest: 2,000 products of one host application
// in one category, in the main window at 900 x 900. Prints the time to
// rebuild the list and paint it, the time per scroll step (three rows, as a
// mouse wheel notch, and a page) with the paint and the row widgets alive
// after scrolling through the list, and what making one row's widget costs.
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise; the
// installer's folders go to a temporary folder.
#include "InstallerManager.h"
#include "products/InstallerProduct.h"
#include "ui/InstallerDialog.h"
#include "ui/OptionsWidget.h"
#include "ui/ProductWidget.h"

#include "Applications/Application.h"
#include "Catalogue/Product.h"
#include "Catalogue/RegisteredPlatform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <algorithm>
#include <vector>

using namespace vantorix;
using namespace installer;

namespace {

const int productCount = 2000;
const int buildRuns = 5;
const int scrollSteps = 200;

struct Figures {
    double median;
    double worst;
};

Figures summarise(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
}

double elapsedMs(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

void fillTree(const Guid& hostId)
{
    const PlatformSignature signature(HostType::archiCAD, 19);
    for (int i = 0; i < productCount; ++i) {
        const String name(QStringLiteral("Tool %1").arg(i, 4, 10, QLatin1Char('0')));
        RegisteredPlatform platform(String("1.00"), signature);
        platform.setOwned(true);
        platform.details().releaseList.emplace_back(String("INT"), String("http://127.0.0.1:9/a.zip"));
        const Product product(name, name, name);
        manager.getProductTree().addProduct(manager.getApplications(), product, signature, platform);
    }
    manager.setActiveApplication(hostId);
    manager.setStatus(myTools);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir sandbox;
    for (const char* name : {"VANTORIX_PREFS_DIR", "VANTORIX_SHARED_DIR", "TMPDIR"})
        qputenv(name, sandbox.path().toLocal8Bit());
    // Nothing answers: the version check at start fails at once.
    qputenv("VANTORIX_SERVICE_URL", "http://127.0.0.1:9");
    QApplication application(argc, argv);
    QTextStream out(stdout);

    InstallerDialog window;
    window.resize(900, 900);
    window.show();
    if (!QTest::qWaitFor([&]() { return window.getOptions()->isVisible(); }, 10000)) {
        out << "the window did not get past its start\n";
        return 1;
    }
    window.getOptions()->hide();

    Guid hostId;
    hostId.generate();
    manager.getApplications().insert(
        hostId, std::make_unique<Application>(ApplicationSignature(HostType::archiCAD, 19), String()));
    fillTree(hostId);

    auto* list = window.findChild<QListWidget*>(QStringLiteral("products"));
    QWidget* listFrame = window.findChild<QWidget*>(QStringLiteral("listFrame"));
    listFrame->show();
    QCoreApplication::processEvents();

    std::vector<double> builds;
    for (int run = 0; run < buildRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        QMetaObject::invokeMethod(&window, "refreshProducts");
        list->viewport()->repaint();
        builds.push_back(elapsedMs(timer));
        QCoreApplication::processEvents();
    }
    const Figures build = summarise(builds);

    auto scroll = [&](int step) {
        QScrollBar* bar = list->verticalScrollBar();
        bar->setValue(0);
        QCoreApplication::processEvents();
        std::vector<double> times;
        for (int i = 0; i < scrollSteps; ++i) {
            QElapsedTimer timer;
            timer.start();
            bar->setValue(qMin(bar->maximum(), bar->value() + step));
            list->viewport()->repaint();
            times.push_back(elapsedMs(timer));
            QCoreApplication::processEvents();
        }
        return summarise(times);
    };
    const Figures wheel = scroll(3 * 60);
    QMetaObject::invokeMethod(&window, "refreshProducts");
    const Figures page = scroll(list->viewport()->height());

    int made = 0;
    for (int row = 0; row < list->count(); ++row)
        made += list->itemWidget(list->item(row)) != nullptr ? 1 : 0;

    QMetaObject::invokeMethod(&window, "refreshProducts");
    const int sampleRows = 200;
    QElapsedTimer all;
    all.start();
    for (int row = 0; row < sampleRows; ++row)
        window.widgetAt(row);
    const double oneRow = elapsedMs(all) / sampleRows;

    out << QStringLiteral("product list, %1 rows, window 900 x 900, platform %2\n")
               .arg(list->count())
               .arg(QGuiApplication::platformName());
    out << QStringLiteral("  build and paint              median %1 ms  worst %2 ms\n")
               .arg(build.median, 8, 'f', 2)
               .arg(build.worst, 8, 'f', 2);
    out << QStringLiteral("  scroll step, 3 rows          median %1 ms  worst %2 ms\n")
               .arg(wheel.median, 8, 'f', 2)
               .arg(wheel.worst, 8, 'f', 2);
    out << QStringLiteral("  scroll step, one page        median %1 ms  worst %2 ms  (%3 row widgets alive after %4 "
                          "steps)\n")
               .arg(page.median, 8, 'f', 2)
               .arg(page.worst, 8, 'f', 2)
               .arg(made)
               .arg(scrollSteps);
    out << QStringLiteral("  one row's widget             %1 ms\n").arg(oneRow, 8, 'f', 2);
    out.flush();

    // The rows refer to the tree's products: the list goes first.
    manager.setDefault();
    return 0;
}
