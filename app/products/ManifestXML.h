#ifndef INSTALLER_PRODUCTS_MANIFESTXML_H
#define INSTALLER_PRODUCTS_MANIFESTXML_H

#include "Applications/Application.h"
#include "Serialise/XMLRecord.h"

namespace installer {

// One file that a product archive installs (tag "file"): which folder of the
// host application it goes to (attribute "type"), its name in the archive and
// in the target folder (element "name"), and an explicit folder below the
// host application's folder (element "location", written only when set;
// empty when the type decides).
class ManifestFile : public vantorix::XMLAssembly {
public:
    static const char* const tag;

    ManifestFile() = default;
    ManifestFile(vantorix::Application::Location type, const vantorix::String& name,
                 const vantorix::String& location = vantorix::String());
    ManifestFile(const ManifestFile& other) = default;
    ManifestFile& operator=(const ManifestFile& other) = default;
    ~ManifestFile() override;

    vantorix::Application::Location getType() const { return m_type; }
    const vantorix::String& getName() const { return m_name; }
    const vantorix::String& getLocation() const { return m_location; }

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 3; }
    vantorix::ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    vantorix::ShippingPtr getShipping(const vantorix::String& tag, const vantorix::String& nameSpace) override;
    void setDefault() override;

private:
    vantorix::Application::Location m_type = vantorix::Application::dll;
    vantorix::String m_name;
    vantorix::String m_location;
};

// The "manifest.xml" at the root of a product archive (tag "manifest"): the
// files to install, in order. Reading takes only "file" children.
class ManifestXML : public vantorix::XMLList<ManifestFile> {
public:
    static const char* const tag;
    static const char* const fileName;  // "manifest.xml"

    ManifestXML() : XMLList(tag) {}
    ~ManifestXML() override;
};

} // namespace installer

#endif
