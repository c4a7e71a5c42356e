#include "Reporting/ReportSystem.h"

namespace vantorix {

namespace {
const char* const childTags[] = {"name", "version", "wordSize"};
}

const char* const ReportSystem::tag = "system";
const char* const ReportSystem::systemName = "Mac";

ReportSystem::ReportSystem() : m_name(systemName) {}

ReportSystem::~ReportSystem() = default;

ShippingPtr ReportSystem::getShipping(unsigned long index, bool forAttributes)
{
    if (forAttributes)
        return nullptr;
    switch (index) {
    case 0: return ship(m_name, childTags[0]);
    case 1: return ship(m_version, childTags[1]);
    case 2: return ship(m_wordSize, childTags[2]);
    default: return nullptr;
    }
}

ShippingPtr ReportSystem::getShipping(const String& tag, const String&)
{
    return childByTag(tag, childTags, 3);
}

void ReportSystem::setDefault()
{
    m_name = systemName;
    m_version.clear();
    m_wordSize = 0;
}

} // namespace vantorix
