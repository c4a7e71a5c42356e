#include "common/FileBytes.h"
#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include "File/DataFile.h"
#include "products/Downloader.h"
#include "products/FileDigest.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <memory>

using namespace vantorix;
using installer::DownloadCheck;
using installer::Downloader;
using testsupport::ServiceProcess;

Q_DECLARE_METATYPE(DownloadCheck)

namespace {

// Bytes that differ at every offset, so that a range from the wrong place shows.
QByteArray pattern(int size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = 2166136261u ^ static_cast<quint32>(seed);
    for (int i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        bytes[i] = static_cast<char>(state >> 24);
    }
    return bytes;
}

QByteArray sha256(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

bool waitDone(Downloader& downloader, int milliseconds = 20000)
{
    if (downloader.isDone())
        return true;
    QSignalSpy spy(&downloader, QOverload<>::of(&Downloader::finishDownload));
    return spy.wait(milliseconds) || downloader.isDone();
}

} // namespace

class tst_Downloader : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void progressThenCompletion();
    void failures_data();
    void failures();
    void redirects_data();
    void redirects();
    void httpsToHttpRefused();
    void unwritableTarget();
    void deadline();
    void cancelLeavesNothing();
    void cancelEndsForGood();
    void memoryLimit_data();
    void memoryLimit();
    void resumeAfterShortBody_data();
    void resumeAfterShortBody();
    void resumesOnItsOwn();
    void fileDigest_data();
    void fileDigest();

private:
    QString fileUrl(const QString& name) const { return m_service.url() + QStringLiteral("/files/dl/") + name; }
    QString served(const QString& name) const { return m_service.dataDir() + QStringLiteral("/files/dl/") + name; }
    QString target(const QString& name) const { return QDir(testsupport::sandboxDir()).filePath(name); }
    int requestsFor(const QString& name) { return m_service.output().count(QStringLiteral("GET /files/dl/") + name); }

    ServiceProcess m_service;
    QByteArray m_small;
    QByteArray m_large;
};

void tst_Downloader::initTestCase()
{
    QVERIFY2(m_service.start(), qPrintable(m_service.errorString()));
    m_small = pattern(300 * 1024, 1);
    m_large = pattern(3 * 1024 * 1024, 2);
    writeFile(served(QStringLiteral("small.bin")), m_small);
    writeFile(served(QStringLiteral("large.bin")), m_large);
    Downloader::setStallTimeout(1000);
}

void tst_Downloader::init()
{
    QVERIFY(m_service.control(QStringLiteral("reset=1")));
    Downloader::setResumeAttempts(0);
}

void tst_Downloader::progressThenCompletion()
{
    for (const bool toFile : {false, true}) {
        const QString path = target(QStringLiteral("progress.bin"));
        DataFile file{String(path)};
        QStringList events;
        int percent = 0;
        bool previousMatches = true;
        Downloader downloader(String(fileUrl(QStringLiteral("large.bin"))), toFile ? &file : nullptr, 42);
        connect(&downloader, &Downloader::notifyProgress,
                [&](qint64 done, qint64 total, int previous, qintptr data) {
                    previousMatches = previousMatches && previous == percent && data == 42;
                    if (total > 0)
                        percent = int(done * 100 / total);
                    events << QStringLiteral("progress");
                });
        connect(&downloader, QOverload<>::of(&Downloader::finishDownload), [&] { events << QStringLiteral("done"); });
        connect(&downloader, QOverload<qintptr>::of(&Downloader::finishDownload),
                [&](qintptr data) { events << QStringLiteral("done %1").arg(data); });
        QVERIFY(waitDone(downloader));

        QVERIFY2(downloader.isSuccess(), qPrintable(downloader.getError().qString()));
        QVERIFY(events.size() >= 3);
        QCOMPARE(events.mid(events.size() - 2), QStringList({"done", "done 42"}));
        QVERIFY(!events.mid(0, events.size() - 2).contains(QStringLiteral("done")));
        QVERIFY(previousMatches);
        QCOMPARE(percent, 100);
        QCOMPARE(downloader.getPercent(), 100);
        if (toFile) {
            QCOMPARE(downloader.getData().size(), 0);
            QCOMPARE(readFile(path), m_large);
            QVERIFY(!QFile::exists(path + ".part"));
        } else {
            QCOMPARE(downloader.getData().get(), m_large);
        }
    }
}

