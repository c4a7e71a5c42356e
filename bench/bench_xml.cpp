// Writes a catalogue-shaped document of 20,000 product records through the
// shipping classes into a file, reads it back, and compares the read with
// QXmlStreamReader merely tokenizing the same file. Prints MB/s figures.

#include "File/DataFile.h"
#include "Serialise/XMLReader.h"
#include "Serialise/XMLRecord.h"
#include "Serialise/XMLWriter.h"
#include "Utility/DataBufferIn.h"
#include "Utility/DataBufferOut.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <sys/resource.h>

#include <cstdio>

using namespace vantorix;

namespace {

int productCount = 20000;
int rounds = 3;

class Release : public XMLAssembly {
public:
    String language;
    String url;
    double size = 0;
    bool archive = false;

    const char* getTag() const override { return "release"; }
    unsigned long shippingSize() const override { return 4; }
    ShippingPtr getShipping(unsigned long index, bool) override
    {
        switch (index) {
        case 0: return ship(language, tags[0], true);
        case 1: return ship(url, tags[1]);
        case 2: return ship(size, tags[2]);
        case 3: return ship(archive, tags[3]);
        default: return nullptr;
        }
    }
    ShippingPtr getShipping(const String& tag, const String&) override { return childByTag(tag, tags, 4); }
    void setDefault() override
    {
        language.clear();
        url.clear();
        size = 0;
        archive = false;
    }
    static constexpr const char* tags[] = {"language", "url", "size", "archive"};
};

class Platform : public XMLAssembly {
public:
    short host = 0;
    short version = 0;

    const char* getTag() const override { return "platform"; }
    unsigned long shippingSize() const override { return 2; }
    ShippingPtr getShipping(unsigned long index, bool) override
    {
        switch (index) {
        case 0: return ship(host, tags[0], true);
        case 1: return ship(version, tags[1], true);
        default: return nullptr;
        }
    }
    ShippingPtr getShipping(const String& tag, const String&) override { return childByTag(tag, tags, 2); }
    void setDefault() override { host = version = 0; }
    static constexpr const char* tags[] = {"host", "version"};
};

class Product : public XMLAssembly {
public:
    String name;
    Guid id;
    String title;
    short build = 0;
    double price = 0;
    double version = 0;
    bool trial = false;
    bool educational = false;
    Status status = myTools;
    Platform platform;
    String description;
    XMLList<Release> releases{"releases"};
    XMLList<String> keywords{"keywords", "keyword"};

    const char* getTag() const override { return "product"; }
    unsigned long shippingSize() const override { return 13; }
    ShippingPtr getShipping(unsigned long index, bool) override
    {
        switch (index) {
        case 0: return ship(name, tags[0], true);
        case 1: return ship(id, tags[1], true);
        case 2: return ship(title, tags[2]);
        case 3: return ship(build, tags[3]);
        case 4: return ship(price, tags[4]);
        case 5: return ship(version, tags[5]);
        case 6: return ship(trial, tags[6]);
        case 7: return ship(educational, tags[7]);
        case 8: return ship(status, tags[8]);
        case 9: return ship(platform, tags[9]);
        case 10: return ship(description, tags[10]);
        case 11: return ship(releases, tags[11]);
        case 12: return ship(keywords, tags[12]);
        default: return nullptr;
        }
    }
    ShippingPtr getShipping(const String& tag, const String&) override { return childByTag(tag, tags, 13); }
    void setDefault() override
    {
        name.clear();
        id.clear();
        title.clear();
        build = 0;
        price = version = 0;
        trial = educational = false;
        status = myTools;
        platform.setDefault();
        description.clear();
        releases.setDefault();
        keywords.setDefault();
    }
    static constexpr const char* tags[] = {"name", "id", "title", "build", "price", "version", "trial",
                                           "educational", "status", "platform", "description", "releases",
                                           "keywords"};
};

class ProductMap : public XMLKeyedMap<String, Product> {
public:
    ProductMap() : XMLKeyedMap("products") {}

protected:
    String getKey(const Product& product) const override { return product.name; }
};

class Catalogue : public XMLAssembly {
public:
    String account;
    ProductMap products;

