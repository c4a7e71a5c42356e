#include "Catalogue/ReleaseUrl.h"

namespace vantorix {

namespace {
// The URL is the element's own text: a leaf without a tag of its own.
const char* const childTags[] = {"locale", "sha256", ""};
} // namespace

const char* const ReleaseUrl::tag = "releaseurl";

ReleaseUrl::ReleaseUrl() : m_language(defaultLanguage) {}

ReleaseUrl::ReleaseUrl(const String& language, const String& url) : m_language(language), m_url(url) {}

ReleaseUrl::~ReleaseUrl() = default;

String ReleaseUrl::choose(const std::vector<ReleaseUrl>& list, const String& language)
{
    const ReleaseUrl* entry = chooseEntry(list, language);
    return entry != nullptr ? entry->m_url : String();
}

const ReleaseUrl* ReleaseUrl::chooseEntry(const std::vector<ReleaseUrl>& list, const String& language)
{
    const QString wanted = language.qString().toLower();
    const QString international = QString::fromLatin1(defaultLanguage).toLower();
    const ReleaseUrl* fallback = nullptr;
    for (const ReleaseUrl& entry : list) {
        const QString entryLanguage = entry.m_language.qString().toLower();
        if (entryLanguage == wanted)
            return &entry;
        if (entryLanguage == international)
            fallback = &entry;
    }
    return fallback;
}

ShippingPtr ReleaseUrl::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0: return shipIf(!m_language.empty(), m_language, childTags[0], true);
    case 1: return shipIf(!m_sha256.empty(), m_sha256, childTags[1], true);
    case 2: return ship(m_url, childTags[2]);
    default: return nullptr;
    }
}

ShippingPtr ReleaseUrl::getShipping(const String& tag, const String&)
{
    // Only the attributes have names; the text comes through read().
    return childByTag(tag, childTags, 2);
}

void ReleaseUrl::setDefault()
{
    m_language = defaultLanguage;
    m_url.clear();
    m_sha256.clear();
}

bool ReleaseUrl::read(const String& text)
{
    m_url += text;
    return true;
}

} // namespace vantorix
