#include "InstallerPrefs.h"

#include "DirectoryHandler.h"

#include "Serialise/XMLProxy.h"

using namespace vantorix;

namespace installer {

namespace {

const char* const sizeTags[] = {"width", "height"};
const unsigned long sizeCount = 2;

const char* const prefsTags[] = {"size", "releaseSize", "eulaSize", "application", "status"};
const unsigned long prefsCount = 5;

} // namespace

const char* const DialogSize::tag = "size";

unsigned long DialogSize::shippingSize() const
{
    return sizeCount;
}

ShippingPtr DialogSize::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0:
        return ship(width, sizeTags[0], true);
    case 1:
        return ship(height, sizeTags[1], true);
    default:
        return nullptr;
    }
}

ShippingPtr DialogSize::getShipping(const String& childTag, const String&)
{
    return childByTag(childTag, sizeTags, sizeCount);
}

void DialogSize::setDefault()
{
    width = 0;
    height = 0;
}

const char* const InstallerPrefs::tag = "installerPreferences";

InstallerPrefs::InstallerPrefs()
{
    resetPrefs();
}

InstallerPrefs::~InstallerPrefs() = default;

unsigned long InstallerPrefs::shippingSize() const
{
    return prefsCount;
}

ShippingPtr InstallerPrefs::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0:
        return ship(mainSize, prefsTags[0]);
    case 1:
        return ship(releaseSize, prefsTags[1]);
    case 2:
        return ship(eulaSize, prefsTags[2]);
    case 3:
        return ship(applicationPath, prefsTags[3]);
    case 4:
        return ship(savedStatus, prefsTags[4]);
    default:
        return nullptr;
    }
}

ShippingPtr InstallerPrefs::getShipping(const String& childTag, const String&)
{
    return childByTag(childTag, prefsTags, prefsCount);
}

void InstallerPrefs::setDefault()
{
    resetPrefs();
}

void InstallerPrefs::resetPrefs()
{
    mainSize.setDefault();
    releaseSize.setDefault();
    eulaSize.setDefault();
    applicationPath.clear();
    savedStatus = myTools;
    commandLinePath.clear();
}

} // namespace installer