void tst_Downloader::failures_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("url");  // a name under /files/dl/, or a whole address when it has "://" or is "-"
    QTest::addColumn<DownloadCheck>("check");
    QTest::addColumn<QString>("error");  // empty: success

    const DownloadCheck none;
    DownloadCheck wrongDigest;
    wrongDigest.sha256 = QByteArray(64, 'a');
    // A digest decides alone, whatever the size says.
    DownloadCheck digestOverSize;
    digestOverSize.sha256 = sha256(m_small);
    digestOverSize.releaseSizeMB = 50;
    DownloadCheck rightSize;
    rightSize.releaseSizeMB = 0.3;
    // One release size for every language's archive: another language's
    // archive may well be smaller or somewhat larger.
    DownloadCheck otherLanguage;
    otherLanguage.releaseSizeMB = 2.5;
    DownloadCheck tiny;
    tiny.releaseSizeMB = 0.5;

    QTest::newRow("digest over size") << "" << "small.bin" << digestOverSize << "";
    QTest::newRow("size within rounding") << "" << "small.bin" << rightSize << "";
    QTest::newRow("wrong digest") << "" << "small.bin" << wrongDigest << "SHA-256 checksum does not match";
    QTest::newRow("smaller than the release size") << "" << "small.bin" << otherLanguage << "";
    QTest::newRow("somewhat larger than the release size") << "" << "large.bin" << otherLanguage << "";
    QTest::newRow("far larger than the release size") << "" << "large.bin" << tiny
                                                      << "far larger than the catalogue says";
    QTest::newRow("far larger, no length") << "no-length=1" << "large.bin" << tiny
                                           << "far larger than the catalogue says";
    QTest::newRow("no length") << "no-length=1" << "large.bin" << none << "";
    QTest::newRow("404") << "" << "missing.bin" << none << "HTTP status 404";
    QTest::newRow("short body") << "short-files=1" << "large.bin" << none << "ended early";
    QTest::newRow("stall after the head") << "stall-files=0" << "large.bin" << none << "no data arrived for 1 seconds";
    QTest::newRow("stall half-way") << "stall-files=100000" << "large.bin" << none << "no data arrived";
    QTest::newRow("empty url") << "" << "-" << none
                               << "Download URL (releaseURL attritbue) is empty in the reponse XML";
}

void tst_Downloader::failures()
{
    QFETCH(QString, control);
    QFETCH(QString, url);
    QFETCH(DownloadCheck, check);
    QFETCH(QString, error);
    if (!control.isEmpty())
        QVERIFY(m_service.control(control));
    const QString address = url == QLatin1String("-") ? QString() : url.contains("://") ? url : fileUrl(url);

    for (const bool toFile : {false, true}) {
        const QString path = target(QStringLiteral("failure.bin"));
        QFile::remove(path);
        DataFile file{String(path), DataFile::readWrite, toFile};
        Downloader downloader(String(address), toFile ? &file : nullptr, 7);
        downloader.setCheck(check);
        QSignalSpy finished(&downloader, QOverload<qintptr>::of(&Downloader::finishDownload));
        QVERIFY(waitDone(downloader));
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().value<qintptr>(), qintptr(7));
        QCOMPARE(downloader.getPercent(), 100);
        if (error.isEmpty()) {
            QVERIFY2(downloader.isSuccess(), qPrintable(downloader.getError().qString()));
            continue;
        }
        QVERIFY(!downloader.isSuccess());
        QVERIFY2(downloader.getError().qString().contains(error), qPrintable(downloader.getError().qString()));
        // Nothing that could pass for the download is left behind.
        QVERIFY(!QFile::exists(path));
    }
}

void tst_Downloader::redirects_data()
{
    QTest::addColumn<QStringList>("controls");
    QTest::addColumn<QString>("error");

    QTest::newRow("followed five times") << QStringList{"redirect=/files/dl/moved.bin=/r1", "redirect=/r1=/r2",
                                                        "redirect=/r2=/r3", "redirect=/r3=/r4",
                                                        "redirect=/r4=/files/dl/small.bin"}
                                         << "";
    QTest::newRow("a loop") << QStringList{"redirect=/files/dl/moved.bin=/r1", "redirect=/r1=/files/dl/moved.bin"}
                            << "redirected more than 5 times";
}

