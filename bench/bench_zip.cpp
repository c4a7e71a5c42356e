// Extracts zip archives through ZipArchive and through a bare minizip loop over
// the same files, into memory and into a folder, and prints the times side by
// side (processor seconds): archives of 5,000 and 50,000 small entries and one of 4 entries
// totalling 200 MB, made at run time in a temporary folder. The best of three
// rounds counts.
//
//   bench_zip [--small N] [--large-mb M] [--rounds R]

#include "Utility/ZipArchive.h"

#include "BenchText.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unzip.h>
#include <zip.h>
#include <zlib.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <utility>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <vector>

using namespace vantorix;

namespace {

int rounds = 3;


struct Source {
    QString name;
    std::function<QByteArray(int)> data;
    int count;
};

// Writes an archive through one minizip handle (ZipArchive::addEntry opens
// the file for each entry, which is fine for the few entries the installer
// writes but not for making 50,000).
bool writeArchive(const QString& path, int count, const std::function<QString(int)>& name,
                  const std::function<QByteArray(int)>& data, int level)
{
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (zip == nullptr)
        return false;
    bool ok = true;
    for (int i = 0; ok && i < count; ++i) {
        const QByteArray entryName = name(i).toUtf8();
        const QByteArray bytes = data(i);
        zip_fileinfo info = {};
        ok = zipOpenNewFileInZip64(zip, entryName.constData(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, level,
                                   0)
                 == ZIP_OK
             && zipWriteInFileInZip(zip, bytes.constData(), static_cast<unsigned>(bytes.size())) == ZIP_OK
             && zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

struct Result {
    qint64 bytes = 0;
    int files = 0;
};

// ZipArchive: every entry in number order, into memory or into folder.
Result throughZipArchive(const QString& path, const QString& folder)
{
    Result result;
    ZipArchive zip{String(path)};
    const unsigned count = zip.getEntryCount();
    for (unsigned i = 0; i < count; ++i) {
        if (folder.isEmpty()) {
            const auto entry = zip.getEntry(i);
            if (entry && entry->getData()) {
                result.bytes += entry->getData()->size();
                ++result.files;
            }
            continue;
        }
        const String entryPath = zip.getEntryPath(i);
        const QString target = folder + QLatin1Char('/') + entryPath.qString();
        // Directories come before the files inside them, implied ones too.
        if (ZipArchive::isDirectoryPath(entryPath)) {
            QDir().mkpath(target);
            continue;
        }
        QFile out(target);
        if (out.open(QIODevice::WriteOnly) && zip.readEntry(i, out)) {
            result.bytes += out.size();
            ++result.files;
        }
    }
    return result;
}

// The bare loop: first file, next file, open, read, close.
Result throughMinizip(const QString& path, const QString& folder)
{
    Result result;
    unzFile zip = unzOpen64(QFile::encodeName(path).constData());
    if (zip == nullptr)
        return result;
    std::vector<char> buffer(ZipArchive::defBufferSize);
    char name[4097];
    QString madeFolder;
    for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
            break;
        const size_t length = std::strlen(name);
        if (length == 0 || name[length - 1] == '/' || unzOpenCurrentFile(zip) != UNZ_OK)
            continue;
        std::vector<char> data;
        FILE* out = nullptr;
        if (folder.isEmpty()) {
            data.reserve(info.uncompressed_size);
        } else {
            const QString target = folder + QLatin1Char('/') + QString::fromUtf8(name);
            const QString parent = QFileInfo(target).path();
            if (parent != madeFolder) {
                QDir().mkpath(parent);
                madeFolder = parent;
            }
            out = std::fopen(QFile::encodeName(target).constData(), "wb");
        }
        qint64 total = 0;
        int n;
        while ((n = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()))) > 0) {
            total += n;
            if (out != nullptr)
                std::fwrite(buffer.data(), 1, static_cast<size_t>(n), out);
            else
                data.insert(data.end(), buffer.data(), buffer.data() + n);
        }
        if (out != nullptr)
            std::fclose(out);
        if (unzCloseCurrentFile(zip) == UNZ_OK && n == 0) {
            result.bytes += total;
            ++result.files;
        }
    }
    unzClose(zip);
    return result;
}

// Processor time (user and system) of this process: the machine the figures
// come from is often shared, and waiting for the processor is not our time.
double cpuSeconds()
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

// The best times of the rounds in seconds, the two runs taking turns so that
// a busy spell of the machine falls on both; the folder is emptied before each.
std::pair<double, double> best(const std::function<Result()>& first, const std::function<Result()>& second,
                               const QString& folder, Result& firstResult, Result& secondResult)
{
    double fastest[2] = {1e30, 1e30};
    for (int r = 0; r < rounds; ++r) {
        for (int which = 0; which < 2; ++which) {
            if (!folder.isEmpty()) {
                QDir(folder).removeRecursively();
                QDir().mkpath(folder);
            }
            const double start = cpuSeconds();
            (which == 0 ? firstResult : secondResult) = (which == 0 ? first : second)();
            fastest[which] = std::min(fastest[which], cpuSeconds() - start);
        }
    }
    return {fastest[0], fastest[1]};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each line as it is made, also into a file
    int small = 5000;
    int largeMb = 200;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--small"))
            small = args.at(i + 1).toInt();
        else if (args.at(i) == QLatin1String("--large-mb"))
            largeMb = args.at(i + 1).toInt();
        else if (args.at(i) == QLatin1String("--rounds"))
            rounds = args.at(i + 1).toInt();
    }

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    struct Archive {
        QString label;
        QString path;
        int entries;
    };
    std::vector<Archive> archives;
    const auto smallName = [](int i) {
        return QStringLiteral("Tool %1.bundle/Contents/Resources/%2/file-%3.txt")
            .arg(i / 1000)
            .arg(i / 50 % 20)
            .arg(i);
    };
    const auto smallData = [](int i) { return makeText(200 + (i * 37) % 1800, unsigned(i)); };
    QElapsedTimer made;
    made.start();
#ifdef __GLIBC__
    // Each entry's deflate state is above glibc's trim threshold, so every
    // entry would give the heap back to the system and take it again; while
    // making the archives the heap is kept. Measuring runs with the defaults.
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
    for (const int count : {small, small * 10}) {
        const QString path = dir.filePath(QStringLiteral("small-%1.zip").arg(count));
        if (!writeArchive(path, count, smallName, smallData, Z_DEFAULT_COMPRESSION))
            return 1;
        archives.push_back({QStringLiteral("%1 small entries").arg(count), path, count});
    }
    const int largeSize = largeMb * 1024 * 1024 / 4;
    const QString largePath = dir.filePath(QStringLiteral("large.zip"));
    const auto largeName = [](int i) { return QStringLiteral("Library/part-%1.bin").arg(i); };
    // Rotations of one block of text: as compressible as fresh text (the
    // block is far larger than deflate's window), but quick to make.
    const QByteArray block = makeText(4 << 20, 1000);
    const auto largeData = [largeSize, &block](int i) {
        QByteArray data;
        data.reserve(largeSize);
        for (int at = 0; data.size() < largeSize; at += 4099 * (i + 1))
            data += block.mid(at % block.size()) + block.left(at % block.size());
        data.resize(largeSize);
        return data;
    };
    if (!writeArchive(largePath, 4, largeName, largeData, Z_BEST_SPEED))
        return 1;
    archives.push_back({QStringLiteral("4 entries, %1 MB").arg(largeMb), largePath, 4});
#ifdef __GLIBC__
    mallopt(M_TRIM_THRESHOLD, 128 << 10);
#endif
    std::printf("archives made in %.1f s in %s\n\n", made.elapsed() / 1000.0, qPrintable(dir.path()));

