// The demo's flow on a real X server: the program's own start-up and main
// window, driven like a person would (the screenshot driver's steps), signs in
// to the service stand-in, installs one product into a fake ArchiCAD, finds
// its files on disk and quits with the program's own shut-down.
//
// The test starts an X server of its own (Xvfb, on a free display number
// that it reports when ready) before Qt opens its windowing system; it is
// skipped, with the reason, only where no X server can start.

#include "InstallerManager.h"
#include "VantorixInstallerApp.h"
#include "products/InstallerProduct.h"
#include "ui/InstallerDialog.h"

#include "WindowDriver.h"
#include "common/FakeHost.h"
#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include "Catalogue/Product.h"
#include "Environment/Host.h"
#include "Interface/AlertRecorder.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace installer;

namespace {

// Xvfb as a child process: "-displayfd" makes it write its display number
// to a pipe once it accepts connections, so no waiting by time.
class VirtualDisplay {
public:
    ~VirtualDisplay() { stop(); }

    bool start(QString& reason)
    {
        const QString log = QDir(testsupport::sandboxDir()).filePath(QStringLiteral("xvfb.log"));
        int ends[2];
        if (::pipe(ends) != 0) {
            reason = QStringLiteral("no pipe for Xvfb: ") + QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        const QByteArray fd = QByteArray::number(ends[1]);
        const QByteArray logPath = QFile::encodeName(log);
        m_pid = ::fork();
        if (m_pid < 0) {
            reason = QStringLiteral("cannot start Xvfb: ") + QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        if (m_pid == 0) {
            ::close(ends[0]);
            const int out = ::open(logPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out >= 0) {
                ::dup2(out, STDOUT_FILENO);
                ::dup2(out, STDERR_FILENO);
            }
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.constData(), "-screen", "0", "1280x1024x24", "-nolisten",
                     "tcp", "-noreset", static_cast<char*>(nullptr));
            std::fprintf(stderr, "cannot run Xvfb: %s (is the package xvfb installed?)\n", std::strerror(errno));
            ::_exit(127);
        }
        ::close(ends[1]);
        QByteArray number;
        char c = 0;
        while (true) {
            const ssize_t got = ::read(ends[0], &c, 1);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0 || c == '\n')
                break;
            number.append(c);
        }
        ::close(ends[0]);
        if (number.isEmpty()) {
            stop();
            QFile file(log);
            const QString said =
                file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()).trimmed() : QString();
            reason = QStringLiteral("no X server could start (Xvfb said: %1)")
                         .arg(said.isEmpty() ? QStringLiteral("nothing") : said.section(QLatin1Char('\n'), -3));
            return false;
        }
        m_display = QStringLiteral(":") + QString::fromLatin1(number);
        return true;
    }

    void stop()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            int status = 0;
            while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
            }
            m_pid = -1;
        }
    }

    const QString& display() const { return m_display; }

private:
    pid_t m_pid = -1;
    QString m_display;
};

QString skipReason;

bool emptyFolder(const QString& path)
{
    QDir dir(path);
    return (!dir.exists() || dir.removeRecursively()) && QDir().mkpath(path);
}

} // namespace

class tst_WindowFlow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void signInInstallAndQuit();
    void cleanupTestCase();

private:
    // Set while the program runs: a failed step still shuts it down, so its
    // log is written into the sandbox for the reader of the failure.
    std::unique_ptr<InstallerDialog> m_window;
    bool m_started = false;
    testsupport::ServiceProcess m_service;
    QString m_hostFolder;
};

void tst_WindowFlow::initTestCase()
{
    if (!skipReason.isEmpty())
        QSKIP(qPrintable(skipReason));
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));

    // Nothing installed, nobody signed in.
    const QString sandbox = testsupport::sandboxDir();
    for (const char* folder : {"prefs", "shared", "tmp", "hosts"})
        QVERIFY(emptyFolder(sandbox + QLatin1Char('/') + QLatin1String(folder)));

    // The sample data without a newer installer on offer, so the window goes
    // straight to the options panel, as in the demo.
    const QString data = sandbox + QStringLiteral("/service-data");
    QVERIFY(emptyFolder(data));
    QVERIFY(testsupport::ServiceProcess::copyFolder(testsupport::dataDir() + QStringLiteral("/Web/service"), data));
    QFile offer(data + QStringLiteral("/installer.json"));
    QVERIFY(offer.open(QIODevice::ReadOnly));
    QByteArray text = offer.readAll();
    offer.close();
    text.replace("\"2.06\"", "\"1.00\"");
    QVERIFY(offer.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(offer.write(text), qint64(text.size()));
    QVERIFY(offer.flush());
    offer.close();

    QVERIFY2(m_service.start({}, data), qPrintable(m_service.errorString()));
    m_service.exportEnvironment();

    fakehost::FakeHostOptions host;
    host.folder = sandbox + QStringLiteral("/hosts/GRAPHISOFT/ArchiCAD 19");
    QString error;
    QVERIFY2(fakehost::create(host, &error), qPrintable(error));
    m_hostFolder = QDir(host.folder).canonicalPath();
    // The host applications were looked for when the program loaded, before
    // this one was made.
    vantorix::host.initialise();
}

