#include "InstallerPrefs.h"

#include "DirectoryHandler.h"

#include "File/DataFile.h"
#include "File/Directory.h"
#include "File/SaveWhole.h"
#include "Serialise/XMLProxy.h"
#include "Serialise/XMLReader.h"
#include "Serialise/XMLWriter.h"
#include "Utility/DataBufferIn.h"
#include "Utility/DataBufferOut.h"
#include "Utility/MemoryBlock.h"


using namespace vantorix;

namespace installer {

namespace {

const char* const sizeTags[] = {"width", "height"};
const unsigned long sizeCount = 2;

const char* const prefsTags[] = {"size", "releaseSize", "eulaSize", "application", "status"};
const unsigned long prefsCount = 5;

// The preference fields as a record of their own, so that the reader and the
// writer never reach a derived class's overrides: the reader resets its root
// with setDefault(), and the manager's setDefault() resets its working state.
class PrefsView : public XMLAssembly {
public:
    explicit PrefsView(InstallerPrefs& prefs) : m_prefs(prefs) {}

    const char* getTag() const override { return m_prefs.InstallerPrefs::getTag(); }
    unsigned long shippingSize() const override { return m_prefs.InstallerPrefs::shippingSize(); }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override
    {
        return m_prefs.InstallerPrefs::getShipping(index, forAttributes);
    }
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override
    {
        return m_prefs.InstallerPrefs::getShipping(tag, nameSpace);
    }
    void setDefault() override { m_prefs.InstallerPrefs::setDefault(); }

private:
    InstallerPrefs& m_prefs;
};

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

void InstallerPrefs::readPrefs()
{
    InstallerPrefs::setDefault();
    const std::unique_ptr<DataFile> file = DirectoryHandler::getPreferenceFile(false);
    if (!file)
        return;
    PrefsView view(*this);
    DataBufferIn input(file.get(), Encoding::UTF8);
    XMLReader reader(&input);
    // A damaged file keeps what was read before the damage; the rest stays default.
    reader.importTo(view);
    file->close();
}

bool InstallerPrefs::savePrefs()
{
    const String name = DirectoryHandler::getPreferenceFileName();
    if (name.empty())
        return false;
    const std::unique_ptr<Directory> folder = DirectoryHandler::getPreferenceDirectory(true);
    if (!folder)
        return false;

    MemoryBlock text;
    {
        DataBufferOut output(&text);
        PrefsView view(*this);
        if (!XMLWriter(&output).exportFrom(view, true, true, true, true))
            return false;
        output.flush();
        if (output.fail())
            return false;
    }
    // Written beside the old file and renamed over it only when complete; a
    // failure (a full disk) leaves the old file.
    const QFileDevice::Permissions permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner
        | QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    return saveWhole(folder->getURL().qString() + QLatin1Char('/') + name.qString(), text.get(), permissions);
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
