#include "Serialise/XMLCurrency.h"
#include "Serialise/XMLDateTime.h"
#include "Serialise/XMLDecimal.h"
#include "Serialise/XMLEncryptedString.h"
#include "Serialise/XMLLength.h"
#include "Serialise/XMLPair.h"
#include "Serialise/XMLProxy.h"
#include "Serialise/Status.h"
#include "Utility/Encoding.h"
#include "Web/WebServiceClient.h"

#include "common/XMLText.h"

#include <QtTest>

using namespace vantorix;

// Enumerations read from files or made from integers have a fixed type, so
// that a damaged value is defined behaviour (the trait itself: a plain
// enumeration has none).
enum PlainEnumeration { plainValue };
static_assert(!HasFixedUnderlyingType<PlainEnumeration>::value, "the trait sees plain enumerations");
static_assert(HasFixedUnderlyingType<Status>::value && HasFixedUnderlyingType<Encoding::Type>::value &&
                  HasFixedUnderlyingType<XMLDateTime::Format>::value && HasFixedUnderlyingType<SOAPVersion>::value &&
                  HasFixedUnderlyingType<XMLEncryptedString::Complexity>::value,
              "enumerations read from files or integers need a fixed underlying type");

namespace {

// A small record for the pair tests: two leaves, one written as an attribute.
class Entry : public XMLAssembly {
public:
    String name;
    short count = 0;

    const char* getTag() const override { return "entry"; }
    unsigned long shippingSize() const override { return 2; }
    ShippingPtr getShipping(unsigned long index, bool) override
    {
        switch (index) {
        case 0: return ship(name, childTags[0], true);
        case 1: return ship(count, childTags[1]);
        default: return nullptr;
        }
    }
    ShippingPtr getShipping(const String& tag, const String&) override { return childByTag(tag, childTags, 2); }
    void setDefault() override
    {
        name.clear();
        count = 0;
    }
    bool validate() override { return !name.empty(); }

private:
    static constexpr const char* childTags[] = {"name", "count"};
};

// A record with one leaf of each kind, as the catalogue and client records
// use them.
class Account : public XMLAssembly {
public:
    Time edited;
    String password;
    String pin;
    double price = 0;
    double version = 0;
    Time released;

    const char* getTag() const override { return "account"; }
    unsigned long shippingSize() const override { return 6; }
    ShippingPtr getShipping(unsigned long index, bool) override
    {
        switch (index) {
        case 0: return std::make_unique<XMLDateTime>(edited, childTags[0], true);
        case 1: return std::make_unique<XMLEncryptedString>(password, childTags[1]);
        case 2:
            return std::make_unique<XMLEncryptedString>(pin, childTags[2], false, nullptr, XMLEncryptedString::standard);
        case 3: return std::make_unique<XMLCurrency>(price, childTags[3]);
        case 4: return std::make_unique<XMLDecimal>(version, childTags[4], true);
        case 5:
            return std::make_unique<XMLDateTime>(released, childTags[5], false, nullptr, XMLDateTime::dateFormat);
        default: return nullptr;
        }
    }
    ShippingPtr getShipping(const String& tag, const String&) override { return childByTag(tag, childTags, 6); }
    void setDefault() override
    {
        edited = Time(false);
        password.clear();
        pin.clear();
        price = version = 0;
        released = Time(false);
    }

private:
    static constexpr const char* childTags[] = {"edited", "password", "pin", "price", "version", "released"};
};

String exported(Account& account)
{
    return String(QString::fromUtf8(testrecords::writeText(account)));
}

bool imported(const String& text, Account& account)
{
    return testrecords::readText(account, text.toByteArray());
}

String written(XMLUnit& leaf)
{
    String text;
    if (!leaf.write(text))
        return String("<write failed>");
    return text;
}

} // namespace

class tst_TypedValues : public QObject {
    Q_OBJECT

private slots:
    void currency_data();
    void currency();
    void numberAndDecimal();
    void lengthPrecision_data();
    void lengthPrecision();
    void encryptedRoundTrip();
    void encryptedForm();
    void throughWriterAndReader();
    void pair();
};

void tst_TypedValues::currency_data()
{
    // Written with two decimals, half a cent up; read rounded the same way.
    QTest::addColumn<bool>("reading");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("write half cent up") << false << 0.125 << "0.13";
    QTest::newRow("write negative") << false << -2.5 << "-2.50";
    QTest::newRow("write tiny negative as zero") << false << -0.001 << "0.00";
    QTest::newRow("read half cent up") << true << 0.13 << "0.125";
    QTest::newRow("read negative") << true << -2.5 << "-2.499";
    QTest::newRow("read not a number") << true << 0.0 << "abc";
    QTest::newRow("read stops at a blank") << true << 4.57 << "4.567 EUR";
}

