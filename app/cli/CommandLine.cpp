#include "cli/CommandLine.h"

#include "cli/ProductRun.h"

#include "DirectoryHandler.h"
#include "StringTables.h"
#include "InstallerClient.h"
#include "InstallerManager.h"
#include "OfflinePackage.h"
#include "ServiceCall.h"
#include "VantorixInstallerApp.h"
#include "products/ArchiveMap.h"
#include "products/EULAMap.h"
#include "products/ImageMap.h"
#include "products/InstallerProduct.h"
#include "products/ProductTree.h"
#include "support/SupportRequest.h"
#include "update/Updater.h"
#include "update/VersionManager.h"

#include "Applications/Application.h"
#include "Applications/ApplicationMap.h"
#include "Catalogue/Installation.h"
#include "Catalogue/VantorixTools.h"
#include "Environment/Host.h"
#include "Environment/Platform.h"
#include "File/Directory.h"
#include "Utility/Convert.h"
#include "Utility/Logger.h"

#include <QCommandLineParser>
#include <QCryptographicHash>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <set>

using namespace vantorix;

namespace installer {

const char* const CommandLine::passwordVariable = "VANTORIX_PASSWORD";
const char* const CommandLine::hostWaitVariable = "VANTORIX_HOST_WAIT_SECONDS";

namespace {

// Rows of the error table.
enum ErrorRow : short {
    wrongLogin = 0,
    serviceError = 1,
    notSignedIn = 24,
    noPassword = 25,
    unknownHost = 26,
    severalHosts = 27,
    noHosts = 28,
    unknownProduct = 29,
    severalProducts = 30,
    notAvailable = 31,
    agreementRequired = 32,
    hostStillRunning = 33,
    hostRunningNoWait = 34,
    installFailed = 35,
    uninstallFailed = 36,
    cancelled = 37,
    clientNotSaved = 38,
    signOutNotSaved = 39,
    hostsNotSaved = 40,
    usageHint = 41,
    unknownCommand = 42,
    unknownStatus = 43,
    logDetails = 57,
    hostStillRunningUninstall = 58,
    hostRunningNoWaitUninstall = 59,
    noReasonRecorded = 60,
    hostNotHandAdded = 61,
    hostNotRemoved = 62,
    messageFileUnreadable = 73,
    offlineEmpty = 6,
    offlineNoProducts = 81,
    offlineAddFailed = 82,
    selfUpdateStopped = 93
};

// The service's code for a wrong e-mail or password.
constexpr short wrongCredentials = 21;

QString message(short row, const QString& first = QString(), const QString& second = QString())
{
    return filledText(errorTable, row, first, second);
}

// Message box texts may carry a little HTML (line breaks, a mail link):
// one plain line for a terminal.
QString plainText(QString text)
{
    static const QRegularExpression lineBreak(QStringLiteral("<br\\s*/?>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    text.replace(lineBreak, QStringLiteral(" "));
    text.remove(tag);
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    text.replace(QLatin1String("&quot;"), QLatin1String("\""));
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return text.simplified();
}

const char* editionText(ApplicationSignature::Type type)
{
    switch (type) {
    case ApplicationSignature::full: return "full";
    case ApplicationSignature::solo: return "solo";
    case ApplicationSignature::start: return "start";
    }
    return "";
}

// The command line's names of the list's categories; "all" is every visible
// product.
struct StatusName {
    const char* name;
    Status status;
    bool all;
};
const StatusName statusNames[] = {{"my", myTools, false},
                                  {"updates", updates, false},
                                  {"trials", trial, false},
                                  {"all", myTools, true},
                                  {"edu", educational, false}};

// The category a listed product is shown under.
QString categoryOf(const InstallerProduct& product, int target)
{
    if (target == 1)
        return QStringLiteral("edu");
    if (product.isListedIn(updates))
        return QStringLiteral("updates");
    if (product.isListedIn(myTools))
        return QStringLiteral("my");
    if (product.isListedIn(trial))
        return QStringLiteral("trials");
    return QString();
}

QString installedVersion(const InstallerProduct& product)
{
    return getVersionString(product.getLocalVersion()).qString();
}

QString column(const QString& text, int width)
{
    return text.leftJustified(width) + QStringLiteral("  ");
}

// One command's run of the program's start-up and shut-down. The command
// line works for one command only, so it leaves the window's preferred host
// application and status filter as they were.
class Session {
public:
    Session(const QString& command, Alert::Responder responder) : m_responder(std::move(responder))
    {
        VantorixInstallerApp::startup();
        // The command's name only: its arguments may hold what a user typed
        // by mistake (a password).
        Logger::write(String("Command line: ") + String(command));
        m_applicationPath = manager.applicationPath;
        m_savedStatus = manager.savedStatus;
        manager.setDefault();
        client.setDefault();
    }
    ~Session()
    {
        manager.applicationPath = m_applicationPath;
        manager.savedStatus = m_savedStatus;
        // Downloads and products go before the temporary folder is erased.
        manager.setDefault();
        VantorixInstallerApp::shutdown();
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

private:
    Alert::ScopedResponder m_responder;
    String m_applicationPath;
    Status m_savedStatus = myTools;
};

const char* const overview =
    "Usage: vantorix <command> [options]\n"
    "\n"
    "Commands:\n"
    "  hosts [--json]                     the host applications (found and added by hand)\n"
    "  hosts add FOLDER                   adds a host application's installation folder\n"
    "  hosts remove ID|FOLDER             removes a host application added by hand\n"
    "  login --email ADDRESS [--password-stdin] [--educational]\n"
    "                                     signs in and remembers the account\n"
    "  logout                             forgets the remembered password\n"
    "  list [--host ID|FOLDER] [--status my|updates|trials|all|edu] [--json]\n"
    "                                     the account's products for a host application\n"
    "  install NAME... [--host ID|FOLDER] [--accept-agreements] [--wait-for-host] [--educational]\n"
    "  uninstall NAME... [--host ID|FOLDER] [--wait-for-host] [--educational]\n"
    "  support --ticket ID [--message TEXT | --message-file FILE] [--export FILE]\n"
    "                                     sends a support request and prints its report id\n"
    "  offline create FILE NAME... [--educational]\n"
    "                                     writes an offline install file with every\n"
    "                                     language and host version of the products\n"
    "  offline list FILE [--json]         the products in an offline install file\n"
    "  offline install FILE [NAME...] [--host ID|FOLDER] [--accept-agreements]\n"
    "                                     installs from the file, without network\n"
    "\n"
    "  vantorix --version | --help | <command> --help\n"
    "\n"
    "The password is never given as an argument: pipe it to --password-stdin or set\n"
    "VANTORIX_PASSWORD. NAME is a product's name or id, letter case ignored.\n"
    "Exit codes: 0 done, 1 usage, 2 sign-in failed, 3 service unreachable, 4 not found,\n"
    "5 host folder rejected, 6 install or uninstall failed, 7 host application running,\n"
    "8 agreement not accepted, 9 a file could not be saved, 10 offline install file\n"
    "cannot be used, 11 an update is available (self-update --check), 12 the\n"
    "self-update failed, 130 interrupted.\n";

struct CommandHelp {
    const char* command;
    const char* text;
};
const CommandHelp commandHelp[] = {
    {"hosts",
     "Usage: vantorix hosts [--json]\n"
     "       vantorix hosts add FOLDER\n"
     "       vantorix hosts remove ID|FOLDER\n"
     "\n"
     "Lists the ArchiCAD installations found on this machine and those added by hand:\n"
     "id, name, version, language, edition and folder. The id is what --host takes.\n"
     "\"hosts add\" adds the installation folder (the folder that holds the\n"
     "application bundle) for every user of the machine; \"hosts remove\" forgets\n"
     "one added that way.\n"
     "\n"
     "  --json   prints {\"hosts\": [{\"id\", \"name\", \"version\", \"language\", \"edition\", \"path\",\n"
     "           \"preferred\", \"handAdded\"}]}\n"},
    {"login",
     "Usage: vantorix login --email ADDRESS [--password-stdin] [--educational]\n"
     "\n"
     "Signs in with the Vantorix service and remembers the account for the next\n"
     "commands. The password is read from standard input (one line) with\n"
     "--password-stdin, else from the environment variable VANTORIX_PASSWORD.\n"
     "A failed sign-in leaves the remembered account as it was.\n"
     "\n"
     "  --email ADDRESS    the account's e-mail address\n"
     "  --password-stdin   reads the password from standard input\n"
     "  --educational      educational use: remembers the address only (no password);\n"
     "                     list with --status edu, install with --educational\n"},
    {"logout",
     "Usage: vantorix logout\n"
     "\n"
     "Forgets the remembered password; the e-mail address stays.\n"},
    {"list",
     "Usage: vantorix list [--host ID|FOLDER] [--status my|updates|trials|all|edu] [--json]\n"
     "\n"
     "Lists the account's products for one host application: the preferred or only\n"
     "one, or the one given by --host (an id from \"vantorix hosts\" or its folder).\n"
     "\n"
     "  --status   my: the account's own and installed tools (the default);\n"
     "             updates: installed tools with a newer version; trials: tools to try;\n"
     "             all: all of these; edu: the educational listing\n"
     "  --json     prints {\"host\": {...}, \"status\", \"products\": [{\"id\", \"name\",\n"
     "             \"version\", \"installedVersion\", \"category\", \"agreement\"}]}\n"},
    {"install",
     "Usage: vantorix install NAME... [--host ID|FOLDER] [--accept-agreements]\n"
     "                        [--wait-for-host] [--educational]\n"
     "\n"
     "Downloads and installs the named products (name or id, letter case ignored)\n"
     "into the host application, and updates installed ones that have a newer version.\n"
     "Ctrl-C cancels.\n"
     "\n"
     "  --accept-agreements   accepts the products' licence agreements; without it a\n"
     "                        product with an agreement is not installed (exit 8)\n"
     "  --wait-for-host       waits for a running host application to quit (at most\n"
     "                        10 minutes, or VANTORIX_HOST_WAIT_SECONDS); without it a\n"
     "                        running host application stops the install (exit 7)\n"
     "  --educational         installs from the educational listing\n"},
    {"uninstall",
     "Usage: vantorix uninstall NAME... [--host ID|FOLDER] [--wait-for-host] [--educational]\n"
     "\n"
     "Removes the named products from the host application. A product that is not\n"
     "installed is left alone (exit 0).\n"},
    {"support",
     "Usage: vantorix support --ticket ID [--message TEXT | --message-file FILE] [--export FILE]\n"
     "\n"
     "Sends a support request to Vantorix Support, as \"Submit Report\" in the window\n"
     "does, and prints the report id the service answers with. The request carries\n"
     "the ticket id, the message, the remembered account's name and e-mail (never the\n"
     "password), the operating system's version, the network hardware address and a\n"
     "zip of the installation records and the installer's logs (see the README).\n"
     "A request the service does not confirm exits with 3.\n"
     "\n"
     "  --ticket ID           the id of the support ticket opened beforehand\n"
     "  --message TEXT        the message to support\n"
     "  --message-file FILE   reads the message from FILE (UTF-8, at most 256 KB)\n"
     "  --export FILE         writes the request to FILE instead of sending it\n"},
    {"offline",
     "Usage: vantorix offline create FILE NAME... [--educational]\n"
     "       vantorix offline list FILE [--json]\n"
     "       vantorix offline install FILE [NAME...] [--host ID|FOLDER] [--accept-agreements]\n"
     "                                    [--wait-for-host]\n"
     "\n"
     "Offline install files (\"*.zfinstall\") carry products to machines without\n"
     "internet access.\n"
     "\n"
     "create   signs in as \"vantorix install\" does, downloads every language and\n"
     "         ArchiCAD version of the named products and writes FILE (replaced whole,\n"
     "         only once complete). The file holds no password.\n"
     "list     the products in FILE: name, version, ArchiCAD version, languages.\n"
     "         --json prints {\"file\", \"target\", \"products\": [{\"id\", \"name\", \"version\",\n"
     "         \"hostVersion\", \"languages\", \"agreement\"}]}\n"
     "install  installs the named products, or every product FILE has for the host\n"
     "         application, without network and without signing in.\n"
     "\n"
     "A file that is missing, damaged or written by another installer version\n"
     "exits with 10.\n"},
    {"self-update",
     "Usage: vantorix self-update [--check]\n"
     "\n"
     "Asks the Vantorix service for the newest installer and, when it is newer,\n"
     "downloads it, checks its size and its signature, unpacks it beside the\n"
     "installed folder, checks that the new program starts, and only then puts it\n"
     "in place of this one; each step is printed. A failed update exits with 12 and\n"
     "names the step; the installed program is then as it was. An installation that\n"
     "you cannot write (a system-wide package) is updated by the package manager.\n"
     "\n"
     "  --check   prints the installed and the newest version only: exit 0 when up to\n"
     "            date, 11 when an update is available\n"},
};

const QCommandLineOption helpOption(QStringList{"h", "help"});
const QCommandLineOption jsonOption(QStringLiteral("json"));
const QCommandLineOption hostOption(QStringLiteral("host"), QString(), QStringLiteral("host"));
const QCommandLineOption statusOption(QStringLiteral("status"), QString(), QStringLiteral("status"));
const QCommandLineOption emailOption(QStringLiteral("email"), QString(), QStringLiteral("address"));
const QCommandLineOption passwordStdinOption(QStringLiteral("password-stdin"));
const QCommandLineOption educationalOption(QStringLiteral("educational"));
const QCommandLineOption acceptOption(QStringLiteral("accept-agreements"));
const QCommandLineOption waitOption(QStringLiteral("wait-for-host"));
const QCommandLineOption ticketOption(QStringLiteral("ticket"), QString(), QStringLiteral("id"));
const QCommandLineOption messageOption(QStringLiteral("message"), QString(), QStringLiteral("text"));
const QCommandLineOption messageFileOption(QStringLiteral("message-file"), QString(), QStringLiteral("file"));
const QCommandLineOption exportOption(QStringLiteral("export"), QString(), QStringLiteral("file"));
// The longest message file read, in KB.
constexpr int messageFileLimitKB = 256;

} // namespace

CommandLine::CommandLine(QIODevice* in, QTextStream& out, QTextStream& err) : m_in(in), m_out(out), m_err(err)
{
    m_passwordReader = [this](QString& password) {
        if (m_in == nullptr || !m_in->isReadable())
            return false;
        QByteArray line = m_in->readLine();
        if (line.endsWith('\n'))
            line.chop(1);
        if (line.endsWith('\r'))
            line.chop(1);
        password = QString::fromUtf8(line);
        return true;
    };
}

CommandLine::~CommandLine() = default;

QString CommandLine::hostId(const Application& application)
{
    const QByteArray folder = InstallerManager::cleanPath(application.getPath()).toByteArray();
    return QString::fromLatin1(QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(8));
}

int CommandLine::run(const QStringList& arguments)
{
    if (arguments.isEmpty()) {
        m_err << overview << Qt::flush;
        return usage;
    }
    const QString& first = arguments.first();
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        m_out << overview << Qt::flush;
        return ok;
    }
    if (first == QLatin1String("--version")) {
        m_out << "vantorix " << getVersionString(VantorixInstallerApp::version).qString() << " (build "
              << VantorixInstallerApp::buildNumber << ")" << Qt::endl;
        return ok;
    }
    if (first == QLatin1String("help")) {
        printHelp(arguments.value(1));
        return ok;
    }
    return dispatch(first, arguments.mid(1));
}

int CommandLine::dispatch(const QString& command, const QStringList& arguments)
{
    if (command == QLatin1String("hosts"))
        return runHosts(arguments);
    if (command == QLatin1String("login"))
        return runLogin(arguments);
    if (command == QLatin1String("logout"))
        return runLogout(arguments);
    if (command == QLatin1String("list"))
        return runList(arguments);
    if (command == QLatin1String("install") || command == QLatin1String("uninstall"))
        return runProducts(command, arguments);
    if (command == QLatin1String("support"))
        return runSupport(arguments);
    if (command == QLatin1String("offline"))
        return runOffline(arguments);
    if (command == QLatin1String("self-update"))
        return runSelfUpdate(arguments);
    printError(message(unknownCommand, command));
    return usage;
}

void CommandLine::printHelp(const QString& command)
{
    for (const CommandHelp& help : commandHelp) {
        if (command == QLatin1String(help.command)) {
            m_out << help.text << Qt::flush;
            return;
        }
    }
    m_out << overview << Qt::flush;
}

bool CommandLine::parse(QCommandLineParser& parser, const QString& command, const QStringList& arguments, int& code,
                        Names names)
{
    parser.addOption(helpOption);
    if (!parser.parse(QStringList{QStringLiteral("vantorix")} + arguments)) {
        usageError(parser.errorText());
        code = usage;
        return false;
    }
    if (parser.isSet(helpOption)) {
        printHelp(command);
        code = ok;
        return false;
    }
    if (names == noNames && !parser.positionalArguments().isEmpty()) {
        usageError(command + QStringLiteral(" takes no arguments besides its options."));
        code = usage;
        return false;
    }
    return true;
}

void CommandLine::printError(const QString& text)
{
    m_err << "vantorix: " << text << Qt::endl;
}

void CommandLine::printServiceError()
{
    // What happened (the address and the system's reason, or the refused
    // plain http) after the service error's own text.
    const QString problem = ServiceCall::lastProblem().qString();
    printError(problem.isEmpty() ? message(serviceError) : message(serviceError) + QLatin1Char(' ') + problem);
}

void CommandLine::usageError(const QString& text)
{
    printError(message(usageHint, text));
}

bool CommandLine::answerAlert(const Alert::Request& request)
{
    if (request.kind == Alert::confirm) {
        // The only question asked on this path is whether the host has been
        // quit; anything else is declined rather than left waiting for a
        // window nobody sees.
        if (m_askingHostRunning)
            return answerHostRunning();
        Logger::write(String("Command line: declined the question \"") + request.text + "\"");
        return false;
    }
    QString text = plainText(request.text.qString());
    const QString informative = plainText(request.informativeText.qString());
    if (!informative.isEmpty())
        text += QLatin1Char(' ') + informative;
    printError(text);
    m_errorShown = true;
    return true;
}

Alert::Responder CommandLine::responder()
{
    return [this](const Alert::Request& request) { return answerAlert(request); };
}

QString CommandLine::logFilePath() const
{
    const std::unique_ptr<Directory> prefs = platform.getUserPrefsDirectory();
    if (!prefs)
        return QString();
    return prefs->getURL().qString() + QLatin1Char('/') + DirectoryHandler::toolsFolderName + QLatin1Char('/')
        + DirectoryHandler::logFolderName + QLatin1Char('/') + VantorixInstallerApp::logFileName;
}

QString CommandLine::describe(const InstallerProduct& product) const
{
    return product.getProduct().getName().qString() + QLatin1Char(' ') + product.getPlatform().getVersion().qString();
}

QString CommandLine::hostLabel(const Guid& id)
{
    const Application* application = manager.getApplication(id);
    if (application == nullptr)
        return QString();
    const ApplicationSignature& signature = application->getSignature();
    return QStringLiteral("%1 %2 %3 [%4] %5")
        .arg(application->getName().qString(), signature.getLanguage().qString(),
             QLatin1String(editionText(signature.getType())), hostId(*application), application->getPath().qString());
}

QJsonObject CommandLine::hostObject(const Guid& id)
{
    QJsonObject object;
    const Application* application = manager.getApplication(id);
    if (application == nullptr)
        return object;
    const ApplicationSignature& signature = application->getSignature();
    object.insert(QStringLiteral("id"), hostId(*application));
    object.insert(QStringLiteral("name"), application->getName().qString());
    object.insert(QStringLiteral("version"), signature.getVersionString().qString());
    object.insert(QStringLiteral("language"), signature.getLanguage().qString());
    object.insert(QStringLiteral("edition"), QLatin1String(editionText(signature.getType())));
    object.insert(QStringLiteral("path"), application->getPath().qString());
    return object;
}

// ---- hosts

int CommandLine::runHosts(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.addOption(jsonOption);
    int code = ok;
    if (!parse(parser, QStringLiteral("hosts"), arguments, code, takesNames))
        return code;
    const QStringList positional = parser.positionalArguments();
    const bool adding = !positional.isEmpty() && positional.first() == QLatin1String("add");
    const bool removing = !positional.isEmpty() && positional.first() == QLatin1String("remove");
    if (!positional.isEmpty() && (!(adding || removing) || positional.size() != 2)) {
        usageError(QStringLiteral("Expected \"hosts\", \"hosts add FOLDER\" or \"hosts remove ID|FOLDER\"."));
        return usage;
    }

    Session session(QStringLiteral("hosts"), responder());
    manager.getApplications();
    if (removing)
        return removeHost(positional.at(1));
    if (adding) {
        const String folder(QFileInfo(positional.at(1)).absoluteFilePath());
        const bool known = static_cast<bool>(manager.getApplication(folder));
        short error = 0;
        const Guid id = manager.addApplication(folder, &error);
        if (!id) {
            printError(message(error == InstallerManager::unsupportedVersion ? InstallerManager::unsupportedVersion
                                                                             : InstallerManager::invalidApplication));
            return hostRejected;
        }
        if (known) {
            m_out << "Already known: " << hostLabel(id) << Qt::endl;
            return ok;
        }
        if (!manager.saveManualApplications()) {
            printError(message(hostsNotSaved));
            return notSaved;
        }
        m_out << "Added " << hostLabel(id) << Qt::endl;
        return ok;
    }

    std::vector<Guid> ids;
    manager.getApplicationIDs(ids, true);
    const Guid preferred = manager.applicationPath.empty() ? Guid() : manager.getApplication(manager.applicationPath);
    if (parser.isSet(jsonOption)) {
        QJsonArray hosts;
        for (const Guid& id : ids) {
            QJsonObject object = hostObject(id);
            object.insert(QStringLiteral("preferred"), id == preferred);
            object.insert(QStringLiteral("handAdded"), isHandAdded(id));
            hosts.append(object);
        }
        m_out << QJsonDocument(QJsonObject{{QStringLiteral("hosts"), hosts}}).toJson() << Qt::flush;
        return ok;
    }
    if (ids.empty()) {
        m_out << message(noHosts) << Qt::endl;
        return ok;
    }
    m_out << column("ID", 8) << column("NAME", 20) << column("VERSION", 7) << column("LANGUAGE", 8)
          << column("EDITION", 7) << "PATH" << Qt::endl;
    for (const Guid& id : ids) {
        const QJsonObject object = hostObject(id);
        m_out << column(object.value("id").toString(), 8) << column(object.value("name").toString(), 20)
              << column(object.value("version").toString(), 7) << column(object.value("language").toString(), 8)
              << column(object.value("edition").toString(), 7) << object.value("path").toString();
        if (id == preferred)
            m_out << "  (preferred)";
        if (isHandAdded(id))
            m_out << "  (added by hand)";
        m_out << Qt::endl;
    }
    return ok;
}

bool CommandLine::isHandAdded(const Guid& id)
{
    const Application* application = manager.getApplication(id);
    if (application == nullptr)
        return false;
    // Whatever discovery did not find was added by hand.
    const String path = InstallerManager::cleanPath(application->getPath());
    if (const ApplicationMap* found = host.getApplicationMap()) {
        for (const auto& entry : *found) {
            if (entry.second != nullptr && InstallerManager::cleanPath(entry.second->getPath()) == path)
                return false;
        }
    }
    return true;
}

int CommandLine::removeHost(const QString& value)
{
    Guid id;
    for (const auto& entry : manager.getApplications()) {
        if (hostId(*entry.second).compare(value, Qt::CaseInsensitive) == 0)
            id = entry.first;
    }
    if (!id)
        id = manager.getApplication(String(QFileInfo(value).absoluteFilePath()));
    if (!id) {
        printError(message(unknownHost, value));
        return notFound;
    }
    const QString label = hostLabel(id);
    if (!isHandAdded(id)) {
        printError(message(hostNotHandAdded, label));
        return notFound;
    }
    bool listed = false;
    if (!manager.forgetManualApplication(manager.getApplication(id)->getPath(), &listed)) {
        printError(message(hostNotRemoved));
        return notSaved;
    }
    if (!listed) {
        printError(message(unknownHost, value));
        return notFound;
    }
    m_out << "Removed " << label << Qt::endl;
    return ok;
}

// ---- signing in and out

int CommandLine::runLogin(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.addOption(emailOption);
    parser.addOption(passwordStdinOption);
    parser.addOption(educationalOption);
    int code = ok;
    if (!parse(parser, QStringLiteral("login"), arguments, code))
        return code;
    const QString email = parser.value(emailOption).trimmed();
    if (email.isEmpty()) {
        usageError(QStringLiteral("The option --email is missing."));
        return usage;
    }

    if (parser.isSet(educationalOption)) {
        // Educational use signs in with the address alone, as the window
        // does: the address is remembered, without a password.
        Session session(QStringLiteral("login"), responder());
        client.setDefault();
        client.setEmail(String(email));
        if (!client.logout()) {
            printError(message(clientNotSaved));
            return notSaved;
        }
        m_out << "Educational use as " << email << Qt::endl;
        return ok;
    }

    QString password;
    if (parser.isSet(passwordStdinOption)) {
        if (!m_passwordReader(password))
            password.clear();
    } else {
        password = qEnvironmentVariable(passwordVariable);
    }
    if (password.isEmpty()) {
        printError(message(noPassword));
        return usage;
    }

    Session session(QStringLiteral("login"), responder());
    short result = InstallerClient::success;
    if (!client.verifyDetails(String(email), String(password), &result)) {
        Logger::write(String("Verification failed: ") + ToString(int(result)).value());
        if (result == wrongCredentials)
            printError(message(wrongLogin));
        else
            printServiceError();
        return result == InstallerClient::postFailed ? serviceFailed : signInFailed;
    }
    // Signing in on the command line is for the commands that follow: make
    // sure the account really is in the client file.
    VantorixTools stored;
    const Client* remembered = stored.readClient() ? stored.getClient() : nullptr;
    if (remembered == nullptr || remembered->getEmail() != client.getEmail()
        || remembered->getPassword() != String(password)) {
        printError(message(clientNotSaved));
        return notSaved;
    }
    m_out << "Signed in as ";
    if (!client.getName().empty())
        m_out << client.getName().qString() << " ";
    m_out << "<" << client.getEmail().qString() << ">" << Qt::endl;
    return ok;
}

int CommandLine::runLogout(const QStringList& arguments)
{
    QCommandLineParser parser;
    int code = ok;
    if (!parse(parser, QStringLiteral("logout"), arguments, code))
        return code;
    Session session(QStringLiteral("logout"), responder());
    client.loadClientData();
    if (client.getEmail().empty()) {
        m_out << "Not signed in" << Qt::endl;
        return ok;
    }
    if (!client.logout()) {
        printError(message(signOutNotSaved));
        return notSaved;
    }
    m_out << "Signed out " << client.getEmail().qString() << Qt::endl;
    return ok;
}

bool CommandLine::requireSignIn(int target)
{
    if (target == 1) {
        // The educational listing is asked with the address alone.
        client.loadClientData();
        if (!client.getEmail().empty())
            return true;
    } else if (client.isLoggedIn()) {
        return true;
    }
    printError(message(notSignedIn));
    return false;
}

// ---- host applications and products

Guid CommandLine::chooseHost(const QString& value, int& code)
{
    // code is the exit code of a failure, and ok with a host.
    const Guid chosen = findHost(value, code);
    if (chosen)
        code = ok;
    return chosen;
}

Guid CommandLine::findHost(const QString& value, int& code)
{
    ApplicationMap& applications = manager.getApplications();
    code = notFound;
    if (applications.empty()) {
        printError(message(noHosts));
        return Guid();
    }
    if (!value.isEmpty()) {
        for (const auto& entry : applications) {
            if (hostId(*entry.second).compare(value, Qt::CaseInsensitive) == 0)
                return entry.first;
        }
        const String folder(QFileInfo(value).absoluteFilePath());
        Guid id = manager.getApplication(folder);
        if (!id)
            id = applications.findInstallation(folder);
        if (!id)
            printError(message(unknownHost, value));
        return id;
    }
    if (!manager.applicationPath.empty()) {
        const Guid preferred = manager.getApplication(manager.applicationPath);
        if (preferred)
            return preferred;
    }
    if (applications.size() == 1)
        return applications.begin()->first;
    std::vector<Guid> ids;
    manager.getApplicationIDs(ids, true);
    QStringList choices;
    for (const Guid& id : ids)
        choices << hostLabel(id);
    printError(message(severalHosts, choices.join(QStringLiteral("; "))));
    code = usage;
    return Guid();
}

bool CommandLine::rebuildFor(const Guid& hostGuid, int target)
{
    manager.setTarget(target);
    manager.setActiveApplication(hostGuid);
    m_errorShown = false;
    if (manager.rebuild())
        return true;
    // The manager has shown its error (answered by answerAlert).
    if (!m_errorShown)
        printServiceError();
    return false;
}

bool CommandLine::findProducts(const Guid& hostGuid, const QStringList& names, std::vector<InstallerProduct*>& products)
{
    const ProductTree::ProductList* list = manager.getProductTree().getProducts(hostGuid);
    const Application* application = manager.getApplication(hostGuid);
    const QString hostName = application != nullptr ? application->getName().qString() : QString();
    bool found = true;
    for (const QString& name : names) {
        std::vector<InstallerProduct*> byId;
        std::vector<InstallerProduct*> byName;
        if (list != nullptr) {
            for (const auto& product : *list) {
                if (product->getProduct().getID().qString().compare(name, Qt::CaseInsensitive) == 0)
                    byId.push_back(product.get());
                else if (product->getProduct().getName().qString().compare(name, Qt::CaseInsensitive) == 0)
                    byName.push_back(product.get());
            }
        }
        const std::vector<InstallerProduct*>& matches = byId.empty() ? byName : byId;
        if (matches.empty()) {
            printError(message(unknownProduct, name, hostName));
            found = false;
        } else if (matches.size() > 1) {
            printError(message(severalProducts, name, hostName));
            found = false;
        } else if (std::find(products.begin(), products.end(), matches.front()) == products.end()) {
            products.push_back(matches.front());
        }
    }
    return found;
}

int CommandLine::checkHostNotRunning(bool wait, bool installing)
{
    m_waitForHost = wait;
    m_hostWaitStarted = false;
    m_hostWaitTimedOut = false;
    m_hostWaitInterrupted = false;
    bool valid = false;
    const int seconds = qEnvironmentVariableIntValue(hostWaitVariable, &valid);
    m_hostWaitLimit = valid && seconds >= 0 ? seconds : defaultHostWaitSeconds;

    m_askingHostRunning = true;
    const bool free = manager.canInstall();
    m_askingHostRunning = false;
    if (free)
        return ok;
    if (m_hostWaitInterrupted) {
        printError(message(cancelled));
        return interrupted;
    }
    const Application* application = manager.getApplication(manager.getActiveApplication());
    const QString name = application != nullptr ? application->getName().qString() : QString();
    if (m_hostWaitTimedOut)
        printError(message(installing ? hostStillRunning : hostStillRunningUninstall, name,
                           QString::number(m_hostWaitLimit)));
    else
        printError(message(installing ? hostRunningNoWait : hostRunningNoWaitUninstall, name));
    return hostRunning;
}

bool CommandLine::answerHostRunning()
{
    if (!m_waitForHost)
        return false;
    if (!m_hostWaitStarted) {
        m_hostWaitStarted = true;
        m_hostWait.start();
        const Application* application = manager.getApplication(manager.getActiveApplication());
        m_out << "Waiting for " << (application != nullptr ? application->getName().qString() : QString())
              << " to quit (at most " << m_hostWaitLimit << " seconds) ..." << Qt::endl;
    }
    const qint64 remaining = qint64(m_hostWaitLimit) * 1000 - m_hostWait.elapsed();
    if (remaining <= 0) {
        m_hostWaitTimedOut = true;
        return false;
    }
    // Looks again after a second. The loop also ends when the program is
    // told to quit (Ctrl-C), which then ends the wait.
    QEventLoop loop;
    QTimer::singleShot(int(std::min<qint64>(remaining, 1000)), &loop, [&loop] { loop.exit(1); });
    if (loop.exec() != 1) {
        m_hostWaitInterrupted = true;
        return false;
    }
    return true;
}

int CommandLine::runList(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.addOption(hostOption);
    parser.addOption(statusOption);
    parser.addOption(jsonOption);
    int code = ok;
    if (!parse(parser, QStringLiteral("list"), arguments, code))
        return code;
    const QString statusText = parser.isSet(statusOption) ? parser.value(statusOption) : QStringLiteral("my");
    const StatusName* status = nullptr;
    for (const StatusName& entry : statusNames) {
        if (statusText == QLatin1String(entry.name))
            status = &entry;
    }
    if (status == nullptr) {
        printError(message(unknownStatus, statusText));
        return usage;
    }
    const int target = status->status == educational ? 1 : 0;

    Session session(QStringLiteral("list"), responder());
    if (!requireSignIn(target))
        return signInFailed;
    const Guid hostGuid = chooseHost(parser.value(hostOption), code);
    if (!hostGuid)
        return code;
    if (!rebuildFor(hostGuid, target))
        return serviceFailed;

    std::vector<const InstallerProduct*> listed;
    if (const ProductTree::ProductList* list = manager.getProductTree().getProducts(hostGuid)) {
        for (const auto& product : *list) {
            if (product->isVisible() && (status->all || product->isListedIn(status->status)))
                listed.push_back(product.get());
        }
    }
    std::stable_sort(listed.begin(), listed.end(), [](const InstallerProduct* a, const InstallerProduct* b) {
        return a->getProduct().getName().qString().compare(b->getProduct().getName().qString(), Qt::CaseInsensitive)
            < 0;
    });

    if (parser.isSet(jsonOption)) {
        QJsonArray products;
        for (const InstallerProduct* product : listed) {
            const QString agreement = product->getPlatform().getAgreementUrl().qString();
            products.append(QJsonObject{
                {QStringLiteral("id"), product->getProduct().getID().qString()},
                {QStringLiteral("name"), product->getProduct().getName().qString()},
                {QStringLiteral("version"), product->getPlatform().getVersion().qString()},
                {QStringLiteral("installedVersion"),
                 product->isInstalled() ? QJsonValue(installedVersion(*product)) : QJsonValue(QJsonValue::Null)},
                {QStringLiteral("category"), categoryOf(*product, target)},
                {QStringLiteral("agreement"), agreement.isEmpty() ? QJsonValue(QJsonValue::Null) : agreement}});
        }
        const QJsonObject document{{QStringLiteral("host"), hostObject(hostGuid)},
                                   {QStringLiteral("status"), statusText},
                                   {QStringLiteral("products"), products}};
        m_out << QJsonDocument(document).toJson() << Qt::flush;
        return ok;
    }

    m_out << hostLabel(hostGuid) << Qt::endl;
    if (listed.empty()) {
        m_out << "No products (status " << statusText << ")" << Qt::endl;
        return ok;
    }
    m_out << column("NAME", 24) << column("VERSION", 8) << column("INSTALLED", 9) << column("CATEGORY", 8) << "ID"
          << Qt::endl;
    for (const InstallerProduct* product : listed) {
        m_out << column(product->getProduct().getName().qString(), 24)
              << column(product->getPlatform().getVersion().qString(), 8)
              << column(product->isInstalled() ? installedVersion(*product) : QStringLiteral("-"), 9)
              << column(categoryOf(*product, target), 8) << product->getProduct().getID().qString() << Qt::endl;
    }
    return ok;
}

int CommandLine::runProducts(const QString& command, const QStringList& arguments)
{
    const bool installing = command == QLatin1String("install");
    QCommandLineParser parser;
    parser.addOption(hostOption);
    parser.addOption(waitOption);
    parser.addOption(educationalOption);
    if (installing)
        parser.addOption(acceptOption);
    int code = ok;
    if (!parse(parser, command, arguments, code, takesNames))
        return code;
    const QStringList names = parser.positionalArguments();
    if (names.isEmpty()) {
        usageError(QStringLiteral("Name at least one product."));
        return usage;
    }
    const int target = parser.isSet(educationalOption) ? 1 : 0;

    Session session(command, responder());
    if (!requireSignIn(target))
        return signInFailed;
    const Guid hostGuid = chooseHost(parser.value(hostOption), code);
    if (!hostGuid)
        return code;
    if (!rebuildFor(hostGuid, target))
        return serviceFailed;
    std::vector<InstallerProduct*> named;
    if (!findProducts(hostGuid, names, named))
        return notFound;
    const QString hostName = manager.getApplication(hostGuid)->getName().qString();

    // What there is to do, decided for every product before anything starts.
    std::vector<InstallerProduct*> chosen;
    int refusal = ok;
    for (InstallerProduct* product : named) {
        const QString name = product->getProduct().getName().qString();
        if (!installing) {
            if (product->isInstalled())
                chosen.push_back(product);
            else
                m_out << name << " is not installed for " << hostName << "; nothing to uninstall" << Qt::endl;
            continue;
        }
        if (target == 0 && !product->isVisible()) {
            printError(message(notAvailable, name, hostName));
            refusal = notFound;
            continue;
        }
        if (product->isInstalled() && !product->hasUpdate()) {
            m_out << name << " " << installedVersion(*product) << " is installed for " << hostName
                  << " and up to date" << Qt::endl;
            continue;
        }
        // As in the window, the agreement is accepted when a product is
        // first installed; an update of an installed product does not ask
        // again.
        const QString agreement = product->getPlatform().getAgreementUrl().qString();
        if (!product->isInstalled() && !agreement.isEmpty() && !parser.isSet(acceptOption)) {
            printError(message(agreementRequired, name, agreement));
            if (refusal == ok)
                refusal = agreementNeeded;
            continue;
        }
        chosen.push_back(product);
    }
    if (refusal != ok)
        return refusal;
    if (chosen.empty())
        return ok;

    m_out << "Host: " << hostLabel(hostGuid) << Qt::endl;
    code = checkHostNotRunning(parser.isSet(waitOption), installing);
    if (code != ok)
        return code;

    const QString log = logFilePath();
    ProductRun productRun(
        installing ? ProductRun::install : ProductRun::uninstall, m_out, m_err, m_terminal,
        [this, installing](const InstallerProduct& product) {
            return installing ? describe(product)
                              : product.getProduct().getName().qString() + QLatin1Char(' ') + installedVersion(product);
        },
        [installing, log](const InstallerProduct& product) {
            // The reason as the log has it, then where the rest is.
            QString reason = product.getLastError().qString();
            if (reason.isEmpty())
                reason = message(noReasonRecorded);
            return QStringLiteral("vantorix: ")
                + message(installing ? installFailed : uninstallFailed, product.getProduct().getName().qString(),
                          reason)
                + QStringLiteral("\nvantorix: ") + message(logDetails, log);
        });
    const ProductRun::Outcome outcome = productRun.run(chosen);
    if (outcome.interrupted) {
        printError(message(cancelled));
        return interrupted;
    }
    return outcome.failed.empty() ? ok : actionFailed;
}

// ---- support requests

int CommandLine::runSupport(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.addOption(ticketOption);
    parser.addOption(messageOption);
    parser.addOption(messageFileOption);
    parser.addOption(exportOption);
    int code = ok;
    if (!parse(parser, QStringLiteral("support"), arguments, code))
        return code;
    if (!parser.isSet(ticketOption)) {
        usageError(QStringLiteral("The option --ticket is missing."));
        return usage;
    }
    if (parser.isSet(messageOption) && parser.isSet(messageFileOption)) {
        usageError(QStringLiteral("Give either --message or --message-file, not both."));
        return usage;
    }
    if (parser.isSet(exportOption) && parser.value(exportOption).isEmpty()) {
        usageError(QStringLiteral("The option --export needs a file."));
        return usage;
    }
    QString text = parser.value(messageOption);
    if (parser.isSet(messageFileOption)) {
        const QString path = parser.value(messageFileOption);
        QFile file(path);
        const qint64 limit = qint64(messageFileLimitKB) * 1024;
        QByteArray bytes;
        if (file.open(QIODevice::ReadOnly))
            bytes = file.read(limit + 1);
        if (!file.isOpen() || file.error() != QFileDevice::NoError || bytes.size() > limit) {
            printError(message(messageFileUnreadable, path, QString::number(messageFileLimitKB)));
            return usage;
        }
        text = QString::fromUtf8(bytes);
    }

    Session session(QStringLiteral("support"), responder());
    // The remembered account says who asks; its password stays out.
    client.loadClientData();
    SupportRequest request(String(parser.value(ticketOption)), String(text));
    if (!request.prepare(client)) {
        printError(plainText(request.getError().qString()));
        return notSaved;
    }
    if (parser.isSet(exportOption)) {
        const QString path = QFileInfo(parser.value(exportOption)).absoluteFilePath();
        if (!request.exportTo(String(path))) {
            printError(plainText(request.getError().qString()));
            return notSaved;
        }
        m_out << "Support request written to " << path << Qt::endl;
        return ok;
    }
    if (!request.send()) {
        printError(plainText(request.getError().qString()));
        return serviceFailed;
    }
    m_out << request.getReportId().qString() << Qt::endl;
    return ok;
}

// ---- offline install files

namespace {

// The pictures and agreements of the products, fetched into the manager's
// caches so that the offline file carries them; waits until each download
// has ended. The addresses of agreements that did not arrive go to failed.
void fetchCarriedRecords(const std::vector<InstallerProduct*>& products, QStringList& failed)
{
    std::vector<DownloadedRecord*> records;
    std::vector<EULA*> agreements;
    for (const InstallerProduct* product : products) {
        const QString image = product->getPlatform().getProductImage().qString();
        if (!image.isEmpty()) {
            QStringList variants{image};
            if (image.contains(QLatin1String("_active")))
                variants << QString(image).replace(QLatin1String("_active"), QLatin1String("_inactive"));
            else if (image.contains(QLatin1String("_inactive")))
                variants << QString(image).replace(QLatin1String("_inactive"), QLatin1String("_active"));
            for (const QString& address : variants)
                records.push_back(manager.getImages().fetch(String(address)));
        }
        const String agreement = product->getPlatform().getAgreementUrl();
        if (!agreement.empty()) {
            EULA* eula = manager.getEULAs().fetch(agreement);
            records.push_back(eula);
            agreements.push_back(eula);
        }
    }
    QEventLoop loop;
    const auto allReady = [&records]() {
        return std::all_of(records.begin(), records.end(),
                           [](const DownloadedRecord* record) { return record == nullptr || record->isReady(); });
    };
    for (DownloadedRecord* record : records) {
        if (record != nullptr && !record->isReady() && record->getDownloader() != nullptr)
            QObject::connect(record->getDownloader(), QOverload<>::of(&Downloader::finishDownload), &loop,
                             [&loop, &allReady]() {
                                 if (allReady())
                                     loop.quit();
                             });
    }
    if (!allReady())
        loop.exec();
    for (EULA* eula : agreements) {
        if (eula != nullptr && eula->getText().empty() && !failed.contains(eula->getUrl().qString()))
            failed << eula->getUrl().qString();
    }
}

QString sizeText(qint64 bytes)
{
    // The same digits in every locale.
    if (bytes >= 1024 * 1024)
        return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB");
    return QString::number(bytes) + QStringLiteral(" bytes");
}

} // namespace

int CommandLine::runOffline(const QStringList& arguments)
{
    const QString sub = arguments.value(0);
    if (sub == QLatin1String("create"))
        return createOfflineFile(arguments.mid(1));
    if (sub == QLatin1String("list"))
        return listOfflineFile(arguments.mid(1));
    if (sub == QLatin1String("install"))
        return installOfflineFile(arguments.mid(1));
    if (sub == QLatin1String("--help") || sub == QLatin1String("-h")) {
        printHelp(QStringLiteral("offline"));
        return ok;
    }
    usageError(QStringLiteral("Expected \"offline create\", \"offline list\" or \"offline install\"."));
    return usage;
}

int CommandLine::createOfflineFile(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.addOption(educationalOption);
    int code = ok;
    if (!parse(parser, QStringLiteral("offline"), arguments, code, takesNames))
        return code;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() < 2) {
        usageError(QStringLiteral("Give the file and at least one product."));
        return usage;
    }
    const QString path = QFileInfo(positional.first()).absoluteFilePath();
    const QStringList names = positional.mid(1);
    const int target = parser.isSet(educationalOption) ? 1 : 0;

    Session session(QStringLiteral("offline create"), responder());
    if (!requireSignIn(target))
        return signInFailed;
    manager.setInstallerAction(InstallerManager::createOfflineFile);
    manager.setOfflineFilePath(String(path));
    manager.setTarget(target);
    m_errorShown = false;
    if (!manager.rebuild()) {
        if (!m_errorShown)
            printServiceError();
        return serviceFailed;
    }

    // The file is made for every supported ArchiCAD version: a name matches
    // the product in each version's list.
    std::vector<Guid> hosts;
    manager.getApplicationIDs(hosts, true);
    QStringList hostNames;
    for (const Guid& id : hosts)
        hostNames << manager.getApplication(id)->getName().qString();
    std::vector<InstallerProduct*> chosen;
    bool found = true;
    for (const QString& name : names) {
        bool matched = false;
        for (const Guid& id : hosts) {
            const ProductTree::ProductList* list = manager.getProductTree().getProducts(id);
            if (list == nullptr)
                continue;
            for (const auto& product : *list) {
                const bool named = product->getProduct().getID().qString().compare(name, Qt::CaseInsensitive) == 0
                    || product->getProduct().getName().qString().compare(name, Qt::CaseInsensitive) == 0;
                if (!named || (target == 0 && !product->isVisible()))
                    continue;
                matched = true;
                if (std::find(chosen.begin(), chosen.end(), product.get()) == chosen.end())
                    chosen.push_back(product.get());
            }
        }
        if (!matched) {
            printError(message(unknownProduct, name, hostNames.join(QStringLiteral(", "))));
            found = false;
        }
    }
    if (!found)
        return notFound;
    if (!hosts.empty())
        manager.setActiveApplication(hosts.front());

    ProductRun productRun(
        ProductRun::add, m_out, m_err, m_terminal,
        [this](const InstallerProduct& product) {
            return describe(product) + QStringLiteral(" for ArchiCAD ")
                + QString::number(product.getPlatform().getSignature().getVersion());
        },
        [](const InstallerProduct& product) {
            QString reason = product.getLastError().qString();
            if (reason.isEmpty())
                reason = message(noReasonRecorded);
            return QStringLiteral("vantorix: ") + message(offlineAddFailed, product.getProduct().getName().qString(), reason);
        });
    const ProductRun::Outcome outcome = productRun.run(chosen);
    if (outcome.interrupted) {
        printError(message(cancelled));
        return interrupted;
    }
    if (!outcome.failed.empty())
        return actionFailed;

    // An agreement that did not arrive could not be shown where the file is
    // used: the product could not be installed there.
    QStringList missingAgreements;
    fetchCarriedRecords(chosen, missingAgreements);
    if (!missingAgreements.isEmpty()) {
        for (const QString& address : missingAgreements)
            printError(message(offlineAddFailed, address, plainText(filledText(errorTable, 11, address))));
        return actionFailed;
    }

    m_errorShown = false;
    if (!manager.saveOfflineFile())
        return notSaved;
    for (const InstallerProduct* product : chosen) {
        m_out << "In the file: " << describe(*product) << " for ArchiCAD "
              << product->getPlatform().getSignature().getVersion() << Qt::endl;
    }
    m_out << "Wrote " << path << " (" << sizeText(QFileInfo(path).size()) << ")" << Qt::endl;
    return ok;
}

int CommandLine::listOfflineFile(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.addOption(jsonOption);
    int code = ok;
    if (!parse(parser, QStringLiteral("offline"), arguments, code, takesNames))
        return code;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1) {
        usageError(QStringLiteral("Give one offline install file."));
        return usage;
    }
    const QString path = QFileInfo(positional.first()).absoluteFilePath();

