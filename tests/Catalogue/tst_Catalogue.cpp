#include "Catalogue/Client.h"
#include "Catalogue/Installation.h"
#include "Catalogue/ProductMap.h"
#include "Catalogue/VantorixTools.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace vantorix;

namespace {

Time at(unsigned year, unsigned month, unsigned day, unsigned hour = 12)
{
    return Time(year, month, day, hour, 0, 0);
}

PlatformSignature archiCAD(short version)
{
    return PlatformSignature(HostType::archiCAD, version);
}

// A product as the installer records an install: one ArchiCAD platform with
// one installed file.
Product installed(const String& path, const String& version, short host = 17, const String& error = String(),
                  const String& variant = String())
{
    RegisteredPlatform platform(version, archiCAD(host));
    platform.mergeExecutable(Executable(path, version, error, variant));
    return Product("stairmaker", "StairMaker", "SM", platform);
}

const RegisteredPlatform* platformOf(const Installation& installation, const String& id, short host = 17)
{
    const Product* product = installation.getProducts().getProduct(id);
    return product ? product->getPlatformList().find(archiCAD(host)) : nullptr;
}

} // namespace

class tst_Catalogue : public QObject {
    Q_OBJECT

private slots:
    void releaseUrl();
    void signatureOrderAndName();
    void productValue();
    void newerRecordWins_data();
    void newerRecordWins();
    void installationMerge();
    void deregisterOldExecutables();
    void storeMerge();
};

// The release for a language, else the last one for every language ("INT").
void tst_Catalogue::releaseUrl()
{
    const struct { QStringList locales; const char* language; const char* expected; } cases[] = {
        {{"EN", "INT"}, "en", "url-EN"}, {{"EN", "INT"}, "de", "url-INT"}, {{"INT", "de"}, "DE", "url-de"},
        {{"en", "fr"}, "de", ""}, {{"INT", "int"}, "ja", "url-int"}};
    for (const auto& c : cases) {
        RegisteredPlatform platform(String("1.0"), archiCAD(17));
        for (const QString& locale : c.locales)
            platform.details().releaseList.emplace_back(String(locale), String("url-" + locale));
        QCOMPARE(platform.getReleaseUrl(String(c.language)).qString(), QString::fromLatin1(c.expected));
    }
}

void tst_Catalogue::signatureOrderAndName()
{
    QVERIFY(PlatformSignature() < archiCAD(16));
    // A platform map keeps its entries in order whatever the order of adding.
    Product product(String("p"), String("P"), String());
    for (const PlatformSignature& signature : {PlatformSignature(HostType::vectorworks, 12), archiCAD(17), archiCAD(16)})
        product.getPlatformList().add(RegisteredPlatform(String("1"), signature));
    QVERIFY(!product.getPlatformList().add(RegisteredPlatform(String("2"), archiCAD(16))));
    QList<QString> order;
    for (const auto& entry : product.getPlatformList())
        order << entry.first.getName().qString();
    QCOMPARE(order, (QList<QString>{"ArchiCAD 16", "ArchiCAD 17", "Vectorworks 12"}));
}

void tst_Catalogue::productValue()
{
    Product a(String("id"), String("Name"), String("C"));
    Product b(String("id"), String("Name"), String("C"), RegisteredPlatform(String("1"), archiCAD(17)));
    b.setEditTime(at(2001, 1, 1));
    QVERIFY(a == b); // edit time and platforms are not compared
    b.setCode(String("D"));
    QVERIFY(a != b);

    a.setEditTime(at(2001, 1, 1));
    a.setName(String("Name"));
    QCOMPARE(a.getEditTime(), at(2001, 1, 1)); // an equal value changes nothing
    a.setName(String("Other"));
    QVERIFY(at(2001, 1, 1) < a.getEditTime());

    // Copies and clones share nothing with the original.
    RegisteredPlatform platform(String("1.0"), archiCAD(17));
    platform.details().price = 12.5;
    Product original(String("p"), String("P"), String(), platform);
    ProductHistory history;
    history.elements().emplace_back(archiCAD(17));
    original.setHistory(history);

    Product copy(original);
    copy.getPlatformList().find(archiCAD(17))->details().price = 1.0;
    copy.getHistory()->elements().clear();
    QCOMPARE(original.getPlatformList().find(archiCAD(17))->getProductPrice(), 12.5);
    QCOMPARE(int(original.getHistory()->elements().size()), 1);

    std::unique_ptr<Product> clone(original.clone());
    QVERIFY(*clone == original);
    QVERIFY(clone->getPlatformList().find(archiCAD(17))->getDetails() != original.getPlatformList().find(archiCAD(17))->getDetails());
}

