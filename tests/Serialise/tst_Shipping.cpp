#include "Serialise/XMLRecord.h"

#include <QtTest>

using namespace vantorix;

namespace {

class Size : public XMLAssembly {
public:
    short width = 0;
    short height = 0;

    const char* getTag() const override { return "size"; }
    unsigned long shippingSize() const override { return 2; }
    ShippingPtr getShipping(unsigned long index, bool) override
    {
        switch (index) {
        case 0: return ship(width, childTags[0], true);
        case 1: return ship(height, childTags[1], true);
        default: return nullptr;
        }
    }
    ShippingPtr getShipping(const String& tag, const String&) override { return childByTag(tag, childTags, 2); }
    void setDefault() override { width = height = 0; }

private:
    static constexpr const char* childTags[] = {"width", "height"};
};

class Item : public XMLAssembly {
public:
    String name;
    double price = 0;

    const char* getTag() const override { return "item"; }
    unsigned long shippingSize() const override { return 2; }
    ShippingPtr getShipping(unsigned long index, bool) override
    {
        switch (index) {
        case 0: return ship(name, "name", true);
        case 1: return ship(price, "price");
        default: return nullptr;
        }
    }
    ShippingPtr getShipping(const String& tag, const String&) override
    {
        static const char* const tags[] = {"name", "price"};
        return childByTag(tag, tags, 2);
    }
    void setDefault() override
    {
        name.clear();
        price = 0;
    }
};

class ItemMap : public XMLKeyedMap<String, Item> {
public:
    ItemMap() : XMLKeyedMap("items") {}

protected:
    String getKey(const Item& item) const override { return item.name; }
};

template <typename T>
bool readLeaf(T& value, const char* text)
{
    XMLTypeProxy<T> proxy(value, "leaf");
    return proxy.read(String(text));
}

template <typename T>
QString writeLeaf(T value)
{
    XMLTypeProxy<T> proxy(value, "leaf");
    String text;
    if (!proxy.write(text))
        return QStringLiteral("<failed>");
    return text.qString();
}

} // namespace

class tst_Shipping : public QObject {
    Q_OBJECT

private slots:
    void boolLeaf_data();
    void boolLeaf();
    void shortLeaf_data();
    void shortLeaf();
    void otherLeaves();
    void enumLeaf();
    void unitKeyOwnsItsValue();
    void proxiesForwardAndOverrideTag();
    void mapKeepsFirstOfEqualKeys();
    void mapCopiesAndWalksInKeyOrder();
    void keyedMapReadProtocol();
    void listProtocol();
};

void tst_Shipping::boolLeaf_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("value");
    QTest::newRow("1") << "1" << true << true;
    QTest::newRow("true") << "true" << true << true;
    QTest::newRow("TRUE") << "TRUE" << true << true;
    QTest::newRow("0") << "0" << true << false;
    QTest::newRow("False") << "False" << true << false;
    QTest::newRow("yes") << "yes" << false << true;
    QTest::newRow("empty") << "" << false << true;
    QTest::newRow("padded") << " 1" << false << true;
}

void tst_Shipping::boolLeaf()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(bool, value);
    bool leaf = true; // a rejected text leaves the value alone
    QCOMPARE(readLeaf(leaf, text.toUtf8().constData()), ok);
    QCOMPARE(leaf, value);
    QCOMPARE(writeLeaf(true), QStringLiteral("1"));
    QCOMPARE(writeLeaf(false), QStringLiteral("0"));
}

void tst_Shipping::shortLeaf_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "800" << 800;
    QTest::newRow("negative") << "-12" << -12;
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("kept to 16 bits") << "65537" << 1;
    QTest::newRow("trailing text") << "12px" << 12;
}

void tst_Shipping::shortLeaf()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    short leaf = 99;
    QVERIFY(readLeaf(leaf, text.toUtf8().constData()));
    QCOMPARE(int(leaf), value);
    QCOMPARE(writeLeaf(short(-300)), QStringLiteral("-300"));
}

void tst_Shipping::otherLeaves()
{
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
    XMLTypeProxy<String> proxy(s, "s");
    proxy.setDefault();
    QVERIFY(s.empty());
}

void tst_Shipping::enumLeaf()
{
    Status status = trial;
    QCOMPARE(writeLeaf(educational), QStringLiteral("educational"));
    QCOMPARE(writeLeaf(myTools), QStringLiteral("myTools"));
    QCOMPARE(writeLeaf(static_cast<Status>(4)), QStringLiteral("<failed>"));
    QVERIFY(readLeaf(status, "updates"));
    QCOMPARE(status, updates);
    QVERIFY(!readLeaf(status, "Updates"));
    QCOMPARE(status, updates);
    XMLTypeProxy<Status> proxy(status, "status");
    proxy.setDefault();
    QCOMPARE(status, myTools);
}

void tst_Shipping::unitKeyOwnsItsValue()
{
    String original("abc");
    XMLUnitKey<String> key(original, "key", true);
    original = "changed";
    String text;
    QVERIFY(key.write(text));
    QCOMPARE(text.qString(), QStringLiteral("abc"));
    QVERIFY(key.isAttribute());
    QCOMPARE(key.getValue().qString(), QStringLiteral("abc"));
}

