#include "Serialise/XMLReader.h"
#include "TestRecords.h"
#include "Utility/MemoryBlock.h"
#include "common/XMLText.h"

#include <QtTest>

using namespace vantorix;
using namespace testrecords;

namespace {

const QByteArray prefsText = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
                             "<installerPreferences>\n"
                             "\t<size width=\"800\" height=\"600\"/>\n"
                             "\t<releaseSize width=\"640\" height=\"480\"/>\n"
                             "\t<eulaSize width=\"0\" height=\"0\"/>\n"
                             "\t<application>/Applications/ArchiCAD 24</application>\n"
                             "\t<status>updates</status>\n"
                             "</installerPreferences>\n";

// A leaf root: reads one value.
class Flag : public XMLTypeProxy<bool> {
public:
    bool value = false;
    Flag() : XMLTypeProxy<bool>(value, "flag") {}
};

// A record that rejects itself on validation.
class Picky : public XMLAssembly {
public:
    short n = 0;
    const char* getTag() const override { return "picky"; }
    unsigned long shippingSize() const override { return 1; }
    ShippingPtr getShipping(unsigned long index, bool) override { return index == 0 ? ship(n, "n", true) : nullptr; }
    ShippingPtr getShipping(const String& tag, const String&) override
    {
        return tag == "n" ? getShipping(0, false) : nullptr;
    }
    void setDefault() override { n = 0; }
    bool validate() override { return n >= 0; }
};

} // namespace

class tst_XMLReader : public QObject {
    Q_OBJECT

private slots:
    void preferencesRecord();
    void roundTrip();
    void declarations_data();
    void declarations();
    void references_data();
    void references();
    void leafRules();
    void nameSpacePrefixes();
    void documents_data();
    void documents();
    void failures();
    void nestingLimit();
    void phraseImporterAndStrings();
};

void tst_XMLReader::preferencesRecord()
{
    Prefs prefs;
    prefs.application = "old";
    prefs.status = trial;
    const ReadResult result = readXML(prefs, prefsText);
    QVERIFY(result.ok);
    QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5").arg(prefs.size.width).arg(prefs.size.height).arg(prefs.releaseSize.width)
                 .arg(prefs.releaseSize.height).arg(prefs.eulaSize.width), QStringLiteral("800 600 640 480 0"));
    QCOMPARE(prefs.application.qString(), QStringLiteral("/Applications/ArchiCAD 24"));
    QCOMPARE(prefs.status, updates);
    QCOMPARE(prefs.validations, 1);
    QCOMPARE(result.row, 9);

    // Written again, the text is the same byte for byte.
    QCOMPARE(writeXML(prefs), prefsText);
}

