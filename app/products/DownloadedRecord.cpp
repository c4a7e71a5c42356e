#include "DownloadedRecord.h"

using namespace vantorix;

namespace installer {

DownloadedRecord::DownloadedRecord(const String& url, const char* contentTag)
    : m_url(url), m_childTags{"url", contentTag}
{
    if (!m_url.empty())
        m_downloader = std::make_unique<Downloader>(m_url, 0);
}

DownloadedRecord::~DownloadedRecord() = default;

bool DownloadedRecord::isReady() const
{
    if (!m_content.empty() || m_url.empty())
        return true;
    return m_downloader && m_downloader->isDone();
}

const MemoryBlock* DownloadedRecord::downloaded() const
{
    if (m_downloader && m_downloader->isDone() && m_downloader->isSuccess())
        return &m_downloader->getData();
    return nullptr;
}

ShippingPtr DownloadedRecord::getShipping(unsigned long index, bool forAttributes)
{
    if (forAttributes)
        return nullptr;
    switch (index) {
    case 0: return ship(m_url, m_childTags[0]);
    case 1:
        // A package carries what was downloaded.
        takeDownload();
        return ship(m_content, m_childTags[1]);
    default: return nullptr;
    }
}

ShippingPtr DownloadedRecord::getShipping(const String& tag, const String&)
{
    return childByTag(tag, m_childTags, 2);
}

void DownloadedRecord::setDefault()
{
    m_url.clear();
    m_content.clear();
    m_downloader.reset();
}

} // namespace installer
