#ifndef VANTORIX_CATALOGUE_PLATFORMMAP_H
#define VANTORIX_CATALOGUE_PLATFORMMAP_H

#include "Catalogue/RegisteredPlatform.h"

namespace vantorix {

// The host release lines of a product, keyed and ordered by signature (host,
// then version); tag "platforms". Owns its entries; a copy clones them.
class PlatformMap : public XMLKeyedMap<PlatformSignature, RegisteredPlatform> {
public:
    static const char* const tag;

    PlatformMap() : XMLKeyedMap(tag) {}
    PlatformMap(const PlatformMap& other) = default;
    PlatformMap& operator=(const PlatformMap& other) = default;
    ~PlatformMap() override;

    // Stores a copy under its signature; false (nothing stored) when the
    // signature is already present.
    bool add(const RegisteredPlatform& platform);
    // A new signature stores a copy; a present one takes the other's version
    // text and installed files. True when anything changed.
    bool mergeInstallation(const RegisteredPlatform& platform);
    // Whether any platform has installed files recorded.
    bool isExecutable() const;

    // A platform read for a signature that is already present is not added:
    // the first entry stays and takes the later entry's version text.
    bool insert(Shipping& element) override;

protected:
    PlatformSignature getKey(const RegisteredPlatform& platform) const override { return platform.getSignature(); }
};

} // namespace vantorix

#endif
