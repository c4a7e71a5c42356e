#ifndef INSTALLER_PRODUCTS_PRODUCTTREE_H
#define INSTALLER_PRODUCTS_PRODUCTTREE_H

#include "products/InstallerProduct.h"

#include "Database/Guid.h"

#include <map>
#include <memory>
#include <vector>

namespace vantorix {
class Application;
class ApplicationMap;
class PlatformSignature;
class VantorixTools;
} // namespace vantorix

namespace installer {

// The products per host application: for every host application, the
// catalogue's products made for exactly its host type and version, each an
// InstallerProduct that knows its installed state there. Owns the lists and
// the products (rebuild and clear destroy them, so nobody keeps one across a
// rebuild) and the local store from which the installed state is read.
class ProductTree {
public:
    using ProductList = std::vector<std::unique_ptr<InstallerProduct>>;

    ProductTree();
    ~ProductTree();
    ProductTree(const ProductTree&) = delete;
    ProductTree& operator=(const ProductTree&) = delete;

    // Replaces the tree by the products of the catalogue's listing for the
    // applications. A catalogue without a listing leaves the tree empty.
    bool rebuild(const vantorix::ApplicationMap& applications, const vantorix::VantorixTools& catalogue);
    // Destroys every list and product and drops the local store (read again
    // on next need).
    void clear();
    // Adds one product for each application of the platform's host type and
    // version.
    void addProduct(const vantorix::ApplicationMap& applications, const vantorix::Product& product,
                    const vantorix::PlatformSignature& signature, const vantorix::RegisteredPlatform& platform);
    // Adds the products of one application added after the rebuild; nothing
    // when the tree already has its list or the catalogue has no listing.
    void buildFor(const vantorix::Guid& applicationId, const vantorix::Application& application,
                  const vantorix::VantorixTools& catalogue);
    // Fills the product's installed state for the application from the local
    // store: the recorded files inside the application's folder.
    void updateLocal(const vantorix::Application& application, InstallerProduct& product);

    // The list of an application, or null.
    ProductList* getProducts(const vantorix::Guid& applicationId);
    // The local store, read from the installation folder on first need.
    vantorix::VantorixTools& getLocal();
    // Any product busy and not cancelled.
    bool isInstalling() const;
    // How many products the tree holds in all.
    std::size_t productCount() const;

private:
    void add(const vantorix::Guid& applicationId, const vantorix::Application& application,
             const vantorix::Product& product, const vantorix::RegisteredPlatform& platform);

    std::map<vantorix::Guid, ProductList> m_lists;
    std::unique_ptr<vantorix::VantorixTools> m_local;
    bool m_localRead = false;
};

} // namespace installer

#endif
