#ifndef VANTORIX_REPORTING_REPORTSYSTEM_H
#define VANTORIX_REPORTING_REPORTSYSTEM_H

#include "Serialise/XMLRecord.h"

namespace vantorix {

// The operating system a report comes from (tag "system"): its name ("Mac"),
// its version text and a word size that no report of this program sets.
class ReportSystem : public XMLAssembly {
public:
    static const char* const tag;
    static const char* const systemName;

    ReportSystem();
    ReportSystem(const ReportSystem& other) = default;
    ReportSystem& operator=(const ReportSystem& other) = default;
    ~ReportSystem() override;

    const String& getName() const { return m_name; }
    const String& getVersion() const { return m_version; }
    short getWordSize() const { return m_wordSize; }
    void setVersion(const String& version) { m_version = version; }
    void setWordSize(short wordSize) { m_wordSize = wordSize; }

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 3; }
    bool hasAttributes() const override { return false; }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    // Name "Mac", empty version, word size 0.
    void setDefault() override;

private:
    String m_name;
    String m_version;
    short m_wordSize = 0;
};

} // namespace vantorix

#endif
