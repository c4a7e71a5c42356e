#include "Catalogue/ProductMap.h"
#include "Catalogue/VantorixTools.h"
#include "Reporting/Report.h"
#include "common/FileBytes.h"
#include "common/TestSupport.h"

#include "common/XMLText.h"

#include <QtTest>

using namespace vantorix;

namespace {

QByteArray dataFile(const QString& name)
{
    return readFile(testsupport::dataDir() + "/Catalogue/" + name);
}

using testrecords::readText;
using testrecords::writeText;

} // namespace

class tst_CatalogueXML : public QObject {
    Q_OBJECT

private slots:
    void exampleProductRoundTrip();
    void listingKeysAndSkips();
    void emptyOptionalPartsAreLeftOut();
    void storeChildren();
};

void tst_CatalogueXML::exampleProductRoundTrip()
{
    const QByteArray text = dataFile("product.xml");
    Product product;
    QVERIFY(readText(product, text));

    // Most fields show only in the byte-exact rewrite below; these are the
    // ones a symmetric read and write fault could hide.
    QCOMPARE(product.getID().qString(), QStringLiteral("stairmaker"));
    Time edit(2015, 11, 10, 9, 30, 0);
    edit.setUTCOffset(60);
    QCOMPARE(product.getEditTime(), edit);
    QCOMPARE(int(product.getPlatformList().size()), 1);
    const RegisteredPlatform* platform =
        product.getPlatformList().find(PlatformSignature(HostType::archiCAD, 17));
    QVERIFY(platform);
    QCOMPARE(platform->getPurchaseDate(), Time(2015, 3, 5, 14, 7, 9));
    QCOMPARE(platform->getProductPrice(), 49.5);
    QCOMPARE(platform->getReleaseUrl(String("en")).qString(),
             QStringLiteral("https://store.vantorix.example/archives/StairMaker-17-EN.zip"));
    QCOMPARE(platform->getReleaseUrl(String("de")).qString(),
             QStringLiteral("https://store.vantorix.example/archives/StairMaker-17.zip"));
    QVERIFY(product.getHistory() == nullptr);

    // Written again, the text is the same to the byte.
    QCOMPARE(writeText(product), text);
}

void tst_CatalogueXML::listingKeysAndSkips()
{
    const Time before(true);
    ProductMap listing;
    QVERIFY(readText(listing, dataFile("listing.xml")));
    const Time after(true);

    // The first of two products with one id stays.
    QCOMPARE(int(listing.size()), 2);
    const Product* stairMaker = listing.getProduct(String("stairmaker"));
    QVERIFY(stairMaker);
    QCOMPARE(stairMaker->getName().qString(), QStringLiteral("StairMaker"));

    // Two platforms with one signature make one entry with the later version.
    const PlatformMap& platforms = stairMaker->getPlatformList();
    QCOMPARE(int(platforms.size()), 2);
    QCOMPARE(platforms.find(PlatformSignature(HostType::archiCAD, 17))->getVersion().qString(),
             QStringLiteral("1.20"));
    QVERIFY(platforms.find(PlatformSignature(HostType::archiCAD, 16))->isOwned());

    // A product read without an edit time counts as edited when it was read.
    const Product* roofer = listing.getProduct(String("roofer"));
    QVERIFY(roofer && roofer->getPlatformList().size() == 0);
    QVERIFY(before <= roofer->getEditTime() && roofer->getEditTime() <= after);

    // The release history comes along and survives writing and reading again.
    QVERIFY(stairMaker->getHistory());
    const PlatformHistory* history = stairMaker->getHistory()->find(PlatformSignature(HostType::archiCAD, 17));
    QVERIFY(history && stairMaker->getHistory()->elements().size() == 1);
    QCOMPARE(int(history->getNotes().size()), 2);
    QCOMPARE(history->getNotes()[1].getVersion(), 1.2);
    const QByteArray written = writeText(listing);
    QVERIFY2(written.contains("<releaseNote version=\"1.2\">Landings &amp; rails</releaseNote>"), written.constData());
    ProductMap again;
    QVERIFY(readText(again, written));
    QCOMPARE(writeText(again), written);

    // A host type the program does not know fails the whole listing.
    ProductMap bad;
    QVERIFY(!readText(bad, dataFile("badhost.xml")));
}

void tst_CatalogueXML::emptyOptionalPartsAreLeftOut()
{
    RegisteredPlatform platform(String(), PlatformSignature(HostType::archiCAD, 18));
    platform.details().agreementURL = "a";
    ProductHistory emptyHistory;
    Product product(String("p"), String("P"), String(), platform);
    product.setHistory(emptyHistory);
    product.setEditTime(Time(2016, 1, 2, 3, 4, 5));
    const QByteArray text = writeText(product);
    for (const char* part : {"history", "owned", "purchasedate", "<version>", "price", "trialavailable", "executables"})
        QVERIFY2(!text.contains(part), part);
    QVERIFY2(text.contains("<details>\n\t\t\t\t<agreementURL>a</agreementURL>\n\t\t\t</details>"), text.constData());

    // A release location of every language keeps its locale; an empty one is left out.
    RegisteredPlatform::PlatformDetail details;
    details.releaseList.emplace_back(String(), String("u1"));
    details.releaseList.emplace_back();
    const QByteArray urls = writeText(details);
    QVERIFY2(urls.contains("<releaseurl>u1</releaseurl>"), urls.constData());
    QVERIFY2(urls.contains("<releaseurl locale=\"INT\"></releaseurl>"), urls.constData());
    RegisteredPlatform::PlatformDetail read;
    QVERIFY(readText(read, urls));
    QCOMPARE(read.releaseList[0].getLanguage().qString(), QStringLiteral("INT"));
    QCOMPARE(read.releaseList[0].getUrl().qString(), QStringLiteral("u1"));
}

void tst_CatalogueXML::storeChildren()
{
    VantorixTools store("request");
    QCOMPARE(writeText(store),
             QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<request version=\"1\" target=\"commercial\"></request>\n"));

    store.setTarget(VantorixTools::educational);
    auto client = std::make_unique<Client>();
    client->setEmail(String("anna@example.com"));
    client->setPassword(String("s3cret & more"));
    store.setClient(std::move(client));
    store.setReport(std::make_unique<Report>());
    const QByteArray text = writeText(store);
    QVERIFY2(!text.contains("s3cret"), text.constData()); // the password travels enciphered
    QVERIFY2(text.contains("<report>\n\t\t<system>\n\t\t\t<name>Mac</name>"), text.constData());

    VantorixTools read("request");
    QVERIFY(readText(read, text));
    QCOMPARE(read.getTarget(), VantorixTools::educational);
    QCOMPARE(read.getClient()->getPassword().qString(), QStringLiteral("s3cret & more"));
    QVERIFY(read.getReport() != nullptr);
    QCOMPARE(read.getReport()->getMACAddress().qString(), QStringLiteral("02-00-5E-10-00-01"));

    // A client that was never edited is written and read back as such.
    Client fresh;
    fresh.setEditTime(Time(false));
    const QByteArray freshText = writeText(fresh);
    Client freshRead;
    freshRead.setEmail(String("x"));
    QVERIFY2(readText(freshRead, freshText), freshText.constData());
    QVERIFY(freshRead.getEditTime().isZero());
    QVERIFY(freshRead.getEmail().empty());
}

QTEST_GUILESS_MAIN(tst_CatalogueXML)
#include "tst_CatalogueXML.moc"