void tst_Downloader::redirects()
{
    QFETCH(QStringList, controls);
    QFETCH(QString, error);
    for (const QString& control : controls)
        QVERIFY(m_service.control(control));
    Downloader downloader(String(fileUrl(QStringLiteral("moved.bin"))), 0);
    QVERIFY(waitDone(downloader));
    if (error.isEmpty()) {
        QVERIFY2(downloader.isSuccess(), qPrintable(downloader.getError().qString()));
        QCOMPARE(downloader.getData().get(), m_small);
    } else {
        QVERIFY(!downloader.isSuccess());
        QVERIFY2(downloader.getError().qString().contains(error), qPrintable(downloader.getError().qString()));
    }
}

void tst_Downloader::httpsToHttpRefused()
{
    ServiceProcess secure;
    QVERIFY2(secure.startSecure(), qPrintable(secure.errorString()));
    secure.exportEnvironment();
    writeFile(secure.dataDir() + "/files/dl/small.bin", m_small);

    // The certificate from VANTORIX_CA_FILE is trusted for downloads.
    Downloader direct(String(secure.url() + "/files/dl/small.bin"), 0);
    QVERIFY(waitDone(direct));
    QVERIFY2(direct.isSuccess(), qPrintable(direct.getError().qString()));

    QVERIFY(secure.control("redirect=/files/dl/plain.bin=" + fileUrl(QStringLiteral("small.bin"))));
    const int before = requestsFor(QStringLiteral("small.bin"));
    Downloader downgraded(String(secure.url() + "/files/dl/plain.bin"), 0);
    QVERIFY(waitDone(downgraded));
    QVERIFY(!downgraded.isSuccess());
    QVERIFY2(downgraded.getError().qString().contains("not secure"), qPrintable(downgraded.getError().qString()));
    QCOMPARE(requestsFor(QStringLiteral("small.bin")), before);
}

void tst_Downloader::unwritableTarget()
{
    // The bytes are not kept in memory instead: the download fails.
    const QString path = target(QStringLiteral("no such folder/unwritable.bin"));
    DataFile file{String(path)};
    Downloader downloader(String(fileUrl(QStringLiteral("small.bin"))), &file, 0);
    QVERIFY(waitDone(downloader));
    QVERIFY(!downloader.isSuccess());
    QCOMPARE(downloader.getError().qString(), "Failed to write to file -- " + path);
    QCOMPARE(downloader.getData().size(), 0);
}

void tst_Downloader::deadline()
{
    // The total time limit ends a transfer before the (long) stall limit would.
    Downloader::setStallTimeout(30000);
    Downloader::setDeadline(600);
    QVERIFY(m_service.control(QStringLiteral("stall-files=1000")));
    Downloader downloader(String(fileUrl(QStringLiteral("large.bin"))), 0);
    const bool done = waitDone(downloader, 10000);
    Downloader::setStallTimeout(1000);
    Downloader::setDeadline(Downloader::defaultDeadline);
    QVERIFY(done);
    QVERIFY(!downloader.isSuccess());
    QVERIFY2(downloader.getError().qString().contains("did not finish in the time allowed"),
             qPrintable(downloader.getError().qString()));
}

void tst_Downloader::cancelLeavesNothing()
{
    const QString path = target(QStringLiteral("cancelled.bin"));
    QVERIFY(m_service.control(QStringLiteral("stall-files=100000")));
    {
        DataFile file{String(path)};
        auto downloader = std::make_unique<Downloader>(String(fileUrl(QStringLiteral("large.bin"))), &file, 0);
        QTRY_VERIFY(QFileInfo(path + ".part").size() > 0);
        // Destroyed mid-transfer (as the caches are when the program ends):
        // none of its handlers may run on the half-destroyed object.
        QSignalSpy finished(downloader.get(), qOverload<>(&Downloader::finishDownload));
        downloader.reset();
        QCOMPARE(finished.count(), 0);
    }
    QVERIFY(!QFile::exists(path));
    QVERIFY(!QFile::exists(path + ".part"));
}