void tst_XMLReader::roundTrip()
{
    Catalogue catalogue;
    catalogue.title = QStringLiteral("Caf\u00e9 <&> \"'\u20ac");
    catalogue.size.width = -5;
    catalogue.flag = true;
    catalogue.featured.elements().resize(2);
    catalogue.featured.elements()[0].name = "one";
    catalogue.featured.elements()[0].price = 12.25;
    catalogue.featured.elements()[1].id.generate();
    catalogue.featured.elements()[1].trial = true;
    catalogue.featured.elements()[1].description = " line1\n\tline2 ";
    for (const char* name : {"zeta", "alpha"}) {
        auto product = std::make_unique<Product>();
        product->name = name;
        product->version = 3;
        product->status = educational;
        catalogue.products.insert(String(name), std::move(product));
    }
    catalogue.notes.elements() = {String("n1"), String("a ? b > c")};
    catalogue.child = new Catalogue();
    catalogue.child->title = "inner";

    for (const bool lineFeeds : {true, false}) {
        const QByteArray text = writeXML(catalogue, true, true, lineFeeds);
        Catalogue copy;
        const ReadResult result = readXML(copy, text);
        QVERIFY2(result.ok, text.constData());
        QCOMPARE(copy.title.qString(), catalogue.title.qString());
        QCOMPARE(copy.size.width, short(-5));
        QVERIFY(copy.flag);
        QCOMPARE(copy.featured.elements().size(), size_t(2));
        QCOMPARE(copy.featured.elements()[0].price, 12.25);
        QCOMPARE(copy.featured.elements()[1].id, catalogue.featured.elements()[1].id);
        QVERIFY(copy.featured.elements()[1].trial);
        QCOMPARE(copy.featured.elements()[1].description.qString(), QStringLiteral(" line1\n\tline2 "));
        QCOMPARE(copy.products.size(), size_t(2));
        QCOMPARE(copy.products.find(String("alpha"))->status, educational);
        QCOMPARE(copy.products.find(String("zeta"))->version, short(3));
        QCOMPARE(copy.notes.elements().size(), size_t(2));
        QCOMPARE(copy.notes.elements()[1].qString(), QStringLiteral("a ? b > c"));
        QVERIFY(copy.child);
        QCOMPARE(copy.child->title.qString(), QStringLiteral("inner"));
        QCOMPARE(writeXML(copy, true, true, lineFeeds), text);
    }

    // A document larger than one buffer, read from memory block by block.
    Catalogue large;
    for (int i = 0; i < 2000; ++i) {
        auto product = std::make_unique<Product>();
        const String name(QStringLiteral("product %1").arg(i));
        product->name = name;
        product->description = String(QStringLiteral("\u00e9\u20ac & more ").repeated(i % 7));
        large.products.insert(name, std::move(product));
    }
    const QByteArray text = writeXML(large);
    QVERIFY(text.size() > 3 * DataBufferIn::bufferSize);
    Catalogue copy;
    QVERIFY(readXML(copy, text).ok);
    QCOMPARE(copy.products.size(), size_t(2000));
    QCOMPARE(writeXML(copy), text);
}

void tst_XMLReader::declarations_data()
{
    QTest::addColumn<QByteArray>("declaration");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("encoding");
    QTest::newRow("utf-8") << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>") << true << 1;
    QTest::newRow("utf-16") << QByteArray("<?xml version='1.0' encoding='UTF-16'?>") << true << 2;
    QTest::newRow("latin-1") << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>") << true << 0;
    QTest::newRow("bare") << QByteArray("<?xml?>") << true << 1;
    QTest::newRow("upper case") << QByteArray("<?XML encoding=\"utf-16\"?>") << true << 2;
    QTest::newRow("other instruction") << QByteArray("<?xml-stylesheet href=\"a.css\"?>") << true << 1;
    QTest::newRow("broken attribute") << QByteArray("<?xml version?>") << false << 1;
    QTest::newRow("unclosed") << QByteArray("<?xml version=\"1.0\"") << false << 1;
}

void tst_XMLReader::declarations()
{
    QFETCH(QByteArray, declaration);
    QFETCH(bool, ok);
    QFETCH(int, encoding);
    DataBufferIn in;
    in.setSource(declaration + "\n<installerPreferences><application>\xc3\xa9</application></installerPreferences>",
                 Encoding::unspecified);
    XMLReader reader(&in);
    Prefs prefs;
    QCOMPARE(reader.importTo(prefs), ok);
    QCOMPARE(int(in.getEncoding()), encoding);
    if (ok)
        QCOMPARE(prefs.application.qString(), QStringLiteral("\u00e9"));
}

