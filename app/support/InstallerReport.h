#ifndef INSTALLER_SUPPORT_INSTALLERREPORT_H
#define INSTALLER_SUPPORT_INSTALLERREPORT_H

#include "Reporting/Report.h"

namespace installer {

class InstallerRelease;
class UpdateReport;

// A support request (tag "support"): the ticket the user typed, the user's
// message, the support package data (Base64 text) and the report id that
// the service answers with.
class SupportPackage : public vantorix::XMLAssembly {
public:
    static const char* const tag;

    SupportPackage() = default;
    // The attachment is implicitly shared with the caller's text, not copied,
    // however large the package is.
    SupportPackage(const vantorix::String& ticket, const vantorix::String& description,
                   const vantorix::String& attachment);
    SupportPackage(const SupportPackage& other) = default;
    SupportPackage& operator=(const SupportPackage& other) = default;
    ~SupportPackage() override;

    const vantorix::String& getTicket() const { return m_ticket; }
    const vantorix::String& getDescription() const { return m_description; }
    const vantorix::String& getAttachment() const { return m_attachment; }
    const vantorix::String& getReportId() const { return m_reportId; }
    void setReportId(const vantorix::String& reportId) { m_reportId = reportId; }

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 4; }
    bool hasAttributes() const override { return false; }
    vantorix::ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    vantorix::ShippingPtr getShipping(const vantorix::String& tag, const vantorix::String& nameSpace) override;
    // Clears the report id only: a response is read into the request's
    // package, whose ticket, message and data stay.
    void setDefault() override;

private:
    vantorix::String m_ticket;
    vantorix::String m_description;
    vantorix::String m_attachment;
    vantorix::String m_reportId;
};

// What the installer reports (tag "installer"): its version, and whichever of
// these the caller attaches: the newest installer's release (read from a
// version check's response), a self-update's steps, a support request. The
// attached records belong to the caller and must outlive the action; the
// action only refers to them. The empty "installation" element marks an
// installation report.
class InstallerAction : public vantorix::XMLAssembly {
public:
    static const char* const tag;

    // For a request the version is the running installer's ("2.05"); for
    // reading a response it starts empty.
    explicit InstallerAction(bool forRequest = true);
    InstallerAction(const InstallerAction& other) = default;
    InstallerAction& operator=(const InstallerAction& other) = default;
    ~InstallerAction() override;

    const vantorix::String& getVersion() const { return m_version; }
    void setVersion(const vantorix::String& version) { m_version = version; }
    InstallerRelease* getRelease() const { return m_release; }
    UpdateReport* getUpdate() const { return m_update; }
    SupportPackage* getSupport() const { return m_support; }
    // Each refers to the caller's record (null detaches).
    void setRelease(InstallerRelease* release) { m_release = release; }
    void setUpdate(UpdateReport* update) { m_update = update; }
    void setSupport(SupportPackage* support) { m_support = support; }
    bool isInstallation() const { return m_installationFlag; }
    void setInstallation(bool installation) { m_installationFlag = installation; }

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 5; }
    bool hasAttributes() const override { return false; }
    vantorix::ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    vantorix::ShippingPtr getShipping(const vantorix::String& tag, const vantorix::String& nameSpace) override;
    // Empty version, no installation mark; the attached records stay so that
    // a response is read into them.
    void setDefault() override;

private:
    vantorix::String m_version;
    InstallerRelease* m_release = nullptr;
    UpdateReport* m_update = nullptr;
    SupportPackage* m_support = nullptr;
    bool m_installationFlag = false;
    vantorix::String m_installation;
};

// The installer's report (tag "report"): the machine (see Report) and the
// installer's action.
class InstallerReport : public vantorix::Report {
public:
    // The system version comes from the platform.
    explicit InstallerReport(bool forRequest = true);
    InstallerReport(const InstallerReport& other) = default;
    InstallerReport& operator=(const InstallerReport& other) = default;
    ~InstallerReport() override;

    InstallerAction& getAction() { return m_action; }
    const InstallerAction& getAction() const { return m_action; }

    unsigned long shippingSize() const override { return 3; }
    vantorix::ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    vantorix::ShippingPtr getShipping(const vantorix::String& tag, const vantorix::String& nameSpace) override;
    void setDefault() override;

private:
    InstallerAction m_action;
};

} // namespace installer

#endif
