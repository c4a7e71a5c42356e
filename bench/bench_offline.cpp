// Writes and reads offline install files through OfflinePackage, beside a
// bare minizip copy of the same archives (one handle, 256 KB blocks, the same
// compression level) into a zip and back out of it. Two sets of archives,
// made at run time in a temporary folder: four of 256 MB (1 GB, bytes that do
// not compress, as product archives are already deflated) and 2,000 small
// ones of 20 KB. Each write and read runs in a child process of its own (this
// program started again), so that its peak resident memory is its own. The
// best of the rounds counts; wall-clock seconds.
//
//   bench_offline [--rounds R] [--large-mb M] [--small N] [--dir FOLDER]

#include "OfflinePackage.h"
#include "products/ArchiveMap.h"
#include "products/EULAMap.h"
#include "products/ImageMap.h"
#include "support/InstallerReport.h"

#include "Catalogue/VantorixTools.h"
#include "Database/Guid.h"
#include "File/DataFile.h"
#include "Serialise/XMLReader.h"
#include "Utility/DataBufferIn.h"

#include "BenchChild.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <unzip.h>
#include <zip.h>
#include <zlib.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <vector>

using namespace vantorix;
using namespace installer;

namespace {

constexpr int block = 256 * 1024;

// Bytes that do not compress, quickly.
bool writeNoise(const QString& path, qint64 size, quint64 seed)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray buffer(block, Qt::Uninitialized);
    quint64 state = seed * 0x9E3779B97F4A7C15ull + 1;
    for (qint64 done = 0; done < size;) {
        auto* words = reinterpret_cast<quint64*>(buffer.data());
        for (int i = 0; i < block / 8; ++i) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            words[i] = state;
        }
        const qint64 n = qMin<qint64>(block, size - done);
        if (file.write(buffer.constData(), n) != n)
            return false;
        done += n;
    }
    return true;
}

// A set: archives named "<GUID>.zfpkg" in folder, with "archives.xml", the
// archive records that name them.
bool makeSet(const QString& folder, int count, qint64 size)
{
    QDir().mkpath(folder);
    QByteArray records = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<archiveMap>\n";
    for (int i = 0; i < count; ++i) {
        const QString name = Guid().generate().toString().qString();
        if (!writeNoise(folder + "/" + name + ".zfpkg", size, quint64(i) + 1))
            return false;
        records += "\t<product>\n\t\t<url>https://example.com/archives/" + QByteArray::number(i) + ".zip</url>\n\t\t<name>"
            + name.toLatin1() + "</name>\n\t</product>\n";
    }
    records += "</archiveMap>\n";
    QFile file(folder + "/archives.xml");
    return file.open(QIODevice::WriteOnly) && file.write(records) == records.size();
}

int writeChild(const QString& set, const QString& out)
{
    VantorixTools catalogue;
    catalogue.setDefault();
    catalogue.setReport(std::make_unique<InstallerReport>(true));
    ImageMap images;
    ArchiveMap archives;
    EULAMap eulas;
    {
        const DataFile records{String(set + "/archives.xml")};
        DataBufferIn in(&records, Encoding::UTF8);
        if (!XMLReader(&in).importTo(archives))
            return 2;
    }
    for (const auto& entry : archives)
        entry.second->setFile(new DataFile(String(set + "/" + entry.second->getName().qString() + ".zfpkg")));
    OfflineContents contents{catalogue, images, archives, eulas};
    String error;
    int written = 0;
    if (!OfflinePackage::write(out, contents, error, &written)) {
        std::fprintf(stderr, "write: %s\n", qPrintable(error.qString()));
        return 1;
    }
    return written == int(archives.size()) ? 0 : 3;
}

int readChild(const QString& file, const QString& folder)
{
    VantorixTools catalogue;
    catalogue.setDefault();
    catalogue.setReport(std::make_unique<InstallerReport>(false));
    ImageMap images;
    ArchiveMap archives;
    EULAMap eulas;
    OfflineContents contents{catalogue, images, archives, eulas};
    String detail;
    const short result =
        OfflinePackage::read(file, folder, InstallerAction(true).getVersion(), contents, detail);
    if (result != 0)
        std::fprintf(stderr, "read: %d %s\n", result, qPrintable(detail.qString()));
    return result;
}

