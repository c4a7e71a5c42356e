#ifndef INSTALLER_SUPPORT_PERMISSIONLOG_H
#define INSTALLER_SUPPORT_PERMISSIONLOG_H

#include "Serialise/XMLList.h"
#include "Serialise/XMLRecord.h"

#include <QFileDevice>

namespace installer {

// The access rights of one file (tag "permissions"): one "permission" text
// per right the file has, in the order of permissionTexts().
class Permissions : public vantorix::XMLList<vantorix::String> {
public:
    static const char* const tag;
    Permissions() : XMLList(tag, "permission") {}

    // The texts of the rights in flags, owner, user, group, others; read,
    // write, execute within each.
    static std::vector<vantorix::String> permissionTexts(QFileDevice::Permissions flags);
};

// One file met while collecting (tag "file"): its full path and its rights.
class FilePermission : public vantorix::XMLAssembly {
public:
    static const char* const tag;

    FilePermission() = default;
    FilePermission(const vantorix::String& path, QFileDevice::Permissions flags);

    const vantorix::String& getPath() const { return m_path; }
    const Permissions& getPermissions() const { return m_permissions; }

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 2; }
    bool hasAttributes() const override { return false; }
    vantorix::ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    vantorix::ShippingPtr getShipping(const vantorix::String& tag, const vantorix::String& nameSpace) override;
    void setDefault() override;

private:
    vantorix::String m_path;
    Permissions m_permissions;
};

// Every file met while collecting support data, in the order met (tag
// "permissionLog").
class PermissionLog : public vantorix::XMLList<FilePermission> {
public:
    static const char* const tag;
    PermissionLog() : XMLList(tag) {}
};

} // namespace installer

#endif
