#include "Serialise/XMLRecord.h"
#include "TestRecords.h"
#include "common/XMLText.h"

#include <QtTest>

using namespace vantorix;
using namespace testrecords;

namespace {

template <typename T>
bool readLeaf(T& value, const char* text)
{
    return XMLTypeProxy<T>(value, "leaf").read(String(text));
}

template <typename T>
QString writeLeaf(T value)
{
    String text;
    return XMLTypeProxy<T>(value, "leaf").write(text) ? text.qString() : QStringLiteral("<failed>");
}

QString tagOf(const ShippingPtr& child)
{
    return QString(dynamic_cast<XMLShipping*>(child.get())->getTag());
}

} // namespace

class tst_Shipping : public QObject {
    Q_OBJECT

private slots:
    void leaves();
    void proxiesForwardAndOverrideTag();
    void mapKeepsFirstKeyCopiesAndWalksInKeyOrder();
    void readProtocols();
    void mapOwnElement_data();
    void mapOwnElement();
};

void tst_Shipping::leaves()
{
    // A rejected bool text leaves the value (true) alone; a short always reads.
    const struct { const char* text; bool ok; bool value; } flags[] = {
        {"1", true, true}, {"False", true, false}, {"yes", false, true}, {"", false, true}, {" 1", false, true}};
    for (const auto& c : flags) {
        bool flag = true;
        QCOMPARE(readLeaf(flag, c.text), c.ok);
        QCOMPARE(flag, c.value);
    }
    const struct { const char* text; short value; } numbers[] = {{"abc", 0}, {"65537", 1}, {"12px", 12}};
    for (const auto& c : numbers) {
        short number = 99;
        QVERIFY(readLeaf(number, c.text));
        QCOMPARE(number, c.value);
    }
    QCOMPARE(writeLeaf(true) + writeLeaf(false) + writeLeaf(short(-300)), QStringLiteral("10-300"));

    double d = 5;
    QVERIFY(readLeaf(d, "2.5"));
    QCOMPARE(d, 2.5);
    QVERIFY(readLeaf(d, "x"));
    QCOMPARE(d, 0.0);
    QCOMPARE(writeLeaf(1234567.0), QStringLiteral("1.23457e+06"));

    Guid g;
    QVERIFY(readLeaf(g, "0f8fad5b-d9cb-469f-a165-70867728950e"));
    QCOMPARE(writeLeaf(g), QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950E"));
    QVERIFY(readLeaf(g, "not a guid"));
    QVERIFY(!g);

    String s("x");
    QVERIFY(readLeaf(s, " a & b "));
    QCOMPARE(s.qString(), QStringLiteral(" a & b "));

    Status status = trial;
    QCOMPARE(writeLeaf(educational), QStringLiteral("educational"));
    QCOMPARE(writeLeaf(static_cast<Status>(4)), QStringLiteral("<failed>"));
    QVERIFY(readLeaf(status, "updates"));
    QVERIFY(!readLeaf(status, "Updates"));
    QCOMPARE(status, updates);
    XMLTypeProxy<Status>(status, "status").setDefault();
    QCOMPARE(status, myTools);

    // A key holds its own copy of the value.
    String original("abc");
    XMLUnitKey<String> key(original, "key", true);
    original = "changed";
    String text;
    QVERIFY(key.write(text));
    QCOMPARE(text.qString(), QStringLiteral("abc"));
}

void tst_Shipping::proxiesForwardAndOverrideTag()
{
    DialogSize size;
    size.width = 800;
    ShippingPtr child = ship(size, "releaseSize");
    auto* proxy = dynamic_cast<XMLAssemblyProxy*>(child.get());
    QVERIFY(proxy);
    QCOMPARE(QString(proxy->getTag()), QStringLiteral("releaseSize"));
    QCOMPARE(QString(XMLAssemblyProxy(size).getTag()), QStringLiteral("size"));

    ShippingPtr width = proxy->getShipping(String("width"), String());
    QVERIFY(dynamic_cast<XMLUnit*>(width.get())->isAttribute());
    QVERIFY(width->read(String("640")));
    QCOMPARE(size.width, short(640));
    QVERIFY(!proxy->getShipping(String("depth"), String()));
    QVERIFY(!proxy->getShipping(2, false));
    proxy->setDefault();
    QCOMPARE(size.width, short(0));

    QVERIFY(!shipIf(false, size.height, "height", true)->isEssential());

    XMLTypeProxy<short> inner(size.height, "height", true);
    XMLUnitProxy forward(inner, "h");
    QCOMPARE(QString(forward.getTag()), QStringLiteral("h"));
    QVERIFY(!forward.isAttribute());
    QVERIFY(forward.read(String("7")));
    QCOMPARE(size.height, short(7));
}

void tst_Shipping::mapKeepsFirstKeyCopiesAndWalksInKeyOrder()
{
    Map<String, Product> map;
    for (const char* key : {"c", "a", "b"}) {
        auto item = std::make_unique<Product>();
        item->name = key;
        QVERIFY(map.insert(String(key), std::move(item)));
    }
    auto second = std::make_unique<Product>();
    second->price = 2;
    QVERIFY(!map.insert(String("a"), std::move(second)));
    QCOMPARE(map.find(String("a"))->price, 0.0);
    QVERIFY(!map.find(String("d")));
    QCOMPARE(map.valueAt(0)->name.qString() + map.valueAt(1)->name.qString() + map.valueAt(2)->name.qString(),
             QStringLiteral("abc"));
    QVERIFY(!map.valueAt(3));

    Map<String, Product> copy(map);
    copy.find(String("a"))->price = 9;
    QCOMPARE(map.find(String("a"))->price, 0.0);

    QVERIFY(map.erase(String("a")));
    QCOMPARE(map.valueAt(0)->name.qString(), QStringLiteral("b"));
    QVERIFY(map.take(String("b")));
    QCOMPARE(map.size(), std::size_t(1));
    map.clear();
    QVERIFY(map.empty());
    QCOMPARE(copy.size(), std::size_t(3));
}

void tst_Shipping::readProtocols()
{
    ProductMap map;
    QVERIFY(!map.hasAttributes());
    QVERIFY(map.isRepeating());
    QVERIFY(!map.addShipping(String("other"), String()));

    for (double price : {1.0, 2.0}) {
        ShippingPtr element = map.addShipping(String("product"), String());
        auto* record = dynamic_cast<XMLAssembly*>(element.get());
        QVERIFY(record);
        QVERIFY(record->getShipping(String("name"), String())->read(String("k")));
        QVERIFY(record->getShipping(String("price"), String())->read(String(QString::number(price))));
        QVERIFY(map.insert(*element));
    }
    QCOMPARE(map.shippingSize(), 1ul);
    QCOMPARE(map.find(String("k"))->price, 1.0);
    QVERIFY(!map.getShipping(0, true));
    QCOMPARE(tagOf(map.getShipping(0, false)), QStringLiteral("product"));

    // A list takes only its element's tag.
    XMLList<Product> list("items");
    QVERIFY(!list.addShipping(String("items"), String()));
    QVERIFY(list.addShipping(String("product"), String()));
    QCOMPARE(list.shippingSize(), 1ul);
    QVERIFY(!list.getShipping(0, true));
    QVERIFY(!list.getShipping(1, false));

    XMLList<String> names("names", "name");
    ShippingPtr name = names.addShipping(String("name"), String());
    QVERIFY(name->read(String("x")));
    QCOMPARE(names.elements().front().qString(), QStringLiteral("x"));
    QCOMPARE(tagOf(names.getShipping(0, false)), QStringLiteral("name"));
    names.setDefault();
    QVERIFY(names.elements().empty());
}

void tst_Shipping::mapOwnElement_data()
{
    // Each text is read into a map that holds "k" (price 1) and "stale"; the
    // names the map holds afterwards, with k's price.
    QTest::addColumn<bool>("inRecord");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("names");
    QTest::addColumn<double>("price");
    const QByteArray fresh = "<product name=\"k\"><price>5</price></product><product name=\"m\"/>";
    QTest::newRow("root replaces") << false << "<products>" + fresh + "</products>" << "k m" << 5.0;
    QTest::newRow("root, nested keeps") << false
                                        << QByteArray("<products><product name=\"a\"/><products><product name=\"b\"/>"
                                                      "</products></products>")
                                        << "a b" << 0.0;
    QTest::newRow("in a record replaces") << true << "<vx:catalogue><products>" + fresh + "</products></vx:catalogue>"
                                          << "k m" << 5.0;
    QTest::newRow("in a record, nested keeps")
        << true
        << QByteArray("<vx:catalogue><products><product name=\"a\"/><products><product name=\"b\"/></products>"
                      "</products></vx:catalogue>")
        << "a b" << 0.0;
}

// The map's own element read at the root replaces what the map held, as it
// does when the map is a record's child; met again inside it, it adds to it.
void tst_Shipping::mapOwnElement()
{
    QFETCH(bool, inRecord);
    QFETCH(QByteArray, text);
    QFETCH(QString, names);
    QFETCH(double, price);
    Catalogue catalogue;
    ProductMap& map = catalogue.products;
    auto fill = [&map] {
        map.clear();
        for (const char* name : {"k", "stale"}) {
            auto product = std::make_unique<Product>();
            product->name = name;
            product->price = 1;
            map.Map::insert(String(name), std::move(product));
        }
    };
    fill();
    QVERIFY(readXML(inRecord ? static_cast<XMLShipping&>(catalogue) : map, text).ok);
    QStringList got;
    for (unsigned long i = 0; i < map.shippingSize(); ++i)
        got << map.valueAt(i)->name.qString();
    QCOMPARE(got.join(QLatin1Char(' ')), names);
    if (map.find(String("k")))
        QCOMPARE(map.find(String("k"))->price, price);

    // A read cut short does not keep the next one from starting afresh.
    fill();
    QVERIFY(!readXML(map, "<products><product name=\"x\"/><products>").ok);
    fill();
    QVERIFY(readXML(map, "<products><product name=\"y\"/></products>").ok);
    QCOMPARE(map.shippingSize(), 1ul);
}

QTEST_GUILESS_MAIN(tst_Shipping)
#include "tst_Shipping.moc"
