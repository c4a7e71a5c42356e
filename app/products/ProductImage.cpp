#include "ProductImage.h"

#include "Serialise/Base64Coder.h"

using namespace vantorix;

namespace installer {

const char* const ProductImage::tag = "image";
const char* const ImageMap::tag = "imageMap";

ProductImage::ProductImage(const String& url) : DownloadedRecord(url, "data") {}

ProductImage::~ProductImage() = default;

const MemoryBlock& ProductImage::getData()
{
    if (m_bytes.size() == 0) {
        if (!m_content.empty()) {
            QByteArray bytes;
            if (Base64Coder().decode(m_content.toByteArray(), bytes))
                m_bytes.reset(bytes);
        } else if (const MemoryBlock* bytes = downloaded()) {
            m_bytes = *bytes;
        }
    }
    return m_bytes;
}

QPixmap ProductImage::getImage()
{
    QPixmap image;
    const MemoryBlock& bytes = getData();
    if (bytes.size() > 0)
        image.loadFromData(bytes.get());
    return image;
}

void ProductImage::takeDownload()
{
    if (m_content.empty() && getData().size() > 0)
        m_content = String(QString::fromLatin1(Base64Coder().encode(m_bytes.get())));
}

void ProductImage::setDefault()
{
    DownloadedRecord::setDefault();
    m_bytes = MemoryBlock();
}

ImageMap::~ImageMap() = default;

} // namespace installer