    Session session(QStringLiteral("offline list"), responder());
    manager.setInstallerAction(InstallerManager::installFromOfflineFile);
    manager.setOfflineFilePath(String(path));
    const short error = manager.readOfflinePackage();
    if (error != InstallerManager::noError) {
        const QString why = manager.getOfflineProblem().qString();
        printError(plainText(text(errorTable, error).qString()) + (why.isEmpty() ? QString() : QLatin1Char(' ') + why));
        return offlineUnusable;
    }

    struct Listed {
        QString id, name, version, agreement;
        int hostVersion = 0;
        QStringList languages;
    };
    std::vector<Listed> listed;
    if (const Installation* installation = manager.getCatalogue().getInstallation()) {
        for (const auto& product : installation->getProducts()) {
            if (!product.second)
                continue;
            for (const auto& platform : product.second->getPlatformList()) {
                const std::vector<ReleaseUrl>* releases = platform.second ? platform.second->getReleaseList() : nullptr;
                if (releases == nullptr || releases->empty())
                    continue;
                Listed entry;
                bool complete = true;
                for (const ReleaseUrl& release : *releases) {
                    if (manager.getArchives().getArchive(release.getUrl()) == nullptr)
                        complete = false;
                    entry.languages << release.getLanguage().qString();
                }
                if (!complete)
                    continue;
                entry.id = product.second->getID().qString();
                entry.name = product.second->getName().qString();
                entry.version = platform.second->getVersion().qString();
                entry.hostVersion = platform.second->getSignature().getVersion();
                entry.agreement = platform.second->getAgreementUrl().qString();
                listed.push_back(entry);
            }
        }
    }
    std::stable_sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
        const int byName = a.name.compare(b.name, Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a.hostVersion > b.hostVersion;
    });
    const QString targetText = manager.getTarget() == 1 ? QStringLiteral("educational") : QStringLiteral("commercial");

