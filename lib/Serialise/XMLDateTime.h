#ifndef VANTORIX_SERIALISE_XMLDATETIME_H
#define VANTORIX_SERIALISE_XMLDATETIME_H

#include "Serialise/XMLShipping.h"
#include "Utility/Time.h"

namespace vantorix {

// A date-time leaf in the XML Schema text form, bound to a Time (the caller's,
// or one of its own that starts at the zero time). The format says which
// parts are written and read:
//   0 dateTimeFormat       2015-03-05T14:07:09
//   1 dateFormat           2015-03-05
//   2 timeFormat           14:07:09
//   3 dateTimeZoneFormat   2015-03-05T14:07:09+13:00  ("Z" at offset 0)
//   4 timeZoneFormat       14:07:09-05:30
// Reading is a fixed-position parse: every field is exactly two digits, and a
// text that breaks the form fails the read (and so the import).
class XMLDateTime : public XMLUnit {
public:
    enum Format : int { dateTimeFormat = 0, dateFormat = 1, timeFormat = 2, dateTimeZoneFormat = 3, timeZoneFormat = 4 };

    XMLDateTime(Time& value, const char* tag, bool isAttribute = false, const char* nameSpace = nullptr,
                int format = dateTimeZoneFormat);
    // Bound to a Time of its own.
    XMLDateTime(const char* tag, bool isAttribute = false, const char* nameSpace = nullptr,
                int format = dateTimeZoneFormat);
    XMLDateTime(const XMLDateTime&) = delete;
    XMLDateTime& operator=(const XMLDateTime&) = delete;
    ~XMLDateTime() override;

    Time& getTime() const { return *m_time; }
    // The format (see above).
    int getContent() const { return m_format; }
    // Whether a value was read since the last setDefault().
    bool isRead() const { return m_read; }

    bool write(String& text) override;
    const char* getTag() const override { return m_tag; }
    const char* getNameSpace() const override { return m_nameSpace; }
    void setTag(const char* tag) override { m_tag = tag; }
    // The current time (its date only for format 1, its time of day only for
    // format 2); not read, valid.
    void setDefault() override;
    bool read(const String& text) override;
    bool validate() override { return m_valid; }

    // The text of a time in a format, as write() gives it; false when a field
    // does not fit (a year beyond 9999).
    static bool format(const Time& time, int format, String& text);
    // Parses text in a format into time; false when it breaks the form.
    static bool parse(const String& text, int format, Time& time);

private:
    Time m_own;
    Time* m_time;
    const char* m_tag;
    const char* m_nameSpace;
    int m_format;
    bool m_read = false;
    bool m_valid = true;
};

} // namespace vantorix

#endif
