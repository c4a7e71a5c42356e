#ifndef VANTORIX_CATALOGUE_RELEASEURL_H
#define VANTORIX_CATALOGUE_RELEASEURL_H

#include "Serialise/XMLRecord.h"

#include <vector>

namespace vantorix {

// The language of a release location meant for every language ("INT").
extern const char* const defaultLanguage;

// One download location of a release: its language (attribute "locale",
// "INT" unless given), optionally the SHA-256 digest of the file (attribute
// "sha256", hexadecimal, written only when known) and the URL as the
// element's text.
class ReleaseUrl : public XMLAssembly {
public:
    static const char* const tag;

    ReleaseUrl();
    ReleaseUrl(const String& language, const String& url);
    ReleaseUrl(const ReleaseUrl& other) = default;
    ReleaseUrl& operator=(const ReleaseUrl& other) = default;
    ~ReleaseUrl() override;

    const String& getLanguage() const { return m_language; }
    const String& getUrl() const { return m_url; }
    void setLanguage(const String& language) { m_language = language; }
    void setUrl(const String& url) { m_url = url; }
    // Lower-case hexadecimal, or empty when the catalogue gives none.
    const String& getSha256() const { return m_sha256; }
    void setSha256(const String& digest) { m_sha256 = digest; }

    bool operator==(const ReleaseUrl& other) const
    {
        return m_language == other.m_language && m_url == other.m_url && m_sha256 == other.m_sha256;
    }

    // The URL for a language out of a list: the first entry of the same
    // language (letter case ignored), else the last "INT" entry, else empty.
    static String choose(const std::vector<ReleaseUrl>& list, const String& language);
    // The entry choose() takes its URL from, or null.
    static const ReleaseUrl* chooseEntry(const std::vector<ReleaseUrl>& list, const String& language);

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 3; }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    void setDefault() override;
    // The URL arrives as the element's character data.
    bool read(const String& text) override;

private:
    String m_language;
    String m_url;
    String m_sha256;
};

} // namespace vantorix

#endif
