#include "products/ProductTree.h"

#include "Applications/Application.h"
#include "Applications/ApplicationMap.h"
#include "Catalogue/Installation.h"
#include "Catalogue/ProductMap.h"
#include "Catalogue/VantorixTools.h"
#include "Utility/Convert.h"

using namespace vantorix;

namespace installer {

namespace {

bool matches(const Application& application, const PlatformSignature& signature)
{
    const ApplicationSignature& own = application.getSignature();
    return own.getHostID() == signature.getHostID() && own.getVersion() == signature.getVersion();
}

} // namespace

ProductTree::ProductTree() = default;

ProductTree::~ProductTree() = default;

bool ProductTree::rebuild(const ApplicationMap& applications, const VantorixTools& catalogue)
{
    clear();
    const Installation* listing = catalogue.getInstallation();
    if (listing == nullptr)
        return true;
    for (const auto& entry : listing->getProducts()) {
        const Product& product = *entry.second;
        for (const auto& platform : product.getPlatformList())
            addProduct(applications, product, platform.first, *platform.second);
    }
    return true;
}

void ProductTree::clear()
{
    m_lists.clear();
    m_local.reset();
    m_localRead = false;
}

void ProductTree::addProduct(const ApplicationMap& applications, const Product& product,
                             const PlatformSignature& signature, const RegisteredPlatform& platform)
{
    for (const auto& entry : applications) {
        if (entry.second != nullptr && matches(*entry.second, signature))
            add(entry.first, *entry.second, product, platform);
    }
}

void ProductTree::buildFor(const Guid& applicationId, const Application& application, const VantorixTools& catalogue)
{
    const Installation* listing = catalogue.getInstallation();
    if (listing == nullptr || m_lists.find(applicationId) != m_lists.end())
        return;
    for (const auto& entry : listing->getProducts()) {
        for (const auto& platform : entry.second->getPlatformList()) {
            if (matches(application, platform.first))
                add(applicationId, application, *entry.second, *platform.second);
        }
    }
}

void ProductTree::add(const Guid& applicationId, const Application& application, const Product& product,
                      const RegisteredPlatform& platform)
{
    ProductList& list = m_lists[applicationId];
    list.push_back(std::make_unique<InstallerProduct>(product, platform));
    InstallerProduct& added = *list.back();
    added.setApplication(applicationId);
    if (application.isValid())
        updateLocal(application, added);
}

void ProductTree::updateLocal(const Application& application, InstallerProduct& product)
{
    const Installation* installed = getLocal().getInstallation();
    if (installed == nullptr)
        return;
    const Product* record = installed->getProducts().getProduct(product.getProduct().getID());
    if (record == nullptr)
        return;
    const RegisteredPlatform* platform = record->getPlatformList().find(product.getPlatform().getSignature());
    const ExecutableMap* files = platform != nullptr ? platform->getExecutables() : nullptr;
    if (files == nullptr)
        return;
    for (const Executable& file : files->elements()) {
        // Whole path components: "/Apps/ArchiCAD 19" does not hold the files
        // of "/Apps/ArchiCAD 19 Solo".
        if (!InstallerProduct::isInside(file.getPath(), application.getPath()))
            continue;
        product.addLocalPath(file.getPath());
        product.setLocalVersion(ToDouble(file.getVersion()).value());
    }
}

ProductTree::ProductList* ProductTree::getProducts(const Guid& applicationId)
{
    const auto it = m_lists.find(applicationId);
    return it == m_lists.end() ? nullptr : &it->second;
}

VantorixTools& ProductTree::getLocal()
{
    if (!m_local)
        m_local = std::make_unique<VantorixTools>();
    // Read once per tree: a machine without installation files would
    // otherwise walk the folder again for every product.
    if (!m_localRead) {
        m_localRead = true;
        m_local->readInstallation(nullptr, true, true);
    }
    return *m_local;
}

bool ProductTree::isInstalling() const
{
    for (const auto& list : m_lists) {
        for (const auto& product : list.second) {
            if (product->isBusy() && !product->isCancelled())
                return true;
        }
    }
    return false;
}

std::size_t ProductTree::productCount() const
{
    std::size_t count = 0;
    for (const auto& list : m_lists)
        count += list.second.size();
    return count;
}

} // namespace installer
