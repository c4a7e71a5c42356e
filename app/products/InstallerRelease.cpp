#include "products/InstallerRelease.h"

#include "Serialise/XMLDecimal.h"

using namespace vantorix;

namespace installer {

namespace {
const char* const sizeTag = "releasesize";
}

const char* const InstallerRelease::tag = "release";

InstallerRelease::~InstallerRelease() = default;

unsigned long InstallerRelease::shippingSize() const
{
    return 1 + static_cast<unsigned long>(m_releaseList.size());
}

ShippingPtr InstallerRelease::getShipping(unsigned long index, bool forAttributes)
{
    if (forAttributes)
        return nullptr;
    if (index == 0)
        return std::make_unique<XMLDecimal>(m_size, sizeTag);
    if (index - 1 >= m_releaseList.size())
        return nullptr;
    return ship(m_releaseList[index - 1], nullptr);
}

ShippingPtr InstallerRelease::getShipping(const String& tag, const String&)
{
    if (tag == sizeTag)
        return getShipping(0, false);
    if (tag == ReleaseUrl::tag) {
        m_releaseList.emplace_back();
        return ship(m_releaseList.back(), nullptr);
    }
    return nullptr;
}

void InstallerRelease::setDefault()
{
    m_size = 0.0;
    m_releaseList.clear();
}

} // namespace installer
