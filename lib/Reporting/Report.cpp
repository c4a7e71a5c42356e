#include "Reporting/Report.h"

#include "Environment/Platform.h"

namespace vantorix {

namespace {
const char* const childTags[] = {"system", "macAddress"};
}

const char* const Report::tag = "report";
const char* const Report::nullAddress = "00-00-00-00-00-00";

Report::Report() : m_macAddress(findMACAddress()) {}

Report::~Report() = default;

String Report::findMACAddress()
{
    for (const String& address : platform.getMACAddress()) {
        if (address != nullAddress && !address.empty())
            return address;
    }
    return String(nullAddress);
}

ShippingPtr Report::getShipping(unsigned long index, bool forAttributes)
{
    if (forAttributes)
        return nullptr;
    switch (index) {
    case 0: return ship(m_system, childTags[0]);
    case 1: return ship(m_macAddress, childTags[1]);
    default: return nullptr;
    }
}

ShippingPtr Report::getShipping(const String& tag, const String&)
{
    return childByTag(tag, childTags, 2);
}

void Report::setDefault()
{
    m_system.setDefault();
    m_macAddress = findMACAddress();
}

} // namespace vantorix
