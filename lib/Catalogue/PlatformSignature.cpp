#include "Catalogue/PlatformSignature.h"

#include "Utility/Convert.h"

namespace vantorix {

namespace {
const char* const childTags[] = {"host", "version"};
}

const char* const PlatformSignature::tag = "signature";

PlatformSignature::PlatformSignature(HostType::ID host, short version) : m_host(host), m_version(version) {}

PlatformSignature::~PlatformSignature() = default;

String PlatformSignature::getName() const
{
    return m_host.getName() + " " + ToString(m_version).value();
}

bool PlatformSignature::operator<(const PlatformSignature& other) const
{
    if (m_host.getID() != other.m_host.getID())
        return m_host.getID() < other.m_host.getID();
    return m_version < other.m_version;
}

bool PlatformSignature::operator==(const PlatformSignature& other) const
{
    return m_host == other.m_host && m_version == other.m_version;
}

ShippingPtr PlatformSignature::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0: return shipIf(m_host.getID() != HostType::all, m_host, childTags[0], true);
    case 1: return shipIf(m_version != 0, m_version, childTags[1], true);
    default: return nullptr;
    }
}

ShippingPtr PlatformSignature::getShipping(const String& tag, const String&)
{
    return childByTag(tag, childTags, 2);
}

void PlatformSignature::setDefault()
{
    m_host.setDefault();
    m_version = allVersions;
}

} // namespace vantorix
