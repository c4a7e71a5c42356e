#ifndef VANTORIX_CATALOGUE_RELEASENOTE_H
#define VANTORIX_CATALOGUE_RELEASENOTE_H

#include "Serialise/XMLRecord.h"

namespace vantorix {

// The release note of one product version: the version as the attribute
// "version" and the note as the element's text.
class ReleaseNote : public XMLAssembly {
public:
    static const char* const tag;

    ReleaseNote() = default;
    ReleaseNote(double version, const String& note) : m_version(version), m_note(note) {}
    ReleaseNote(const ReleaseNote& other) = default;
    ReleaseNote& operator=(const ReleaseNote& other) = default;
    ~ReleaseNote() override;

    double getVersion() const { return m_version; }
    const String& getNote() const { return m_note; }
    void setVersion(double version) { m_version = version; }
    void setNote(const String& note) { m_note = note; }

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 2; }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    void setDefault() override;
    // The note arrives as the element's character data.
    bool read(const String& text) override;

private:
    double m_version = 0.0;
    String m_note;
};

} // namespace vantorix

#endif
