#include "EULA.h"

#include "Utility/DataBufferOut.h"

using namespace vantorix;

namespace installer {

namespace {
const char* const childTags[] = {"url", "text"};
} // namespace

const char* const EULA::tag = "eula";
const char* const EULAMap::tag = "eulaMap";

EULA::EULA(const String& url) : m_url(url)
{
    if (!m_url.empty())
        m_downloader = std::make_unique<Downloader>(m_url, 0);
}

EULA::~EULA() = default;

bool EULA::isReady() const
{
    if (!m_text.empty() || m_url.empty())
        return true;
    return m_downloader && m_downloader->isDone();
}

String EULA::getText()
{
    if (m_text.empty() && m_downloader && m_downloader->isDone() && m_downloader->isSuccess()) {
        DataBufferOut out(&m_text);
        out.write(m_downloader->getData().get());
        out.flush();
    }
    return m_text;
}

ShippingPtr EULA::getShipping(unsigned long index, bool forAttributes)
{
    if (forAttributes)
        return nullptr;
    switch (index) {
    case 0: return ship(m_url, childTags[0]);
    case 1:
        // A package carries the downloaded text.
        getText();
        return ship(m_text, childTags[1]);
    default: return nullptr;
    }
}

ShippingPtr EULA::getShipping(const String& tag, const String&)
{
    return childByTag(tag, childTags, 2);
}

void EULA::setDefault()
{
    m_url.clear();
    m_text.clear();
    m_downloader.reset();
}

EULAMap::~EULAMap() = default;

} // namespace installer
