#ifndef VANTORIX_TESTS_COMMON_TIMEZONE_H
#define VANTORIX_TESTS_COMMON_TIMEZONE_H

#include <QByteArray>
#include <QtGlobal>

#include <ctime>

// Sets TZ for as long as it lives (so local offsets are fixed) and restores it after.
class TimeZone {
public:
    explicit TimeZone(const char* zone) : m_saved(qgetenv("TZ")), m_had(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~TimeZone()
    {
        if (m_had)
            qputenv("TZ", m_saved);
        else
            qunsetenv("TZ");
        tzset();
    }
    TimeZone(const TimeZone&) = delete;
    TimeZone& operator=(const TimeZone&) = delete;

private:
    QByteArray m_saved;
    bool m_had;
};

#endif
