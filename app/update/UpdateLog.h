#ifndef INSTALLER_UPDATE_UPDATELOG_H
#define INSTALLER_UPDATE_UPDATELOG_H

#include "Serialise/XMLRecord.h"

namespace installer {

// One step of a self-update (tag "step"): what was done ("action"), whether
// it worked ("success", "1" or "0") and a message as the element's own text.
class LogEntry : public vantorix::XMLAssembly {
public:
    static const char* const tag;

    LogEntry() = default;
    LogEntry(const vantorix::String& action, const vantorix::String& message, bool success)
        : m_action(action), m_message(message), m_success(success)
    {
    }
    LogEntry(const LogEntry& other) = default;
    LogEntry& operator=(const LogEntry& other) = default;
    ~LogEntry() override;

    const vantorix::String& getAction() const { return m_action; }
    const vantorix::String& getMessage() const { return m_message; }
    bool isSuccess() const { return m_success; }

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 3; }
    bool hasAttributes() const override { return false; }
    vantorix::ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    vantorix::ShippingPtr getShipping(const vantorix::String& tag, const vantorix::String& nameSpace) override;
    void setDefault() override;
    // The message arrives as character data, between and after the child
    // elements; the line breaks and indentation around them are dropped when
    // the element ends.
    bool read(const vantorix::String& text) override;
    bool validate() override;

private:
    vantorix::String m_action;
    vantorix::String m_message;
    bool m_success = false;
};

// The steps of one self-update in the order they ran (tag "steps").
class UpdateLog : public vantorix::XMLList<LogEntry> {
public:
    static const char* const tag;

    UpdateLog() : vantorix::XMLList<LogEntry>(tag) {}
    UpdateLog(const UpdateLog& other) = default;
    UpdateLog& operator=(const UpdateLog& other) = default;
    ~UpdateLog() override;

    void add(const vantorix::String& action, const vantorix::String& message, bool success);
    const std::vector<LogEntry>& getEntries() const { return elements(); }
};

// What a self-update reports (tag "update"): the version it started from and
// its steps.
class UpdateReport : public vantorix::XMLAssembly {
public:
    static const char* const tag;

    // The running installer's version and no steps.
    UpdateReport();
    explicit UpdateReport(const UpdateLog& log);
    UpdateReport(const UpdateReport& other) = default;
    UpdateReport& operator=(const UpdateReport& other) = default;
    ~UpdateReport() override;

    const vantorix::String& getPreviousVersion() const { return m_previousVersion; }
    void setPreviousVersion(const vantorix::String& version) { m_previousVersion = version; }
    UpdateLog& getLog() { return m_log; }
    const UpdateLog& getLog() const { return m_log; }

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 2; }
    bool hasAttributes() const override { return false; }
    vantorix::ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    vantorix::ShippingPtr getShipping(const vantorix::String& tag, const vantorix::String& nameSpace) override;
    void setDefault() override;

private:
    vantorix::String m_previousVersion;
    UpdateLog m_log;
};

} // namespace installer

#endif
