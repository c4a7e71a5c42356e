#ifndef VANTORIX_APPLICATIONS_APPLICATIONSIGNATURE_H
#define VANTORIX_APPLICATIONS_APPLICATIONSIGNATURE_H

#include "Catalogue/PlatformSignature.h"

namespace vantorix {

// The language of a host whose own language is not known.
extern const char* const defaultLanguage;

// What an installed host application is: its family and major version (the
// platform signature), its edition and its three-letter language code.
// Shipped as "signature" with the attributes "host", "version", "type" and
// "language".
class ApplicationSignature : public PlatformSignature {
public:
    // The edition. Shipped as "full", "solo", "start"; read in any letter case.
    enum Type : short { full = 0, solo = 1, start = 2 };

    ApplicationSignature();
    ApplicationSignature(HostType::ID host, short version, Type type = full, const String& language = defaultLanguage);
    ApplicationSignature(const ApplicationSignature& other) = default;
    ApplicationSignature& operator=(const ApplicationSignature& other) = default;
    ~ApplicationSignature() override;

    Type getType() const { return m_type; }
    void setType(Type type) { m_type = type; }
    const String& getLanguage() const { return m_language; }
    void setLanguage(const String& language) { m_language = language; }

    // "ArchiCAD 19", "ArchiCAD Solo 19", "ArchiCAD SE 2016".
    String getName() const override;
    // "19", "19 Solo", "SE 2016": the version as the host's library folder
    // names carry it.
    String toString() const;
    // "19" for full and solo, the year ("2016") for start.
    String getVersionString() const;

    // By type, then by language (when they differ other than in letter case),
    // then by platform signature.
    bool operator<(const ApplicationSignature& other) const;
    bool operator==(const ApplicationSignature& other) const;
    bool operator!=(const ApplicationSignature& other) const { return !(*this == other); }

    unsigned long shippingSize() const override { return 4; }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    void setDefault() override;

private:
    Type m_type = full;
    String m_language;
};

// The edition's text form. Reading lower-cases the text first; a text that
// names no edition is not taken (the value stays) but does not fail the read.
template <>
struct XMLValueText<ApplicationSignature::Type> {
    static bool write(const ApplicationSignature::Type& value, String& text);
    static bool read(ApplicationSignature::Type& value, const String& text);
    static void setDefault(ApplicationSignature::Type& value) { value = ApplicationSignature::full; }
};

} // namespace vantorix

#endif
