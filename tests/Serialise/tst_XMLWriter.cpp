#include "Serialise/XMLWriter.h"
#include "TestRecords.h"
#include "Utility/MemoryBlock.h"
#include "common/XMLText.h"

#include <QtTest>

using namespace vantorix;
using namespace testrecords;

namespace {

// A record whose only child is an attribute that can be left out.
class Optional : public XMLAssembly {
public:
    String value;
    bool hasAttributesFlag = true;

    const char* getTag() const override { return "optional"; }
    unsigned long shippingSize() const override { return 1; }
    bool hasAttributes() const override { return hasAttributesFlag; }
    ShippingPtr getShipping(unsigned long index, bool) override
    {
        return index == 0 ? shipIf(!value.empty(), value, "value", true) : nullptr;
    }
    ShippingPtr getShipping(const String&, const String&) override { return nullptr; }
    void setDefault() override { value.clear(); }
};

// A leaf whose value cannot be written.
class Unwritable : public XMLUnit {
public:
    bool write(String&) override { return false; }
    const char* getTag() const override { return "bad"; }
    void setDefault() override {}
    bool read(const String&) override { return true; }
};

class WithUnwritable : public XMLAssembly {
public:
    Unwritable leaf;
    const char* getTag() const override { return "holder"; }
    unsigned long shippingSize() const override { return 1; }
    ShippingPtr getShipping(unsigned long index, bool) override { return index == 0 ? ship(leaf, nullptr) : nullptr; }
    ShippingPtr getShipping(const String&, const String&) override { return nullptr; }
    void setDefault() override {}
};

Prefs samplePrefs()
{
    Prefs prefs;
    prefs.size.width = 800;
    prefs.size.height = 600;
    prefs.releaseSize.width = 640;
    prefs.releaseSize.height = 480;
    prefs.application = "/Applications/GRAPHISOFT/ArchiCAD 24";
    return prefs;
}

} // namespace

class tst_XMLWriter : public QObject {
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
    void escapesInTextAndAttributes();
    void containersListsAndMaps();
    void emptyElements();
    void nameSpaces();
    void failuresFailTheExport();
    void phraseExporterRules();
};

void tst_XMLWriter::layout_data()
{
    QTest::addColumn<bool>("declaration");
    QTest::addColumn<bool>("tabs");
    QTest::addColumn<bool>("lineFeeds");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n";
    const QByteArray full = "<installerPreferences>\n"
                            "\t<size width=\"800\" height=\"600\"/>\n\t<releaseSize width=\"640\" height=\"480\"/>\n"
                            "\t<eulaSize width=\"0\" height=\"0\"/>\n"
                            "\t<application>/Applications/GRAPHISOFT/ArchiCAD 24</application>\n"
                            "\t<status>myTools</status>\n</installerPreferences>\n";
    QTest::newRow("declaration, tabs, line feeds") << true << true << true << declaration + full;
    // Without line feeds there is no indentation either.
    QTest::newRow("one line") << true << true << false << QByteArray(declaration + full).replace("\n", "").replace("\t", "");
    QTest::newRow("no tabs, no declaration") << false << false << true << QByteArray(full).replace("\t", "");
}

void tst_XMLWriter::layout()
{
    QFETCH(bool, declaration);
    QFETCH(bool, tabs);
    QFETCH(bool, lineFeeds);
    QFETCH(QByteArray, expected);
    Prefs prefs = samplePrefs();
    bool ok = false;
    QCOMPARE(writeXML(prefs, declaration, tabs, lineFeeds, true, &ok), expected);
    QVERIFY(ok);
}

void tst_XMLWriter::escapesInTextAndAttributes()
{
    Catalogue catalogue;
    catalogue.title = "a&b<c>\"d'";
    auto product = std::make_unique<Product>();
    product->name = "R&D";
    product->description = "Tom & Jerry's <b>\"best\"</b> &amp;";
    const String key = product->name;
    catalogue.products.insert(key, std::move(product));
    const QByteArray text = writeXML(catalogue, false, false, false);
    QVERIFY2(text.contains("title=\"a&amp;b&lt;c&gt;&quot;d&apos;\""), text.constData());
    QVERIFY2(text.contains("name=\"R&amp;D\""), text.constData());
    QVERIFY2(text.contains("<description>Tom &amp; Jerry&apos;s &lt;b&gt;&quot;best&quot;&lt;/b&gt; &amp;amp;"
                           "</description>"),
             text.constData());

    String escaped("<&>");
    XMLWriter().toXMLString(escaped);
    QCOMPARE(escaped.qString(), QStringLiteral("&lt;&amp;&gt;"));
}

