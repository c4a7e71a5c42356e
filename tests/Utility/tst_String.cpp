#include "Utility/Convert.h"
#include "Utility/SearchString.h"
#include "Utility/String.h"

#include <QtTest>

#include <stdexcept>

using namespace vantorix;

class tst_String : public QObject {
    Q_OBJECT

private slots:
    void slicing();
    void searches();
    void utf8Data();
    void editing();
    void versionString_data();
    void versionString();
    void searchString_data();
    void searchString();
};

// Positions and counts out of range are clipped, never an error.
void tst_String::slicing()
{
    const struct { const char* text; int pos; int count; const char* expected; } substrings[] = {
        {"abc", String::npos, 2, ""}, {"ab", 3, String::npos, ""}, {"abcdef", 2, String::npos, "cdef"},
        {"abcdef", 4, 10, "ef"}};
    for (const auto& c : substrings)
        QCOMPARE(String(c.text).substr(c.pos, c.count).qString(), QString::fromLatin1(c.expected));

    const struct { int pos; int count; const char* expected; } erasures[] = {
        {1, String::npos, "a"}, {1, 0, "abc"}, {1, -5, "abc"}, {1, 1, "ac"}, {7, 1, "abc"}};
    for (const auto& c : erasures) {
        String s("abc");
        s.erase(c.pos, c.count);
        QCOMPARE(s.qString(), QString::fromLatin1(c.expected));
    }

    // The last character other than a blank in the first pos characters.
    const struct { const char* text; int pos; int expected; } lastNotBlank[] = {
        {"ab  ", String::npos, 1}, {"   ", String::npos, String::npos}, {"abc  ", 3, 1}, {"abc", 3, String::npos}};
    for (const auto& c : lastNotBlank)
        QCOMPARE(String(c.text).findLastNotOf(" ", c.pos), c.expected);

    // Splitting replaces what the list held.
    const struct { const char* text; const char* delimiter; QStringList parts; } splits[] = {
        {"a,b,", ",", {"a", "b", ""}}, {"", ",", {""}}, {"a,b", "", {"a,b"}}, {"x::y::z", "::", {"x", "y", "z"}}};
    for (const auto& c : splits) {
        std::vector<String> result{String("stale")};
        String(c.text).split(String(c.delimiter), result);
        QStringList actual;
        for (const String& part : result)
            actual << part.qString();
        QCOMPARE(actual, c.parts);
    }
}

void tst_String::searches()
{
    const String s("abcabc");
    QCOMPARE(s.find(String("")), String::npos);
    QCOMPARE(String().find(String("a")), String::npos);
    QCOMPARE(s.find(String("bc")), 1);
    QCOMPARE(s.find(String("bc"), 2), 4);
    QCOMPARE(s.find("c", 3), 5);
    QCOMPARE(s.find('a', 1), 3);
    QCOMPARE(s.rfind(String("bc")), 4);
    QCOMPARE(s.rfind(String("bc"), 0), String::npos);
    QCOMPARE(s.rfind(String("")), String::npos);
    QCOMPARE(String().rfind("a", String::npos, String::npos), String::npos);
    QCOMPARE(s.rfind("cab", String::npos, 2), 2);
    QCOMPARE(s.findLastOf("ab"), 3);
    QCOMPARE(s.findFirstNotOf("ab"), 2);
    QCOMPARE(s.findFirstNotOf("abc"), String::npos);
    // "c" is tried first, so its position wins although "a" stands earlier.
    QCOMPARE(String("abc").findFirstOf("ca"), 2);
    QCOMPARE(String("abc").findFirstOf("ac"), 0);
    QCOMPARE(String("abc").findFirstOf("xyz"), String::npos);
    QCOMPARE(String("abc").findFirstOf(""), String::npos);
    QCOMPARE(String("abc").findFirstOf("a", 1), String::npos);
    // Ordering is by byte: upper case first.
    QVERIFY(String("B") < String("a"));
    QVERIFY(String("a") > String("B"));
    QVERIFY(String("ab") < String("b"));
    QVERIFY(!(String("a") < String("a")));
}

void tst_String::utf8Data()
{
    // Lengths and positions count characters; the data is UTF-8.
    QCOMPARE(String("héllo", 2).qString(), QStringLiteral("hé"));
    QCOMPARE(String(String("abcdef"), 2, 3).qString(), QStringLiteral("cde"));
    const String s("aé€");
    QCOMPARE(s[1], char(0xE9));
    QCOMPARE(s[2], char(0));
    QCOMPARE(s[-4], char(0));
    QVERIFY_EXCEPTION_THROWN(s[String::npos], std::out_of_range);
    QCOMPARE(s.dataLength(), 6);
    QCOMPARE(s.dataLength(2), 2);
    QCOMPARE(String().dataLength(), 0);
    QCOMPARE(QByteArray(s.data()), QByteArray("a\xC3\xA9\xE2\x82\xAC"));
    String t;
    t.append(QByteArray("xx\xC3\xA9yy"), 2, 2);
    t.append("", String::npos);
    t.append('!');
    QCOMPARE(t.qString(), QStringLiteral("é!"));
}