void tst_Catalogue::newerRecordWins_data()
{
    QTest::addColumn<int>("storedDay");
    QTest::addColumn<int>("givenDay");
    QTest::addColumn<bool>("force"); // clients only: products never force
    QTest::addColumn<bool>("givenWins");

    QTest::newRow("older given keeps the stored") << 20 << 10 << false << false;
    QTest::newRow("older given, forced") << 20 << 10 << true << true;
    QTest::newRow("newer given replaces") << 10 << 20 << false << true;
    QTest::newRow("same time keeps the stored") << 10 << 10 << false << false;
}

// Products in a map and client records both keep the newer of two records.
void tst_Catalogue::newerRecordWins()
{
    QFETCH(int, storedDay);
    QFETCH(int, givenDay);
    QFETCH(bool, force);
    QFETCH(bool, givenWins);

    const QString winner = givenWins ? QStringLiteral("given") : QStringLiteral("stored");
    Client stored;
    stored.setEmail(String("stored"));
    stored.setEditTime(at(2015, 1, unsigned(storedDay)));
    Client given;
    given.setEmail(String("given"));
    given.setEditTime(at(2015, 1, unsigned(givenDay)));
    stored.merge(given, force);
    QCOMPARE(stored.getEmail().qString(), winner);
    if (force)
        return;

    ProductMap map;
    Product storedProduct(String("p"), String("stored"), String());
    storedProduct.setEditTime(at(2015, 3, unsigned(storedDay)));
    map.merge(storedProduct);
    Product givenProduct(String("p"), String("given"), String());
    givenProduct.setEditTime(at(2015, 3, unsigned(givenDay)));
    ProductMap other;
    other.merge(givenProduct);
    other.merge(Product(String("q"), String("new"), String()));
    map.merge(other);
    QCOMPARE(int(map.size()), 2);
    QCOMPARE(map.getProduct(String("p"))->getName().qString(), winner);
    QVERIFY(map.getProduct(String("none")) == nullptr);
}

void tst_Catalogue::installationMerge()
{
    const String first("/Apps/ArchiCAD 17/Add-Ons/StairMaker.apx/Contents/MacOS/StairMaker");
    const String second("/Apps/ArchiCAD 17 copy/Add-Ons/StairMaker.apx/Contents/MacOS/StairMaker");
    Installation installation;

    QVERIFY(installation.merge(installed(first, String("1.10"))));
    QVERIFY(installation.isExecutable());

    // The same install again changes nothing.
    QVERIFY(!installation.merge(installed(first, String("1.10"))));

    // A newer version updates the entry in place, error text included.
    QVERIFY(installation.merge(installed(first, String("1.20"), 17, String("disk full"))));
    const RegisteredPlatform* platform = platformOf(installation, String("stairmaker"));
    QVERIFY(platform);
    QCOMPARE(int(platform->getExecutables()->size()), 1);
    const Executable& entry = platform->getExecutables()->elements().front();
    QCOMPARE(entry.getVersion().qString(), QStringLiteral("1.20"));
    QCOMPARE(entry.getErrorMessage().qString(), QStringLiteral("disk full"));
    QCOMPARE(platform->getVersion().qString(), QStringLiteral("1.20"));

    // A second host application of the same version adds a second path.
    QVERIFY(installation.merge(installed(second, String("1.20"))));
    platform = platformOf(installation, String("stairmaker"));
    QCOMPARE(int(platform->getExecutables()->size()), 2);
    QCOMPARE(platform->getExecutables()->elements().back().getPath(), second);

    // The same path in another edition is another entry.
    QVERIFY(installation.merge(installed(first, String("1.20"), 17, String(), String("solo"))));
    QCOMPARE(int(platformOf(installation, String("stairmaker"))->getExecutables()->size()), 3);

    // Another host version adds a platform; a new name is taken.
    Product renamed = installed(first, String("1.0"), 18);
    renamed.setName(String("Stair Maker"));
    QVERIFY(installation.merge(renamed));
    QVERIFY(platformOf(installation, String("stairmaker"), 18) != nullptr);
    QCOMPARE(installation.getProducts().getProduct(String("stairmaker"))->getName().qString(),
             QStringLiteral("Stair Maker"));
}

