#include "Catalogue/OrvoTools.h"

#include "Environment/Platform.h"
#include "File/DataFile.h"
#include "File/Directory.h"
#include "Serialise/XMLReader.h"
#include "Utility/Convert.h"
#include "Utility/DataBufferIn.h"

namespace vantorix {

namespace {
const char* const storeTags[] = {"version", "client", "addons"};
const char* const clientTags[] = {"name", "email"};
const char* const addonTags[] = {"id", "name", "code", "version", "folder"};
} // namespace

const char* const OrvoTools::tag = "orvotools";
const char* const OrvoTools::folderName = "OrvoTools";

ShippingPtr OrvoTools::LegacyClient::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0: return ship(name, clientTags[0]);
    case 1: return ship(email, clientTags[1]);
    default: return nullptr;
    }
}

ShippingPtr OrvoTools::LegacyClient::getShipping(const String& tag, const String&)
{
    return childByTag(tag, clientTags, 2);
}

void OrvoTools::LegacyClient::setDefault()
{
    name.clear();
    email.clear();
}

ShippingPtr OrvoTools::LegacyAddon::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0: return ship(id, addonTags[0], true);
    case 1: return ship(name, addonTags[1], true);
    case 2: return ship(code, addonTags[2], true);
    case 3: return ship(version, addonTags[3], true);
    case 4: return ship(folder, addonTags[4], true);
    default: return nullptr;
    }
}

ShippingPtr OrvoTools::LegacyAddon::getShipping(const String& tag, const String&)
{
    return childByTag(tag, addonTags, 5);
}

void OrvoTools::LegacyAddon::setDefault()
{
    id.clear();
    name.clear();
    code.clear();
    version.clear();
    folder.clear();
}

OrvoTools::~OrvoTools() = default;

std::unique_ptr<DataFile> OrvoTools::getStoreFile(short hostVersion)
{
    const std::unique_ptr<Directory> shared = platform.getSharedDataDirectory();
    if (!shared)
        return nullptr;
    const Directory folder(*shared, String(folderName));
    return std::make_unique<DataFile>(folder, "ArchiCAD " + ToString(hostVersion).value() + ".xml",
                                      DataFile::readOnly, false);
}

bool OrvoTools::read(short hostVersion)
{
    const std::unique_ptr<DataFile> file = getStoreFile(hostVersion);
    if (!file || !file->exists())
        return false;
    DataBufferIn in(file.get(), Encoding::UTF8);
    if (!read(in))
        return false;
    // The file's place names its version, whatever it says inside.
    m_version = hostVersion;
    return true;
}

bool OrvoTools::read(DataBufferIn& in)
{
    setDefault();
    XMLReader reader(&in);
    return reader.importTo(*this);
}

std::vector<Product> OrvoTools::getProducts(const String& name) const
{
    std::vector<Product> products;
    for (const LegacyAddon& addon : m_addons.elements()) {
        if (addon.name.empty() || (!name.empty() && addon.name != name))
            continue;
        Product product(addon.id.empty() ? addon.name : addon.id, addon.name, addon.code);
        RegisteredPlatform platform(addon.version, PlatformSignature(HostType::archiCAD, m_version));
        String path = addon.folder;
        if (!path.empty() && path.qString().endsWith(QLatin1Char('/')))
            path.erase(path.size() - 1);
        platform.mergeExecutable(
            Executable(path + "/" + addon.name + ".apx/Contents/MacOS/" + addon.name, addon.version));
        product.getPlatformList().add(platform);
        products.push_back(product);
    }
    return products;
}

ShippingPtr OrvoTools::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0: return ship(m_version, storeTags[0], true);
    case 1: return ship(m_client, storeTags[1]);
    case 2: return ship(m_addons, storeTags[2]);
    default: return nullptr;
    }
}

ShippingPtr OrvoTools::getShipping(const String& tag, const String&)
{
    return childByTag(tag, storeTags, 3);
}

void OrvoTools::setDefault()
{
    m_version = 0;
    m_client.setDefault();
    m_addons.setDefault();
}

} // namespace vantorix