int bareWriteChild(const QString& set, const QString& out)
{
    zipFile zip = zipOpen64(QFile::encodeName(out).constData(), APPEND_STATUS_CREATE);
    if (zip == nullptr)
        return 1;
    QByteArray buffer(block, Qt::Uninitialized);
    bool ok = true;
    for (const QString& name : QDir(set).entryList({"*.zfpkg"}, QDir::Files, QDir::Name)) {
        QFile file(set + "/" + name);
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        zip_fileinfo info = {};
        ok = ok && zipOpenNewFileInZip64(zip, name.toUtf8().constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                                         Z_DEFLATED, Z_DEFAULT_COMPRESSION, file.size() >= 0xFFFFFFFFLL) == ZIP_OK;
        qint64 n = 0;
        while (ok && (n = file.read(buffer.data(), block)) > 0)
            ok = zipWriteInFileInZip(zip, buffer.constData(), unsigned(n)) == ZIP_OK;
        ok = ok && zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok ? 0 : 1;
}

int bareReadChild(const QString& file, const QString& folder)
{
    unzFile zip = unzOpen64(QFile::encodeName(file).constData());
    if (zip == nullptr)
        return 1;
    QByteArray buffer(block, Qt::Uninitialized);
    bool ok = true;
    for (int status = unzGoToFirstFile(zip); ok && status == UNZ_OK; status = unzGoToNextFile(zip)) {
        char name[512];
        unz_file_info64 info;
        ok = unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) == UNZ_OK
            && unzOpenCurrentFile(zip) == UNZ_OK;
        QFile out(folder + "/" + QString::fromUtf8(name));
        ok = ok && out.open(QIODevice::WriteOnly | QIODevice::Truncate);
        int n = 0;
        while (ok && (n = unzReadCurrentFile(zip, buffer.data(), block)) > 0)
            ok = out.write(buffer.constData(), n) == n;
        ok = ok && n == 0 && unzCloseCurrentFile(zip) == UNZ_OK;
    }
    unzClose(zip);
    return ok ? 0 : 1;
}

void print(const char* what, const Figure& ours, const Figure& bare)
{
    std::printf("%-34s %8.2f s %7.1f MB   bare minizip %8.2f s %7.1f MB   ratio %5.2f%s\n", what, ours.seconds,
                ours.peakKiB / 1024.0, bare.seconds, bare.peakKiB / 1024.0,
                bare.seconds > 0 ? ours.seconds / bare.seconds : 0.0, ours.ok && bare.ok ? "" : "   FAILED");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() == 5 && arguments.at(1) == QLatin1String("--child")) {
        const QString& action = arguments.at(2);
        if (action == QLatin1String("write"))
            return writeChild(arguments.at(3), arguments.at(4));
        if (action == QLatin1String("read"))
            return readChild(arguments.at(3), arguments.at(4));
        if (action == QLatin1String("bare-write"))
            return bareWriteChild(arguments.at(3), arguments.at(4));
        if (action == QLatin1String("bare-read"))
            return bareReadChild(arguments.at(3), arguments.at(4));
        return 2;
    }
    int rounds = 2;
    int largeMB = 1024;
    int small = 2000;
    QString dir;
    for (int i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments.at(i) == QLatin1String("--rounds"))
            rounds = arguments.at(i + 1).toInt();
        else if (arguments.at(i) == QLatin1String("--large-mb"))
            largeMB = arguments.at(i + 1).toInt();
        else if (arguments.at(i) == QLatin1String("--small"))
            small = arguments.at(i + 1).toInt();
        else if (arguments.at(i) == QLatin1String("--dir"))
            dir = arguments.at(i + 1);
    }
    QTemporaryDir scratch(dir.isEmpty() ? QDir::tempPath() + "/bench_offline-XXXXXX" : dir + "/bench_offline-XXXXXX");
    if (!scratch.isValid())
        return 1;
    const QString self = application.applicationFilePath();
    const QString root = scratch.path();

    struct Set {
        const char* name;
        int count;
        qint64 size;
    };
    const Set sets[] = {{"large", 4, qint64(largeMB) * 1024 * 1024 / 4}, {"small", small, 20 * 1024}};
    std::printf("bench_offline: best of %d rounds, peak RSS of each child process\n", rounds);
    for (const Set& set : sets) {
        const QString folder = root + "/" + set.name;
        if (!makeSet(folder, set.count, set.size)) {
            std::fprintf(stderr, "cannot make the %s set\n", set.name);
            return 1;
        }
        const QString file = root + "/" + set.name + ".zfinstall";
        const QString bareFile = root + "/" + set.name + "-bare.zip";
        const QString unpack = root + "/unpack";
        const auto fresh = [&unpack]() {
            QDir(unpack).removeRecursively();
            QDir().mkpath(unpack);
        };
        const Figure write = best(rounds, [] {}, [&] { return runChild({self, "--child", "write", folder, file}); });
        const Figure bareWrite =
            best(rounds, [] {}, [&] { return runChild({self, "--child", "bare-write", folder, bareFile}); });
        const QString label = QStringLiteral("%1 x %2 KB").arg(set.count).arg(set.size / 1024);
        print(qPrintable("write " + label), write, bareWrite);
        const Figure read = best(rounds, fresh, [&] { return runChild({self, "--child", "read", file, unpack}); });
        const Figure bareRead =
            best(rounds, fresh, [&] { return runChild({self, "--child", "bare-read", bareFile, unpack}); });
        print(qPrintable("read  " + label), read, bareRead);
        QDir(folder).removeRecursively();
        QDir(unpack).removeRecursively();
        QFile::remove(file);
        QFile::remove(bareFile);
    }
    return 0;
}
