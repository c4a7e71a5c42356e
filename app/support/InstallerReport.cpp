#include "support/InstallerReport.h"

#include "Environment/Platform.h"
#include "VantorixInstallerApp.h"
#include "products/InstallerRelease.h"
#include "update/UpdateLog.h"

using namespace vantorix;

namespace installer {

namespace {
const char* const supportTags[] = {"ticket", "description", "attachment", "reportId"};
const char* const actionTags[] = {"version", "release", "update", "support", "installation"};
const char* const installerTag = "installer";
} // namespace

const char* const SupportPackage::tag = "support";
const char* const InstallerAction::tag = "installer";

// ---- SupportPackage

SupportPackage::SupportPackage(const String& ticket, const String& description, const String& attachment)
    : m_ticket(ticket), m_description(description), m_attachment(attachment)
{
}

SupportPackage::~SupportPackage() = default;

ShippingPtr SupportPackage::getShipping(unsigned long index, bool forAttributes)
{
    if (forAttributes)
        return nullptr;
    switch (index) {
    case 0: return ship(m_ticket, supportTags[0]);
    case 1: return ship(m_description, supportTags[1]);
    case 2: return ship(m_attachment, supportTags[2]);
    case 3: return ship(m_reportId, supportTags[3]);
    default: return nullptr;
    }
}

ShippingPtr SupportPackage::getShipping(const String& tag, const String&)
{
    return childByTag(tag, supportTags, 4);
}

void SupportPackage::setDefault()
{
    m_reportId.clear();
}

// ---- InstallerAction

InstallerAction::InstallerAction(bool forRequest)
    : m_version(forRequest ? getVersionString(VantorixInstallerApp::version) : String())
{
}

InstallerAction::~InstallerAction() = default;

ShippingPtr InstallerAction::getShipping(unsigned long index, bool forAttributes)
{
    if (forAttributes)
        return nullptr;
    switch (index) {
    case 0: return shipIf(!m_version.empty(), m_version, actionTags[0]);
    case 1: return m_release ? ship(*m_release, actionTags[1]) : nullptr;
    case 2: return m_update ? ship(*m_update, actionTags[2]) : nullptr;
    case 3: return m_support ? ship(*m_support, actionTags[3]) : nullptr;
    case 4: return shipIf(m_installationFlag, m_installation, actionTags[4]);
    default: return nullptr;
    }
}

ShippingPtr InstallerAction::getShipping(const String& tag, const String&)
{
    if (tag == actionTags[4])
        m_installationFlag = true;
    return childByTag(tag, actionTags, 5);
}

void InstallerAction::setDefault()
{
    m_version.clear();
    m_installationFlag = false;
    m_installation.clear();
}

// ---- InstallerReport

InstallerReport::InstallerReport(bool forRequest) : m_action(forRequest)
{
    getSystem().setVersion(platform.getVersionString());
}

InstallerReport::~InstallerReport() = default;

ShippingPtr InstallerReport::getShipping(unsigned long index, bool forAttributes)
{
    if (index == 2)
        return forAttributes ? nullptr : ship(m_action, installerTag);
    return Report::getShipping(index, forAttributes);
}

ShippingPtr InstallerReport::getShipping(const String& tag, const String& nameSpace)
{
    if (tag == installerTag)
        return getShipping(2, false);
    return Report::getShipping(tag, nameSpace);
}

void InstallerReport::setDefault()
{
    Report::setDefault();
    m_action.setDefault();
}

} // namespace installer
