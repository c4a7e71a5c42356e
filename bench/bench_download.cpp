// A large download through Downloader beside curl, both from the service
// stand-in on the loopback interface: throughput of each, their ratio, and the
// downloader's peak resident memory (which must not grow with the file).
//
//     bench_download [size in MB, default 1024]
//
// The served file is sparse, made at run time in a temporary data folder;
// both clients write it to a file in the temporary folder, which is removed
// after each run. Three alternating runs of each; the best time of each is
// printed, with the processor time per run (steadier than the elapsed time on
// a busy machine). A last download carries the file's SHA-256, as catalogue
// releases may. vantorix-service must be built beside this program.
#include "File/DataFile.h"
#include "products/Downloader.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

#include <sys/resource.h>
#include <unistd.h>

using namespace vantorix;
using installer::Downloader;

namespace {

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

// A field of /proc/self/status in kB, or -1.
long long statusKB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Processor seconds (user and system) of this process or of its waited-for
// children: less disturbed by a busy machine than the elapsed time.
double cpuSeconds(int who)
{
    rusage usage{};
    if (getrusage(who, &usage) != 0)
        return 0.0;
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double mbPerSecond(qint64 bytes, qint64 milliseconds)
{
    return milliseconds > 0 ? bytes / 1048576.0 / (milliseconds / 1000.0) : 0.0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint64 sizeMB = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1024;
    const qint64 size = sizeMB * 1024 * 1024;
    if (size <= 0) {
        std::fprintf(stderr, "usage: bench_download [size in MB]\n");
        return 2;
    }

    QTemporaryDir data;
    QTemporaryDir downloads;
    if (!data.isValid() || !downloads.isValid() || !QDir().mkpath(data.filePath(QStringLiteral("files/bench")))) {
        std::fprintf(stderr, "bench_download: no temporary folder\n");
        return 1;
    }
    {
        QFile served(data.filePath(QStringLiteral("files/bench/large.bin")));
        if (!served.open(QIODevice::WriteOnly) || !served.resize(size)) {
            std::fprintf(stderr, "bench_download: cannot make the served file\n");
            return 1;
        }
    }

    QProcess service;
    service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service.start(QCoreApplication::applicationDirPath() + QStringLiteral("/vantorix-service"),
                  {QStringLiteral("--data"), data.path(), QStringLiteral("--port"), QStringLiteral("0")});
    QByteArray first;
    while (service.waitForReadyRead(20000)) {
        first += service.readAllStandardOutput();
        if (first.contains('\n'))
            break;
    }
    const int at = first.indexOf("http://");
    if (at < 0) {
        std::fprintf(stderr, "bench_download: the stand-in did not start (%s)\n", first.constData());
        return 1;
    }
    const QString url = QString::fromLatin1(first.mid(at, first.indexOf('\n', at) - at).trimmed()) +
                        QStringLiteral("/files/bench/large.bin");
    // The stand-in prints a line per request; nobody reads them.
    QObject::connect(&service, &QProcess::readyReadStandardOutput, [&service]() { service.readAllStandardOutput(); });

    out() << "bench_download: " << sizeMB << " MB from " << url << "\n";
    out() << "memory before: VmRSS " << statusKB("VmRSS:") << " kB\n";
    out().flush();

    // Alternating runs of each, the best time kept: the machine may be busy.
    // Processor time is summed over the runs.
    const int runs = 3;
    const QString curlTarget = downloads.filePath(QStringLiteral("curl.bin"));
    const QString target = downloads.filePath(QStringLiteral("downloader.bin"));
    qint64 curlTime = -1;
    qint64 time = -1;
    double curlCpu = 0.0;
    double cpu = 0.0;
    int curlStatus = 0;
    qint64 curlBytes = 0;
    qint64 bytes = 0;
    bool success = true;
    String error;
    auto runCurl = [&]() {
        // curl, writing to a file as the downloader does.
        const double cpuBefore = cpuSeconds(RUSAGE_CHILDREN);
        QElapsedTimer curlTimer;
        curlTimer.start();
        curlStatus |= QProcess::execute(QStringLiteral("curl"), {QStringLiteral("-sS"), QStringLiteral("-o"),
                                                                 curlTarget, url});
        const qint64 curlElapsed = curlTimer.elapsed();
        curlCpu += cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
        curlBytes = QFileInfo(curlTarget).size();
        QFile::remove(curlTarget);
        if (curlTime < 0 || curlElapsed < curlTime)
            curlTime = curlElapsed;
    };
    // The longest the event loop went without running a 10 ms timer, over
    // all downloads: how long a window would have been frozen.
    qint64 longestStall = 0;
    // One download; its time in ms, and its processor seconds added to *cpuSum.
    auto download = [&](const installer::DownloadCheck& check, double* cpuSum) {
        DataFile file{String(target)};
        const double cpuBefore = cpuSeconds(RUSAGE_SELF);
        QElapsedTimer timer;
        timer.start();
        Downloader downloader(String(url), &file, 0);
        downloader.setCheck(check);
        QEventLoop loop;
        QObject::connect(&downloader, QOverload<>::of(&Downloader::finishDownload), &loop, &QEventLoop::quit);
        QTimer ticker;
        QElapsedTimer sinceTick;
        sinceTick.start();
        QObject::connect(&ticker, &QTimer::timeout, [&]() { longestStall = qMax(longestStall, sinceTick.restart()); });
        ticker.start(10);
        if (!downloader.isDone())
            loop.exec();
        ticker.stop();
        longestStall = qMax(longestStall, sinceTick.elapsed());
        const qint64 elapsed = timer.elapsed();
        *cpuSum += cpuSeconds(RUSAGE_SELF) - cpuBefore;
        bytes = QFileInfo(target).size();
        QFile::remove(target);
        success = success && downloader.isSuccess();
        if (!downloader.isSuccess())
            error = downloader.getError();
        return elapsed;
    };
    auto runDownloader = [&]() {
        const qint64 elapsed = download(installer::DownloadCheck(), &cpu);
        if (time < 0 || elapsed < time)
            time = elapsed;
    };
    for (int run = 0; run < runs; ++run) {
        // Each starts with the disk's write-back done, and each goes first in
        // turn, so that neither pays for the other's written pages.
        for (int turn = 0; turn < 2; ++turn) {
            ::sync();
            if ((run + turn) % 2 == 0)
                runCurl();
            else
                runDownloader();
        }
    }

    // Once more with the SHA-256 that a catalogue may give: the digest is
    // taken beside the transfer, off the event loop's thread.
    installer::DownloadCheck check;
    {
        QFile served(data.filePath(QStringLiteral("files/bench/large.bin")));
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (served.open(QIODevice::ReadOnly) && hash.addData(&served))
            check.sha256 = hash.result().toHex();
    }
    ::sync();
    double digestCpu = 0.0;
    const qint64 digestTime = download(check, &digestCpu);
    const long long peak = statusKB("VmHWM:");

    // What a user would do instead: curl, then sha256sum of the file.
    qint64 checkedCurlTime = -1;
    {
        ::sync();
        QElapsedTimer timer;
        timer.start();
        const int fetched = QProcess::execute(QStringLiteral("curl"), {QStringLiteral("-sS"), QStringLiteral("-o"),
                                                                       curlTarget, url});
        QProcess sum;
        sum.start(QStringLiteral("sha256sum"), {curlTarget});
        const bool summed = sum.waitForFinished(600000) && sum.exitCode() == 0 &&
                            sum.readAllStandardOutput().startsWith(check.sha256);
        if (fetched == 0 && summed)
            checkedCurlTime = timer.elapsed();
        QFile::remove(curlTarget);
    }

    service.kill();
    service.waitForFinished(5000);

    if (curlStatus != 0 || curlBytes != size)
        out() << "curl failed (status " << curlStatus << ", " << curlBytes << " bytes)\n";
    if (!success || bytes != size)
        out() << "downloader failed: " << error.qString() << " (" << bytes << " bytes)\n";
    const double curlRate = mbPerSecond(curlBytes, curlTime);
    const double rate = mbPerSecond(bytes, time);
    out() << QStringLiteral("best of %1 runs each\n").arg(runs);
    out() << QStringLiteral("curl:       %1 ms, %2 MB/s\n").arg(curlTime).arg(curlRate, 0, 'f', 1);
    out() << QStringLiteral("downloader: %1 ms, %2 MB/s\n").arg(time).arg(rate, 0, 'f', 1);
    out() << QStringLiteral("processor time per run: curl %1 s, downloader %2 s\n")
                 .arg(curlCpu / runs, 0, 'f', 2)
                 .arg(cpu / runs, 0, 'f', 2);
    out() << QStringLiteral("downloader with SHA-256 check: %1 ms, %2 MB/s, processor %3 s\n")
                 .arg(digestTime)
                 .arg(mbPerSecond(size, digestTime), 0, 'f', 1)
                 .arg(digestCpu, 0, 'f', 2);
    out() << QStringLiteral("curl then sha256sum: %1 ms; ratio downloader with check / them: %2 (aim <= 1.0)\n")
                 .arg(checkedCurlTime)
                 .arg(checkedCurlTime > 0 ? double(digestTime) / double(checkedCurlTime) : 0.0, 0, 'f', 2);
    out() << QStringLiteral("longest event loop stall during downloads: %1 ms\n").arg(longestStall);
    out() << QStringLiteral("ratio downloader/curl: %1 (aim >= 0.9)\n").arg(curlRate > 0 ? rate / curlRate : 0.0, 0, 'f', 2);
    out() << QStringLiteral("downloader peak RSS (VmHWM): %1 kB = %2 MB (aim <= 64 MB)\n")
                 .arg(peak)
                 .arg(peak / 1024.0, 0, 'f', 1);
    out().flush();
    return success && curlStatus == 0 ? 0 : 1;
}
