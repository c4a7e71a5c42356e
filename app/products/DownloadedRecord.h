#ifndef INSTALLER_PRODUCTS_DOWNLOADEDRECORD_H
#define INSTALLER_PRODUCTS_DOWNLOADEDRECORD_H

#include "Downloader.h"
#include "Serialise/XMLRecord.h"

#include <memory>

namespace installer {

// A download kept for the whole run and carried in offline packages: its URL
// (element "url") and one text element with what was downloaded (the
// agreement text, the Base64 picture). Made with a URL, it downloads to
// memory at once; read from a package, it has its content and no downloader.
// Owns its downloader.
class DownloadedRecord : public vantorix::XMLAssembly {
public:
    DownloadedRecord(const DownloadedRecord&) = delete;
    DownloadedRecord& operator=(const DownloadedRecord&) = delete;
    ~DownloadedRecord() override;

    // True when the content is there, there is no URL, or the download ended.
    bool isReady() const;
    Downloader* getDownloader() const { return m_downloader.get(); }
    const vantorix::String& getUrl() const { return m_url; }

    unsigned long shippingSize() const override { return 2; }
    bool hasAttributes() const override { return false; }
    vantorix::ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    vantorix::ShippingPtr getShipping(const vantorix::String& tag, const vantorix::String& nameSpace) override;
    void setDefault() override;

protected:
    // contentTag: the element of the content; a string that lives for the run.
    DownloadedRecord(const vantorix::String& url, const char* contentTag);

    // The successful download's bytes, or none.
    const vantorix::MemoryBlock* downloaded() const;
    // Fills the content from the download before it is written, when empty.
    virtual void takeDownload() = 0;

    vantorix::String m_content;

private:
    vantorix::String m_url;
    const char* m_childTags[2];
    std::unique_ptr<Downloader> m_downloader;
};

} // namespace installer

#endif
