#ifndef VANTORIX_UTILITY_TIME_H
#define VANTORIX_UTILITY_TIME_H

#include <cstdint>

namespace vantorix {

// A calendar date and time of day with microseconds, taken as local time at a
// given offset from UTC. The fields are packed into one 64-bit word:
//   bits  0-14 year, 15-18 month, 19-21 day of the week (Sunday = 0),
//   22-26 day of the month, 27-31 hour, 32-37 minute, 38-43 second,
//   44-63 microsecond
// and the offset is kept beside it in minutes (local minus UTC, east positive).
// The zero time (year 0, 1 January, midnight, offset 0) stands for "no time".
// Times compare by the instant they denote, so the same instant written at two
// offsets compares equal.
class Time {
public:
    // The current local time when now is true, else the zero time.
    explicit Time(bool now = false);
    // Those fields with microseconds 0 and offset 0; the day of the week is
    // left at 0 (not computed).
    Time(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute, unsigned second);

    // The system clock's local time (microsecond resolution), the day of the
    // week and the current local offset.
    void setToCurrent();
    // The current local offset from UTC in minutes (local minus UTC).
    static int getLocalUTCOffset();

    // hours keeps the sign of the offset; minutes is the unsigned remainder,
    // so -330 gives -5 and 30.
    void getUTCOffset(int& hours, unsigned& minutes) const;
    int getUTCOffset() const { return m_offset; }
    void setUTCOffset(int minutes);

    unsigned getYear() const { return field(yearShift, yearBits); }
    unsigned getMonth() const { return field(monthShift, monthBits); }
    unsigned getDayOfWeek() const { return field(weekdayShift, weekdayBits); }
    unsigned getDay() const { return field(dayShift, dayBits); }
    unsigned getHour() const { return field(hourShift, hourBits); }
    unsigned getMinute() const { return field(minuteShift, minuteBits); }
    unsigned getSecond() const { return field(secondShift, secondBits); }
    unsigned getMicrosecond() const { return field(microsecondShift, microsecondBits); }

    // Each setter keeps only as many low bits of its argument as the field has.
    void setYear(unsigned year) { setField(yearShift, yearBits, year); }
    void setMonth(unsigned month) { setField(monthShift, monthBits, month); }
    void setDayOfWeek(unsigned weekday) { setField(weekdayShift, weekdayBits, weekday); }
    void setDay(unsigned day) { setField(dayShift, dayBits, day); }
    void setHour(unsigned hour) { setField(hourShift, hourBits, hour); }
    void setMinute(unsigned minute) { setField(minuteShift, minuteBits, minute); }
    void setSecond(unsigned second) { setField(secondShift, secondBits, second); }
    void setMicrosecond(unsigned microsecond) { setField(microsecondShift, microsecondBits, microsecond); }

    // Keeps the date; time of day, microseconds and offset become 0.
    void setToDate();
    // Keeps the time of day; year, month and day become 0.
    void setToTime();

    // True for the zero time, the value that stands for "no time set".
    bool isZero() const;
    // Whether the day exists in the Gregorian calendar (month 1-12, day 1 to
    // the month's length); any year is allowed.
    static bool isValidDate(unsigned year, unsigned month, unsigned day);

    // Seconds from 1970-01-01T00:00:00Z to this time (the fields minus the
    // offset); 0 outside the years 1400 to 10000 or for an impossible date.
    std::int64_t getTotalSeconds() const;

    bool operator<(const Time& other) const;
    bool operator==(const Time& other) const;
    bool operator!=(const Time& other) const { return !(*this == other); }
    bool operator<=(const Time& other) const { return !(other < *this); }
    bool operator>(const Time& other) const { return other < *this; }
    bool operator>=(const Time& other) const { return !(*this < other); }

    // |total seconds - other's total seconds|, and that in larger units.
    std::int64_t differenceInSeconds(const Time& other) const;
    double differenceInMinutes(const Time& other) const;
    double differenceInHours(const Time& other) const;
    double differenceInDays(const Time& other) const;

private:
    enum : unsigned {
        yearShift = 0, yearBits = 15,
        monthShift = 15, monthBits = 4,
        weekdayShift = 19, weekdayBits = 3,
        dayShift = 22, dayBits = 5,
        hourShift = 27, hourBits = 5,
        minuteShift = 32, minuteBits = 6,
        secondShift = 38, secondBits = 6,
        microsecondShift = 44, microsecondBits = 20
    };

    unsigned field(unsigned shift, unsigned bits) const
    {
        return static_cast<unsigned>((m_word >> shift) & ((std::uint64_t(1) << bits) - 1));
    }
    void setField(unsigned shift, unsigned bits, unsigned value)
    {
        const std::uint64_t mask = ((std::uint64_t(1) << bits) - 1) << shift;
        m_word = (m_word & ~mask) | ((std::uint64_t(value) << shift) & mask);
    }

    std::uint64_t m_word = 0;
    std::int16_t m_offset = 0;
};

} // namespace vantorix

#endif
