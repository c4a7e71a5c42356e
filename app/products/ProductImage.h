#ifndef INSTALLER_PRODUCTS_PRODUCTIMAGE_H
#define INSTALLER_PRODUCTS_PRODUCTIMAGE_H

#include "Downloader.h"
#include "Serialise/XMLRecord.h"
#include "UrlRecordMap.h"

#include <QPixmap>

#include <memory>

namespace installer {

// One product picture (tag "image"): its URL and the image bytes as Base64
// text ("data"), downloaded to memory when the record is made with a URL.
class ProductImage : public vantorix::XMLAssembly {
public:
    static const char* const tag;

    explicit ProductImage(const vantorix::String& url = {});
    ProductImage(const ProductImage&) = delete;
    ProductImage& operator=(const ProductImage&) = delete;
    ~ProductImage() override;

    // True when the Base64 text is there, there is no URL, or the download
    // ended.
    bool isReady() const;
    // The image bytes: decoded from the Base64 text, else taken from a
    // successful download. Empty when neither is there.
    const vantorix::MemoryBlock& getData();
    // The picture, its format taken from the bytes; null without bytes.
    QPixmap getImage();
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
    vantorix::String m_encoded;
    vantorix::MemoryBlock m_bytes;
    std::unique_ptr<Downloader> m_downloader;
};

// Product pictures keyed by URL (tag "imageMap", children "image").
class ImageMap : public UrlRecordMap<ProductImage> {
public:
    static const char* const tag;

    ImageMap() : UrlRecordMap(tag) {}
    ~ImageMap() override;

    ProductImage* getImage(const vantorix::String& url) const { return find(url); }
};

} // namespace installer

#endif
