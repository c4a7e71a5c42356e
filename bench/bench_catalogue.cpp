// Catalogue records at the sizes the installer meets:
// - an installation folder of 2,000 product files (one product each, two
//   host release lines, two installed files per line), read and merged into
//   one store as the product tree does at start, and written again file by
//   file (each file replaced whole);
// - a listing of 20,000 products with release details, written as text,
//   read into a ProductMap, and merged into another map.
// Prints the best and the median of several runs with the text rates.
#include "Catalogue/VantorixTools.h"
#include "File/DataFile.h"
#include "File/Directory.h"
#include "Serialise/XMLReader.h"
#include "Serialise/XMLWriter.h"
#include "Utility/DataBufferIn.h"
#include "Utility/DataBufferOut.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <vector>

using namespace vantorix;

namespace {

const int runs = 5;
const int installationFiles = 2000;
const int listingProducts = 20000;

struct Figures {
    double best;
    double median;
};

template <typename Work>
Figures measure(Work work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2]};
}

void print(QTextStream& out, const QString& label, const Figures& figures, qint64 bytes)
{
    out << label.leftJustified(52) << QStringLiteral("best %1 ms  median %2 ms")
                                          .arg(figures.best, 9, 'f', 1)
                                          .arg(figures.median, 9, 'f', 1);
    if (bytes > 0)
        out << QStringLiteral("  %1 MB/s").arg(double(bytes) / 1e6 / (figures.best / 1e3), 8, 'f', 1);
    out << '\n';
    out.flush();
}

Product installedProduct(int n, const QString& root)
{
    const String id(QStringLiteral("product-%1").arg(n, 5, 10, QLatin1Char('0')));
    Product product(id, String(QStringLiteral("Tool %1").arg(n)), String(QStringLiteral("T%1").arg(n)));
    for (short host : {short(18), short(19)}) {
        RegisteredPlatform platform(String("1.20"), PlatformSignature(HostType::archiCAD, host));
        const QString app = root + QStringLiteral("/ArchiCAD %1").arg(host);
        platform.mergeExecutable(Executable(
            String(app + QStringLiteral("/Add-Ons/Tool %1.apx/Contents/MacOS/Tool %1").arg(n)), String("1.20")));
        platform.mergeExecutable(Executable(String(app + QStringLiteral("/Library/Tool %1.gsm").arg(n)),
                                            String("1.20"), String(), String("full")));
        product.getPlatformList().add(platform);
    }
    return product;
}

Product listedProduct(int n)
{
    Product product(String(QStringLiteral("4F1C2A7E-0D3B-4C55-9E61-%1").arg(n, 12, 10, QLatin1Char('0'))),
                    String(QStringLiteral("Listed Tool %1").arg(n)), String(QStringLiteral("LT-%1").arg(n)));
    product.setEditTime(Time(2015, 3, 5, 14, 7, 9));
    for (short host : {short(18), short(19)}) {
        RegisteredPlatform platform(String("2.10"), PlatformSignature(HostType::archiCAD, host));
        platform.setOwned(n % 3 == 0);
        RegisteredPlatform::PlatformDetail& details = platform.details();
        details.releaseDate = Time(2015, 2, 1, 0, 0, 0);
        details.agreementURL = String(QStringLiteral("https://store.vantorix.example/eula/%1.html").arg(n));
        details.imageurl = String(QStringLiteral("https://store.vantorix.example/images/%1.png").arg(n));
        details.productdescription = String("Stairs of every shape & size, with railings and landings.");
        details.price = 149.0;
        details.producturl = String(QStringLiteral("https://www.vantorix.example/tools/%1").arg(n));
        details.trialavailable = true;
        details.releasesize = 1.25;
        details.releaseList.emplace_back(String("INT"),
                                         String(QStringLiteral("https://store.vantorix.example/a/%1-%2.zip").arg(n).arg(host)));
        details.releaseList.emplace_back(String("GER"),
                                         String(QStringLiteral("https://store.vantorix.example/a/%1-%2-de.zip").arg(n).arg(host)));
        product.getPlatformList().add(platform);
    }
    return product;
}

qint64 folderBytes(const QString& folder)
{
    qint64 total = 0;
    QDirIterator it(folder, QDir::Files);
    while (it.hasNext()) {
        it.next();
        total += it.fileInfo().size();
    }
    return total;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir temp;
    if (!temp.isValid())
        return 1;
    const QString folder = temp.filePath("Installation");
    QDir().mkpath(folder);

    // Installation folder.
    std::vector<Product> products;
    products.reserve(installationFiles);
    for (int n = 0; n < installationFiles; ++n)
        products.push_back(installedProduct(n, temp.path()));
    const Figures writing = measure([&] {
        for (const Product& product : products) {
            VantorixTools store;
            store.mergeInstallation(product);
            DataFile file(String(folder + "/" + VantorixTools::installationFileName(product).qString()));
            store.writeInstallation(&file, true);
        }
    });
    const qint64 installationBytes = folderBytes(folder);
    out << QStringLiteral("Installation folder: %1 files, %2 bytes\n").arg(installationFiles).arg(installationBytes);
    print(out, QStringLiteral("  write every file (temporary file + rename)"), writing, installationBytes);
    int merged = 0;
    const Figures reading = measure([&] {
        VantorixTools store;
        store.readInstallationFolder(Directory(String(folder)), false);
        merged = int(store.getInstallation()->getProducts().size());
    });
    print(out, QStringLiteral("  read and merge the folder (%1 products)").arg(merged), reading, installationBytes);

    // Listing.
    VantorixTools listing;
    {
        auto installation = std::make_unique<Installation>();
        for (int n = 0; n < listingProducts; ++n)
            installation->getProducts().merge(listedProduct(n));
        listing.setInstallation(std::move(installation));
    }
    String text;
    const Figures writeListing = measure([&] {
        text.clear();
        DataBufferOut buffer(&text);
        XMLWriter(&buffer).exportFrom(listing, true, true, true, true);
    });
    const QByteArray bytes = text.toByteArray();
    out << QStringLiteral("Listing: %1 products, %2 bytes\n").arg(listingProducts).arg(bytes.size());
    print(out, QStringLiteral("  write the listing"), writeListing, bytes.size());
    int read = 0;
    const Figures readListing = measure([&] {
        VantorixTools store;
        DataBufferIn in;
        in.setSource(bytes, Encoding::UTF8);
        store.readInstallation(in);
        read = int(store.getInstallation()->getProducts().size());
    });
    print(out, QStringLiteral("  read into a ProductMap (%1 products)").arg(read), readListing, bytes.size());
    const ProductMap& source = listing.getInstallation()->getProducts();
    const Figures mergeNew = measure([&] {
        ProductMap target;
        target.merge(source);
    });
    print(out, QStringLiteral("  merge into an empty ProductMap"), mergeNew, 0);
    ProductMap present(source);
    const Figures mergeSame = measure([&] { present.merge(source); });
    print(out, QStringLiteral("  merge into a map holding the same records"), mergeSame, 0);
    return 0;
}
