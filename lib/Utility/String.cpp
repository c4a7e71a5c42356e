#include "Utility/String.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace vantorix {

const int String::npos = -1;
const char* const String::emptyString = "";
const char* const String::lineEnding = "\r\n";
const char* const String::whiteSpace = " \t\r\n";
const char* const String::lineEnd = "\r";
const char* const String::digits = "0123456789";
const char* const String::numeric = "0123456789.-";

String::String(const QString& text) : m_text(text) {}

String::String(const char* s, int n)
{
    if (s == nullptr)
        return;
    m_text = QString::fromUtf8(s);
    if (n != npos)
        m_text.truncate(qMax(n, 0));
}

String::String(int count, char c) : m_text(qMax(count, 0), QChar::fromLatin1(c)) {}

String::String(const String& s, int pos, int n) : m_text(s.substr(pos, n).m_text) {}

String::String(const String& s) : m_text(s.m_text) {}

String::String(String&& s) noexcept : m_text(std::move(s.m_text)) {}

String::~String() = default;

String* String::clone() const
{
    return new String(*this);
}

String::operator QString&() const
{
    return m_text;
}

void String::clear()
{
    m_text.clear();
}

String& String::operator=(const String& s)
{
    m_text = s.m_text;
    return *this;
}

String& String::operator=(String&& s) noexcept
{
    m_text = std::move(s.m_text);
    return *this;
}

String& String::operator=(const char* s)
{
    m_text = s ? QString::fromUtf8(s) : QString();
    return *this;
}

bool String::operator==(const char* s) const
{
    return m_text == QString::fromUtf8(s ? s : "");
}

bool String::operator<(const String& s) const
{
    // QString's operator< is ordinal by UTF-16 code unit, independent of locale.
    return m_text < s.m_text;
}

char String::operator[](int i) const
{
    if (i == npos)
        throw std::out_of_range("");
    // Any other index outside the text reads as 0, as the end of a C string.
    if (i < 0 || i >= m_text.size())
        return '\0';
    return m_text.at(i).toLatin1();
}

const char* String::data() const
{
    m_bytes = m_text.toUtf8();
    return m_bytes.constData();
}

int String::dataLength(int n) const
{
    if (m_text.isEmpty())
        return 0;
    m_bytes = m_text.toUtf8();
    const int length = m_bytes.size();
    return (n != npos && n < length) ? n : length;
}

String& String::append(const String& s)
{
    m_text.append(s.m_text);
    return *this;
}

String& String::append(const char* s, int n)
{
    if (s == nullptr || *s == '\0')
        return *this;
    return append(String(s, n));
}

String& String::append(char c)
{
    m_text.append(QChar::fromLatin1(c));
    return *this;
}

String& String::append(const QByteArray& bytes, int pos, int n)
{
    if (pos < 0 || pos > bytes.size())
        return *this;
    m_text.append(QString::fromUtf8(bytes.mid(pos, n == npos ? -1 : n)));
    return *this;
}

String& String::insert(int pos, const String& s, int subpos, int sublen)
{
    return replace(pos, 0, s, subpos, sublen);
}

String& String::replace(int pos, int n, const String& s, int subpos, int sublen)
{
    if (pos < 0 || pos > m_text.size())
        return *this;
    if (n == npos)
        n = m_text.size() - pos;
    m_text.replace(pos, qMax(n, 0), s.substr(subpos, sublen).m_text);
    return *this;
}

String& String::erase(int pos, int n)
{
    if (pos < 0 || pos >= m_text.size())
        return *this;
    if (n == npos)
        m_text.truncate(pos);
    else if (n >= 1)
        m_text.remove(pos, n);
    return *this;
}

String& String::set(int pos, char c)
{
    if (pos >= 0 && pos < m_text.size())
        m_text[pos] = QChar::fromLatin1(c);
    return *this;
}

String& String::reverse()
{
    std::reverse(m_text.begin(), m_text.end());
    return *this;
}

String String::substr(int pos, int n) const
{
    if (pos < 0 || pos >= m_text.size())
        return String();
    if (n == npos)
        return String(m_text.mid(pos));
    if (n < 1)
        return String();
    return String(m_text.mid(pos, n));
}

int String::find(const String& s, int pos) const
{
    if (m_text.isEmpty() || s.m_text.isEmpty())
        return npos;
    return m_text.indexOf(s.m_text, qMax(pos, 0));
}

int String::find(const char* s, int pos, int n) const
{
    return find(String(s, n), pos);
}

int String::find(char c, int pos) const
{
    return m_text.indexOf(QChar::fromLatin1(c), qMax(pos, 0));
}