    if (parser.isSet(jsonOption)) {
        QJsonArray products;
        for (const Listed& entry : listed) {
            products.append(QJsonObject{
                {QStringLiteral("id"), entry.id},
                {QStringLiteral("name"), entry.name},
                {QStringLiteral("version"), entry.version},
                {QStringLiteral("hostVersion"), entry.hostVersion},
                {QStringLiteral("languages"), QJsonArray::fromStringList(entry.languages)},
                {QStringLiteral("agreement"),
                 entry.agreement.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(entry.agreement)}});
        }
        const QJsonObject document{{QStringLiteral("file"), path},
                                   {QStringLiteral("target"), targetText},
                                   {QStringLiteral("products"), products}};
        m_out << QJsonDocument(document).toJson() << Qt::flush;
        return ok;
    }
    m_out << path << " (" << targetText << ")" << Qt::endl;
    if (listed.empty()) {
        m_out << "No products" << Qt::endl;
        return ok;
    }
    m_out << column("NAME", 24) << column("VERSION", 8) << column("ARCHICAD", 8) << column("LANGUAGES", 12) << "ID"
          << Qt::endl;
    for (const Listed& entry : listed) {
        m_out << column(entry.name, 24) << column(entry.version, 8) << column(QString::number(entry.hostVersion), 8)
              << column(entry.languages.join(QLatin1Char(',')), 12) << entry.id << Qt::endl;
    }
    return ok;
}

