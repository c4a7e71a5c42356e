#include "support/SupportRequest.h"

#include "StringTables.h"
#include "support/ReportSender.h"

#include "Catalogue/VantorixTools.h"
#include "Serialise/XMLWriter.h"
#include "Utility/DataBufferOut.h"
#include "Utility/Logger.h"
#include "Utility/MemoryBlock.h"

#include <QSaveFile>

using namespace vantorix;

namespace installer {

namespace {

// Rows of the error table.
constexpr short serviceUnreachableRow = 1;
constexpr short noReportIdRow = 70;
constexpr short refusedRow = 71;
constexpr short exportFailedRow = 72;

} // namespace

SupportRequest::SupportRequest(const String& ticket, const String& message) : m_package(ticket, message, String())
{
}

SupportRequest::~SupportRequest() = default;

bool SupportRequest::fail(const String& error)
{
    m_error = error;
    return false;
}

bool SupportRequest::prepare(const Client& account)
{
    m_error.clear();
    if (!m_collector.collectData())
        return fail(m_collector.getError());
    m_package = SupportPackage(m_package.getTicket(), m_package.getDescription(), m_collector.getPackageData());
    auto report = std::make_unique<InstallerReport>(true);
    report->getAction().setSupport(&m_package);
    m_record = ReportSender::makeRecord(account, std::move(report));
    return true;
}

bool SupportRequest::send()
{
    m_error.clear();
    if (!m_record)
        return fail(String(filledText(errorTable, 45, QStringLiteral("nothing was collected"))));
    Logger::startBlock(String("Sending a support request"));
    Logger::write(String("Ticket: ") + m_package.getTicket());
    m_package.setReportId(String());
    const ServiceAnswer answer = ReportSender::post(*m_record, true);
    bool sent = false;
    if (!answer.posted) {
        Logger::write(String("The service could not be reached or its answer could not be read: [") +
                      String(QString::number(answer.webError)) + "]");
        fail(text(errorTable, serviceUnreachableRow));
    } else if (answer.fault || !answer.activated) {
        const String reason = answer.errorDescription.empty() ? answer.errorCode : answer.errorDescription;
        Logger::write(String("The service refused the support request: [") + answer.errorCode + "] " +
                      answer.errorDescription);
        fail(String(filledText(errorTable, refusedRow, reason.qString())));
    } else if (m_package.getReportId().empty()) {
        Logger::write(String("The service answered the support request without a report id"));
        fail(text(errorTable, noReportIdRow));
    } else {
        Logger::write(String("Report id: ") + m_package.getReportId());
        sent = true;
    }
    Logger::endBlock();
    return sent;
}

bool SupportRequest::exportTo(const String& path)
{
    m_error.clear();
    const String failed(filledText(errorTable, exportFailedRow, path.qString()));
    if (!m_record)
        return fail(failed);
    MemoryBlock content;
    {
        DataBufferOut output(&content);
        if (!XMLWriter(&output).exportFrom(*m_record, true, true, true, true))
            return fail(failed);
        output.flush();
        if (output.fail())
            return fail(failed);
    }
    QSaveFile file(path.qString());
    // Unbuffered, so that a full disk fails the write itself rather than a
    // close whose failure would not stop the rename.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(failed);
    if (file.write(content.get()) != content.get().size() || !file.flush()) {
        file.cancelWriting();
        return fail(failed);
    }
    if (!file.commit())
        return fail(failed);
    Logger::write(String("Support package exported to ") + path);
    return true;
}

} // namespace installer
