#include "update/UpdateLog.h"

#include "VantorixInstallerApp.h"

using namespace vantorix;

namespace installer {

namespace {
// The message is the element's own text: a leaf without a tag of its own.
const char* const entryTags[] = {"action", "success", ""};
const char* const reportTags[] = {"previousVersion", "steps"};
} // namespace

const char* const LogEntry::tag = "step";
const char* const UpdateLog::tag = "steps";
const char* const UpdateReport::tag = "update";

// ---- LogEntry

LogEntry::~LogEntry() = default;

ShippingPtr LogEntry::getShipping(unsigned long index, bool forAttributes)
{
    if (forAttributes)
        return nullptr;
    switch (index) {
    case 0: return ship(m_action, entryTags[0]);
    case 1: return ship(m_success, entryTags[1]);
    case 2: return ship(m_message, entryTags[2]);
    default: return nullptr;
    }
}

ShippingPtr LogEntry::getShipping(const String& tag, const String&)
{
    return childByTag(tag, entryTags, 2);
}

void LogEntry::setDefault()
{
    m_action.clear();
    m_message.clear();
    m_success = false;
}

bool LogEntry::read(const String& text)
{
    m_message += text;
    return true;
}

bool LogEntry::validate()
{
    m_message = String(m_message.qString().trimmed());
    return true;
}

// ---- UpdateLog

UpdateLog::~UpdateLog() = default;

void UpdateLog::add(const String& action, const String& message, bool success)
{
    elements().emplace_back(action, message, success);
}

// ---- UpdateReport

UpdateReport::UpdateReport() : m_previousVersion(getVersionString(VantorixInstallerApp::version)) {}

UpdateReport::UpdateReport(const UpdateLog& log) : UpdateReport()
{
    m_log = log;
}

UpdateReport::~UpdateReport() = default;

ShippingPtr UpdateReport::getShipping(unsigned long index, bool forAttributes)
{
    if (forAttributes)
        return nullptr;
    switch (index) {
    case 0: return ship(m_previousVersion, reportTags[0]);
    case 1: return ship(m_log, reportTags[1]);
    default: return nullptr;
    }
}

ShippingPtr UpdateReport::getShipping(const String& tag, const String&)
{
    return childByTag(tag, reportTags, 2);
}

void UpdateReport::setDefault()
{
    m_previousVersion.clear();
    m_log.setDefault();
}

} // namespace installer
