#ifndef INSTALLER_CLI_PRODUCTRUN_H
#define INSTALLER_CLI_PRODUCTRUN_H

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <set>
#include <vector>

class QEventLoop;
class QTextStream;

namespace installer {

class InstallerProduct;

// Installs or uninstalls a set of products of the product tree and waits in
// an event loop until each of them has reported its end
// (productActionComplete or productActionFailure). Prints one line as each
// product starts and one as it ends; on a terminal it also keeps a status
// line with the download percentages, rewritten at most once a second.
//
// The wait ends early when the event loop is told to quit (Ctrl-C, through
// QuitOnSignal): the products still running are then marked cancelled, and
// the outcome says so. The products belong to the manager's tree; this
// object only refers to them for the length of run().
class ProductRun : public QObject {
    Q_OBJECT
public:
    // add: downloads every language's archive for an offline install file.
    enum Action { install, uninstall, add };

    struct Outcome {
        std::vector<InstallerProduct*> failed;
        bool interrupted = false;
    };

    // Describes a product for the progress lines, e.g. "Door Maker 1.40".
    using Describe = std::function<QString(const InstallerProduct&)>;

    // describe names a product in the progress lines, as it is when the run
    // starts (an uninstall's version is gone once it has ended);
    // failureText is what is printed to err when a product fails.
    ProductRun(Action action, QTextStream& out, QTextStream& err, bool terminal, Describe describe,
               Describe failureText);
    ~ProductRun() override;

    Outcome run(const std::vector<InstallerProduct*>& products);

private:
    void finished(InstallerProduct* product, bool success);
    void showProgress(bool force);
    void clearStatusLine();

    Action m_action;
    QTextStream& m_out;
    QTextStream& m_err;
    bool m_terminal;
    Describe m_describe;
    Describe m_failureText;
    std::vector<InstallerProduct*> m_running;
    std::set<InstallerProduct*> m_pending;
    std::map<InstallerProduct*, QString> m_descriptions;
    Outcome m_outcome;
    QEventLoop* m_loop = nullptr;
    QElapsedTimer m_sinceStatus;
    int m_statusWidth = 0;
};

} // namespace installer

#endif
