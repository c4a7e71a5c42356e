#include "Serialise/XMLGlossary.h"

#include <cstring>

namespace vantorix {

XMLGlossary::XMLGlossary()
{
    emplace(String("amp"), String("&"));
    emplace(String("apos"), String("'"));
    emplace(String("gt"), String(">"));
    emplace(String("lt"), String("<"));
    emplace(String("quot"), String("\""));
    // Every replacement is a single ASCII character, so escaping them in key
    // order is the same as replacing each one in a single pass.
    for (const auto& entry : *this) {
        const QByteArray character = entry.second.toByteArray();
        if (character.size() != 1)
            continue;
        const unsigned char c = static_cast<unsigned char>(character.at(0));
        m_entries.emplace_back(entry.first.toByteArray(), character.at(0));
        if (m_names[c] == nullptr) {
            m_nameText[c] = "&" + entry.first.toByteArray() + ";";
            m_names[c] = m_nameText[c].constData();
        }
    }
}

char XMLGlossary::lookup(const char* name, int length) const
{
    for (const auto& entry : m_entries) {
        if (entry.first.size() == length && std::memcmp(entry.first.constData(), name, static_cast<size_t>(length)) == 0)
            return entry.second;
    }
    return '\0';
}

bool XMLGlossary::needsEscape(const char* bytes, int size) const
{
    for (int i = 0; i < size; ++i) {
        if (m_names[static_cast<unsigned char>(bytes[i])] != nullptr)
            return true;
    }
    return false;
}

void XMLGlossary::escape(const char* bytes, int size, QByteArray& out) const
{
    int start = 0;
    for (int i = 0; i < size; ++i) {
        const char* name = m_names[static_cast<unsigned char>(bytes[i])];
        if (name == nullptr)
            continue;
        out.append(bytes + start, i - start);
        out.append(name);
        start = i + 1;
    }
    out.append(bytes + start, size - start);
}

} // namespace vantorix
