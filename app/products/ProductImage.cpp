#include "ProductImage.h"

#include "Serialise/Base64Coder.h"

using namespace vantorix;

namespace installer {

namespace {
const char* const childTags[] = {"url", "data"};
} // namespace

const char* const ProductImage::tag = "image";
const char* const ImageMap::tag = "imageMap";

ProductImage::ProductImage(const String& url) : m_url(url)
{
    if (!m_url.empty())
        m_downloader = std::make_unique<Downloader>(m_url, 0);
}

ProductImage::~ProductImage() = default;

bool ProductImage::isReady() const
{
    if (!m_encoded.empty() || m_url.empty())
        return true;
    return m_downloader && m_downloader->isDone();
}

const MemoryBlock& ProductImage::getData()
{
    if (m_bytes.size() == 0) {
        if (!m_encoded.empty()) {
            QByteArray bytes;
            if (Base64Coder().decode(m_encoded.toByteArray(), bytes))
                m_bytes.reset(bytes);
        } else if (m_downloader && m_downloader->isDone() && m_downloader->isSuccess()) {
            m_bytes = m_downloader->getData();
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

ShippingPtr ProductImage::getShipping(unsigned long index, bool forAttributes)
{
    if (forAttributes)
        return nullptr;
    switch (index) {
    case 0: return ship(m_url, childTags[0]);
    case 1:
        // A package carries the picture itself.
        if (m_encoded.empty() && getData().size() > 0)
            m_encoded = String(QString::fromLatin1(Base64Coder().encode(m_bytes.get())));
        return ship(m_encoded, childTags[1]);
    default: return nullptr;
    }
}

ShippingPtr ProductImage::getShipping(const String& tag, const String&)
{
    return childByTag(tag, childTags, 2);
}

void ProductImage::setDefault()
{
    m_url.clear();
    m_encoded.clear();
    m_bytes = MemoryBlock();
    m_downloader.reset();
}

ImageMap::~ImageMap() = default;

} // namespace installer
