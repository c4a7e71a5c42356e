#ifndef INSTALLER_QUITONSIGNAL_H
#define INSTALLER_QUITONSIGNAL_H

#include <QObject>

class QSocketNotifier;

namespace installer {

// Turns SIGTERM, SIGINT and SIGHUP into a normal quit of the event loop, so
// that a session logout or a Ctrl-C still runs the whole shut-down (log,
// preferences, temporary folder). The signal handler only writes a byte to a
// pipe; the quit itself happens on the GUI thread. Signals that arrived while
// they were blocked (before the handler existed) are delivered when it
// unblocks them.
class QuitOnSignal : public QObject {
    Q_OBJECT

public:
    explicit QuitOnSignal(QObject* parent = nullptr);
    ~QuitOnSignal() override;

private:
    void handleSignal();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace installer

#endif
