#ifndef VANTORIX_REPORTING_REPORT_H
#define VANTORIX_REPORTING_REPORT_H

#include "Reporting/ReportSystem.h"

namespace vantorix {

// What every report to the service says about the machine (tag "report"):
// the operating system and the machine's network hardware address.
// Reports of particular kinds derive from it and add their children after
// these two.
class Report : public XMLAssembly {
public:
    static const char* const tag;
    // The address reported when the machine has none.
    static const char* const nullAddress;

    // The defaults of setDefault().
    Report();
    Report(const Report& other) = default;
    Report& operator=(const Report& other) = default;
    ~Report() override;

    ReportSystem& getSystem() { return m_system; }
    const ReportSystem& getSystem() const { return m_system; }
    const String& getMACAddress() const { return m_macAddress; }
    void setMACAddress(const String& address) { m_macAddress = address; }

    // The first of the platform's hardware addresses that is not the null
    // address, or the null address.
    static String findMACAddress();

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 2; }
    bool hasAttributes() const override { return false; }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    // The system record back to its defaults and the address found anew.
    void setDefault() override;

private:
    ReportSystem m_system;
    String m_macAddress;
};

} // namespace vantorix

#endif
