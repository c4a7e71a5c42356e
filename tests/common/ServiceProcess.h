#ifndef VANTORIX_TESTS_SERVICEPROCESS_H
#define VANTORIX_TESTS_SERVICEPROCESS_H

#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace testsupport {

// Runs the service stand-in (vantorix-service) for a test: copies a data
// folder into the sandbox, starts the program on a free loopback port, waits
// for its ready line and stops it again. The copy is kept when the test fails.
class ServiceProcess {
public:
    ServiceProcess();
    ~ServiceProcess();

    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    // Starts the stand-in with its data folder copied from dataFolder (by
    // default tests/data/Web/service) and the given extra switches. Waits at
    // most timeoutMilliseconds for the ready line.
    bool start(const QStringList& arguments = {}, const QString& dataFolder = QString(), int timeoutMilliseconds = 20000);
    // As start(), over HTTPS with a certificate made for this run.
    bool startSecure(const QStringList& arguments = {}, const QString& dataFolder = QString(),
                     int timeoutMilliseconds = 30000);
    void stop();
    bool isRunning() const;

    // "http://127.0.0.1:<port>" or "https://...".
    const QString& url() const { return m_url; }
    // The stand-in's certificate (PEM) when it serves HTTPS.
    const QString& certificate() const { return m_certificate; }
    // The copied data folder, where received reports are stored (copied
    // afresh at every start).
    QString dataDir() const;
    // Where --record keeps the received posts, when the switch was given.
    QString recordDir() const;
    // Everything the stand-in printed so far.
    QString output();
    QString errorString() const { return m_error; }
    qint64 processId() const { return m_process.processId(); }
    // Copies a folder tree (for a test's own variant of the sample data).
    static bool copyFolder(const QString& from, const QString& to);

    // Points this test process at the stand-in: VANTORIX_SERVICE_URL is set to
    // url() and, over HTTPS, VANTORIX_CA_FILE to its certificate, so that code
    // using the built-in service address talks to it. The previous values
    // come back when this object is destroyed.
    void exportEnvironment();

    // Changes its behaviour (GET /control?query); true when it agreed.
    bool control(const QString& query);
    // Its counters (GET /control/stats): "requests" and "posts".
    QMap<QString, int> stats();
    // The posts it recorded (needs "--record" + recordDir() in the switches),
    // each as head and body exactly as received, oldest first.
    QList<QByteArray> recordedPosts() const;

private:
    bool launch(const QStringList& arguments, const QString& dataFolder, int timeoutMilliseconds, bool secure);
    QByteArray get(const QString& path);

    std::unique_ptr<QTemporaryDir> m_folder;
    QProcess m_process;
    QByteArray m_output;
    QString m_url;
    QString m_certificate;
    QString m_error;
    QList<QPair<QByteArray, QByteArray>> m_savedEnvironment;
};

} // namespace testsupport

#endif