    const char* getTag() const override { return "catalogue"; }
    unsigned long shippingSize() const override { return 2; }
    ShippingPtr getShipping(unsigned long index, bool) override
    {
        switch (index) {
        case 0: return ship(account, tags[0], true);
        case 1: return ship(products, tags[1]);
        default: return nullptr;
        }
    }
    ShippingPtr getShipping(const String& tag, const String&) override { return childByTag(tag, tags, 2); }
    void setDefault() override
    {
        account.clear();
        products.setDefault();
    }
    static constexpr const char* tags[] = {"account", "products"};
};

void fill(Catalogue& catalogue)
{
    catalogue.account = "someone@example.com";
    const QString text = QStringLiteral(
        "Parametric stair & railing tools. Works with <b>all</b> \"classic\" and 'modern' templates. ");
    for (int i = 0; i < productCount; ++i) {
        auto product = std::make_unique<Product>();
        const String name(QStringLiteral("Vantorix Tool %1").arg(i, 5, 10, QLatin1Char('0')));
        product->name = name;
        product->id.generate();
        product->title = String(QStringLiteral("Tool number %1 \u2013 Stairs & Rails").arg(i));
        product->build = static_cast<short>(1000 + i % 3000);
        product->price = 49.5 + i % 100;
        product->version = 2.05;
        product->trial = i % 3 == 0;
        product->educational = i % 5 == 0;
        product->status = static_cast<Status>(i % 4);
        product->platform.host = static_cast<short>(i % 3);
        product->platform.version = 24;
        product->description = String(text + QString::number(i));
        for (const char* language : {"INT", "GER"}) {
            Release release;
            release.language = language;
            release.url = String(QStringLiteral("https://dl.example.com/t/%1/%2.zip?b=%3&l=%2")
                                     .arg(i)
                                     .arg(QLatin1String(language))
                                     .arg(product->build));
            release.size = 1234567 + i;
            release.archive = true;
            product->releases.elements().push_back(release);
        }
        product->keywords.elements() = {String("stairs"), String("rails")};
        catalogue.products.insert(name, std::move(product));
    }
}

long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double megabytesPerSecond(qint64 bytes, qint64 nanoseconds)
{
    return nanoseconds > 0 ? (double(bytes) / (1024.0 * 1024.0)) / (double(nanoseconds) / 1e9) : 0.0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Optional arguments for profiling: product count and rounds.
    if (argc > 1)
        productCount = QByteArray(argv[1]).toInt();
    if (argc > 2)
        rounds = QByteArray(argv[2]).toInt();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("catalogue.xml"));

    Catalogue catalogue;
    fill(catalogue);
    std::printf("records: %d products, peak memory after building them: %ld KB\n", productCount, peakKilobytes());

    qint64 bestWrite = -1;
    qint64 bestRead = -1;
    qint64 bestTokenize = -1;
    qint64 size = 0;
    for (int round = 0; round < rounds; ++round) {
        QFile::remove(path);
        QElapsedTimer timer;
        {
            DataFile file(String(path), DataFile::readWrite, true);
            timer.start();
            DataBufferOut out(&file);
            if (!XMLWriter(&out).exportFrom(catalogue, true, true, true, true)) {
                std::printf("write failed\n");
                return 1;
            }
            file.close();
        }
        const qint64 write = timer.nsecsElapsed();
        size = QFileInfo(path).size();

        Catalogue copy;
        bool ok = false;
        {
            DataFile file(String(path), DataFile::readOnly, false);
            timer.start();
            DataBufferIn in(&file, Encoding::UTF8);
            XMLReader reader(&in);
            ok = reader.importTo(copy);
            if (!ok)
                std::printf("read failed at %d, %d\n", reader.getRowPosition(), reader.getColPosition());
        }
        const qint64 read = timer.nsecsElapsed();
        if (!ok || copy.products.size() != catalogue.products.size())
            return 1;

        qint64 tokens = 0;
        {
            QFile file(path);
            timer.start();
            file.open(QIODevice::ReadOnly);
            QXmlStreamReader xml(&file);
            while (!xml.atEnd()) {
                xml.readNext();
                ++tokens;
            }
            if (xml.hasError()) {
                std::printf("QXmlStreamReader: %s\n", qPrintable(xml.errorString()));
                return 1;
            }
        }
        const qint64 tokenize = timer.nsecsElapsed();
        std::printf("round %d: write %.1f MB/s, read %.1f MB/s, QXmlStreamReader %.1f MB/s (%lld tokens)\n",
                    round + 1, megabytesPerSecond(size, write), megabytesPerSecond(size, read),
                    megabytesPerSecond(size, tokenize), static_cast<long long>(tokens));
        if (bestWrite < 0 || write < bestWrite)
            bestWrite = write;
        if (bestRead < 0 || read < bestRead)
            bestRead = read;
        if (bestTokenize < 0 || tokenize < bestTokenize)
            bestTokenize = tokenize;
    }
    std::printf("document: %.1f MB\n", double(size) / (1024.0 * 1024.0));
    std::printf("best of %d: write %.1f MB/s, read %.1f MB/s, QXmlStreamReader tokenizing %.1f MB/s\n", rounds,
                megabytesPerSecond(size, bestWrite), megabytesPerSecond(size, bestRead),
                megabytesPerSecond(size, bestTokenize));
    std::printf("read / tokenizer ratio: %.2f (target at least 0.50)\n", double(bestTokenize) / double(bestRead));
    std::printf("peak memory: %ld KB (two catalogues of records in memory)\n", peakKilobytes());
    return 0;
}
