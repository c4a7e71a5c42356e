// The main window's costs, in one run:
// - start to first paint: the window built exactly as the program's main()
//   builds it (start-up, then the window, then show), each run in a fresh
//   process, beside a bare QMainWindow of the same size started the same way.
//   Both are this program started again with "--probe-installer" or
//   "--probe-bare"; the probe catches the window's first expose, lets it paint
//   and reports the moment the paint is done on the system's monotonic clock,
//   which the parent compares with the moment it started the process. The
//   moments on the way (application made, start-up done, window made, shown,
//   first paint event, paint done, and the options panel if it came before
//   the paint) are printed too, as medians, to show where the time goes;
// - the product list: rebuilding and painting it with 200 and 2,000 products
//   of one host application in one category, the time per scroll step (three
//   rows, as a mouse wheel notch, and a page) with the row widgets alive after
//   scrolling through the list, and what making one row's widget costs.
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise; every
// folder the installer uses, the probes' included, goes to a temporary folder,
// and the service address is a loopback port nothing answers on.
#include "InstallerManager.h"
#include "QuitOnSignal.h"
#include "VantorixInstallerApp.h"
#include "products/InstallerProduct.h"
#include "ui/InstallerDialog.h"
#include "ui/OptionsWidget.h"
#include "ui/ProductWidget.h"

#include "Applications/Application.h"
#include "Catalogue/Product.h"
#include "Catalogue/RegisteredPlatform.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QExposeEvent>
#include <QListWidget>
#include <QMainWindow>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

using namespace vantorix;
using namespace installer;

namespace {

const int buildRuns = 5;
const int scrollSteps = 200;
const int startRuns = 9;
const int probeTimeoutMs = 30000;

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

// The system-wide monotonic clock, comparable between the parent and a probe.
qint64 monotonicNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QString number(double value, int decimals = 2)
{
    return QString::number(value, 'f', decimals);
}

// ---------------------------------------------------------------- probes

// Watches one top-level widget. On its window's first expose it hands the
// event on itself, so that the paint the expose triggers (all of the
// window's widgets, and the flush to the screen) is over when it returns,
// and notes the time if something was painted. Until then it counts the
// window's paint events.
class FirstPaint : public QObject {
public:
    QWidget* target = nullptr;
    qint64 paintedAt = 0;
    qint64 firstPaintEventAt = 0;
    qint64 optionsShownAt = 0;
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (target == nullptr || paintedAt != 0)
            return false;
        if (event->type() == QEvent::Paint) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget != nullptr && widget->window() == target) {
                if (paints++ == 0)
                    firstPaintEventAt = monotonicNs();
            }
            return false;
        }
        if (event->type() == QEvent::Show && optionsShownAt == 0 && qobject_cast<OptionsWidget*>(watched) != nullptr)
            optionsShownAt = monotonicNs();
        if (event->type() != QEvent::Expose || m_inside || watched != target->windowHandle())
            return false;
        m_inside = true;
        QCoreApplication::sendEvent(watched, event);
        m_inside = false;
        if (paints > 0) {
            paintedAt = monotonicNs();
            QCoreApplication::quit();
        }
        return true;
    }

private:
    bool m_inside = false;
};

// One start in this process; prints the moments on the way as
// "<stage> <monotonic ns>" lines, "painted" last.
int runProbe(bool installer, const QSize& bareSize, int argc, char* argv[])
{
    std::vector<std::pair<const char*, qint64>> stages{{"main", monotonicNs()}};
    FirstPaint watch;
    int exitCode = 0;
    QSize windowSize;
    {
        // As the program's main() does.
        auto application = std::make_unique<QApplication>(argc, argv);
        QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
        application->installEventFilter(&watch);
        stages.emplace_back("application", monotonicNs());
        if (installer) {
            QuitOnSignal quitOnSignal;
            if (VantorixInstallerApp::startup() == 0) {
                stages.emplace_back("startup", monotonicNs());
                auto window = std::make_unique<InstallerDialog>();
                watch.target = window.get();
                stages.emplace_back("constructed", monotonicNs());
                window->show();
                stages.emplace_back("shown", monotonicNs());
                exitCode = application->exec();
                windowSize = window->size();
                manager.mainSize = DialogSize(short(window->width()), short(window->height()));
                window.reset();
            } else {
                exitCode = 2;
            }
            VantorixInstallerApp::shutdown();
        } else {
            QMainWindow window;
            watch.target = &window;
            window.resize(bareSize);
            stages.emplace_back("constructed", monotonicNs());
            window.show();
            stages.emplace_back("shown", monotonicNs());
            exitCode = application->exec();
            windowSize = window.size();
        }
        application->removeEventFilter(&watch);
    }
    if (watch.paintedAt == 0)
        return exitCode != 0 ? exitCode : 3;
    if (watch.optionsShownAt != 0 && watch.optionsShownAt < watch.paintedAt)
        stages.emplace_back("options", watch.optionsShownAt);
    stages.emplace_back("paint-begins", watch.firstPaintEventAt);
    stages.emplace_back("painted", watch.paintedAt);
    for (const auto& stage : stages)
        std::printf("%s %lld\n", stage.first, static_cast<long long>(stage.second));
    std::printf("size %dx%d\n", windowSize.width(), windowSize.height());
    std::fflush(stdout);
    return std::ferror(stdout) != 0 ? 4 : exitCode;
}

