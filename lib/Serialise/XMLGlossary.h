#ifndef VANTORIX_SERIALISE_XMLGLOSSARY_H
#define VANTORIX_SERIALISE_XMLGLOSSARY_H

#include "Utility/String.h"

#include <QByteArray>

#include <map>
#include <utility>
#include <vector>

namespace vantorix {

// The five predefined entities, name to character: "amp" &, "apos" ',
// "gt" >, "lt" <, "quot" ". Text is escaped in the order of the names, so
// "&" is escaped first and never twice.
class XMLGlossary : public std::map<String, String> {
public:
    XMLGlossary();

    // The byte that the entity name stands for, or 0 for none.
    char lookup(const char* name, int length) const;
    // Appends bytes to out with every glossary character escaped.
    void escape(const char* bytes, int size, QByteArray& out) const;
    // Whether any byte of bytes needs escaping.
    bool needsEscape(const char* bytes, int size) const;

private:
    // For each byte, the entity name that replaces it (null: kept).
    const char* m_names[256] = {};
    QByteArray m_nameText[256];
    // The entries as bytes, for lookups while reading.
    std::vector<std::pair<QByteArray, char>> m_entries;
};

} // namespace vantorix

#endif
