#include "products/ManifestXML.h"

using namespace vantorix;

namespace installer {

namespace {
const char* const childTags[] = {"type", "name", "location"};
} // namespace

const char* const ManifestFile::tag = "file";
const char* const ManifestXML::tag = "manifest";
const char* const ManifestXML::fileName = "manifest.xml";

ManifestFile::ManifestFile(Application::Location type, const String& name, const String& location)
    : m_type(type), m_name(name), m_location(location)
{
}

ManifestFile::~ManifestFile() = default;

ShippingPtr ManifestFile::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0: return ship(m_type, childTags[0], true);
    case 1: return ship(m_name, childTags[1]);
    case 2: return shipIf(!m_location.empty(), m_location, childTags[2]);
    default: return nullptr;
    }
}

ShippingPtr ManifestFile::getShipping(const String& tag, const String&)
{
    return childByTag(tag, childTags, 3);
}

void ManifestFile::setDefault()
{
    m_type = Application::dll;
    m_name.clear();
    m_location.clear();
}

ManifestXML::~ManifestXML() = default;

} // namespace installer