// ---------------------------------------------------------------- start

// A sandbox like the tests' own: every folder of the installer inside root.
QProcessEnvironment sandboxEnvironment(const QString& root)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QList<QPair<QString, QString>> folders{
        {QStringLiteral("HOME"), QStringLiteral("home")},
        {QStringLiteral("XDG_CONFIG_HOME"), QStringLiteral("home/.config")},
        {QStringLiteral("XDG_DATA_HOME"), QStringLiteral("home/.local/share")},
        {QStringLiteral("VANTORIX_PREFS_DIR"), QStringLiteral("prefs")},
        {QStringLiteral("VANTORIX_SHARED_DIR"), QStringLiteral("shared")},
        {QStringLiteral("TMPDIR"), QStringLiteral("tmp")},
        {QStringLiteral("VANTORIX_HOST_SEARCH_PATH"), QStringLiteral("hosts")},
    };
    for (const auto& folder : folders) {
        const QString path = root + QLatin1Char('/') + folder.second;
        QDir().mkpath(path);
        environment.insert(folder.first, path);
    }
    environment.insert(QStringLiteral("VANTORIX_SANDBOX"), root);
    environment.insert(QStringLiteral("VANTORIX_SERVICE_URL"), QStringLiteral("http://127.0.0.1:9"));
    environment.insert(QStringLiteral("VANTORIX_MAC_ADDRESSES"), QStringLiteral("02-00-5E-10-00-01"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QGuiApplication::platformName());
    return environment;
}

struct StartRun {
    bool ok = false;
    double total = 0; // process start to painted, ms
    std::vector<std::pair<QString, double>> stages; // ms after the process start
    QSize size;
    QString error;
};

StartRun startProbe(const QString& mode, const QStringList& extra, const QProcessEnvironment& environment)
{
    StartRun run;
    QProcess probe;
    probe.setProcessEnvironment(environment);
    probe.setProcessChannelMode(QProcess::SeparateChannels);
    const qint64 startedAt = monotonicNs();
    probe.start(QCoreApplication::applicationFilePath(), QStringList{mode} + extra);
    if (!probe.waitForFinished(probeTimeoutMs)) {
        probe.kill();
        probe.waitForFinished();
        run.error = QStringLiteral("no answer within %1 s").arg(probeTimeoutMs / 1000);
        return run;
    }
    if (probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0) {
        run.error = QStringLiteral("exit code %1: %2")
                        .arg(probe.exitCode())
                        .arg(QString::fromLocal8Bit(probe.readAllStandardError()).left(300));
        return run;
    }
    for (const QByteArray& line : probe.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(' ');
        if (fields.size() != 2)
            continue;
        if (fields[0] == "size") {
            const QList<QByteArray> sides = fields[1].split('x');
            if (sides.size() == 2)
                run.size = QSize(sides[0].toInt(), sides[1].toInt());
            continue;
        }
        bool ok = false;
        const qint64 at = fields[1].toLongLong(&ok);
        if (!ok)
            continue;
        const double ms = double(at - startedAt) / 1e6;
        run.stages.emplace_back(QString::fromLatin1(fields[0]), ms);
        if (fields[0] == "painted") {
            run.total = ms;
            run.ok = true;
        }
    }
    if (!run.ok)
        run.error = QStringLiteral("no paint reported");
    return run;
}