void tst_XMLReader::references_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("value");
    QTest::newRow("five entities") << QByteArray("&amp;&lt;&gt;&quot;&apos;") << "&<>\"'";
    QTest::newRow("not twice") << QByteArray("&amp;lt;") << "&lt;";
    QTest::newRow("unknown entity") << QByteArray("a&nbsp;b") << "a?b";
    QTest::newRow("hexadecimal") << QByteArray("&#x41;") << "A";
    QTest::newRow("lower-case hex") << QByteArray("&#x4a;") << "?";
    QTest::newRow("two bytes") << QByteArray("&#x4142;") << "AB";
    QTest::newRow("above 127") << QByteArray("&#233;") << "?";
    QTest::newRow("last control byte") << QByteArray("&#31;") << "?";
    QTest::newRow("blank") << QByteArray("&#x20;") << " ";
    QTest::newRow("DEL") << QByteArray("&#127;") << "\x7f";
    QTest::newRow("tab") << QByteArray("&#9;") << "\t";
    QTest::newRow("zero") << QByteArray("&#0;") << "?";
    QTest::newRow("empty") << QByteArray("&#;&;") << "??";
    QTest::newRow("digits then junk") << QByteArray("&#66x;") << "B";
    QTest::newRow("huge") << QByteArray("&#99999999999999999999999;") << "?";
    QTest::newRow("no semicolon") << QByteArray("AT&T") << "AT&T";
    QTest::newRow("utf-8 text") << QByteArray("\xe2\x82\xac &amp; \xc3\xa9") << QString::fromUtf8("\xe2\x82\xac & \xc3\xa9");
}

void tst_XMLReader::references()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, value);
    Prefs prefs;
    QVERIFY(readXML(prefs, "<installerPreferences><application>" + text + "</application></installerPreferences>").ok);
    QCOMPARE(prefs.application.qString(), value);
    // The same in an attribute value.
    QVERIFY(readXML(prefs, "<installerPreferences application=\"" + text + "\"/>").ok);
    QCOMPARE(prefs.application.qString(), value);
}

// A leaf that rejects its text fails the read; one that cannot use it reads
// its default.
void tst_XMLReader::leafRules()
{
    const struct { const char* element; bool ok; } leaves[] = {
        {"<trial>yes</trial>", false}, {"<trial>TRUE</trial>", true}, {"<version>abc</version>", true},
        {"<status>MyTools</status>", false}, {"<id>xyz</id>", true}, {"<price>junk</price>", true},
        {"<trial></trial>", true}, {"<trial/>", true}};
    for (const auto& c : leaves) {
        Product product;
        product.version = 9;
        product.price = 1;
        QVERIFY2(readXML(product, QByteArray("<product>") + c.element + "</product>").ok == c.ok, c.element);
        if (c.ok) {
            QCOMPARE(product.version, short(0));
            QCOMPARE(product.price, 0.0);
        }
    }
}

void tst_XMLReader::nameSpacePrefixes()
{
    Catalogue catalogue;
    QVERIFY(readXML(catalogue, "<vx:catalogue title=\"t\"><vx:flag>1</vx:flag><size vx:width=\"2\"/></vx:catalogue>").ok);
    QCOMPARE(catalogue.title.qString(), QStringLiteral("t"));
    QVERIFY(catalogue.flag);
    QCOMPARE(catalogue.size.width, short(2));
    // A prefixed empty tag has its prefix split off as well.
    QVERIFY(readXML(catalogue, "<vx:catalogue><vx:size width=\"4\"/></vx:catalogue>").ok);
    QCOMPARE(catalogue.size.width, short(4));
    // The record's own namespace must match at its end tag.
    QVERIFY(!readXML(catalogue, "<vx:catalogue></other:catalogue>").ok);
    QVERIFY(!readXML(catalogue, "<vx:catalogue><vx:flag>1</flag></vx:catalogue>").ok);
    // A root element under another prefix is not the root record.
    QVERIFY(readXML(catalogue, "<other:catalogue title=\"x\"/>").ok);
    QVERIFY(catalogue.title.empty());
}

