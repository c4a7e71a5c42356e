#ifndef VANTORIX_CATALOGUE_RELEASEURL_H
#define VANTORIX_CATALOGUE_RELEASEURL_H

#include "Serialise/XMLRecord.h"

#include <vector>

namespace vantorix {

// The language of a release location meant for every language ("INT").
extern const char* const defaultLanguage;

// One download location of a release: its language (attribute "locale",
// "INT" unless given) and the URL as the element's text.
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

    bool operator==(const ReleaseUrl& other) const
    {
        return m_language == other.m_language && m_url == other.m_url;
    }

    // The URL for a language out of a list: the first entry of the same
    // language (letter case ignored), else the last "INT" entry, else empty.
    static String choose(const std::vector<ReleaseUrl>& list, const String& language);

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 2; }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    void setDefault() override;
    // The URL arrives as the element's character data.
    bool read(const String& text) override;

private:
    String m_language;
    String m_url;
};

} // namespace vantorix

#endif