void tst_TypedValues::currency()
{
    QFETCH(bool, reading);
    QFETCH(double, value);
    QFETCH(QString, text);
    double amount = reading ? 99.0 : value;
    XMLCurrency leaf(amount, "price");
    if (reading) {
        QVERIFY(leaf.read(String(text)));
        QCOMPARE(amount, value);
    }
    // What was read writes back as the same two-decimal text.
    QCOMPARE(written(leaf).qString(), reading ? QString::number(value, 'f', 2) : text);
}

void tst_TypedValues::numberAndDecimal()
{
    double v = 2.05;
    XMLDecimal decimal(v, "version");
    QCOMPARE(written(decimal).qString(), QStringLiteral("2.050000"));
    QVERIFY(decimal.read(String("1.234567891")));
    QCOMPARE(v, 1.234567891);  // no rounding on read
    QCOMPARE(written(decimal).qString(), QStringLiteral("1.234568"));

    double n = 1234567.25;
    XMLNumber number(n, "size", false, nullptr, 1);
    QCOMPARE(written(number).qString(), QStringLiteral("1234567.3"));  // not the 6 digits of a plain number
    XMLNumber whole(n, "size");
    QCOMPARE(written(whole).qString(), QStringLiteral("1234567"));
    QVERIFY(number.read(String("0.55")));
    QCOMPARE(n, 0.55);
}

void tst_TypedValues::lengthPrecision_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<double>("typical");
    QTest::addColumn<int>("precision");
    QTest::newRow("metre, 0.0001") << int(UnitScaler::metre) << 0.0001 << 4;
    QTest::newRow("metre, 0.003 rounds") << int(UnitScaler::metre) << 0.003 << 3;
    QTest::newRow("millimetre, 0.0001") << int(UnitScaler::millimetre) << 0.0001 << 1;
    QTest::newRow("inch, 0.0001") << int(UnitScaler::inch) << 0.0001 << 2;
    QTest::newRow("millimetre, 1: never below 0") << int(UnitScaler::millimetre) << 1.0 << 0;
    QTest::newRow("typical 0") << int(UnitScaler::metre) << 0.0 << 4;
}

void tst_TypedValues::lengthPrecision()
{
    QFETCH(int, unit);
    QFETCH(double, typical);
    QFETCH(int, precision);
    double value = 1.0 / 3.0;
    XMLLength leaf(value, UnitScaler::Length(unit), typical, "width");
    QCOMPARE(leaf.getPrecision(), precision);
    const String text = written(leaf);
    QCOMPARE(text.qString(), QString::number(1.0 / 3.0, 'f', precision));
}

void tst_TypedValues::encryptedRoundTrip()
{
    for (const auto complexity : {XMLEncryptedString::standard, XMLEncryptedString::high}) {
        for (const QString& plain : {QStringLiteral("s3cret password"), QString(), QString::fromUtf8("Grüße, Ζεύς ✓")}) {
            String value(plain);
            XMLEncryptedString leaf(value, "password", false, nullptr, complexity);
            const String text = written(leaf);
            if (!plain.isEmpty())
                QVERIFY(!text.qString().contains(plain));

            String back("old");
            XMLEncryptedString reader(back, "password", false, nullptr, complexity);
            QVERIFY(reader.read(text));
            QVERIFY(reader.isRead());
            QVERIFY(reader.validate());
            QCOMPARE(back.qString(), plain);
        }
    }
}

void tst_TypedValues::encryptedForm()
{
    String value("abcde");
    XMLEncryptedString standard(value, "p", false, nullptr, XMLEncryptedString::standard);
    const String once = written(standard);
    // 5 bytes fill one block: 16 upper-case hexadecimal digits; the same
    // every time.
    QCOMPARE(once.size(), 16);
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9A-F]+$")).match(once.qString()).hasMatch());
    QCOMPARE(written(standard).qString(), once.qString());

    // Lower-case digits written by another tool are accepted.
    String c;
    QVERIFY(XMLEncryptedString::decrypt(String(once.qString().toLower()), XMLEncryptedString::standard, c));
    QCOMPARE(c.qString(), QStringLiteral("abcde"));

    // Text that is no cipher text is refused in either form, the value kept.
    for (const QString& text : {QStringLiteral("XYZ0123456789ABC"), QStringLiteral("0123456789ABCDE"),
                                QStringLiteral("0123456789"), QString::fromUtf8("0123456789ABCDEΩ")}) {
        for (auto complexity : {XMLEncryptedString::standard, XMLEncryptedString::high}) {
            String kept("kept");
            XMLEncryptedString leaf(kept, "p", false, nullptr, complexity);
            QVERIFY2(!leaf.read(String(text)), qPrintable(text));
            QVERIFY(!leaf.validate());
            QCOMPARE(kept.qString(), QStringLiteral("kept"));
        }
    }
}