void tst_XMLReader::documents_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("application");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("status");
    const auto row = [](const char* name, const QByteArray& text, bool ok, const QString& application = QString(),
                        int width = 0, Status status = myTools) {
        QTest::newRow(name) << text << ok << application << width << int(status);
    };
    row("no declaration", "<installerPreferences><status>trial</status></installerPreferences>", true, "", 0, trial);
    // Children straight at the top level reach the root record too.
    row("top-level children", "<application>x</application><size width='1'/>", true, "x", 1);
    row("empty", "", true);
    // Attributes and elements are interchangeable, also mixed in one element.
    row("mixed", "<installerPreferences status='trial'><application>/a</application>"
        "<size width=\"10\"><height>4</height></size></installerPreferences>", true, "/a", 10, trial);
    row("unknown elements skipped", "<installerPreferences unknown=\"1\"><extra a=\"b\"><application>wrong"
        "</application><extra><x/></extra>text</extra><nothing/><application>right</application>"
        "<size><depth>3</depth><width>7</width></size></installerPreferences>", true, "right", 7);
    row("elements inside a leaf skipped", "<installerPreferences><application>a<b>x</b>c</application>"
        "</installerPreferences>", true, "ac");
    row("comments, CDATA, white space", "<!-- leading -->\r\n<installerPreferences>\r\n  <!-- a > b -- c -->\n"
        "<application>x<!-- gap -->y<![CDATA[<&amp;> ]] > ]]>z</application>\n<?ignored instruction?>\n"
        "<status><![CDATA[educational]]></status></installerPreferences>\n<!-- trailing -->\n", true,
        "xy<&amp;> ]] > z", 0, educational);
    // What the writer puts into an attribute must read back.
    row("markup in attribute", "<installerPreferences application=\"http://x/?a=1&amp;b=2 <!-- ![CDATA[ >\"/>", true,
        "http://x/?a=1&b=2 <!-- ![CDATA[ >");
    row("quotes in attribute", "<installerPreferences application='say \"hi\" > bye'/>", true, "say \"hi\" > bye");
    // Many of them: each ">" continues the same tag.
    const QByteArray many(100000, '>');
    row("many > in attribute", "<installerPreferences application=\"" + many + "\"/>", true, QString::fromLatin1(many));
    row("many > unterminated", "<installerPreferences application=\"" + many, false);
    row("skipped element malformed", "<installerPreferences><extra><y></extra></installerPreferences>", false);
    row("mismatched end tag", "<installerPreferences></installerPrefs>", false);
    row("blank before >", "<installerPreferences></installerPreferences >", false);
    row("end of input inside", "<installerPreferences><application>x", false);
    row("unclosed tag", "<installerPreferences", false);
    row("empty tag", "<installerPreferences><></installerPreferences>", false);
    row("unclosed comment", "<installerPreferences><!-- x ></installerPreferences>", false);
    row("doctype", "<!DOCTYPE x><installerPreferences/>", false);
    row("attribute without =", "<installerPreferences status/>", false);
    row("attribute unquoted", "<installerPreferences status=trial />", false);
    row("ampersand in name", "<installerPreferences><a&b></a&b></installerPreferences>", false);
    row("leaf rejects", "<installerPreferences><status>none</status></installerPreferences>", false);
}

void tst_XMLReader::documents()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    QFETCH(QString, application);
    QFETCH(int, width);
    QFETCH(int, status);
    Prefs prefs;
    QCOMPARE(readXML(prefs, text).ok, ok);
    if (ok) {
        QCOMPARE(prefs.application.qString(), application);
        QCOMPARE(int(prefs.size.width), width);
        QCOMPARE(int(prefs.status), status);
    }
}

// A failed read keeps what it read before the failure.
void tst_XMLReader::failures()
{
    Prefs prefs;
    prefs.status = trial;
    QVERIFY(!readXML(prefs, "<installerPreferences><application>kept</application><size width=\"5\"/>"
                            "<status>bad</status><eulaSize width=\"9\"/></installerPreferences>")
                 .ok);
    QCOMPARE(prefs.application.qString(), QStringLiteral("kept"));
    QCOMPARE(prefs.size.width, short(5));
    QCOMPARE(prefs.status, myTools); // reset with the record when its start tag was met
    QCOMPARE(prefs.eulaSize.width, short(0));

    // The position given is just past the tag that failed.
    const struct { const char* text; int row; int column; } positions[] = {
        {"<installerPreferences>\n\t<application>x</applicaton>\n</installerPreferences>", 2, 29},
        {"<installerPreferences>\n</installerPreferences >", 2, 25},
        {"<installerPreferences>\r\n\r\n<x y></installerPreferences>", 3, 6}};
    for (const auto& c : positions) {
        const ReadResult result = readXML(prefs, c.text);
        QVERIFY(!result.ok);
        QCOMPARE(result.row, c.row);
        QCOMPARE(result.column, c.column);
    }

    // A record that refuses itself fails the read, its value given either
    // way; a leaf can be the root too.
    Picky picky;
    QVERIFY(readXML(picky, "<picky n=\"1\"/>").ok);
    QVERIFY(!readXML(picky, "<picky n=\"-1\"/>").ok);
    QVERIFY(!readXML(picky, "<picky><n>-1</n></picky>").ok);
    Flag flag;
    QVERIFY(readXML(flag, "<flag>true</flag>").ok);
    QVERIFY(flag.value);
    QVERIFY(!readXML(flag, "<flag>maybe</flag>").ok);
}