void tst_String::editing()
{
    String s("a-b-c");
    replaceAll(s, String("-"), String("--"));
    QCOMPARE(s.qString(), QStringLiteral("a--b--c"));
    String t("b a c");
    replaceAllOf(t, String("ab"), String("_"));
    QCOMPARE(t.qString(), QStringLiteral("_ _ c"));
    String u("hello");
    u.replace(1, 3, String("XYZW"), 1, 2);
    QCOMPARE(u.qString(), QStringLiteral("hYZo"));
    u.insert(0, String(">"));
    QCOMPARE(u.qString(), QStringLiteral(">hYZo"));
    u.reverse();
    QCOMPARE(u.qString(), QStringLiteral("oZYh>"));

    String padded(" \t x y \r\n");
    replaceEnclosing(padded, String(String::whiteSpace), String(), true, true);
    QCOMPARE(padded.qString(), QStringLiteral("x y"));
    String blanks("  \n ");
    replaceEnclosing(blanks, String(String::whiteSpace), String(), true, true);
    QVERIFY(blanks.empty());
    String leadingOnly("  x  ");
    replaceEnclosing(leadingOnly, String(" "), String(), true, false);
    QCOMPARE(leadingOnly.qString(), QStringLiteral("x  "));

    String quoted("say 'hi' and \"bye\"");
    int start = 0;
    int end = 0;
    QVERIFY(findQuoted(quoted, start, end, String("'\"")));
    QCOMPARE(quoted.substr(start, end - start).qString(), QStringLiteral("hi"));
    start = end + 1;
    QVERIFY(findQuoted(quoted, start, end, String("'\"")));
    QCOMPARE(quoted.substr(start, end - start).qString(), QStringLiteral("bye"));
    String open("a 'b");
    start = 0;
    QVERIFY(!findQuoted(open, start, end, String("'")));

    // Right-aligned in a width, filled on the left; a text too long or no filler is refused.
    const struct { const char* text; int width; const char* filler; bool result; const char* expected; } pads[] = {
        {"7", 3, "0", true, "007"}, {"12345", 4, " ", false, "12345"}, {"abc", 3, "", true, "abc"},
        {"a", 3, "", false, "a"}, {"7", 4, "ab", true, "bab7"}};
    for (const auto& c : pads) {
        String text(c.text);
        QCOMPARE(vantorix::padRight(text, c.width, String(c.filler)), c.result);
        QCOMPARE(text.qString(), QString::fromLatin1(c.expected));
    }
}


void tst_String::versionString_data()
{
    QTest::addColumn<double>("version");
    QTest::addColumn<QString>("expected");
    QTest::newRow("2.05") << 2.05 << "2.05";
    QTest::newRow("10.5") << 10.5 << "10.50";
    QTest::newRow("not a number") << qQNaN() << "0.00";
    // Rounding that carries into a new integer digit.
    QTest::newRow("carry to one") << 0.999 << "1.00";
    QTest::newRow("carry to ten") << 9.999 << "10.00";
    QTest::newRow("just below ten") << 9.994 << "9.99";
    QTest::newRow("carry to a hundred") << 99.996 << "100.00";
}

void tst_String::versionString()
{
    QFETCH(double, version);
    QFETCH(QString, expected);
    QCOMPARE(getVersionString(version).qString(), expected);
}

void tst_String::searchString_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("matches");
    QTest::newRow("suffix match") << "*.apx" << "tool.apx" << true;
    QTest::newRow("suffix miss") << "*.apx" << "tool.gdx" << false;
    QTest::newRow("empty matches all") << "" << "anything" << true;
    QTest::newRow("literal differs") << "tool" << "Tool" << false;
    QTest::newRow("middle") << "a*b*c" << "axxbyyc" << true;
    QTest::newRow("middle needs room") << "a*b*c" << "ac" << false;
    QTest::newRow("prefix") << "Arch*" << "ArchiCAD 19" << true;
}

void tst_String::searchString()
{
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QFETCH(bool, matches);
    const SearchString search{String(pattern), String("*")};
    QCOMPARE(search == String(text), matches);
    // The pattern is rebuilt from its parts as it was given.
    QCOMPARE(search.getString().qString(), pattern);
}

QTEST_GUILESS_MAIN(tst_String)
#include "tst_String.moc"