int CommandLine::installOfflineFile(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.addOption(hostOption);
    parser.addOption(acceptOption);
    parser.addOption(waitOption);
    int code = ok;
    if (!parse(parser, QStringLiteral("offline"), arguments, code, takesNames))
        return code;
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        usageError(QStringLiteral("Give the offline install file."));
        return usage;
    }
    const QString path = QFileInfo(positional.first()).absoluteFilePath();
    const QStringList names = positional.mid(1);

    Session session(QStringLiteral("offline install"), responder());
    manager.setInstallerAction(InstallerManager::installFromOfflineFile);
    manager.setOfflineFilePath(String(path));
    const Guid hostGuid = chooseHost(parser.value(hostOption), code);
    if (!hostGuid)
        return code;
    manager.setActiveApplication(hostGuid);
    m_errorShown = false;
    if (!manager.rebuild()) {
        if (!m_errorShown)
            printError(plainText(text(errorTable, manager.getLastError()).qString()));
        return offlineUnusable;
    }
    const QString hostName = manager.getApplication(hostGuid)->getName().qString();

    std::vector<InstallerProduct*> named;
    if (names.isEmpty()) {
        if (const ProductTree::ProductList* list = manager.getProductTree().getProducts(hostGuid)) {
            for (const auto& product : *list) {
                if (OfflinePackage::holdsArchives(*product, manager.getArchives()))
                    named.push_back(product.get());
            }
        }
        if (named.empty()) {
            printError(message(offlineNoProducts, hostName));
            return notFound;
        }
    } else {
        if (!findProducts(hostGuid, names, named))
            return notFound;
        for (const InstallerProduct* product : named) {
            if (!OfflinePackage::holdsArchives(*product, manager.getArchives())) {
                printError(message(unknownProduct, product->getProduct().getName().qString(), hostName));
                code = notFound;
            }
        }
        if (code != ok)
            return code;
    }

    std::vector<InstallerProduct*> chosen;
    int refusal = ok;
    for (InstallerProduct* product : named) {
        const QString name = product->getProduct().getName().qString();
        if (product->isInstalled() && !product->hasUpdate()) {
            m_out << name << " " << installedVersion(*product) << " is installed for " << hostName
                  << " and up to date" << Qt::endl;
            continue;
        }
        const QString agreement = product->getPlatform().getAgreementUrl().qString();
        if (!product->isInstalled() && !agreement.isEmpty() && !parser.isSet(acceptOption)) {
            printError(message(agreementRequired, name, agreement));
            refusal = agreementNeeded;
            continue;
        }
        chosen.push_back(product);
    }
    if (refusal != ok)
        return refusal;
    if (chosen.empty())
        return ok;

    m_out << "Host: " << hostLabel(hostGuid) << Qt::endl;
    code = checkHostNotRunning(parser.isSet(waitOption), true);
    if (code != ok)
        return code;
    const QString log = logFilePath();
    ProductRun productRun(
        ProductRun::install, m_out, m_err, m_terminal,
        [this](const InstallerProduct& product) { return describe(product); },
        [log](const InstallerProduct& product) {
            QString reason = product.getLastError().qString();
            if (reason.isEmpty())
                reason = message(noReasonRecorded);
            return QStringLiteral("vantorix: ") + message(installFailed, product.getProduct().getName().qString(), reason)
                + QStringLiteral("\nvantorix: ") + message(logDetails, log);
        });
    const ProductRun::Outcome outcome = productRun.run(chosen);
    if (outcome.interrupted) {
        printError(message(cancelled));
        return interrupted;
    }
    return outcome.failed.empty() ? ok : actionFailed;
}