void tst_Downloader::cancelEndsForGood()
{
    // A stalled transfer that would resume on its own is cancelled: it ends
    // at once, leaves nothing on disk and never asks the server again.
    Downloader::setResumeAttempts(2);
    const QString path = target(QStringLiteral("cancelled-for-good.bin"));
    QVERIFY(m_service.control(QStringLiteral("stall-files=100000")));
    DataFile file{String(path)};
    Downloader downloader(String(fileUrl(QStringLiteral("large.bin"))), &file, 0);
    QTRY_VERIFY(QFileInfo(path + ".part").size() > 0);
    const int requests = requestsFor(QStringLiteral("large.bin"));
    QSignalSpy finished(&downloader, qOverload<>(&Downloader::finishDownload));
    downloader.cancel();
    QCOMPARE(finished.count(), 1);
    QVERIFY(downloader.isDone());
    QVERIFY(downloader.isCancelled());
    QVERIFY(!downloader.isSuccess());
    QCOMPARE(downloader.getError().qString(), QStringLiteral("The download was cancelled"));
    QVERIFY(!QFile::exists(path + ".part"));

    // Longer than two stall periods: an automatic resume would have started.
    QVERIFY(m_service.control(QStringLiteral("reset=1")));
    QTest::qWait(2500);
    QCOMPARE(requestsFor(QStringLiteral("large.bin")), requests);
    QCOMPARE(finished.count(), 1);
    QVERIFY(!QFile::exists(path));
    QVERIFY(!QFile::exists(path + ".part"));

    // Asked for again, it starts from the first byte.
    QVERIFY(downloader.resume());
    QVERIFY(waitDone(downloader));
    QVERIFY2(downloader.isSuccess(), qPrintable(downloader.getError().qString()));
    QCOMPARE(readFile(path), m_large);
}

void tst_Downloader::memoryLimit_data()
{
    QTest::addColumn<QString>("control");
    QTest::newRow("with length") << QString();
    QTest::newRow("without length") << QStringLiteral("no-length=1");
}

void tst_Downloader::memoryLimit()
{
    // Agreements and pictures come to memory: a server that sends more than
    // they can be is cut off, with or without a Content-Length.
    QFETCH(QString, control);
    QCOMPARE(Downloader::getMemoryLimit(), qint64(16 * 1024 * 1024));
    if (!control.isEmpty())
        QVERIFY(m_service.control(control));
    Downloader::setMemoryLimit(1024 * 1024);
    Downloader toMemory(String(fileUrl(QStringLiteral("large.bin"))), 0);
    const QString path = target(QStringLiteral("limit.bin"));
    DataFile file{String(path)};
    Downloader toFile(String(fileUrl(QStringLiteral("large.bin"))), &file, 0);
    const bool done = waitDone(toMemory) && waitDone(toFile);
    Downloader::setMemoryLimit(Downloader::defaultMemoryLimit);
    QVERIFY(done);
    QVERIFY(!toMemory.isSuccess());
    QCOMPARE(toMemory.getError().qString(),
             QStringLiteral("The download is larger than 1 MB, more than an agreement or a picture can be"));
    QVERIFY(toMemory.getData().size() <= 1024 * 1024);
    QVERIFY2(toFile.isSuccess(), qPrintable(toFile.getError().qString()));
    QCOMPARE(readFile(path), m_large);
}

void tst_Downloader::resumeAfterShortBody_data()
{
    QTest::addColumn<bool>("changed");
    QTest::addColumn<bool>("lateCheck");   // the digest is given only before resume()
    QTest::addColumn<bool>("damaged");     // a byte of the part on disk is flipped before resume()
    QTest::addColumn<bool>("validator");   // the server names ETag and Last-Modified

    QTest::newRow("same file") << false << false << false << true;
    // The same size, other bytes, a later time: the validator no longer matches,
    // so the server sends the whole file with 200 and the part is replaced.
    QTest::newRow("changed file") << true << false << false << true;
    // Without a validator nothing tells that the file changed: the resume
    // starts from the first byte rather than glue new bytes onto old ones.
    QTest::newRow("changed file, no validator") << true << false << false << false;
    // The part on disk is hashed before the rest arrives.
    QTest::newRow("digest given before resuming") << false << true << false << true;
    QTest::newRow("damaged part") << false << false << true << true;
}

