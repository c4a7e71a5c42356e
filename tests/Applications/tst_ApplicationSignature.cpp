#include "Applications/ApplicationSignature.h"

#include <QtTest>

using namespace vantorix;

class tst_ApplicationSignature : public QObject {
    Q_OBJECT

private slots:
    void names();
    void ordering();
    void typeText();
    void shippedAsAttributes();
};

void tst_ApplicationSignature::names()
{
    // Start editions go by their marketing year; a type the program does not
    // know has no edition name.
    const struct { int type; short version; const char* name; const char* text; const char* versionText; } cases[] = {
        {0, 19, "ArchiCAD 19", "19", "19"}, {1, 19, "ArchiCAD Solo 19", "19 Solo", "19"},
        {2, 19, "ArchiCAD SE 2016", "SE 2016", "2016"}, {2, 17, "ArchiCAD SE ", "SE ", ""}, {7, 19, "ArchiCAD ", "", ""}};
    for (const auto& c : cases) {
        const ApplicationSignature signature(HostType::archiCAD, c.version, static_cast<ApplicationSignature::Type>(c.type));
        QCOMPARE(signature.getName().qString(), QString::fromLatin1(c.name));
        QCOMPARE(signature.toString().qString(), QString::fromLatin1(c.text));
        QCOMPARE(signature.getVersionString().qString(), QString::fromLatin1(c.versionText));
    }
}

void tst_ApplicationSignature::ordering()
{
    using S = ApplicationSignature;
    const S full19(HostType::archiCAD, 19, S::full, "INT");
    const S full18(HostType::archiCAD, 18, S::full, "INT");
    const S solo18(HostType::archiCAD, 18, S::solo, "INT");
    const S german18(HostType::archiCAD, 18, S::full, "GER");
    const S lower19(HostType::archiCAD, 19, S::full, "int");

    // Type first, then language, then host and version.
    QVERIFY(full19 < solo18);
    QVERIFY(!(solo18 < full19));
    QVERIFY(german18 < full19);
    QVERIFY(full18 < full19);
    // Languages that differ only in letter case are the same language.
    QVERIFY(full19 == lower19);
    QVERIFY(!(full19 < lower19) && !(lower19 < full19));
    QVERIFY(lower19 < S(HostType::archiCAD, 19, S::full, "JPN"));
    QVERIFY(S(HostType::vectorworks, 19, S::full, "INT") != full19);
    QVERIFY(full19 < S(HostType::vectorworks, 12, S::full, "INT"));
}

void tst_ApplicationSignature::typeText()
{
    // The value before reading is start: texts that name no edition leave it.
    using S = ApplicationSignature;
    const struct { const char* text; S::Type expected; } texts[] = {
        {"full", S::full}, {"SOLO", S::solo}, {"Start", S::start}, {"solo ", S::start}, {"", S::start}};
    for (const auto& c : texts) {
        S::Type type = S::start;
        QVERIFY(XMLValueText<S::Type>::read(type, String(c.text)));
        QCOMPARE(type, c.expected);
    }
}

// Host names are read exactly; a default signature leaves out host and
// version but not type and language.
void tst_ApplicationSignature::shippedAsAttributes()
{
    ApplicationSignature signature(HostType::archiCAD, 19, ApplicationSignature::solo, "GER");
    QVERIFY(!signature.getShipping(String("host"), String())->read(String("archicad")));
    QCOMPARE(signature.getHostID(), HostType::archiCAD);
    QVERIFY(signature.getShipping(String("host"), String())->read(String("Revit")));
    QCOMPARE(signature.getHostID(), HostType::revit);

    signature.setDefault();
    QCOMPARE(signature.getLanguage().qString(), QStringLiteral("INT"));
    QVERIFY(!signature.getShipping(0, true)->isEssential());
    QVERIFY(!signature.getShipping(1, true)->isEssential());
    QVERIFY(signature.getShipping(2, true)->isEssential());
    QVERIFY(signature.getShipping(3, true)->isEssential());
}

QTEST_GUILESS_MAIN(tst_ApplicationSignature)
#include "tst_ApplicationSignature.moc"