int String::rfind(const String& s, int pos) const
{
    if (m_text.isEmpty() || s.m_text.isEmpty())
        return npos;
    return m_text.lastIndexOf(s.m_text, pos == npos ? -1 : pos);
}

int String::rfind(const char* s, int pos, int n) const
{
    if (m_text.isEmpty())
        return npos;
    return rfind(String(s, n), pos);
}

int String::findFirstOf(const String& set, int pos) const
{
    const int from = qMax(pos, 0);
    for (const QChar c : set.m_text) {
        const int found = m_text.indexOf(c, from);
        if (found >= 0)
            return found;
    }
    return npos;
}

int String::findFirstNotOf(const String& set, int pos) const
{
    for (int i = qMax(pos, 0); i < m_text.size(); ++i) {
        if (!set.m_text.contains(m_text.at(i)))
            return i;
    }
    return npos;
}

int String::findLastNotOf(const String& set, int pos) const
{
    int limit = m_text.size();
    if (pos != npos) {
        if (pos < 0 || pos >= m_text.size())
            return npos;
        limit = m_text.size() - pos;
    }
    for (int i = limit - 1; i >= 0; --i) {
        if (!set.m_text.contains(m_text.at(i)))
            return i;
    }
    return npos;
}

void String::split(const String& delimiter, std::vector<String>& parts) const
{
    parts.clear();
    if (delimiter.empty()) {
        parts.push_back(*this);
        return;
    }
    int start = 0;
    for (;;) {
        const int found = m_text.indexOf(delimiter.m_text, start);
        if (found < 0)
            break;
        parts.emplace_back(m_text.mid(start, found - start));
        start = found + delimiter.size();
    }
    parts.emplace_back(m_text.mid(start));
}

String operator+(const String& a, const String& b)
{
    String result(a);
    return result.append(b);
}

String operator+(const String& a, const char* b)
{
    String result(a);
    return result.append(String(b));
}

String operator+(const char* a, const String& b)
{
    String result(a);
    return result.append(b);
}

void replaceAll(String& s, const String& what, const String& by)
{
    if (what.empty())
        return;
    int pos = 0;
    for (;;) {
        const int found = s.find(what, pos);
        if (found == String::npos)
            return;
        s.replace(found, what.size(), by);
        pos = found + by.size();
    }
}

void replaceAllOf(String& s, const String& set, const String& by)
{
    // Every character of the set is replaced, wherever it stands: scanning by
    // position (rather than set character by set character) so that an earlier
    // member of the set is not skipped after a later one was found first.
    if (set.empty())
        return;
    QString& text = s;
    const QString& members = set;
    const QString& replacement = by;
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (members.contains(c))
            result.append(replacement);
        else
            result.append(c);
    }
    text = result;
}

void replaceEnclosing(String& s, const String& set, const String& replacement, bool leading, bool trailing)
{
    QString& text = s;
    const QString& members = set;
    int begin = 0;
    int end = text.size();
    if (leading) {
        while (begin < end && members.contains(text.at(begin)))
            ++begin;
    }
    if (trailing) {
        while (end > begin && members.contains(text.at(end - 1)))
            --end;
    }
    const QString& insert = replacement;
    text = (begin > 0 && leading ? insert : QString()) + text.mid(begin, end - begin)
        + (end < text.size() && trailing ? insert : QString());
}

bool findQuoted(String& s, int& start, int& end, const String& quotes)
{
    const int open = s.findFirstOf(quotes, start);
    if (open == String::npos)
        return false;
    start = open + 1;
    end = s.qString().indexOf(s.qString().at(open), start);
    return end >= 0;
}

bool padRight(String& s, int width, const String& filler)
{
    if (s.size() == width)
        return true;
    if (filler.empty() || s.size() > width)
        return false;
    const int missing = width - s.size();
    const int copies = (missing + filler.size() - 1) / filler.size();
    String padded;
    for (int i = 0; i < copies; ++i)
        padded.append(filler);
    padded.append(s);
    s = padded.substr(padded.size() - width);
    return true;
}

double round(const double& x, double step)
{
    return std::floor(x / step + 0.5) * step;
}

String getVersionString(double v)
{
    // Versions come from stored data: a damaged value (not a number, infinite,
    // negative or beyond what a 64-bit count of hundredths holds) reads as 0.
    if (!std::isfinite(v) || v < 0.0 || v >= 1e15)
        v = 0.0;
    // Rounded first, then split: 9.999 is 1000 hundredths, so "10.00".
    const long long hundredths = static_cast<long long>(std::trunc(round(v * 100.0, 1.0)));
    const long long fraction = hundredths % 100;
    String text(QString::number(hundredths / 100));
    text += fraction < 10 ? ".0" : ".";
    text += String(QString::number(fraction));
    return text;
}

} // namespace vantorix
