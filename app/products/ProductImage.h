#ifndef INSTALLER_PRODUCTS_PRODUCTIMAGE_H
#define INSTALLER_PRODUCTS_PRODUCTIMAGE_H

#include "DownloadedRecord.h"
#include "UrlRecordMap.h"

#include <QPixmap>

namespace installer {

// One product picture (tag "image"): its URL and the image bytes as Base64
// text ("data"), downloaded to memory when the record is made with a URL.
class ProductImage : public DownloadedRecord {
public:
    static const char* const tag;

    explicit ProductImage(const vantorix::String& url = {});
    ~ProductImage() override;

    // The image bytes: decoded from the Base64 text, else taken from a
    // successful download. Empty when neither is there.
    const vantorix::MemoryBlock& getData();
    // The picture, its format taken from the bytes; null without bytes.
    QPixmap getImage();

    const char* getTag() const override { return tag; }
    void setDefault() override;

protected:
    // A package carries the picture itself, as Base64 text.
    void takeDownload() override;

private:
    vantorix::MemoryBlock m_bytes;
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
