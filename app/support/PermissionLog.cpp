#include "support/PermissionLog.h"

using namespace vantorix;

namespace installer {

namespace {

const char* const childTags[] = {"path", "permissions"};

struct Right {
    QFileDevice::Permission flag;
    const char* text;
};

// The texts as the support staff read them, the owner's rights first.
const Right rights[] = {
    {QFileDevice::ReadOwner, "ReadOwner: The file is readable by the owner of the file"},
    {QFileDevice::WriteOwner, "WriteOwner: The file is writable by the owner of the file"},
    {QFileDevice::ExeOwner, "ExeOwner: The file is executable by the owner of the fil"},
    {QFileDevice::ReadUser, "ReadUser: The file is readable by the user"},
    {QFileDevice::WriteUser, "WriteUser: The file is writable by the user"},
    {QFileDevice::ExeUser, "ExeUser: The file is executable by the user."},
    {QFileDevice::ReadGroup, "ReadGroup: The file is readable by the group"},
    {QFileDevice::WriteGroup, "WriteGroup: The file is writable by the group"},
    {QFileDevice::ExeGroup, "ExeGroup: The file is executable by the group"},
    {QFileDevice::ReadOther, "ReadOther: The file is readable by anyone"},
    {QFileDevice::WriteOther, "WriteOther: The file is writable by anyone"},
    {QFileDevice::ExeOther, "ExeOther: The file is executable by anyone"},
};

} // namespace

const char* const Permissions::tag = "permissions";
const char* const FilePermission::tag = "file";
const char* const PermissionLog::tag = "permissionLog";

std::vector<String> Permissions::permissionTexts(QFileDevice::Permissions flags)
{
    std::vector<String> texts;
    for (const Right& right : rights) {
        if (flags.testFlag(right.flag))
            texts.emplace_back(right.text);
    }
    return texts;
}

FilePermission::FilePermission(const String& path, QFileDevice::Permissions flags) : m_path(path)
{
    m_permissions.elements() = Permissions::permissionTexts(flags);
}

ShippingPtr FilePermission::getShipping(unsigned long index, bool forAttributes)
{
    if (forAttributes)
        return nullptr;
    switch (index) {
    case 0: return ship(m_path, childTags[0]);
    case 1: return ship(m_permissions, childTags[1]);
    default: return nullptr;
    }
}

ShippingPtr FilePermission::getShipping(const String& tag, const String&)
{
    return childByTag(tag, childTags, 2);
}

void FilePermission::setDefault()
{
    m_path.clear();
    m_permissions.setDefault();
}

} // namespace installer
