#include "Catalogue/ProductMap.h"

namespace vantorix {

const char* const ProductMap::tag = "plugins";

ProductMap::~ProductMap() = default;

bool ProductMap::merge(const Product& product)
{
    if (Product* stored = find(product.getID())) {
        if (!(stored->getEditTime() < product.getEditTime()))
            return false;
        *stored = product;
        return true;
    }
    return Map::insert(product.getID(), std::make_unique<Product>(product));
}

void ProductMap::merge(const ProductMap& other)
{
    for (const auto& entry : other)
        merge(*entry.second);
}

bool ProductMap::mergeInstallation(const Product& product)
{
    bool changed = false;
    Product* stored = find(product.getID());
    if (stored == nullptr) {
        auto fresh = std::make_unique<Product>(product.getID(), product.getName(), product.getCode());
        stored = fresh.get();
        Map::insert(product.getID(), std::move(fresh));
        changed = true;
    } else if (*stored != product) {
        stored->setName(product.getName());
        stored->setCode(product.getCode());
        changed = true;
    }
    for (const auto& entry : product.getPlatformList())
        changed = stored->mergeInstallation(*entry.second) || changed;
    return changed;
}

bool ProductMap::isExecutable() const
{
    for (const auto& entry : *this) {
        if (entry.second->isExecutable())
            return true;
    }
    return false;
}

bool ProductMap::deregisterOldExecutables()
{
    bool removed = false;
    for (auto& entry : *this)
        removed = entry.second->deregisterOldExecutables() || removed;
    return removed;
}

} // namespace vantorix