// Several fresh starts of each, taken in turns so that both meet the same
// machine load; one of each first, not counted, warms the file cache.
bool measureStart(QTextStream& out, const QString& root)
{
    const QProcessEnvironment installerEnvironment = sandboxEnvironment(root + QStringLiteral("/installer"));
    const QProcessEnvironment bareEnvironment = sandboxEnvironment(root + QStringLiteral("/bare"));

    StartRun first = startProbe(QStringLiteral("--probe-installer"), {}, installerEnvironment);
    if (!first.ok) {
        out << "the installer's window did not paint: " << first.error << "\n";
        return false;
    }
    const QString size = QStringLiteral("%1x%2").arg(first.size.width()).arg(first.size.height());
    StartRun bareFirst = startProbe(QStringLiteral("--probe-bare"), {size}, bareEnvironment);
    if (!bareFirst.ok) {
        out << "the bare window did not paint: " << bareFirst.error << "\n";
        return false;
    }

    std::vector<double> installerTimes, bareTimes;
    std::map<QString, std::vector<double>> installerStages, bareStages;
    QStringList stageOrder, bareStageOrder;
    for (int i = 0; i < startRuns; ++i) {
        for (bool installer : {true, false}) {
            const StartRun run = installer
                                     ? startProbe(QStringLiteral("--probe-installer"), {}, installerEnvironment)
                                     : startProbe(QStringLiteral("--probe-bare"), {size}, bareEnvironment);
            if (!run.ok) {
                out << "a probe failed: " << run.error << "\n";
                return false;
            }
            (installer ? installerTimes : bareTimes).push_back(run.total);
            QStringList& order = installer ? stageOrder : bareStageOrder;
            for (const auto& stage : run.stages) {
                (installer ? installerStages : bareStages)[stage.first].push_back(stage.second);
                if (!order.contains(stage.first))
                    order << stage.first;
            }
        }
    }
    const Figures installer = summarise(installerTimes);
    const Figures bare = summarise(bareTimes);

    out << QStringLiteral("start to first paint, %1 fresh processes each, window %2, platform %3\n")
               .arg(startRuns)
               .arg(size)
               .arg(QGuiApplication::platformName());
    out << QStringLiteral("  installer window             median %1 ms  worst %2 ms\n")
               .arg(installer.median, 8, 'f', 2)
               .arg(installer.worst, 8, 'f', 2);
    out << QStringLiteral("  bare QMainWindow             median %1 ms  worst %2 ms\n")
               .arg(bare.median, 8, 'f', 2)
               .arg(bare.worst, 8, 'f', 2);
    out << QStringLiteral("  ratio (medians)              %1 (aim: at most 1.50)\n").arg(installer.median / bare.median, 8, 'f', 2);
    auto printStages = [&](const char* title, const QStringList& order, std::map<QString, std::vector<double>>& stages) {
        out << "  " << title << ", median ms after the process start:";
        for (const QString& name : order)
            out << "  " << name << " " << number(summarise(stages[name]).median, 1);
        out << "\n";
    };
    printStages("installer stages", stageOrder, installerStages);
    printStages("bare stages", bareStageOrder, bareStages);
    return true;
}

// ---------------------------------------------------------------- list

void fillTree(const Guid& hostId, int from, int to)
{
    const PlatformSignature signature(HostType::archiCAD, 19);
    for (int i = from; i < to; ++i) {
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

bool measureList(QTextStream& out)
{
    InstallerDialog window;
    window.resize(900, 900);
    window.show();
    if (!QTest::qWaitFor([&]() { return window.getOptions()->isVisible(); }, 10000)) {
        out << "the window did not get past its start\n";
        return false;
    }
    window.getOptions()->hide();

    Guid hostId;
    hostId.generate();
    manager.getApplications().insert(
        hostId, std::make_unique<Application>(ApplicationSignature(HostType::archiCAD, 19), String()));

    auto* list = window.findChild<QListWidget*>(QStringLiteral("products"));
    QWidget* listFrame = window.findChild<QWidget*>(QStringLiteral("listFrame"));
    listFrame->show();
    QCoreApplication::processEvents();

    auto build = [&]() {
        std::vector<double> builds;
        for (int run = 0; run < buildRuns; ++run) {
            QElapsedTimer timer;
            timer.start();
            QMetaObject::invokeMethod(&window, "refreshProducts");
            list->viewport()->repaint();
            builds.push_back(elapsedMs(timer));
            QCoreApplication::processEvents();
        }
        return summarise(builds);
    };
    out << QStringLiteral("product list, window 900 x 900, platform %1\n").arg(QGuiApplication::platformName());
    int filled = 0;
    for (int count : {200, 2000}) {
        fillTree(hostId, filled, count);
        filled = count;
        const Figures figures = build();
        out << QStringLiteral("  build and paint, %1 rows   median %2 ms  worst %3 ms%4\n")
                   .arg(list->count(), 4)
                   .arg(figures.median, 8, 'f', 2)
                   .arg(figures.worst, 8, 'f', 2)
                   .arg(count == 2000 ? QStringLiteral("  (aim: under 1000 ms)") : QString());
    }

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

    // The rows refer to the tree's products: the list goes first.
    manager.setDefault();
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc >= 2 && qstrcmp(argv[1], "--probe-installer") == 0)
        return runProbe(true, QSize(), argc, argv);
    if (argc >= 3 && qstrcmp(argv[1], "--probe-bare") == 0) {
        const QList<QByteArray> sides = QByteArray(argv[2]).split('x');
        if (sides.size() != 2)
            return 2;
        return runProbe(false, QSize(sides[0].toInt(), sides[1].toInt()), argc, argv);
    }

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir sandbox;
    if (!sandbox.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    const QString listRoot = sandbox.path() + QStringLiteral("/list");
    QDir().mkpath(listRoot);
    for (const char* name : {"VANTORIX_PREFS_DIR", "VANTORIX_SHARED_DIR", "TMPDIR"})
        qputenv(name, listRoot.toLocal8Bit());
    // Nothing answers: the version check at start fails at once.
    qputenv("VANTORIX_SERVICE_URL", "http://127.0.0.1:9");
    QApplication application(argc, argv);
    QTextStream out(stdout);

    bool ok = measureStart(out, sandbox.path());
    out.flush();
    ok = measureList(out) && ok;
    out.flush();
    return ok ? 0 : 1;
}