void tst_TypedValues::throughWriterAndReader()
{
    Account account;
    account.edited = Time(2015, 3, 5, 14, 7, 9);
    account.edited.setUTCOffset(780);
    account.password = QString::fromUtf8("pa<ss> & \"wörd\"");
    account.pin = "1234";
    account.price = 3.14159;
    account.version = 2.05;
    account.released = Time(2015, 11, 10, 0, 0, 0);

    const String text = exported(account);
    const QString xml = text.qString();
    QVERIFY2(xml.contains(QStringLiteral("<account edited=\"2015-03-05T14:07:09+13:00\" version=\"2.050000\">")),
             qPrintable(xml));
    QVERIFY(xml.contains(QStringLiteral("<price>3.14</price>")));
    QVERIFY(xml.contains(QStringLiteral("<released>2015-11-10</released>")));
    QVERIFY(!xml.contains(QStringLiteral("wörd")));
    // Not a search for "1234" anywhere: random cipher text may hold those digits.
    QVERIFY(!xml.contains(QStringLiteral("<pin>1234</pin>")));
    QVERIFY(QRegularExpression(QStringLiteral("<password>[0-9A-F]{64}</password>")).match(xml).hasMatch());
    QVERIFY(QRegularExpression(QStringLiteral("<pin>[0-9A-F]{16}</pin>")).match(xml).hasMatch());

    Account back;
    back.password = "stale";
    QVERIFY(imported(text, back));
    QCOMPARE(back.password.qString(), account.password.qString());
    QCOMPARE(back.pin.qString(), QStringLiteral("1234"));
    QCOMPARE(back.price, 3.14);
    QCOMPARE(back.version, 2.05);
    QVERIFY(back.edited == account.edited);
    QCOMPARE(back.edited.getUTCOffset(), 780);
    QCOMPARE(back.released.getDay() + 100 * back.released.getMonth() + 10000 * back.released.getYear(), 20151110u);

    // Written again, the salted password differs but reads back the same.
    const String again = exported(back);
    QVERIFY(again != text);
    Account third;
    QVERIFY(imported(again, third));
    QCOMPARE(third.password.qString(), account.password.qString());

    // One bad leaf fails the whole import.
    for (const char* bad : {"<account edited=\"2015-13-05T14:07:09Z\"/>", "<account><released>2015-3-05</released></account>",
                            "<account><password>not a cipher</password></account>"}) {
        Account broken;
        QVERIFY2(!imported(String(bad), broken), bad);
    }
}

void tst_TypedValues::pair()
{
    auto* entry = new Entry;
    XMLPair pair(new XMLUnitKey<String>(String("key-1"), "key"), entry);

    // Tag from the data when the pair has none; key first, then the data's children.
    QCOMPARE(pair.getTag(), "entry");
    QCOMPARE(pair.shippingSize(), 3ul);
    ShippingPtr first = pair.getShipping(0, false);
    QCOMPARE(written(*dynamic_cast<XMLUnit*>(first.get())).qString(), QStringLiteral("key-1"));
    ShippingPtr second = pair.getShipping(1, true);
    QCOMPARE(dynamic_cast<XMLUnit*>(second.get())->getTag(), "name");
    QVERIFY(!pair.getShipping(3, false));

    // Children are found by tag in the key, then in the data.
    QVERIFY(pair.getShipping(String("key"), String())->read(String("k")));
    QVERIFY(pair.getShipping(String("count"), String())->read(String("12")));
    QCOMPARE(entry->count, short(12));
    QVERIFY(!pair.getShipping(String("unknown"), String()));

    // Both must validate (the entry needs a name); setDefault resets both.
    QVERIFY(!pair.validate());
    entry->name = "n";
    QVERIFY(pair.validate());
    pair.setDefault();
    QVERIFY(entry->name.empty());
    QCOMPARE(entry->count, short(0));
    QVERIFY(dynamic_cast<XMLUnitKey<String>*>(pair.getKey())->getValue().empty());

    // Released parts are the caller's; the pair then has no children.
    std::unique_ptr<XMLShipping> data(pair.releaseData());
    std::unique_ptr<XMLShipping> released(pair.releaseKey());
    QCOMPARE(data.get(), static_cast<XMLShipping*>(entry));
    QCOMPARE(pair.shippingSize(), 0ul);
    QCOMPARE(pair.getTag(), "");
}

QTEST_GUILESS_MAIN(tst_TypedValues)
#include "tst_TypedValues.moc"
