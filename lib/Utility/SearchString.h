#ifndef VANTORIX_UTILITY_SEARCHSTRING_H
#define VANTORIX_UTILITY_SEARCHSTRING_H

#include "Utility/String.h"

namespace vantorix {

// A wildcard pattern of the form prefix*middle*suffix (the wildcard is one
// character in practice). An empty pattern matches everything; a pattern
// without the wildcard matches only the identical text.
class SearchString {
public:
    SearchString(const String& pattern, const String& wildcard);
    SearchString& operator=(const String& pattern);

    bool operator==(const String& text) const;
    String getString() const;

private:
    void initialise(const String& pattern);

    String m_wildcard;
    String m_prefix;
    String m_middle;
    String m_suffix;
    bool m_literal = true;
    bool m_empty = true;
    bool m_singleWildcard = false;
};

} // namespace vantorix

#endif
