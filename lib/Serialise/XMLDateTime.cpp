#include "Serialise/XMLDateTime.h"

namespace vantorix {

namespace {

bool hasDate(int format)
{
    return format == XMLDateTime::dateTimeFormat || format == XMLDateTime::dateFormat
        || format == XMLDateTime::dateTimeZoneFormat;
}

bool hasTime(int format)
{
    return format != XMLDateTime::dateFormat;
}

bool hasZone(int format)
{
    return format == XMLDateTime::dateTimeZoneFormat || format == XMLDateTime::timeZoneFormat;
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Exactly two decimal digits at pos.
bool twoDigits(const QString& text, int pos, unsigned& value)
{
    if (pos + 2 > text.size() || !isAsciiDigit(text[pos]) || !isAsciiDigit(text[pos + 1]))
        return false;
    value = unsigned(text[pos].unicode() - '0') * 10 + unsigned(text[pos + 1].unicode() - '0');
    return true;
}

bool charAt(const QString& text, int pos, char c)
{
    return pos < text.size() && text[pos] == QLatin1Char(c);
}

void appendTwoDigits(QString& text, unsigned value)
{
    text.append(QLatin1Char(char('0' + value / 10 % 10)));
    text.append(QLatin1Char(char('0' + value % 10)));
}

} // namespace

XMLDateTime::XMLDateTime(Time& value, const char* tag, bool isAttribute, const char* nameSpace, int format)
    : XMLUnit(isAttribute), m_time(&value), m_tag(tag), m_nameSpace(nameSpace), m_format(format)
{
}

XMLDateTime::XMLDateTime(const char* tag, bool isAttribute, const char* nameSpace, int format)
    : XMLUnit(isAttribute), m_time(&m_own), m_tag(tag), m_nameSpace(nameSpace), m_format(format)
{
}

XMLDateTime::~XMLDateTime() = default;

bool XMLDateTime::format(const Time& time, int format, String& text)
{
    if (format < dateTimeFormat || format > timeZoneFormat)
        return false;
    QString out;
    if (hasDate(format)) {
        const unsigned year = time.getYear();
        if (year > 9999 || time.getMonth() > 99 || time.getDay() > 99)
            return false;
        appendTwoDigits(out, year / 100);
        appendTwoDigits(out, year % 100);
        out.append(QLatin1Char('-'));
        appendTwoDigits(out, time.getMonth());
        out.append(QLatin1Char('-'));
        appendTwoDigits(out, time.getDay());
        if (hasTime(format))
            out.append(QLatin1Char('T'));
    }
    if (hasTime(format)) {
        appendTwoDigits(out, time.getHour());
        out.append(QLatin1Char(':'));
        appendTwoDigits(out, time.getMinute());
        out.append(QLatin1Char(':'));
        appendTwoDigits(out, time.getSecond());
    }
    if (hasZone(format)) {
        const int offset = time.getUTCOffset();
        if (offset == 0) {
            out.append(QLatin1Char('Z'));
        } else {
            int hours = 0;
            unsigned minutes = 0;
            time.getUTCOffset(hours, minutes);
            const unsigned absoluteHours = unsigned(hours < 0 ? -hours : hours);
            if (absoluteHours > 99)
                return false;
            out.append(QLatin1Char(offset < 0 ? '-' : '+'));
            appendTwoDigits(out, absoluteHours);
            out.append(QLatin1Char(':'));
            appendTwoDigits(out, minutes);
        }
    }
    text = String(out);
    return true;
}

bool XMLDateTime::parse(const String& text, int format, Time& time)
{
    if (format < dateTimeFormat || format > timeZoneFormat)
        return false;
    // Blanks and line breaks around the value (a hand-edited or pretty-printed
    // file) are not part of it.
    const QString s = text.qString().trimmed();
    const int minimum = format == dateFormat ? 10 : (hasDate(format) ? 19 : 8);
    if (s.size() < minimum)
        return false;

    unsigned century = 0, yearOfCentury = 0, month = 0, day = 0;
    unsigned hour = 0, minute = 0, second = 0;
    int pos = 0;
    if (hasDate(format)) {
        if (!twoDigits(s, 0, century) || !twoDigits(s, 2, yearOfCentury) || !charAt(s, 4, '-')
            || !twoDigits(s, 5, month) || !charAt(s, 7, '-') || !twoDigits(s, 8, day))
            return false;
        // A day that the month does not have (30 February) is refused too:
        // it would make a time that denotes no instant.
        if (month < 1 || month > 12 || day < 1 || day > 31
            || !Time::isValidDate(century * 100 + yearOfCentury, month, day))
            return false;
        pos = 10;
        if (hasTime(format)) {
            if (!charAt(s, pos, 'T'))
                return false;
            ++pos;
        }
    }
    if (hasTime(format)) {
        if (!twoDigits(s, pos, hour) || !charAt(s, pos + 2, ':') || !twoDigits(s, pos + 3, minute)
            || !charAt(s, pos + 5, ':') || !twoDigits(s, pos + 6, second))
            return false;
        if (hour >= 24 || minute >= 60 || second >= 60)
            return false;
        pos += 8;
    }

    int offset = 0;
    if (format == dateTimeFormat || format == timeFormat) {
        offset = Time::getLocalUTCOffset();
    } else if (hasZone(format)) {
        // A fraction of a second is skipped, however many digits it has.
        if (charAt(s, pos, '.')) {
            ++pos;
            if (pos >= s.size() || !isAsciiDigit(s[pos]))
                return false;
            while (pos < s.size() && isAsciiDigit(s[pos]))
                ++pos;
        }
        if (charAt(s, pos, 'Z') || charAt(s, pos, 'z')) {
            offset = 0;
        } else if (charAt(s, pos, '+') || charAt(s, pos, '-')) {
            unsigned zoneHours = 0, zoneMinutes = 0;
            if (!twoDigits(s, pos + 1, zoneHours) || !charAt(s, pos + 3, ':') || !twoDigits(s, pos + 4, zoneMinutes)
                || zoneMinutes >= 60)
                return false;
            offset = int(zoneHours * 60 + zoneMinutes);
            if (charAt(s, pos, '-'))
                offset = -offset;
        } else if (pos < s.size()) {
            return false;  // not a zone
        }
    }

    Time parsed(century * 100 + yearOfCentury, month, day, hour, minute, second);
    parsed.setUTCOffset(offset);
    time = parsed;
    return true;
}

bool XMLDateTime::write(String& text)
{
    return format(*m_time, m_format, text);
}

void XMLDateTime::setDefault()
{
    m_read = false;
    m_valid = true;
    *m_time = Time(true);
    if (m_format == dateFormat)
        m_time->setToDate();
    else if (m_format == timeFormat)
        m_time->setToTime();
}

bool XMLDateTime::read(const String& text)
{
    m_read = true;
    m_valid = false;
    Time parsed(false);
    if (!parse(text, m_format, parsed))
        return false;
    *m_time = parsed;
    m_valid = true;
    return true;
}

} // namespace vantorix
