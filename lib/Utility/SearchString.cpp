#include "Utility/SearchString.h"

namespace vantorix {

SearchString::SearchString(const String& pattern, const String& wildcard) : m_wildcard(wildcard)
{
    initialise(pattern);
}

SearchString& SearchString::operator=(const String& pattern)
{
    initialise(pattern);
    return *this;
}

void SearchString::initialise(const String& pattern)
{
    m_singleWildcard = false;
    m_prefix.clear();
    m_middle.clear();
    m_suffix.clear();
    m_empty = pattern.empty();
    const int first = pattern.find(m_wildcard);
    m_literal = first == String::npos;
    if (m_literal) {
        m_middle = pattern;
        return;
    }
    const int last = pattern.rfind(m_wildcard);
    m_singleWildcard = first == last;
    const int wildcardSize = m_wildcard.size();
    m_prefix = pattern.substr(0, first);
    m_suffix = pattern.substr(last + wildcardSize);
    if (first + wildcardSize < last)
        m_middle = pattern.substr(first + wildcardSize, last - first - wildcardSize);
}

bool SearchString::operator==(const String& text) const
{
    if (m_empty)
        return true;
    if (m_literal)
        return text == m_middle;
    const QString& subject = text.qString();
    if (!m_prefix.empty() && !subject.startsWith(m_prefix.qString()))
        return false;
    if (!m_suffix.empty() && !subject.endsWith(m_suffix.qString()))
        return false;
    // A prefix and suffix that overlap in the text cannot both match.
    if (m_prefix.size() + m_suffix.size() > subject.size())
        return false;
    if (m_middle.empty())
        return true;
    const QStringRef between = subject.midRef(m_prefix.size(), subject.size() - m_prefix.size() - m_suffix.size());
    return !between.isEmpty() && between.contains(m_middle.qString());
}

String SearchString::getString() const
{
    if (m_literal)
        return m_middle;
    String text = m_prefix + m_wildcard;
    // One wildcard must rebuild as one: "*.apx", not "**.apx".
    if (m_singleWildcard)
        return text + m_suffix;
    if (!m_middle.empty())
        text += m_middle;
    if (!m_suffix.empty())
        text += m_wildcard + m_suffix;
    return text;
}

} // namespace vantorix
