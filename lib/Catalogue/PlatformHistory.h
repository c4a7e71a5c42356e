#ifndef VANTORIX_CATALOGUE_PLATFORMHISTORY_H
#define VANTORIX_CATALOGUE_PLATFORMHISTORY_H

#include "Catalogue/PlatformSignature.h"
#include "Catalogue/ReleaseNote.h"

#include <vector>

namespace vantorix {

// The release notes of one product on one host release line: the signature's
// "host" and "version" attributes, then one "releaseNote" per note.
class PlatformHistory : public PlatformSignature {
public:
    static const char* const tag;

    PlatformHistory() = default;
    explicit PlatformHistory(const PlatformSignature& signature) : PlatformSignature(signature) {}
    PlatformHistory(const PlatformHistory& other) = default;
    PlatformHistory& operator=(const PlatformHistory& other) = default;
    ~PlatformHistory() override;

    std::vector<ReleaseNote>& getNotes() { return m_notes; }
    const std::vector<ReleaseNote>& getNotes() const { return m_notes; }

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override;
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    void setDefault() override;

private:
    std::vector<ReleaseNote> m_notes;
};

} // namespace vantorix

#endif
