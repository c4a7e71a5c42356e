#ifndef INSTALLER_PRODUCTS_EULA_H
#define INSTALLER_PRODUCTS_EULA_H

#include "Downloader.h"
#include "Serialise/XMLRecord.h"
#include "UrlRecordMap.h"

#include <memory>

namespace installer {

// One licence agreement text (tag "eula"): its URL and the text, downloaded
// to memory when the record is made with a URL.
class EULA : public vantorix::XMLAssembly {
public:
    static const char* const tag;

    explicit EULA(const vantorix::String& url = {});
    EULA(const EULA&) = delete;
    EULA& operator=(const EULA&) = delete;
    ~EULA() override;

    // True when the text is there, there is no URL, or the download ended.
    bool isReady() const;
    // The text; taken from a successful download the first time. Empty when
    // the download failed.
    vantorix::String getText();
    Downloader* getDownloader() const { return m_downloader.get(); }
    const vantorix::String& getUrl() const { return m_url; }

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 2; }
    bool hasAttributes() const override { return false; }
    vantorix::ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    vantorix::ShippingPtr getShipping(const vantorix::String& tag, const vantorix::String& nameSpace) override;
    void setDefault() override;

private:
    vantorix::String m_url;
    vantorix::String m_text;
    std::unique_ptr<Downloader> m_downloader;
};

// Agreement texts keyed by URL (tag "eulaMap", children "eula").
class EULAMap : public UrlRecordMap<EULA> {
public:
    static const char* const tag;

    EULAMap() : UrlRecordMap(tag) {}
    ~EULAMap() override;

    EULA* getEULA(const vantorix::String& url) const { return find(url); }
};

} // namespace installer

#endif
