#include "Catalogue/PlatformMap.h"

namespace vantorix {

const char* const PlatformMap::tag = "platforms";

PlatformMap::~PlatformMap() = default;

bool PlatformMap::add(const RegisteredPlatform& platform)
{
    return Map::insert(platform.getSignature(), std::make_unique<RegisteredPlatform>(platform));
}

bool PlatformMap::mergeInstallation(const RegisteredPlatform& platform)
{
    if (RegisteredPlatform* present = find(platform.getSignature()))
        return present->mergeInstallation(platform);
    add(platform);
    return true;
}

bool PlatformMap::isExecutable() const
{
    for (const auto& entry : *this) {
        if (entry.second->isExecutable())
            return true;
    }
    return false;
}

bool PlatformMap::insert(Shipping& element)
{
    auto* entry = dynamic_cast<detail::XMLMapEntry<RegisteredPlatform>*>(&element);
    if (entry == nullptr)
        return true; // the map's own tag met again: nothing to store
    std::unique_ptr<RegisteredPlatform> platform = entry->take();
    if (!platform)
        return true;
    if (RegisteredPlatform* present = find(platform->getSignature())) {
        present->setVersion(platform->getVersion());
        return true;
    }
    const PlatformSignature key = platform->getSignature();
    Map::insert(key, std::move(platform));
    return true;
}

} // namespace vantorix
