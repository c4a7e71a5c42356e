#include "WindowStart.h"

#include "InstallFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace installer {
namespace windowstart {

namespace {

const char* const programName = "vantorix-installer";

QString advice()
{
    return QStringLiteral("Start it in a desktop session, or use the command line \"vantorix\" "
                          "(vantorix --help), which needs no display.");
}

void printLine(const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fprintf(stderr, "%s: %s\n", programName, bytes.constData());
    std::fflush(stderr);
}

// The state of the guard: one at a time, used from the thread that builds
// the application.
QtMessageHandler previousHandler = nullptr;
bool guarding = false;
struct Held {
    QtMsgType type;
    int line;
    QByteArray category;
    QByteArray file;
    QByteArray function;
    QString text;
};
QList<Held>* held = nullptr;

bool isPlatformMessage(const QMessageLogContext& context)
{
    return context.category != nullptr && std::strncmp(context.category, "qt.qpa", 6) == 0;
}

QString displayName()
{
    const QString x11 = qEnvironmentVariable("DISPLAY");
    if (!x11.isEmpty())
        return QStringLiteral("the display \"%1\"").arg(x11);
    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (!wayland.isEmpty())
        return QStringLiteral("the Wayland display \"%1\"").arg(wayland);
    return QStringLiteral("the display");
}

void guardHandler(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        // The platform plugin could not start; the only fatal message Qt
        // gives while the application is being built.
        QString reason;
        if (held != nullptr) {
            for (const Held& message : *held) {
                if (!message.text.trimmed().isEmpty()) {
                    reason = message.text.trimmed();
                    break;
                }
            }
        }
        QString line = QStringLiteral("cannot open a window: %1 cannot be reached").arg(displayName());
        if (!reason.isEmpty())
            line += QStringLiteral(" (%1)").arg(reason);
        line += QLatin1Char('.');
        printLine(line);
        printLine(advice());
        std::_Exit(noDisplayExitCode);
    }
    if (isPlatformMessage(context) && held != nullptr) {
        held->append(Held{type, context.line, QByteArray(context.category), QByteArray(context.file),
                          QByteArray(context.function), text});
        return;
    }
    if (previousHandler != nullptr)
        previousHandler(type, context, text);
    else
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

bool platformChosen(int argc, char* argv[])
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return true;
    }
    return false;
}

} // namespace

bool displayAvailable(int argc, char* argv[])
{
#if defined(Q_OS_MACOS) || defined(Q_OS_WIN)
    Q_UNUSED(argc)
    Q_UNUSED(argv)
    return true;
#else
    if (platformChosen(argc, argv))
        return true;
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return true;
    printLine(QStringLiteral("cannot open a window: no display is set (DISPLAY and WAYLAND_DISPLAY are empty)."));
    printLine(advice());
    return false;
#endif
}

PlatformGuard::PlatformGuard()
{
    if (guarding)
        return;
    guarding = true;
    held = new QList<Held>();
    previousHandler = qInstallMessageHandler(guardHandler);
}

PlatformGuard::~PlatformGuard()
{
    if (held == nullptr)
        return;
    qInstallMessageHandler(previousHandler);
    const QList<Held> messages = *held;
    delete held;
    held = nullptr;
    guarding = false;
    for (const Held& message : messages) {
        QMessageLogContext context(message.file.isEmpty() ? nullptr : message.file.constData(), message.line,
                                   message.function.isEmpty() ? nullptr : message.function.constData(),
                                   message.category.constData());
        qt_message_output(message.type, context, message.text);
    }
}

QIcon applicationIcon()
{
    QIcon icon;
    const QDir icons(InstallFolder::current().resource(QStringLiteral("icons")));
    const QStringList files =
        icons.entryList({QStringLiteral("vantorix-installer-*.png")}, QDir::Files, QDir::Name);
    for (const QString& file : files)
        icon.addFile(icons.filePath(file));
    return icon;
}

} // namespace windowstart
} // namespace installer