void tst_Catalogue::deregisterOldExecutables()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString kept = dir.filePath("kept");
    QVERIFY(QFile(kept).open(QIODevice::WriteOnly));

    Installation installation;
    installation.merge(installed(String(kept), String("1.0"), 17));
    installation.merge(installed(String(dir.filePath("gone")), String("1.0"), 17));
    installation.merge(installed(String(dir.filePath("gone too")), String("1.0"), 18));
    // A folder where a file was recorded does not count as the file.
    installation.merge(installed(String(dir.path()), String("1.0"), 17));
    // A bundle counts while it is there, whatever its executable is called;
    // a plain folder with the same inner path does not.
    QVERIFY(QDir().mkpath(dir.filePath("Tool.apx/Contents/MacOS")) && QDir().mkpath(dir.filePath("Tool/Contents/MacOS")));
    const QString bundled = dir.filePath("Tool.apx/Contents/MacOS/The Tool");
    installation.merge(installed(String(bundled), String("1.0"), 17));
    installation.merge(installed(String(dir.filePath("Tool/Contents/MacOS/The Tool")), String("1.0"), 17));

    QVERIFY(installation.deregisterOldExecutables());
    const RegisteredPlatform* ac17 = platformOf(installation, String("stairmaker"), 17);
    QStringList left;
    for (const Executable& executable : ac17->getExecutables()->elements())
        left << executable.getPath().qString();
    QStringList expected{kept, bundled};
    left.sort();
    expected.sort();
    QCOMPARE(left, expected);
    // The emptied list goes; the platform and the product stay.
    const RegisteredPlatform* ac18 = platformOf(installation, String("stairmaker"), 18);
    QVERIFY(ac18 && ac18->getExecutables() == nullptr);
    QVERIFY(installation.isExecutable());

    QVERIFY(!installation.deregisterOldExecutables());
    QFile::remove(kept);
    QVERIFY(QDir(dir.filePath("Tool.apx")).removeRecursively());
    QVERIFY(installation.deregisterOldExecutables());
    QVERIFY(!installation.isExecutable());
    QCOMPARE(int(installation.getProducts().size()), 1);
}

void tst_Catalogue::storeMerge()
{
    VantorixTools store;
    VantorixTools other;
    auto client = std::make_unique<Client>();
    client->setEmail(String("old@example.com"));
    client->setEditTime(at(2015, 1, 1));
    other.setClient(std::move(client));
    other.mergeInstallation(installed(String("/a/StairMaker"), String("1.0")));

    // A store without client or installation takes copies.
    store.merge(other, false);
    QCOMPARE(store.getClient()->getEmail().qString(), QStringLiteral("old@example.com"));
    QVERIFY(store.getClient() != other.getClient());
    QVERIFY(store.getInstallation()->isExecutable());

    // mergeClient takes the given client whatever its age.
    Client taken;
    taken.setEmail(String("taken@example.com"));
    taken.setEditTime(at(1999, 1, 1));
    store.mergeClient(taken);
    QCOMPARE(store.getClient()->getEmail().qString(), QStringLiteral("taken@example.com"));
}

QTEST_GUILESS_MAIN(tst_Catalogue)
#include "tst_Catalogue.moc"
