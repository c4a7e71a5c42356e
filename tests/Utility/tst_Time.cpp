#include "Utility/Convert.h"
#include "Utility/Time.h"

#include <QtTest>

#include "common/TimeZone.h"

#include <chrono>
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
    return QStringLiteral("%1-%2-%3 %4:%5:%6.%7 %8%9")
        .arg(t.getYear()).arg(t.getMonth()).arg(t.getDay()).arg(t.getHour()).arg(t.getMinute()).arg(t.getSecond())
        .arg(t.getMicrosecond()).arg(t.getUTCOffset() < 0 ? "" : "+").arg(t.getUTCOffset());
}

} // namespace

class tst_Time : public QObject {
    Q_OBJECT

private slots:
    void fieldsAreMasked();
    void totalSeconds_data();
    void totalSeconds();
    void compare_data();
    void compare();
    void differencesAndParts();
    void localOffset();
    void currentTime();
    void text();
};

void tst_Time::fieldsAreMasked()
{
    // Each setter keeps to its own bits and leaves its neighbours alone.
    Time t(false);
    t.setMonth(13 + 16); // 4 bits
    t.setHour(33);       // 5 bits
    t.setMinute(64 + 5); // 6 bits
    t.setMicrosecond(0x100000 + 7); // 20 bits
    t.setYear(0x8000 + 2015);
    t.setSecond(59);
    t.setDay(31);
    QCOMPARE(fields(t), QStringLiteral("2015-13-31 1:5:59.7 +0"));
}

void tst_Time::totalSeconds_data()
{
    QTest::addColumn<Time>("time");
    QTest::addColumn<qint64>("seconds");
    QTest::newRow("known instant") << at(2015, 3, 5, 14, 7, 9, 0) << qint64(1425564429);
    QTest::newRow("east offset") << at(2015, 3, 5, 14, 7, 9, 780) << qint64(1425564429 - 780 * 60);
    QTest::newRow("leap day") << at(2016, 2, 29, 0, 0, 0, 0) << qint64(1456704000);
    QTest::newRow("before 1970") << at(1969, 12, 31, 23, 59, 59, 0) << qint64(-1);
    QTest::newRow("first year") << at(1400, 1, 1, 0, 0, 0, 0) << qint64(-17987443200LL);
    QTest::newRow("year 10000") << at(10000, 1, 1, 0, 0, 0, 0) << qint64(253402300800LL);
    QTest::newRow("year 1200") << at(1200, 6, 1, 0, 0, 0, 0) << qint64(0);
    QTest::newRow("year 10001") << at(10001, 1, 1, 0, 0, 0, 0) << qint64(0);
    QTest::newRow("29 Feb 2015") << at(2015, 2, 29, 0, 0, 0, 0) << qint64(0);
    QTest::newRow("month 13") << at(2015, 13, 1, 0, 0, 0, 0) << qint64(0);
    QTest::newRow("zero time") << Time(false) << qint64(0);
}

void tst_Time::totalSeconds()
{
    QFETCH(Time, time);
    QFETCH(qint64, seconds);
    QCOMPARE(qint64(time.getTotalSeconds()), seconds);
}

void tst_Time::compare_data()
{
    QTest::addColumn<Time>("a");
    QTest::addColumn<Time>("b");
    QTest::addColumn<int>("order");
    Time fine = at(2015, 3, 5, 12, 0, 0, 0);
    fine.setMicrosecond(1);
    QTest::newRow("default is the zero time") << Time() << Time(false) << 0;
    QTest::newRow("same instant, other offsets") << at(2015, 3, 5, 12, 0, 0, 780) << at(2015, 3, 4, 23, 0, 0, 0) << 0;
    QTest::newRow("one second") << at(2015, 3, 5, 12, 0, 0, 0) << at(2015, 3, 5, 12, 0, 1, 0) << -1;
    QTest::newRow("microseconds decide") << at(2015, 3, 5, 12, 0, 0, 0) << fine << -1;
    // A later wall clock at a more easterly offset can be the earlier instant.
    QTest::newRow("later clock, earlier instant") << at(2015, 3, 5, 13, 0, 0, 120) << at(2015, 3, 5, 12, 0, 0, 0)
                                                  << -1;
    // Out of range years all collapse to total 0 and compare equal.
    QTest::newRow("out of range years") << at(1200, 1, 1, 0, 0, 0, 0) << at(1300, 5, 5, 5, 5, 5, 0) << 0;
}

