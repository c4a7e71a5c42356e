#ifndef INSTALLER_CLI_COMMANDLINE_H
#define INSTALLER_CLI_COMMANDLINE_H

#include "Database/Guid.h"
#include "Interface/Alert.h"
#include "Serialise/Status.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QCommandLineParser;
class QIODevice;
class QJsonObject;
class QTextStream;

namespace vantorix {
class Application;
}

namespace installer {

class InstallerProduct;

// The administrators' command line, "vantorix": lists the host applications
// and the account's products, signs in and out, installs and uninstalls. It
// drives the same global manager, client and product tree as the window;
// questions the shared code would ask in a message box are answered here
// (never shown), errors it would show go to err, one line each.
//
// run() takes the arguments without the program name and returns the exit
// code. Each command runs the program's start-up and shut-down around it
// (preferences, log, hand-added host applications), and leaves the window's
// preferred host application and status filter as they were.
class CommandLine {
public:
    enum ExitCode {
        ok = 0,
        usage = 1,
        signInFailed = 2,
        serviceFailed = 3,
        notFound = 4,
        hostRejected = 5,
        actionFailed = 6,
        hostRunning = 7,
        agreementNeeded = 8,
        notSaved = 9,
        // The offline install file cannot be used: missing, damaged, not an
        // install file or written by another installer version.
        offlineUnusable = 10,
        updateAvailable = 11,
        updateFailed = 12,
        interrupted = 130
    };

    // The environment variables read.
    static const char* const passwordVariable;  // VANTORIX_PASSWORD
    static const char* const hostWaitVariable;  // VANTORIX_HOST_WAIT_SECONDS
    // How long --wait-for-host waits without the variable.
    static constexpr int defaultHostWaitSeconds = 600;

    // in is read for --password-stdin; out takes results and progress, err
    // the errors. None is owned.
    CommandLine(QIODevice* in, QTextStream& out, QTextStream& err);
    ~CommandLine();
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    // Whether out is a terminal: only then the download percentages show.
    void setTerminal(bool terminal) { m_terminal = terminal; }
    // Replaces the reading of the password line (the program turns the
    // terminal's echo off while reading). Returns false when nothing could
    // be read.
    void setPasswordReader(std::function<bool(QString&)> reader) { m_passwordReader = std::move(reader); }

    int run(const QStringList& arguments);

    // The short, stable id of a host application, derived from its folder.
    static QString hostId(const vantorix::Application& application);

private:
    int dispatch(const QString& command, const QStringList& arguments);
    int runHosts(const QStringList& arguments);
    int removeHost(const QString& value);
    // Not found by discovery: remembered in the shared file of hand-added hosts.
    static bool isHandAdded(const vantorix::Guid& id);
    int runLogin(const QStringList& arguments);
    int runLogout(const QStringList& arguments);
    int runList(const QStringList& arguments);
    int runProducts(const QString& command, const QStringList& arguments);
    // Sends a support request (or exports it with --export); see SupportRequest.
    int runSupport(const QStringList& arguments);
    // "offline create|list|install": offline install files.
    int runOffline(const QStringList& arguments);
    int createOfflineFile(const QStringList& arguments);
    int listOfflineFile(const QStringList& arguments);
    int installOfflineFile(const QStringList& arguments);
    // Checks for a newer installer and replaces this one (SelfUpdateCommand.cpp).
    int runSelfUpdate(const QStringList& arguments);

    // Parses a command's options; false after printing the error or the help
    // (code says which exit code). A command that takes no names refuses any
    // argument besides its options, without echoing it (it may be a password
    // typed in the wrong place).
    enum Names { noNames, takesNames };
    bool parse(QCommandLineParser& parser, const QString& command, const QStringList& arguments, int& code,
               Names names = noNames);

    // Signed in for the target (commercial: e-mail and password; educational:
    // an e-mail). Prints the error otherwise.
    bool requireSignIn(int target);
    // The host application of --host, or the preferred or only one; the null
    // Guid after printing the error (code says which exit code).
    vantorix::Guid chooseHost(const QString& value, int& code);
    vantorix::Guid findHost(const QString& value, int& code);
    // Fetches the listing for the target and builds the product tree for
    // the host.
    bool rebuildFor(const vantorix::Guid& hostId, int target);
    // The products named (display name or id, letter case ignored) in the
    // host's list, without repeats; false after printing an error per name
    // that matches none or several.
    bool findProducts(const vantorix::Guid& hostId, const QStringList& names,
                      std::vector<InstallerProduct*>& products);
    // Asks the manager whether the active host may be written to,
    // answering its question itself: fails at once while the host runs, or
    // waits for it to quit with --wait-for-host.
    int checkHostNotRunning(bool wait, bool installing);
    bool answerHostRunning();

    bool answerAlert(const vantorix::Alert::Request& request);
    // Answers every message box of a command through answerAlert.
    vantorix::Alert::Responder responder();
    void printError(const QString& text);
    void usageError(const QString& text);
    // Row 1 of the error table, followed by why the service was not reached.
    void printServiceError();
    QString describe(const InstallerProduct& product) const;
    QString hostLabel(const vantorix::Guid& id);
    QJsonObject hostObject(const vantorix::Guid& id);
    QString logFilePath() const;
    void printHelp(const QString& command);

    QIODevice* m_in;
    QTextStream& m_out;
    QTextStream& m_err;
    bool m_terminal = false;
    std::function<bool(QString&)> m_passwordReader;

    // The state of the question about a running host.
    bool m_askingHostRunning = false;
    bool m_waitForHost = false;
    bool m_hostWaitStarted = false;
    bool m_hostWaitTimedOut = false;
    bool m_hostWaitInterrupted = false;
    int m_hostWaitLimit = defaultHostWaitSeconds;
    QElapsedTimer m_hostWait;
    // An error box was answered (its text printed) during the command.
    bool m_errorShown = false;
};

} // namespace installer

#endif