void tst_WindowFlow::signInInstallAndQuit()
{
    vantorix::AlertRecorder alerts(true);
    windowdriver::setPrefix(QStringLiteral("flow"));
    QCOMPARE(VantorixInstallerApp::startup(), short(0));
    m_started = true;
    m_window = std::make_unique<InstallerDialog>();
    InstallerDialog* window = m_window.get();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));

    // Any message box is a fault of the flow; its text says which.
    const auto boxes = [&] {
        QStringList texts;
        for (const vantorix::Alert::Request& box : alerts.boxes())
            texts << box.text.qString() + QLatin1Char(' ') + box.informativeText.qString();
        return texts.join(QStringLiteral(" | "));
    };

    windowdriver::WindowDriver driver(window);
    QVERIFY2(driver.waitForOptions(), qPrintable(boxes()));
    QVERIFY2(driver.signIn(QStringLiteral("anna.berg@example.com"), QStringLiteral("correct horse")),
             qPrintable(boxes()));

    const int row = driver.installableRow();
    QVERIFY2(row >= 0, "My Tools offers nothing to install");
    const QString id = window->productAt(row)->getProduct().getID().qString();
    const QString name = window->productAt(row)->getProduct().getName().qString();
    QVERIFY(driver.install(row, QStringLiteral("agreement")));

    // The list may be rebuilt meanwhile: the product is found by its id.
    const auto product = [&]() -> InstallerProduct* {
        for (int i = 0; i < driver.list()->count(); ++i) {
            InstallerProduct* candidate = window->productAt(i);
            if (candidate != nullptr && candidate->getProduct().getID().qString() == id)
                return candidate;
        }
        return nullptr;
    };
    QVERIFY2(QTest::qWaitFor([&] { return product() != nullptr && !product()->isBusy() && product()->isInstalled(); },
                             60000),
             qPrintable(name + QStringLiteral(" was not installed")));

    // Its files are on disk, inside the host application's folder.
    const std::vector<vantorix::String>& paths = product()->getLocalPaths();
    QVERIFY(!paths.empty());
    for (const vantorix::String& path : paths) {
        const QFileInfo item(path.qString());
        QVERIFY2(item.exists(), qPrintable(item.filePath()));
        QVERIFY2(item.canonicalFilePath().startsWith(m_hostFolder + QLatin1Char('/')), qPrintable(item.filePath()));
        if (item.isDir())
            QVERIFY2(QDirIterator(item.filePath(), QDir::Files, QDirIterator::Subdirectories).hasNext(),
                     qPrintable(item.filePath() + QStringLiteral(" is empty")));
        else
            QVERIFY2(item.size() > 0, qPrintable(item.filePath() + QStringLiteral(" is empty")));
    }
    const QDir records(testsupport::sandboxDir() + QStringLiteral("/shared/Vantorix Tools/Installation"));
    QVERIFY2(!records.entryList({QStringLiteral("com.vantorix.install.*.xml")}, QDir::Files).isEmpty(),
             "no installation record");

    // Quit as the program does: the window closes, then the shut-down writes
    // the log and the preferences and clears the temporary folder.
    QVERIFY(window->close());
    m_window.reset();
    m_started = false;
    VantorixInstallerApp::shutdown();
    const QString prefs = testsupport::sandboxDir() + QStringLiteral("/prefs");
    QVERIFY(QFileInfo(prefs + QStringLiteral("/Vantorix Tools/Logs/com.vantorix.installer.txt")).size() > 0);
    QVERIFY(QFileInfo::exists(prefs + QStringLiteral("/Vantorix/com.vantorixhq.vantorix_installer.xml")));
    QVERIFY(!QFileInfo::exists(testsupport::sandboxDir() + QStringLiteral("/tmp/Vantorix Installer")));

    QVERIFY2(alerts.boxes().empty(), qPrintable(QStringLiteral("message boxes: ") + boxes()));
    QCOMPARE(windowdriver::failures(), 0);
}

void tst_WindowFlow::cleanupTestCase()
{
    m_window.reset();
    if (m_started) {
        m_started = false;
        VantorixInstallerApp::shutdown();
    }
}

int main(int argc, char* argv[])
{
    // The X server outlives the application, which is destroyed first.
    VirtualDisplay display;
    QString reason;
    if (display.start(reason)) {
        qputenv("DISPLAY", display.display().toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "xcb");
        qunsetenv("WAYLAND_DISPLAY");
    } else {
        skipReason = reason;
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    tst_WindowFlow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_WindowFlow.moc"
