#ifndef VANTORIX_APPLICATIONS_APPLICATIONMAP_H
#define VANTORIX_APPLICATIONS_APPLICATIONMAP_H

#include "Applications/Application.h"
#include "Serialise/XMLRecord.h"

namespace vantorix {

// Host applications filed under Guids (tag "applicationMap"). Each entry is
// shipped as an "application" element that carries its Guid as the attribute
// "key"; when reading, only "application" children are taken and the first
// of two entries with the same key wins. Owns its applications; a copy copies
// every one of them.
class ApplicationMap : public Map<Guid, Application>, public XMLMap {
public:
    static const char* const tag;

    ApplicationMap() = default;
    ApplicationMap(const ApplicationMap& other) = default;
    ApplicationMap& operator=(const ApplicationMap& other) = default;
    ~ApplicationMap() override;

    using Map<Guid, Application>::insert;
    void clear() override { Map<Guid, Application>::clear(); }

    // The Guid of the preferred application: the one with the highest
    // version, and among equal versions the one whose Guid sorts first. The
    // null Guid when the map is empty.
    Guid getDefaultApplication() const;
    // The Guid of the application installed in folder path, or the null Guid.
    // Folders are compared after resolving links and "." or ".." steps, so
    // one installation reached by two paths is found either way.
    Guid findInstallation(const String& path) const;

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return static_cast<unsigned long>(size()); }
    bool hasAttributes() const override { return false; }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr addShipping(const String& tag, const String& nameSpace) override;
    bool insert(Shipping& element) override;
    void setDefault() override { Map<Guid, Application>::clear(); }
};

} // namespace vantorix

#endif