void tst_Time::compare()
{
    QFETCH(Time, a);
    QFETCH(Time, b);
    QFETCH(int, order);
    QCOMPARE(a == b, order == 0);
    QCOMPARE(a != b, order != 0);
    QCOMPARE(a < b, order < 0);
    QCOMPARE(b < a, order > 0);
    QCOMPARE(b > a, order < 0);
    QCOMPARE(a <= b && a >= b, order == 0);
}

void tst_Time::differencesAndParts()
{
    const Time a = at(2015, 3, 5, 12, 0, 0, 0);
    const Time b = at(2015, 3, 7, 18, 0, 0, 0);
    QCOMPARE(qint64(a.differenceInSeconds(b)), qint64(2 * 86400 + 6 * 3600));
    QCOMPARE(qint64(b.differenceInSeconds(a)), qint64(2 * 86400 + 6 * 3600));
    QCOMPARE(a.differenceInMinutes(b), 3240.0);
    QCOMPARE(a.differenceInHours(b), 54.0);
    QCOMPARE(a.differenceInDays(b), 2.25);

    Time day = at(2015, 3, 5, 14, 7, 9, 60);
    day.setMicrosecond(5);
    Time clock = day;
    day.setToDate();
    QCOMPARE(fields(day), QStringLiteral("2015-3-5 0:0:0.0 +0"));
    clock.setToTime();
    QCOMPARE(fields(clock), QStringLiteral("0-0-0 14:7:9.5 +60"));
    QVERIFY(Time(false).isZero() && !day.isZero());

    // An offset splits into signed hours and unsigned minutes; under an hour
    // west, the hours are 0.
    const struct { int offset; int hours; unsigned minutes; } offsets[] = {{-330, -5, 30}, {345, 5, 45}, {-30, 0, 30}};
    for (const auto& c : offsets) {
        Time t(false);
        t.setUTCOffset(c.offset);
        int h = 99;
        unsigned m = 99;
        t.getUTCOffset(h, m);
        QCOMPARE(h, c.hours);
        QCOMPARE(m, c.minutes);
        QCOMPARE(t.getUTCOffset(), c.offset);
    }
}

void tst_Time::localOffset()
{
    const struct { const char* zone; int offset; } zones[] = {
        {"UTC0", 0}, {"XST5", -300}, {"XIT-5:30", 330}, {"XNZ-13", 780}};
    for (const auto& c : zones) {
        TimeZone fixed(c.zone);
        QCOMPARE(Time::getLocalUTCOffset(), c.offset);
        const Time now(true);
        QCOMPARE(now.getUTCOffset(), c.offset);
    }
}

void tst_Time::currentTime()
{
    TimeZone fixed("XIT-5:30");
    // std::time() reads the coarse clock on glibc, which can lag the precise
    // clock behind Time(true) by a tick; read the precise clock for bounds.
    const auto seconds = [] {
        return std::time_t(std::chrono::duration_cast<std::chrono::seconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count());
    };
    const std::time_t before = seconds();
    const Time now(true);
    const std::time_t after = seconds();
    QVERIFY(now.getTotalSeconds() >= before);
    QVERIFY(now.getTotalSeconds() <= after);
    QVERIFY(now.getMicrosecond() < 1000000u);

    // The day of the week comes from the calendar (Sunday = 0).
    std::tm local{};
    localtime_r(&before, &local);
    if (unsigned(local.tm_mday) == now.getDay())
        QCOMPARE(now.getDayOfWeek(), unsigned(local.tm_wday));
    QVERIFY(!now.isZero());
    QVERIFY(!ToString(now).value().empty());
}

// Day, month and year right-aligned; nothing for the zero time or a year
// that does not fit.
void tst_Time::text()
{
    const struct { Time time; const char* text; } cases[] = {
        {at(2015, 3, 5, 0, 0, 0, 0), " 5/ 3/2015"}, {at(2015, 12, 25, 10, 0, 0, 0), "25/12/2015"},
        {at(815, 1, 10, 0, 0, 0, 0), "10/ 1/ 815"}, {at(10000, 1, 1, 0, 0, 0, 0), ""}, {Time(false), ""},
        {at(0, 0, 0, 14, 7, 9, 0), " 0/ 0/   0"}};
    for (const auto& c : cases)
        QCOMPARE(ToString(c.time).value().qString(), QString::fromLatin1(c.text));
}

QTEST_GUILESS_MAIN(tst_Time)
#include "tst_Time.moc"
