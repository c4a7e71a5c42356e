#include "Serialise/XMLDateTime.h"

#include <QtTest>

#include "common/TimeZone.h"

#include <ctime>

Q_DECLARE_METATYPE(vantorix::Time)

using namespace vantorix;

namespace {

Time at(unsigned y, unsigned mo, unsigned d, unsigned h, unsigned mi, unsigned s, int offset)
{
    Time t(y, mo, d, h, mi, s);
    t.setUTCOffset(offset);
    return t;
}

QString fields(const Time& t)
{
    return QStringLiteral("%1-%2-%3 %4:%5:%6 %7")
        .arg(t.getYear()).arg(t.getMonth()).arg(t.getDay()).arg(t.getHour()).arg(t.getMinute()).arg(t.getSecond())
        .arg(t.getUTCOffset());
}

} // namespace

class tst_XMLDateTime : public QObject {
    Q_OBJECT

private slots:
    void writeFormats_data();
    void writeFormats();
    void readFormats_data();
    void readFormats();
    void rejected_data();
    void rejected();
    void roundTripSameInstant();
    void defaults();

private:
    TimeZone m_zone{"XIT-5:30"}; // the formats without a zone read in the local offset: pin it
};

void tst_XMLDateTime::writeFormats_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("text");
    QTest::newRow("0 date and time") << 0 << 780 << "2015-03-05T14:07:09";
    QTest::newRow("1 date") << 1 << 780 << "2015-03-05";
    QTest::newRow("2 time") << 2 << 780 << "14:07:09";
    QTest::newRow("3 east") << 3 << 780 << "2015-03-05T14:07:09+13:00";
    QTest::newRow("3 UTC") << 3 << 0 << "2015-03-05T14:07:09Z";
    QTest::newRow("3 west half hour") << 3 << -330 << "2015-03-05T14:07:09-05:30";
    QTest::newRow("4 time with zone") << 4 << 345 << "14:07:09+05:45";
}

void tst_XMLDateTime::writeFormats()
{
    QFETCH(int, format);
    QFETCH(int, offset);
    QFETCH(QString, text);
    Time t = at(2015, 3, 5, 14, 7, 9, offset);
    XMLDateTime leaf(t, "edit", false, nullptr, format);
    String written;
    QVERIFY(leaf.write(written));
    QCOMPARE(written.qString(), text);
}

void tst_XMLDateTime::readFormats_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Time>("expected");
    QTest::newRow("0 local offset") << 0 << "2015-03-05T14:07:09" << at(2015, 3, 5, 14, 7, 9, 330);
    QTest::newRow("0 ignores a zone") << 0 << "2015-03-05T14:07:09Z" << at(2015, 3, 5, 14, 7, 9, 330);
    QTest::newRow("1 date, offset 0") << 1 << "2015-03-05" << at(2015, 3, 5, 0, 0, 0, 0);
    QTest::newRow("2 time, local offset") << 2 << "23:59:59" << at(0, 0, 0, 23, 59, 59, 330);
    QTest::newRow("3 Z") << 3 << "2015-03-05T14:07:09Z" << at(2015, 3, 5, 14, 7, 9, 0);
    QTest::newRow("3 minus") << 3 << "2015-03-05T14:07:09-05:30" << at(2015, 3, 5, 14, 7, 9, -330);
    QTest::newRow("3 no zone") << 3 << "2015-03-05T14:07:09" << at(2015, 3, 5, 14, 7, 9, 0);
    QTest::newRow("3 long fraction") << 3 << "2015-03-05T14:07:09.123456-02:00" << at(2015, 3, 5, 14, 7, 9, -120);
    QTest::newRow("3 surrounding blanks") << 3 << "\n\t2015-03-05T14:07:09Z \n" << at(2015, 3, 5, 14, 7, 9, 0);
    QTest::newRow("3 leap day") << 3 << "2016-02-29T00:00:00Z" << at(2016, 2, 29, 0, 0, 0, 0);
    QTest::newRow("3 zero time") << 3 << "0000-01-01T00:00:00Z" << Time(false);
    QTest::newRow("4 time with zone") << 4 << "14:07:09-00:30" << at(0, 0, 0, 14, 7, 9, -30);
}

void tst_XMLDateTime::readFormats()
{
    QFETCH(int, format);
    QFETCH(QString, text);
    QFETCH(Time, expected);
    Time t(false);
    XMLDateTime leaf(t, "edit", false, nullptr, format);
    QVERIFY(leaf.read(String(text)));
    QVERIFY(leaf.isRead());
    QVERIFY(leaf.validate());
    QCOMPARE(fields(t), fields(expected));
}

