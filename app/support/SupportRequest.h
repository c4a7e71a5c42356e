#ifndef INSTALLER_SUPPORT_SUPPORTREQUEST_H
#define INSTALLER_SUPPORT_SUPPORTREQUEST_H

#include "support/InstallerReport.h"
#include "support/SupportCollector.h"

#include <memory>

namespace vantorix {
class Client;
class VantorixTools;
} // namespace vantorix

namespace installer {

// One support request, as the report dialog and the command line make it:
// the support data collected, a report whose action carries the ticket, the
// message and the package, sent to the service or exported to a file.
//
// The request owns the collector, so the temporary archive is erased when
// the request is destroyed, whether sending worked or not. Every failure
// leaves a message for the user in getError().
class SupportRequest {
public:
    SupportRequest(const vantorix::String& ticket, const vantorix::String& message);
    ~SupportRequest();
    SupportRequest(const SupportRequest&) = delete;
    SupportRequest& operator=(const SupportRequest&) = delete;

    // Collects the support data and builds the report for the account
    // (carried without its password).
    bool prepare(const vantorix::Client& account);
    // Posts the request; true when the service answered with a report id.
    // The answer is awaited in a local event loop, so windows keep painting.
    bool send();
    // Writes the whole request as XML to path, replacing the file only once
    // it is complete.
    bool exportTo(const vantorix::String& path);

    const vantorix::String& getReportId() const { return m_package.getReportId(); }
    const vantorix::String& getError() const { return m_error; }
    // The request's record (null before prepare()).
    vantorix::VantorixTools* getRecord() const { return m_record.get(); }

private:
    bool fail(const vantorix::String& error);

    SupportCollector m_collector;
    // Referred to by the record's report: declared first, destroyed last.
    SupportPackage m_package;
    std::unique_ptr<vantorix::VantorixTools> m_record;
    vantorix::String m_error;
};

} // namespace installer

#endif
