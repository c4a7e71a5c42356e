// Makes a support package the way "Submit Report" does, over a sandbox with a
// large log folder (more than the 20 MB each folder may contribute) and many
// small installation records, and prints how long collecting and encoding
// took and the process's peak memory, which must stay near the limit and not
// grow with the folders. The best of three rounds counts.
//
//   bench_support [--logs-mb M] [--records N]

#include "support/SupportCollector.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

using namespace installer;

namespace {

bool writeText(const QString& path, qint64 bytes, int seed)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray line;
    for (qint64 written = 0, n = seed; written < bytes; written += line.size(), ++n) {
        line = "2026-12-07 10:00:00.000\tDownloading archive " + QByteArray::number(n * 7919 % 100003) +
               " of Stair Maker into the cache\n";
        if (file.write(line) != line.size())
            return false;
    }
    return true;
}

long peakKilobytes()
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char* argv[])
{
    QTemporaryDir sandbox;
    if (!sandbox.isValid())
        return 1;
    // Before anything asks the platform for a folder.
    qputenv("VANTORIX_PREFS_DIR", sandbox.filePath("prefs").toUtf8());
    qputenv("VANTORIX_SHARED_DIR", sandbox.filePath("shared").toUtf8());
    qputenv("TMPDIR", sandbox.filePath("tmp").toUtf8());
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    const int logsMb = arguments.contains("--logs-mb") ? arguments.value(arguments.indexOf("--logs-mb") + 1).toInt() : 60;
    const int records = arguments.contains("--records") ? arguments.value(arguments.indexOf("--records") + 1).toInt() : 2000;

    const QString logs = sandbox.filePath("prefs/Vantorix Tools/Logs");
    const QString installation = sandbox.filePath("shared/Vantorix Tools/Installation");
    QDir().mkpath(logs);
    QDir().mkpath(installation);
    QDir().mkpath(sandbox.filePath("tmp"));
    for (int i = 0; i < 6; ++i) {
        if (!writeText(logs + QStringLiteral("/installer-%1.txt").arg(i), qint64(logsMb) * 1024 * 1024 / 6, i))
            return 1;
    }
    for (int i = 0; i < records; ++i) {
        if (!writeText(installation + QStringLiteral("/com.vantorix.install.tool_%1.xml").arg(i), 2048, i))
            return 1;
    }

    qint64 bestCollect = -1;
    qint64 bestEncode = -1;
    qint64 archiveSize = 0;
    int textSize = 0;
    for (int round = 0; round < 3; ++round) {
        SupportCollector collector;
        QElapsedTimer timer;
        timer.start();
        if (!collector.collectData()) {
            std::fprintf(stderr, "collecting failed: %s\n", qPrintable(collector.getError().qString()));
            return 1;
        }
        const qint64 collected = timer.nsecsElapsed();
        archiveSize = QFileInfo(collector.getPackagePath().qString()).size();
        timer.restart();
        textSize = collector.getPackageData().size();
        const qint64 encoded = timer.nsecsElapsed();
        bestCollect = bestCollect < 0 ? collected : std::min(bestCollect, collected);
        bestEncode = bestEncode < 0 ? encoded : std::min(bestEncode, encoded);
    }
    std::printf("folders: %d MB of logs in 6 files, %d records of 2 KB\n", logsMb, records);
    std::printf("archive: %lld bytes, Base64 text %d characters\n", static_cast<long long>(archiveSize), textSize);
    std::printf("collect: %.3f s   encode: %.3f s   peak memory: %ld MB\n", bestCollect / 1e9, bestEncode / 1e9,
                peakKilobytes() / 1024);
    return 0;
}