void tst_Downloader::resumeAfterShortBody()
{
    QFETCH(bool, changed);
    QFETCH(bool, lateCheck);
    QFETCH(bool, damaged);
    QFETCH(bool, validator);
    const QString name = validator ? QStringLiteral("resumed.bin") : QStringLiteral("unvalidated.bin");
    const QString noValidator = validator ? QString() : QStringLiteral("&no-validator=1");
    writeFile(served(name), m_large);
    const QString path = target(name);
    QFile::remove(path);
    DataFile file{String(path)};
    const QByteArray expected = changed ? pattern(m_large.size(), 3) : m_large;
    DownloadCheck check;
    check.sha256 = sha256(expected);
    QVERIFY(m_service.control(QStringLiteral("short-files=1") + noValidator));
    Downloader downloader(String(fileUrl(name)), &file, 0);
    if (!lateCheck)
        downloader.setCheck(check);
    QVERIFY(waitDone(downloader));
    QVERIFY(!downloader.isSuccess());
    QVERIFY(!QFile::exists(path));
    const qint64 half = QFileInfo(path + ".part").size();
    QCOMPARE(half, qint64(m_large.size() / 2));
    if (lateCheck)
        downloader.setCheck(check);
    if (damaged) {
        QFile part(path + ".part");
        QVERIFY(part.open(QIODevice::ReadWrite) && part.seek(1000));
        QVERIFY(part.write(QByteArray(1, char(~m_large.at(1000)))) == 1 && part.flush());
    }

    if (changed) {
        QTest::qWait(1100);
        writeFile(served(name), expected);
    }
    QVERIFY(m_service.control(QStringLiteral("reset=1") + noValidator));
    QVERIFY(downloader.resume());
    QVERIFY(!downloader.resume());  // running
    QVERIFY(waitDone(downloader));
    if (damaged) {
        QVERIFY(!downloader.isSuccess());
        QVERIFY2(downloader.getError().qString().contains("SHA-256 checksum does not match"),
                 qPrintable(downloader.getError().qString()));
        QVERIFY(!QFile::exists(path));
        QVERIFY(!QFile::exists(path + ".part"));
        return;
    }
    QVERIFY2(downloader.isSuccess(), qPrintable(downloader.getError().qString()));
    QCOMPARE(readFile(path), expected);
    QVERIFY(!QFile::exists(path + ".part"));
    if (!changed)
        QTRY_VERIFY(m_service.output().contains(QStringLiteral("resumed.bin bytes %1-").arg(half)));
    if (!validator)
        QVERIFY(!m_service.output().contains(name + QStringLiteral(" bytes")));
}

void tst_Downloader::resumesOnItsOwn()
{
    // Every answer stalls after 1.2 MB: the third request, from 2.4 MB on, ends the file.
    Downloader::setResumeAttempts(2);
    QVERIFY(m_service.control(QStringLiteral("stall-files=1258291")));
    const QString path = target(QStringLiteral("auto.bin"));
    DataFile file{String(path)};
    int lastPercent = 0;
    bool backwards = false;
    Downloader downloader(String(fileUrl(QStringLiteral("large.bin"))), &file, 0);
    connect(&downloader, &Downloader::notifyProgress, [&](qint64, qint64, int previous, qintptr) {
        backwards = backwards || previous < lastPercent;
        lastPercent = previous;
    });
    QVERIFY(waitDone(downloader));
    QVERIFY2(downloader.isSuccess(), qPrintable(downloader.getError().qString()));
    QCOMPARE(readFile(path), m_large);
    QVERIFY(!backwards);
}

void tst_Downloader::fileDigest_data()
{
    QTest::addColumn<QList<int>>("grown");  // sizes told while the file grows
    QTest::addColumn<int>("size");          // the final size
    QTest::addColumn<int>("onDisk");        // bytes in the file; -1: no file
    QTest::addColumn<bool>("valid");        // a digest of the first size bytes, or none

    QTest::newRow("grown in steps, more on disk") << QList<int>{1, 70000, 262144, 262145} << 300000 << 400000 << true;
    QTest::newRow("shorter than told") << QList<int>{1000} << 300000 << 299999 << false;
    QTest::newRow("no file") << QList<int>{} << 10 << -1 << false;
    QTest::newRow("nothing written") << QList<int>{} << 0 << -1 << true;
}

void tst_Downloader::fileDigest()
{
    QFETCH(QList<int>, grown);
    QFETCH(int, size);
    QFETCH(int, onDisk);
    QFETCH(bool, valid);
    const QString path = target(QStringLiteral("digest.bin"));
    QFile::remove(path);
    const QByteArray bytes = pattern(qMax(onDisk, 0), 4);
    if (onDisk >= 0)
        writeFile(path, bytes);

    std::atomic<int> calls{0};
    installer::FileDigest digest(path);
    for (const int step : grown)
        digest.grow(step);
    digest.finish(size, [&calls]() { ++calls; });
    QTRY_COMPARE(calls.load(), 1);
    QVERIFY(digest.isComplete());
    QCOMPARE(digest.result(), valid ? sha256(bytes.left(size)) : QByteArray());
}

QTEST_GUILESS_MAIN(tst_Downloader)
#include "tst_Downloader.moc"
