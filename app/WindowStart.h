#ifndef VANTORIX_INSTALLER_WINDOWSTART_H
#define VANTORIX_INSTALLER_WINDOWSTART_H

#include <QIcon>
#include <QString>

namespace installer {

// What the window program checks before and while Qt opens its windowing
// system, so that a start without a usable display ends with one clear
// message on stderr instead of Qt's plugin diagnostics and an abort.
namespace windowstart {

// The exit code of a start that could not open a window.
constexpr int noDisplayExitCode = 1;

// Before the QApplication exists: false, after printing why and what to do
// instead, when no windowing system can be named at all (no platform chosen
// by QT_QPA_PLATFORM or -platform, and neither DISPLAY nor WAYLAND_DISPLAY
// set).
bool displayAvailable(int argc, char* argv[]);

// Held around the QApplication's construction. Qt's messages about its
// platform plugin are kept back; if the plugin cannot start, Qt's fatal
// message is replaced by an explanation (naming the display and the reason
// given by the windowing system) and the process exits with
// noDisplayExitCode. When the destructor runs, the plugin did start, and the
// kept messages go to the previous handler as usual.
class PlatformGuard {
public:
    PlatformGuard();
    ~PlatformGuard();
    PlatformGuard(const PlatformGuard&) = delete;
    PlatformGuard& operator=(const PlatformGuard&) = delete;
};

// The program's icon, from the icons shipped in the installed folder; empty
// when they are missing.
QIcon applicationIcon();

} // namespace windowstart
} // namespace installer

#endif