void tst_XMLWriter::containersListsAndMaps()
{
    Catalogue catalogue;
    catalogue.title = "T";
    catalogue.size.width = 3;
    catalogue.featured.elements().resize(1);
    catalogue.featured.elements()[0].name = "F";
    catalogue.featured.elements()[0].price = 9.5;
    for (const char* name : {"b", "a"}) {
        auto product = std::make_unique<Product>();
        product->name = name;
        product->status = trial;
        catalogue.products.insert(String(name), std::move(product));
    }
    catalogue.notes.elements().push_back(String("one"));
    const QByteArray text = writeXML(catalogue, false, true, true, false);
    // A product two levels in, as the list and the map write it.
    const auto product = [](const char* name, const char* price, const char* status) {
        return QByteArray("\t\t<product name=\"") + name + "\" id=\"00000000-0000-0000-0000-000000000000\">\n"
               "\t\t\t<version>0</version>\n\t\t\t<trial>0</trial>\n" + price + "\t\t\t<status>" + status
               + "</status>\n\t\t\t<description></description>\n\t\t</product>\n";
    };
    const QByteArray expected = "<catalogue title=\"T\">\n\t<size width=\"3\" height=\"0\"/>\n"
                                "\t<featured>\n" + product("F", "\t\t\t<price>9.5</price>\n", "myTools")
                                + "\t</featured>\n\t<products>\n" + product("a", "", "trial") + product("b", "", "trial")
                                + "\t</products>\n\t<notes>\n\t\t<note>one</note>\n\t</notes>\n\t<flag>0</flag>\n"
                                  "</catalogue>\n";
    QCOMPARE(text, expected);
}

void tst_XMLWriter::emptyElements()
{
    // Attributes only: an empty tag, unless the record allows no attributes.
    const struct { const char* value; bool hasAttributes; const char* expected; } records[] = {
        {"x", true, "<optional value=\"x\"/>\n"}, {"", true, "<optional/>\n"},
        {"x", false, "<optional></optional>\n"}};
    for (const auto& c : records) {
        Optional record;
        record.value = String(c.value);
        record.hasAttributesFlag = c.hasAttributes;
        QCOMPARE(writeXML(record, false), QByteArray(c.expected));
    }

    // An empty list: its start tag directly followed by its end tag.
    XMLList<Product> list("list");
    QCOMPARE(writeXML(list, false), QByteArray("<list></list>\n"));
}

void tst_XMLWriter::nameSpaces()
{
    Catalogue catalogue;
    catalogue.flag = true;
    const QByteArray with = writeXML(catalogue, false, false, false, true);
    QVERIFY2(with.startsWith("<vx:catalogue title=\"\">"), with.constData());
    QVERIFY2(with.contains("<vx:flag>1</vx:flag>"), with.constData());
    QVERIFY2(with.endsWith("</vx:catalogue>"), with.constData());
    const QByteArray without = writeXML(catalogue, false, false, false, false);
    QVERIFY(!without.contains("vx:"));
}

void tst_XMLWriter::failuresFailTheExport()
{
    Prefs prefs = samplePrefs();
    MemoryBlock block;
    DataBufferOut out(&block);
    out.setState(VantIO::failBit);
    QVERIFY(!XMLWriter(&out).exportFrom(prefs));
    QVERIFY(XMLWriter().exportFrom(prefs)); // no destination: discarded, not failed
    // A value that cannot be written fails the export too.
    WithUnwritable record;
    bool ok = true;
    writeXML(record, true, true, true, true, &ok);
    QVERIFY(!ok);
}

void tst_XMLWriter::phraseExporterRules()
{
    MemoryBlock block;
    {
        DataBufferOut out(&block);
        XMLGlossary glossary;
        XMLWriter::PhraseExporter exporter(&out, &glossary);
        QVERIFY(exporter.writeTag(String("a"), String(), XMLWriter::PhraseExporter::startTag));
        QVERIFY(exporter.writeTag(String(), String(), XMLWriter::PhraseExporter::startTag));
        QVERIFY(exporter.writeTag(String("b"), String("n"), XMLWriter::PhraseExporter::startTag));
        QVERIFY(exporter.writePhrase(String("1<2")));
        QVERIFY(exporter.writeTag(String("b"), String("n"), XMLWriter::PhraseExporter::endTag));
        QVERIFY(exporter.write(String("<!-- raw -->")));
        QVERIFY(exporter.writeTag(String("a"), String(), XMLWriter::PhraseExporter::endTag));
        exporter.flush();
    }
    QCOMPARE(block.get(), QByteArray("<a>\n\t<n:b>1&lt;2</n:b>\n<!-- raw --></a>\n"));
}

QTEST_GUILESS_MAIN(tst_XMLWriter)
#include "tst_XMLWriter.moc"
