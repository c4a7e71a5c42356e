// "vantorix", the administrators' command line. It needs no display: the
// core application is enough, since every question the shared code would ask
// in a message box is answered by the command line itself.

#include "QuitOnSignal.h"
#include "cli/CommandLine.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>
#include <termios.h>
#include <unistd.h>

using namespace installer;

namespace {

// Reads one line from standard input; on a terminal without echoing it.
bool readPassword(QFile& in, QTextStream& err, QString& password)
{
    const bool terminal = ::isatty(STDIN_FILENO) != 0;
    termios saved = {};
    bool echoOff = false;
    if (terminal && ::tcgetattr(STDIN_FILENO, &saved) == 0) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        echoOff = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        err << "Password: " << Qt::flush;
    }
    QByteArray line = in.readLine();
    if (echoOff) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        err << Qt::endl;
    }
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    password = QString::fromUtf8(line);
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vantorix"));
    // Ctrl-C and SIGTERM end the running wait like a quit; the command then
    // cancels what runs and shuts down as usual.
    QuitOnSignal quitOnSignal;

    QFile in;
    in.open(stdin, QIODevice::ReadOnly);
    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setCodec("UTF-8");
    err.setCodec("UTF-8");

    CommandLine commandLine(&in, out, err);
    commandLine.setTerminal(::isatty(STDOUT_FILENO) != 0);
    commandLine.setPasswordReader([&in, &err](QString& password) { return readPassword(in, err, password); });
    const int code = commandLine.run(QCoreApplication::arguments().mid(1));
    out.flush();
    err.flush();
    return code;
}
