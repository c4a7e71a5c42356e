#ifndef VANTORIX_CATALOGUE_PRODUCTMAP_H
#define VANTORIX_CATALOGUE_PRODUCTMAP_H

#include "Catalogue/Product.h"

namespace vantorix {

// Products keyed and ordered by id; tag "plugins" (an installation record
// ships it as "products"). Owns its products; a copy clones them. Reading
// keeps the first of two products with the same id.
class ProductMap : public XMLKeyedMap<String, Product> {
public:
    static const char* const tag;

    ProductMap() : XMLKeyedMap(tag) {}
    ProductMap(const ProductMap& other) = default;
    ProductMap& operator=(const ProductMap& other) = default;
    ~ProductMap() override;

    // The product with that id, or null.
    Product* getProduct(const String& id) const { return find(id); }

    // Adds a copy when the id is new; replaces the stored product only when
    // the given one was edited later. True when the map changed.
    bool merge(const Product& product);
    void merge(const ProductMap& other);

    // Folds one product's installation facts in: a new id adds the product
    // (id, name and code; edited now); a present one takes a differing name
    // and code; then each platform is merged (see PlatformMap). True when
    // anything changed.
    bool mergeInstallation(const Product& product);

    // Whether any product has installed files recorded.
    bool isExecutable() const;
    // Drops installed files that no longer exist; true when any was dropped.
    bool deregisterOldExecutables();

protected:
    String getKey(const Product& product) const override { return product.getID(); }
};

} // namespace vantorix

#endif
