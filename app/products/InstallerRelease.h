#ifndef INSTALLER_PRODUCTS_INSTALLERRELEASE_H
#define INSTALLER_PRODUCTS_INSTALLERRELEASE_H

#include "Catalogue/ReleaseUrl.h"

#include <vector>

namespace installer {

// One release of the installer itself (tag "release"): the archive's size
// ("releasesize") and where to fetch it, one "releaseurl" per language.
// Reading takes only "releaseurl" children into the list.
class InstallerRelease : public vantorix::XMLAssembly {
public:
    static const char* const tag;

    InstallerRelease() = default;
    InstallerRelease(const InstallerRelease& other) = default;
    InstallerRelease& operator=(const InstallerRelease& other) = default;
    ~InstallerRelease() override;

    double getSize() const { return m_size; }
    void setSize(double size) { m_size = size; }
    std::vector<vantorix::ReleaseUrl>& getReleaseList() { return m_releaseList; }
    const std::vector<vantorix::ReleaseUrl>& getReleaseList() const { return m_releaseList; }

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override;
    bool hasAttributes() const override { return false; }
    vantorix::ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    vantorix::ShippingPtr getShipping(const vantorix::String& tag, const vantorix::String& nameSpace) override;
    void setDefault() override;

private:
    double m_size = 0.0;
    std::vector<vantorix::ReleaseUrl> m_releaseList;
};

} // namespace installer

#endif
