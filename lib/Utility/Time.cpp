#include "Utility/Time.h"

#include "Utility/Convert.h"

#include <boost/date_time/c_local_time_adjustor.hpp>
#include <boost/date_time/gregorian_calendar.hpp>
#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <boost/date_time/year_month_day.hpp>

#include <cstdlib>

namespace vantorix {

namespace {

// Calendar arithmetic on plain integers: boost's gregorian::date refuses the
// year 10000, which still has to give a total.
using YearMonthDay = boost::date_time::year_month_day_base<unsigned, unsigned short, unsigned short>;
using Calendar = boost::date_time::gregorian_calendar_base<YearMonthDay, long>;

const long unixEpochDay = Calendar::day_number(YearMonthDay(1970, 1, 1));

using LocalAdjustor = boost::date_time::c_local_adjustor<boost::posix_time::ptime>;

// Local minus UTC of one instant, in minutes.
int offsetMinutes(const boost::posix_time::ptime& local, const boost::posix_time::ptime& utc)
{
    return static_cast<int>((local - utc).total_seconds() / 60);
}

} // namespace

Time::Time(bool now)
{
    if (now) {
        setToCurrent();
    } else {
        setMonth(1);
        setDay(1);
    }
}

Time::Time(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute, unsigned second)
{
    setYear(year);
    setMonth(month);
    setDay(day);
    setHour(hour);
    setMinute(minute);
    setSecond(second);
}

void Time::setToCurrent()
{
    // Local time and offset are derived from one reading of the clock, so a
    // change of daylight saving time between two readings cannot mix them.
    const boost::posix_time::ptime utc = boost::posix_time::microsec_clock::universal_time();
    const boost::posix_time::ptime local = LocalAdjustor::utc_to_local(utc);
    const boost::gregorian::date date = local.date();
    const boost::posix_time::time_duration clock = local.time_of_day();
    m_word = 0;
    setYear(date.year());
    setMonth(date.month());
    setDayOfWeek(date.day_of_week());
    setDay(date.day());
    setHour(static_cast<unsigned>(clock.hours()));
    setMinute(static_cast<unsigned>(clock.minutes()));
    setSecond(static_cast<unsigned>(clock.seconds()));
    const long long ticksPerMicrosecond = boost::posix_time::time_duration::ticks_per_second() / 1000000;
    setMicrosecond(static_cast<unsigned>(clock.fractional_seconds() / (ticksPerMicrosecond > 0 ? ticksPerMicrosecond : 1)));
    setUTCOffset(offsetMinutes(local, utc));
}

int Time::getLocalUTCOffset()
{
    const boost::posix_time::ptime utc = boost::posix_time::second_clock::universal_time();
    return offsetMinutes(LocalAdjustor::utc_to_local(utc), utc);
}

void Time::getUTCOffset(int& hours, unsigned& minutes) const
{
    hours = m_offset / 60;
    minutes = static_cast<unsigned>(std::abs(int(m_offset)) - std::abs(hours) * 60);
}

void Time::setUTCOffset(int minutes)
{
    m_offset = static_cast<std::int16_t>(minutes);
}

void Time::setToDate()
{
    setHour(0);
    setMinute(0);
    setSecond(0);
    setMicrosecond(0);
    m_offset = 0;
}

void Time::setToTime()
{
    setYear(0);
    setMonth(0);
    setDay(0);
}

bool Time::isZero() const
{
    return getYear() == 0 && getMonth() == 1 && getDay() == 1 && getHour() == 0 && getMinute() == 0
        && getSecond() == 0 && getMicrosecond() == 0 && m_offset == 0;
}

bool Time::isValidDate(unsigned year, unsigned month, unsigned day)
{
    return month >= 1 && month <= 12 && day >= 1
        && day <= Calendar::end_of_month_day(year, static_cast<unsigned short>(month));
}

std::int64_t Time::getTotalSeconds() const
{
    const unsigned year = getYear();
    const unsigned month = getMonth();
    const unsigned day = getDay();
    if (year < 1400 || year > 10000 || !isValidDate(year, month, day))
        return 0;
    const long days = Calendar::day_number(YearMonthDay(year, static_cast<unsigned short>(month),
                                                        static_cast<unsigned short>(day)))
        - unixEpochDay;
    return std::int64_t(days) * 86400 + std::int64_t(getHour()) * 3600 + std::int64_t(getMinute()) * 60
        + getSecond() - std::int64_t(m_offset) * 60;
}

bool Time::operator<(const Time& other) const
{
    const std::int64_t mine = getTotalSeconds();
    const std::int64_t theirs = other.getTotalSeconds();
    if (mine != theirs)
        return mine < theirs;
    return getMicrosecond() < other.getMicrosecond();
}

bool Time::operator==(const Time& other) const
{
    return getMicrosecond() == other.getMicrosecond() && getTotalSeconds() == other.getTotalSeconds();
}

std::int64_t Time::differenceInSeconds(const Time& other) const
{
    const std::int64_t difference = getTotalSeconds() - other.getTotalSeconds();
    return difference < 0 ? -difference : difference;
}

double Time::differenceInMinutes(const Time& other) const
{
    return double(differenceInSeconds(other)) / 60.0;
}

double Time::differenceInHours(const Time& other) const
{
    return double(differenceInSeconds(other)) / 3600.0;
}

double Time::differenceInDays(const Time& other) const
{
    return double(differenceInSeconds(other)) / 86400.0;
}

// Declared with the other text conversions; defined here beside Time.
ToString::ToString(const Time& value)
{
    if (value.isZero())
        return;
    String day(QString::number(value.getDay()));
    String month(QString::number(value.getMonth()));
    String year(QString::number(value.getYear()));
    const String blank(" ");
    if (!padRight(day, 2, blank) || !padRight(month, 2, blank) || !padRight(year, 4, blank))
        return;
    m_value = day + "/" + month + "/" + year;
}

} // namespace vantorix