void tst_XMLReader::nestingLimit()
{
    const auto nested = [](int depth) {
        QByteArray text = "<installerPreferences>";
        for (int i = 1; i < depth; ++i)
            text += "<x>";
        for (int i = 1; i < depth; ++i)
            text += "</x>";
        return text + "</installerPreferences>";
    };
    Prefs prefs;
    QVERIFY(readXML(prefs, nested(XMLReader::maxDepth)).ok);
    QVERIFY(!readXML(prefs, nested(XMLReader::maxDepth + 1)).ok);
    // Far deeper, unterminated: fails quickly without exhausting anything.
    QByteArray deep = "<installerPreferences>";
    for (int i = 0; i < 200000; ++i)
        deep += "<x a='1'>";
    QVERIFY(!readXML(prefs, deep).ok);
    // Nested records count as well: a catalogue inside a catalogue ...
    QByteArray records;
    for (int i = 0; i < 600; ++i)
        records += i == 0 ? "<vx:catalogue>" : "<child>";
    Catalogue catalogue;
    QVERIFY(!readXML(catalogue, records).ok);
}

void tst_XMLReader::phraseImporterAndStrings()
{
    DataBufferIn in(String(" a &amp; b <x:tag k='v'/><!--c--></end>"), Encoding::unspecified);
    XMLGlossary glossary;
    XMLReader::PhraseImporter importer(&in, &glossary);
    QCOMPARE(int(importer.getEncoding()), int(Encoding::UTF8));
    String phrase;
    QVERIFY(importer.getPhrase(phrase));
    QCOMPARE(phrase.qString(), QStringLiteral(" a & b "));
    String name;
    String nameSpace;
    QCOMPARE(importer.getTag(name, nameSpace), int(XMLReader::emptyTag));
    QCOMPARE(name.qString(), QStringLiteral("tag k='v'"));
    QCOMPARE(nameSpace.qString(), QStringLiteral("x"));
    QCOMPARE(importer.getTag(name, nameSpace), int(XMLReader::comment));
    QCOMPARE(name.qString(), QStringLiteral("c"));
    QCOMPARE(importer.getTag(name, nameSpace), int(XMLReader::endTag));
    QCOMPARE(name.qString(), QStringLiteral("end"));
    QCOMPARE(importer.getTag(name, nameSpace), int(XMLReader::endOfInput));
    QCOMPARE(importer.getReplacement(String("#x41")).qString(), QStringLiteral("A"));
    XMLReader::PhraseImporter bare(nullptr, nullptr);
    QCOMPARE(bare.getReplacement(String("amp")).qString(), QStringLiteral("?"));

    // Resolving references in a whole string reports a stray ampersand.
    XMLReader reader;
    String text("a &lt; b");
    QVERIFY(reader.fromXMLString(text));
    QCOMPARE(text.qString(), QStringLiteral("a < b"));
    String broken("x &amp; y & z");
    QVERIFY(!reader.fromXMLString(broken));
    QCOMPARE(broken.qString(), QStringLiteral("x & y & z"));
    QCOMPARE(reader.getRowPosition(), 1);
    QCOMPARE(reader.getColPosition(), 0);
}

QTEST_GUILESS_MAIN(tst_XMLReader)
#include "tst_XMLReader.moc"