void tst_Shipping::proxiesForwardAndOverrideTag()
{
    Size size;
    size.width = 800;
    ShippingPtr child = ship(size, "releaseSize");
    auto* proxy = dynamic_cast<XMLAssemblyProxy*>(child.get());
    QVERIFY(proxy);
    QCOMPARE(QString(proxy->getTag()), QStringLiteral("releaseSize"));
    QCOMPARE(proxy->shippingSize(), 2ul);
    QCOMPARE(QString(XMLAssemblyProxy(size).getTag()), QStringLiteral("size"));

    ShippingPtr width = proxy->getShipping(String("width"), String());
    QVERIFY(width);
    QVERIFY(dynamic_cast<XMLUnit*>(width.get())->isAttribute());
    QVERIFY(width->read(String("640")));
    QCOMPARE(size.width, short(640));
    QVERIFY(!proxy->getShipping(String("depth"), String()));
    QVERIFY(!proxy->getShipping(2, false));

    proxy->setDefault();
    QCOMPARE(size.width, short(0));

    ShippingPtr hidden = shipIf(false, size.height, "height", true);
    QVERIFY(!hidden->isEssential());

    XMLTypeProxy<short> inner(size.height, "height", true);
    XMLUnitProxy forward(inner, "h");
    QCOMPARE(QString(forward.getTag()), QStringLiteral("h"));
    QVERIFY(!forward.isAttribute());
    QVERIFY(forward.read(String("7")));
    QCOMPARE(size.height, short(7));
}

void tst_Shipping::mapKeepsFirstOfEqualKeys()
{
    Map<String, Item> map;
    auto first = std::make_unique<Item>();
    first->price = 1;
    auto second = std::make_unique<Item>();
    second->price = 2;
    QVERIFY(map.insert(String("a"), std::move(first)));
    QVERIFY(!map.insert(String("a"), std::move(second)));
    QCOMPARE(map.size(), std::size_t(1));
    QCOMPARE(map.find(String("a"))->price, 1.0);
    QVERIFY(!map.find(String("b")));
}

void tst_Shipping::mapCopiesAndWalksInKeyOrder()
{
    Map<String, Item> map;
    for (const char* key : {"c", "a", "b"}) {
        auto item = std::make_unique<Item>();
        item->name = key;
        map.insert(String(key), std::move(item));
    }
    QCOMPARE(map.valueAt(0)->name.qString(), QStringLiteral("a"));
    QCOMPARE(map.valueAt(2)->name.qString(), QStringLiteral("c"));
    QCOMPARE(map.valueAt(1)->name.qString(), QStringLiteral("b"));
    QVERIFY(!map.valueAt(3));

    Map<String, Item> copy(map);
    QVERIFY(copy.find(String("a")) != map.find(String("a")));
    copy.find(String("a"))->price = 9;
    QCOMPARE(map.find(String("a"))->price, 0.0);

    QVERIFY(map.erase(String("a")));
    QCOMPARE(map.valueAt(0)->name.qString(), QStringLiteral("b"));
    std::unique_ptr<Item> taken = map.take(String("b"));
    QVERIFY(taken);
    QCOMPARE(map.size(), std::size_t(1));
    map.clear();
    QVERIFY(map.empty());
    QCOMPARE(copy.size(), std::size_t(3));
}

void tst_Shipping::keyedMapReadProtocol()
{
    ItemMap map;
    QVERIFY(!map.hasAttributes());
    QVERIFY(map.isRepeating());
    QVERIFY(!map.addShipping(String("other"), String()));

    for (double price : {1.0, 2.0}) {
        ShippingPtr element = map.addShipping(String("item"), String());
        QVERIFY(element);
        auto* record = dynamic_cast<XMLAssembly*>(element.get());
        QVERIFY(record);
        QVERIFY(record->getShipping(String("name"), String())->read(String("k")));
        QVERIFY(record->getShipping(String("price"), String())->read(String(QString::number(price))));
        QVERIFY(map.insert(*element));
    }
    QCOMPARE(map.shippingSize(), 1ul);
    QCOMPARE(map.find(String("k"))->price, 1.0);
    QVERIFY(!map.getShipping(0, true));
    QCOMPARE(QString(dynamic_cast<XMLShipping*>(map.getShipping(0, false).get())->getTag()),
             QStringLiteral("item"));

    // The map's own tag nested inside it reads into the same map, unemptied.
    ShippingPtr self = map.addShipping(String("items"), String());
    QVERIFY(self);
    self->setDefault();
    QCOMPARE(map.shippingSize(), 1ul);
    map.clear();
    QCOMPARE(map.shippingSize(), 0ul);
}

void tst_Shipping::listProtocol()
{
    XMLList<Item> list("items");
    QVERIFY(!list.addShipping(String("items"), String()));
    ShippingPtr element = list.addShipping(String("item"), String());
    QVERIFY(element);
    QCOMPARE(list.elements().size(), std::size_t(1));
    QCOMPARE(list.shippingSize(), 1ul);
    QVERIFY(!list.getShipping(0, true));
    QVERIFY(!list.getShipping(1, false));

    XMLList<String> names("names", "name");
    ShippingPtr name = names.addShipping(String("name"), String());
    QVERIFY(name);
    QVERIFY(name->read(String("x")));
    QCOMPARE(names.elements().front().qString(), QStringLiteral("x"));
    QCOMPARE(QString(dynamic_cast<XMLShipping*>(names.getShipping(0, false).get())->getTag()),
             QStringLiteral("name"));
    names.setDefault();
    QVERIFY(names.elements().empty());
}

QTEST_GUILESS_MAIN(tst_Shipping)
#include "tst_Shipping.moc"
