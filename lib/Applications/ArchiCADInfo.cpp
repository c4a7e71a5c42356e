#include "Applications/ArchiCADInfo.h"

#include "File/DataFile.h"
#include "Serialise/XMLReader.h"
#include "Utility/DataBufferIn.h"

#include <iterator>

namespace vantorix {

namespace {
const char* const childTags[] = {"shortversionstring", "gslanguage", "gsprodtype", "prefspostfix"};
}

const char* const ArchiCADInfo::tag = "productversion";
const char* const ArchiCADInfo::fileName = "ProductVersion.xml";

ArchiCADInfo::~ArchiCADInfo() = default;

std::unique_ptr<ArchiCADInfo> ArchiCADInfo::loadFrom(const String& folder)
{
    DataFile file(folder + File::pathDelimiter + fileName, DataFile::readOnly, false);
    if (!file.exists() || !file.open(DataFile::readOnly))
        return nullptr;
    auto info = std::make_unique<ArchiCADInfo>();
    DataBufferIn input(&file, Encoding::UTF8);
    XMLReader reader(&input);
    const bool read = reader.importTo(*info);
    file.close();
    // A file without a "productversion" element (empty, or some other
    // document) says nothing about the host: treat it like a damaged one.
    if (!read || !info->m_elementMet)
        return nullptr;
    return info;
}

ShippingPtr ArchiCADInfo::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0: return ship(m_version, childTags[0]);
    case 1: return ship(m_language, childTags[1]);
    case 2: return ship(m_type, childTags[2]);
    case 3: return ship(m_prefsPostfix, childTags[3]);
    default: return nullptr;
    }
}

ShippingPtr ArchiCADInfo::getShipping(const String& tag, const String&)
{
    return childByTag(tag, childTags, std::size(childTags));
}

void ArchiCADInfo::setDefault()
{
    // The reader resets the record when it meets the record's element.
    m_elementMet = true;
    m_version = 0;
    m_language.clear();
    m_type = ApplicationSignature::full;
    m_prefsPostfix.clear();
}

} // namespace vantorix
