#ifndef INSTALLER_SUPPORT_REPORTSENDER_H
#define INSTALLER_SUPPORT_REPORTSENDER_H

#include "ServiceCall.h"

#include <memory>

namespace vantorix {
class Client;
class VantorixTools;
} // namespace vantorix

namespace installer {

class InstallerReport;

// Builds and posts the records of the "Reporting" operation, for every kind
// of report the installer sends (installation, self-update, support).
//
// A report names the machine's hardware address, which is the key of the
// enciphered client file: an enciphered password beside it would be as good
// as the password itself. So the account goes into a report without its
// password, in any form.
class ReportSender {
public:
    // The account as reports carry it: everything but the password.
    static std::unique_ptr<vantorix::Client> reportClient(const vantorix::Client& account);
    // A tools store holding reportClient(account) and the report (taken).
    static std::unique_ptr<vantorix::VantorixTools> makeRecord(const vantorix::Client& account,
                                                               std::unique_ptr<InstallerReport> report);
    // Posts record as "Reporting". With readBack the answer is read into
    // record itself, so that what the service fills in (a support request's
    // report id) lands in the records the request carried; otherwise the
    // answer is read into a scratch store and dropped.
    static ServiceAnswer post(vantorix::VantorixTools& record, bool readBack);
};

} // namespace installer

#endif
