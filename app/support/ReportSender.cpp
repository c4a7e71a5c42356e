#include "support/ReportSender.h"

#include "support/InstallerReport.h"

#include "Catalogue/Client.h"
#include "Catalogue/VantorixTools.h"
#include "Web/ServiceAddress.h"

using namespace vantorix;

namespace installer {

std::unique_ptr<Client> ReportSender::reportClient(const Client& account)
{
    auto copy = std::make_unique<Client>();
    copy->setName(account.getName());
    copy->setEmail(account.getEmail());
    copy->setCurrency(account.getCurrency());
    copy->setMessage(account.getMessage());
    copy->setEditTime(account.getEditTime());
    return copy;
}

std::unique_ptr<VantorixTools> ReportSender::makeRecord(const Client& account, std::unique_ptr<InstallerReport> report)
{
    auto record = std::make_unique<VantorixTools>();
    record->setClient(reportClient(account));
    record->setReport(std::move(report));
    return record;
}

ServiceAnswer ReportSender::post(VantorixTools& record, bool readBack)
{
    const String operation(ServiceAddress::reporting);
    if (readBack)
        return ServiceCall::post(operation, record, record);
    VantorixTools scratch;
    return ServiceCall::post(operation, record, scratch);
}

} // namespace installer