// ---- self-update

int CommandLine::runSelfUpdate(const QStringList& arguments)
{
    static const QCommandLineOption checkOption(QStringLiteral("check"));
    // Given by an update to the new program it started: the old folder.
    static const QCommandLineOption finishOption(QLatin1String(Updater::finishOption).mid(2), QString(),
                                                 QStringLiteral("folder"));
    QCommandLineParser parser;
    parser.addOption(checkOption);
    parser.addOption(finishOption);
    int code = ok;
    if (!parse(parser, QStringLiteral("self-update"), arguments, code))
        return code;

    Session session(QStringLiteral("self-update"), responder());
    if (parser.isSet(finishOption)) {
        QString result;
        const bool removed = Updater::finishUpdate(parser.value(finishOption), result);
        (removed ? m_out : m_err) << result << Qt::endl;
        return removed ? ok : notSaved;
    }

    VersionManager versions;
    const bool available = versions.isUpdateAvailable();
    if (versions.getErrorCode() != 0) {
        printServiceError();
        return serviceFailed;
    }
    const QString running = getVersionString(VantorixInstallerApp::version).qString();
    m_out << "Installed version: " << running << Qt::endl
          << "Newest version: " << versions.getServerVersion().qString() << Qt::endl;
    if (parser.isSet(checkOption))
        return available ? updateAvailable : ok;
    if (!available) {
        m_out << "The Vantorix Installer is up to date." << Qt::endl;
        return ok;
    }

    Updater& updater = versions.getUpdater();
    updater.setRestart(Updater::Restart::commandLine);
    updater.setStepListener([this](const LogEntry& step) {
        m_out << "  " << step.getAction().qString() << (step.isSuccess() ? ": " : " FAILED: ")
              << step.getMessage().qString() << Qt::endl;
    });
    auto failed = [this](const QString& step, const QString& why) {
        printError(plainText(message(selfUpdateStopped, step, why)));
        return int(updateFailed);
    };
    if (!versions.update())
        return failed(versions.getFailedStep(), versions.getFailure());
    QEventLoop loop;
    bool complete = false;
    QObject::connect(&versions, &VersionManager::updateComplete, &loop, [&loop, &complete] {
        complete = true;
        loop.quit();
    });
    if (m_terminal) {
        QObject::connect(&versions, &VersionManager::updateProgress, &loop, [this](qint64 done, qint64 total) {
            if (total > 0)
                m_out << "\r  Download: " << (done * 100 / total) << " %" << Qt::flush;
        });
    }
    loop.exec();
    if (!complete) {
        // Interrupted: the download goes with the session; nothing was moved.
        printError(message(cancelled));
        return interrupted;
    }
    if (versions.getErrorCode() != 0) {
        const QString step = versions.getFailedStep();
        QString why = versions.getFailure();
        if (versions.getErrorCode() == VersionManager::downloadFailed)
            why = message(VersionManager::downloadFailed) + QLatin1Char(' ') + why;
        return failed(step, why);
    }
    m_out << "The Vantorix Installer " << versions.getServerVersion().qString()
          << " is in place and was started; it removes the previous version." << Qt::endl;
    return ok;
}

} // namespace installer