    std::printf("%-26s %-7s %9s %12s %12s %7s\n", "archive", "into", "MB", "ZipArchive", "minizip", "ratio");
    std::vector<double> zipTimes;
    std::vector<double> bareTimes;
    const QString out = dir.filePath(QStringLiteral("out"));
    bool ok = true;
    for (const Archive& archive : archives) {
        for (const bool toFolder : {false, true}) {
            const QString folder = toFolder ? out : QString();
            Result ours;
            Result bare;
            const auto [a, b] = best([&] { return throughZipArchive(archive.path, folder); },
                                     [&] { return throughMinizip(archive.path, folder); }, folder, ours, bare);
            if (ours.bytes != bare.bytes || ours.files != archive.entries || bare.files != archive.entries) {
                std::printf("MISMATCH: %s: %d files %lld bytes vs %d files %lld bytes\n", qPrintable(archive.label),
                            ours.files, ours.bytes, bare.files, bare.bytes);
                ok = false;
            }
            zipTimes.push_back(a);
            bareTimes.push_back(b);
            std::printf("%-26s %-7s %9.1f %10.3f s %10.3f s %7.2f\n", qPrintable(archive.label),
                        toFolder ? "folder" : "memory", ours.bytes / 1048576.0, a, b, a / b);
        }
    }
    QDir(out).removeRecursively();
    std::printf("\n%d entries take, of the time of %d: ZipArchive %.2fx (memory) %.2fx (folder); "
                "minizip %.2fx (memory) %.2fx (folder)\n",
                small * 10, small, zipTimes[2] / zipTimes[0], zipTimes[3] / zipTimes[1], bareTimes[2] / bareTimes[0],
                bareTimes[3] / bareTimes[1]);
    std::printf("aim: ratio <= 1.5; 10x the entries in <= 11x the time\n");
    return ok ? 0 : 1;
}