void tst_XMLDateTime::rejected_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << 3 << "";
    QTest::newRow("short date") << 1 << "2015-03-5";
    QTest::newRow("month 13") << 3 << "2015-13-05T14:07:09Z";
    QTest::newRow("29 February, not leap") << 1 << "2015-02-29";
    QTest::newRow("one-digit hour") << 3 << "2015-03-05T4:07:09Z+00";
    QTest::newRow("hour 24") << 3 << "2015-03-05T24:00:00Z";
    QTest::newRow("second 60") << 4 << "14:07:60Z";
    QTest::newRow("blank in field") << 1 << "2015-03- 5";
    QTest::newRow("sign in field") << 1 << "2015-+3-05";
    QTest::newRow("wrong separator") << 1 << "2015/03/05";
    QTest::newRow("bad zone mark") << 3 << "2015-03-05T14:07:09X";
    QTest::newRow("zone without colon") << 3 << "2015-03-05T14:07:09+0130";
    QTest::newRow("zone minute 60") << 4 << "14:07:09+01:60";
    QTest::newRow("empty fraction") << 3 << "2015-03-05T14:07:09.Z";
    QTest::newRow("date for time") << 2 << "2015-03-05";
    QTest::newRow("unknown format") << 7 << "2015-03-05T14:07:09Z";
}

void tst_XMLDateTime::rejected()
{
    QFETCH(int, format);
    QFETCH(QString, text);
    Time t = at(2001, 2, 3, 4, 5, 6, 7);
    const Time before = t;
    XMLDateTime leaf(t, "edit", false, nullptr, format);
    QVERIFY(!leaf.read(String(text)));
    QVERIFY(leaf.isRead());
    QVERIFY(!leaf.validate());
    // A rejected text leaves the bound time alone.
    QCOMPARE(fields(t), fields(before));
}

void tst_XMLDateTime::roundTripSameInstant()
{
    // Written at one offset and read back, the time denotes the same instant;
    // and times at different offsets that denote one instant compare equal.
    Time auckland = at(2015, 3, 5, 12, 0, 0, 780);
    String text;
    QVERIFY(XMLDateTime(auckland, "edit").write(text));
    Time back(false);
    QVERIFY(XMLDateTime(back, "edit").read(text));
    QVERIFY(back == auckland);
    Time london(false);
    QVERIFY(XMLDateTime(london, "edit").read(String("2015-03-04T23:00:00Z")));
    QVERIFY(london == auckland && !(london < auckland) && !(auckland < london));

    // A year of fewer than four digits keeps its leading zeros; one of five
    // digits cannot be written.
    String old;
    QVERIFY(XMLDateTime::format(at(815, 1, 2, 3, 4, 5, 0), XMLDateTime::dateFormat, old));
    QCOMPARE(old.qString(), QStringLiteral("0815-01-02"));
    QVERIFY(!XMLDateTime::format(at(10000, 1, 1, 0, 0, 0, 0), XMLDateTime::dateFormat, old));
}

void tst_XMLDateTime::defaults()
{
    const std::time_t before = std::time(nullptr);
    Time t(false);
    XMLDateTime full(t, "edit");
    QVERIFY(!full.read(String("junk")));
    full.setDefault();
    QVERIFY(!full.isRead());
    QVERIFY(full.validate());
    QVERIFY(t.getTotalSeconds() >= before);
    QCOMPARE(t.getUTCOffset(), 330);

    Time d(false);
    XMLDateTime dateOnly(d, "day", false, nullptr, XMLDateTime::dateFormat);
    dateOnly.setDefault();
    QVERIFY(d.getYear() >= 2015);
    QVERIFY(fields(d).endsWith(QStringLiteral(" 0:0:0 0")));

    Time c(false);
    XMLDateTime timeOnly(c, "clock", false, nullptr, XMLDateTime::timeFormat);
    timeOnly.setDefault();
    QCOMPARE(c.getYear() + c.getMonth() + c.getDay(), 0u);

    // A leaf without a bound time holds its own.
    XMLDateTime leaf("when", true, "ns", XMLDateTime::dateFormat);
    QVERIFY(leaf.getTime().isZero());
    QVERIFY(leaf.read(String("2015-03-05")));
    QCOMPARE(fields(leaf.getTime()), QStringLiteral("2015-3-5 0:0:0 0"));
}

QTEST_GUILESS_MAIN(tst_XMLDateTime)
#include "tst_XMLDateTime.moc"
