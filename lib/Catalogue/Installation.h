#ifndef VANTORIX_CATALOGUE_INSTALLATION_H
#define VANTORIX_CATALOGUE_INSTALLATION_H

#include "Catalogue/ProductMap.h"

#include <memory>

namespace vantorix {

// What is installed on this machine: per product, per host release line, the
// installed files (see RegisteredPlatform). The element name is given by the
// owner ("installation" inside a tools store). Also carries, when a record
// read from elsewhere had them, the caller's signature and an operating
// system text; the installer itself sets neither. Owns everything in it.
class Installation : public XMLAssembly {
public:
    static const char* const tag;

    explicit Installation(const char* elementName = nullptr);
    Installation(const Installation& other);
    Installation& operator=(const Installation& other);
    ~Installation() override;

    ProductMap& getProducts() { return m_products; }
    const ProductMap& getProducts() const { return m_products; }
    const PlatformSignature* getCallerSignature() const { return m_caller.get(); }
    void setCallerSignature(const PlatformSignature& signature);
    const String& getOS() const { return m_os; }
    void setOS(const String& os) { m_os = os; }

    // One product's installation facts (ProductMap::mergeInstallation).
    bool merge(const Product& product) { return m_products.mergeInstallation(product); }
    // Another record's products, the later edited one winning per product.
    void merge(const Installation& other) { m_products.merge(other.m_products); }
    // Drops installed files that no longer exist on disk (an emptied list of
    // a platform goes too; products and platforms stay). True when anything
    // was dropped.
    bool deregisterOldExecutables() { return m_products.deregisterOldExecutables(); }
    // Whether any installed file is recorded.
    bool isExecutable() const { return m_products.isExecutable(); }

    const char* getTag() const override { return m_tag ? m_tag : tag; }
    void setTag(const char* tag) override { m_tag = tag; }
    unsigned long shippingSize() const override { return 3; }
    bool hasAttributes() const override { return false; }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    void setDefault() override;

private:
    const char* m_tag;
    std::unique_ptr<PlatformSignature> m_caller;
    String m_os;
    ProductMap m_products;
};

} // namespace vantorix

#endif
