#ifndef VANTORIX_APPLICATIONS_ARCHICADINFO_H
#define VANTORIX_APPLICATIONS_ARCHICADINFO_H

#include "Applications/ApplicationSignature.h"

#include <memory>

namespace vantorix {

// What an ArchiCAD installation says about itself in the "ProductVersion.xml"
// directly inside its folder (tag "productversion"): the major version, the
// language code, the edition and the preferences postfix.
class ArchiCADInfo : public XMLAssembly {
public:
    static const char* const tag;
    static const char* const fileName;

    ArchiCADInfo() = default;
    ~ArchiCADInfo() override;

    // The record read from folder + "/ProductVersion.xml"; null when that file
    // does not exist or cannot be read.
    static std::unique_ptr<ArchiCADInfo> loadFrom(const String& folder);

    short getVersion() const { return m_version; }
    const String& getLanguage() const { return m_language; }
    ApplicationSignature::Type getType() const { return m_type; }
    const String& getPrefsPostfix() const { return m_prefsPostfix; }

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 4; }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    void setDefault() override;

private:
    short m_version = 0;
    String m_language;
    ApplicationSignature::Type m_type = ApplicationSignature::full;
    String m_prefsPostfix;
    bool m_elementMet = false;
};

} // namespace vantorix

#endif
