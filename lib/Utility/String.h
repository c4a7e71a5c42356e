#ifndef VANTORIX_UTILITY_STRING_H
#define VANTORIX_UTILITY_STRING_H

#include <QByteArray>
#include <QString>

#include <vector>

namespace vantorix {

// The library's one text type: a thin value type over QString (UTF-16 code
// units). Positions and counts are code units; npos (-1) means "no position"
// as a result and "to the end" as a count. Comparisons are case-sensitive and
// ordinal. data() keeps the UTF-8 form in a cache that lives until the next
// data()/dataLength() call, so one object must not be shared between threads.
class String {
public:
    static const int npos;
    static const char* const emptyString;
    static const char* const lineEnding;
    static const char* const whiteSpace;
    static const char* const lineEnd;
    static const char* const digits;
    static const char* const numeric;

    String() = default;
    String(const QString& text);
    String(const char* s, int n = npos);
    String(int count, char c);
    String(const String& s, int pos, int n);
    String(const String& s);
    String(String&& s) noexcept;
    virtual ~String();

    // Returns a new copy owned by the caller.
    virtual String* clone() const;
    virtual operator QString&() const;
    virtual void clear();

    String& operator=(const String& s);
    String& operator=(String&& s) noexcept;
    String& operator=(const char* s);

    bool operator==(const String& s) const { return m_text == s.m_text; }
    bool operator!=(const String& s) const { return m_text != s.m_text; }
    bool operator==(const char* s) const;
    bool operator!=(const char* s) const { return !(*this == s); }
    bool operator<(const String& s) const;
    bool operator>(const String& s) const { return s < *this; }

    int size() const { return m_text.size(); }
    int length() const { return m_text.size(); }
    bool empty() const { return m_text.isEmpty(); }

    // The character at i narrowed to Latin-1 (0 outside it); i == npos throws
    // std::out_of_range.
    char operator[](int i) const;
    const char* data() const;
    int dataLength(int n = npos) const;
    QByteArray toByteArray() const { return m_text.toUtf8(); }
    const QString& qString() const { return m_text; }

    String& operator+=(const String& s) { return append(s); }
    String& operator+=(const char* s) { return append(s); }
    String& operator+=(char c) { return append(c); }
    String& append(const String& s);
    String& append(const char* s, int n = npos);
    String& append(char c);
    String& append(const QByteArray& bytes, int pos, int n);
    String& insert(int pos, const String& s, int subpos = 0, int sublen = npos);
    String& replace(int pos, int n, const String& s, int subpos = 0, int sublen = npos);
    String& erase(int pos, int n = npos);
    String& set(int pos, char c);
    String& reverse();

    String substr(int pos, int n = npos) const;
    String toUppercase() const { return String(m_text.toUpper()); }
    String toLowercase() const { return String(m_text.toLower()); }

    int find(const String& s, int pos = 0) const;
    int find(const char* s, int pos = 0, int n = npos) const;
    int find(char c, int pos = 0) const;
    int rfind(const String& s, int pos = npos) const;
    int rfind(const char* s, int pos, int n) const;
    // Tries the characters of set in their order and returns where the first
    // one that occurs at all is found - not necessarily the earliest position.
    int findFirstOf(const String& set, int pos = 0) const;
    int findFirstOf(const char* set, int pos = 0) const { return findFirstOf(String(set), pos); }
    int findLastOf(const String& s, int pos = npos) const { return rfind(s, pos); }
    int findLastOf(const char* s, int pos = npos) const { return findLastOf(String(s), pos); }
    int findFirstNotOf(const String& set, int pos = 0) const;
    int findFirstNotOf(const char* set, int pos = 0) const { return findFirstNotOf(String(set), pos); }
    int findLastNotOf(const String& set, int pos = npos) const;
    int findLastNotOf(const char* set, int pos = npos) const { return findLastNotOf(String(set), pos); }

    void split(const String& delimiter, std::vector<String>& parts) const;

private:
    mutable QString m_text;
    mutable QByteArray m_bytes;
};

String operator+(const String& a, const String& b);
String operator+(const String& a, const char* b);
String operator+(const char* a, const String& b);

// Replaces every occurrence of what by by, resuming after each insertion.
void replaceAll(String& s, const String& what, const String& by);
// Replaces each character of set (found with findFirstOf) by by.
void replaceAllOf(String& s, const String& set, const String& by);
// With an empty replacement: trims the characters of set from the start
// (leading) and the end (trailing).
void replaceEnclosing(String& s, const String& set, const String& replacement, bool leading, bool trailing);
bool findQuoted(String& s, int& start, int& end, const String& quotes);
// Right-aligns s in width characters by putting copies of filler before it.
bool padRight(String& s, int width, const String& filler);
double round(const double& x, double step);
// The number with exactly two decimals: 2.05 -> "2.05", 10.5 -> "10.50".
String getVersionString(double v);

} // namespace vantorix

#endif
