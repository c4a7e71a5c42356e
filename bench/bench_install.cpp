// Installs product archives through the product installer, beside "unzip -q"
// of the same archive into an empty folder, and uninstalls the installed
// product beside "rm -rf" of unzip's tree. Each install and uninstall runs in
// a child process of its own (this program started again), so that its peak
// resident memory is its own. Archives: 200 MB in four files (deflated text)
// and a bundle of 10,000 small files, made at run time in a temporary folder.
// The best of the rounds counts; wall-clock seconds.
//
// Last, once, an archive with one entry of 1,100 MB of zeros (a 1 MB
// archive): its install must stay as small in memory as the others.
//
//   bench_install [--rounds R] [--large-mb M] [--small N] [--huge-mb H]

#include "InstallerManager.h"
#include "products/InstallerProduct.h"
#include "products/ProductInstaller.h"

#include "Applications/Application.h"
#include "Applications/ApplicationMap.h"
#include "File/DataFile.h"

#include "BenchText.h"

#include "BenchChild.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <zip.h>
#include <zlib.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

using namespace vantorix;
using namespace installer;

namespace {


bool writeArchive(const QString& path, const QByteArray& manifest, int count,
                  const std::function<QString(int)>& name, const std::function<QByteArray(int)>& data)
{
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (zip == nullptr)
        return false;
    bool ok = true;
    for (int i = -1; ok && i < count; ++i) {
        const QByteArray entryName = i < 0 ? QByteArray("manifest.xml") : name(i).toUtf8();
        const QByteArray bytes = i < 0 ? manifest : data(i);
        zip_fileinfo info = {};
        ok = zipOpenNewFileInZip64(zip, entryName.constData(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 6, 1) ==
                 ZIP_OK &&
             zipWriteInFileInZip(zip, bytes.constData(), static_cast<unsigned>(bytes.size())) == ZIP_OK &&
             zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

// A minimal host installation: its folder, "ProductVersion.xml" and bundle.
bool makeHost(const QString& folder)
{
    QDir(folder).removeRecursively();
    QProcess fakeHost;
    fakeHost.start(QCoreApplication::applicationDirPath() + "/vantorix-fakehost", {"--version", "19", folder});
    return fakeHost.waitForFinished(30000) && fakeHost.exitCode() == 0;
}

// Child: installs archive into host (or uninstalls what it lists).
int child(const QString& action, const QString& archive, const QString& hostFolder)
{
    Guid id;
    id.generate();
    manager.getApplications().insert(id, std::make_unique<Application>(HostType::archiCAD, String(hostFolder)));
    if (action == QLatin1String("install")) {
        DataFile file{String(archive)};
        ProductInstaller installer(id, file);
        if (!installer.copyFiles()) {
            std::fprintf(stderr, "bench_install: %s\n", qPrintable(installer.getError().qString()));
            return 1;
        }
        return 0;
    }
    // The installed items, as the product knows them, removed by its
    // uninstall.
    InstallerProduct product(Product(String("0A000000-0000-4000-8000-0000000000BE"), String("Bench"), String("BE")),
                             RegisteredPlatform(String("1.00"), PlatformSignature(HostType::archiCAD, 19)));
    product.setApplication(id);
    const Application* host = manager.getApplication(id);
    product.addLocalPath(host->getDirectory(Application::dll) + "Bench.apx");
    product.unInstall();
    return product.isInstalled() ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() == 5 && arguments.at(1) == QLatin1String("--child"))
        return child(arguments.at(2), arguments.at(3), arguments.at(4));

    int rounds = 3;
    int largeMB = 200;
    int small = 10000;
    int hugeMB = 1100;
    for (int i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments.at(i) == QLatin1String("--rounds"))
            rounds = arguments.at(i + 1).toInt();
        else if (arguments.at(i) == QLatin1String("--large-mb"))
            largeMB = arguments.at(i + 1).toInt();
        else if (arguments.at(i) == QLatin1String("--small"))
            small = arguments.at(i + 1).toInt();
        else if (arguments.at(i) == QLatin1String("--huge-mb"))
            hugeMB = arguments.at(i + 1).toInt();
    }
    QTemporaryDir root(QDir::currentPath() + QStringLiteral("/bench_install-XXXXXX"));
    if (!root.isValid())
        return 1;
    for (const char* folder : {"prefs", "shared", "tmp"})
        QDir().mkpath(root.filePath(QString::fromLatin1(folder)));
    qputenv("VANTORIX_PREFS_DIR", QFile::encodeName(root.filePath("prefs")));
    qputenv("VANTORIX_SHARED_DIR", QFile::encodeName(root.filePath("shared")));
    qputenv("TMPDIR", QFile::encodeName(root.filePath("tmp")));
    qputenv("VANTORIX_HOST_SEARCH_PATH", QFile::encodeName(root.filePath("none")));
    qputenv("VANTORIX_MAC_ADDRESSES", "02-00-5E-10-00-01");

    const QByteArray bundleManifest =
        "<?xml version=\"1.0\"?><manifest><file type=\"dll\"><name>Bench.apx</name></file></manifest>";
    const int largeFile = largeMB * (1 << 20) / 4;
    struct Case {
        const char* title;
        QString archive;
    };
    const QString large = root.filePath("large.zip");
    const QString many = root.filePath("many.zip");
    std::fprintf(stdout, "Making the archives ...\n");
    std::fflush(stdout);
    if (!writeArchive(large, bundleManifest, 4,
                      [](int i) { return QStringLiteral("Bench.apx/Contents/Resources/part%1.bin").arg(i); },
                      [largeFile](int i) { return makeText(largeFile, unsigned(i + 1)); }) ||
        !writeArchive(many, bundleManifest, small,
                      [](int i) { return QStringLiteral("Bench.apx/Contents/Resources/%1/f%2.txt").arg(i / 100).arg(i); },
                      [](int i) { return makeText(1500 + i % 1000, unsigned(i + 7)); })) {
        std::fprintf(stderr, "bench_install: cannot write the archives\n");
        return 1;
    }

    const QString self = QCoreApplication::applicationFilePath();
    const QString host = root.filePath("host/ArchiCAD 19");
    const QString unzipped = root.filePath("unzipped");
    std::fprintf(stdout, "%-34s %10s %10s %8s %12s\n", "", "ours (s)", "peer (s)", "ratio", "peak RSS");
    const QByteArray largeTitle = QStringLiteral("install, %1 MB in 4 files").arg(largeMB).toUtf8();
    const QByteArray smallTitle = QStringLiteral("install, %1 small files").arg(small).toUtf8();
    const QByteArray uninstallTitle = QStringLiteral("uninstall, %1 small files").arg(small).toUtf8();
    for (const Case& item : {Case{largeTitle.constData(), large}, Case{smallTitle.constData(), many}}) {
        const Figure ours = best(rounds, [&] { makeHost(host); },
                                 [&] { return runChild({self, "--child", "install", item.archive, host}); });
        const Figure unzip = best(rounds, [&] { QDir(unzipped).removeRecursively(); },
                                  [&] { return runChild({"/usr/bin/unzip", "-q", item.archive, "-d", unzipped}); });
        if (!ours.ok || !unzip.ok) {
            std::fprintf(stderr, "bench_install: %s failed\n", item.title);
            return 1;
        }
        std::fprintf(stdout, "%-34s %10.3f %10.3f %8.2f %9ld KiB  (unzip -q: %ld KiB)\n", item.title, ours.seconds,
                     unzip.seconds, ours.seconds / unzip.seconds, ours.peakKiB, unzip.peakKiB);
        // bsdtar (libarchive-tools), where it is installed.
        if (QFileInfo::exists(QStringLiteral("/usr/bin/bsdtar"))) {
            const Figure bsdtar = best(rounds,
                                       [&] {
                                           QDir(unzipped).removeRecursively();
                                           QDir().mkpath(unzipped);
                                       },
                                       [&] { return runChild({"/usr/bin/bsdtar", "-xf", item.archive, "-C", unzipped}); });
            if (bsdtar.ok)
                std::fprintf(stdout, "%-34s %10s %10.3f %8.2f %9s      (bsdtar -xf: %ld KiB)\n", "", "",
                             bsdtar.seconds, ours.seconds / bsdtar.seconds, "", bsdtar.peakKiB);
        }
    }
    // Uninstall of the 10,000-file product beside rm -rf of unzip's tree.
    const Figure ours = best(rounds,
                             [&] {
                                 makeHost(host);
                                 runChild({self, "--child", "install", many, host});
                                 ::sync();
                             },
                             [&] { return runChild({self, "--child", "uninstall", many, host}); });
    const Figure rm = best(rounds,
                           [&] {
                               QDir(unzipped).removeRecursively();
                               runChild({"/usr/bin/unzip", "-q", many, "-d", unzipped});
                               // Files a user removes have long been on the
                               // disk: removing files whose bytes were never
                               // written costs far less.
                               ::sync();
                           },
                           [&] { return runChild({"/bin/rm", "-rf", unzipped}); });
    if (!ours.ok || !rm.ok) {
        std::fprintf(stderr, "bench_install: the uninstall failed\n");
        return 1;
    }
    std::fprintf(stdout, "%-34s %10.3f %10.3f %8.2f %9ld KiB  (rm -rf)\n", uninstallTitle.constData(),
                 ours.seconds, rm.seconds, ours.seconds / rm.seconds, ours.peakKiB);
    if (hugeMB <= 0)
        return 0;

    // One entry far larger than any buffer, written block by block.
    const QString huge = root.filePath("huge.zip");
    {
        zipFile zip = zipOpen64(QFile::encodeName(huge).constData(), APPEND_STATUS_CREATE);
        zip_fileinfo info = {};
        bool ok = zip != nullptr;
        for (int i = 0; ok && i < 2; ++i) {
            const QByteArray name = i == 0 ? QByteArray("manifest.xml") : QByteArray("Bench.apx/Contents/Resources/zeros.bin");
            ok = zipOpenNewFileInZip64(zip, name.constData(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 1, 1) == ZIP_OK;
            if (i == 0) {
                ok = ok && zipWriteInFileInZip(zip, bundleManifest.constData(), unsigned(bundleManifest.size())) == ZIP_OK;
            } else {
                const QByteArray block(1 << 20, '\0');
                for (int mb = 0; ok && mb < hugeMB; ++mb)
                    ok = zipWriteInFileInZip(zip, block.constData(), unsigned(block.size())) == ZIP_OK;
            }
            ok = ok && zipCloseFileInZip(zip) == ZIP_OK;
        }
        if (zip == nullptr || zipClose(zip, nullptr) != ZIP_OK || !ok) {
            std::fprintf(stderr, "bench_install: cannot write the archive of one large entry\n");
            return 1;
        }
    }
    makeHost(host);
    const Figure hugeInstall = runChild({self, "--child", "install", huge, host});
    QDir(unzipped).removeRecursively();
    const Figure hugeUnzip = runChild({"/usr/bin/unzip", "-q", huge, "-d", unzipped});
    if (!hugeInstall.ok || !hugeUnzip.ok) {
        std::fprintf(stderr, "bench_install: the archive of one large entry failed\n");
        return 1;
    }
    const QByteArray hugeTitle = QStringLiteral("install, one entry of %1 MB").arg(hugeMB).toUtf8();
    std::fprintf(stdout, "%-34s %10.3f %10.3f %8.2f %9ld KiB  (unzip -q: %ld KiB)\n", hugeTitle.constData(),
                 hugeInstall.seconds, hugeUnzip.seconds, hugeInstall.seconds / hugeUnzip.seconds, hugeInstall.peakKiB,
                 hugeUnzip.peakKiB);
    return 0;
}
