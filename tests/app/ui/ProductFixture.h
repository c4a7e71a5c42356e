#ifndef VANTORIX_TESTS_APP_UI_PRODUCTFIXTURE_H
#define VANTORIX_TESTS_APP_UI_PRODUCTFIXTURE_H

// Products for the list widgets without the service: a host application of
// the manager (ArchiCAD 19, no folder) and catalogue products filed for it in
// the manager's product tree.

#include "InstallerManager.h"
#include "products/InstallerProduct.h"

#include "Applications/Application.h"
#include "Catalogue/Product.h"
#include "Catalogue/ProductHistory.h"
#include "Catalogue/RegisteredPlatform.h"

#include <QString>

namespace productfixture {

struct ProductSpec {
    explicit ProductSpec(const QString& productName, bool isOwned = false, bool hasTrial = false,
                         double installedVersion = 0.0, const QString& catalogueVersion = QStringLiteral("1.00"))
        : name(productName), owned(isOwned), trial(hasTrial), installed(installedVersion), version(catalogueVersion)
    {
    }
    QString name;
    bool owned = false;
    bool trial = false;
    // The installed version; 0 means not installed.
    double installed = 0.0;
    QString version = QStringLiteral("1.00");
    QString agreement;
    QString image;
    // By default one archive address that nothing answers.
    QString release;
    vantorix::ProductHistory history;
};

// A host application of the manager, made the active one.
inline vantorix::Guid makeHost(short version = 19, const QString& language = QStringLiteral("INT"),
                               const QString& path = QString(),
                               vantorix::ApplicationSignature::Type edition = vantorix::ApplicationSignature::full)
{
    using namespace vantorix;
    Guid id;
    id.generate();
    installer::manager.getApplications().insert(
        id, std::make_unique<Application>(
                ApplicationSignature(HostType::archiCAD, version, edition, String(language)),
                String(path)));
    installer::manager.setActiveApplication(id);
    return id;
}

inline installer::InstallerProduct* addProduct(const vantorix::Guid& hostId, const ProductSpec& spec)
{
    using namespace vantorix;
    const Application* application = installer::manager.getApplication(hostId);
    const PlatformSignature signature(HostType::archiCAD, application->getSignature().getVersion());
    RegisteredPlatform platform(String(spec.version), signature);
    platform.setOwned(spec.owned);
    RegisteredPlatform::PlatformDetail& details = platform.details();
    details.trialavailable = spec.trial;
    details.agreementURL = String(spec.agreement);
    details.imageurl = String(spec.image);
    details.producturl = String(QStringLiteral("https://tools.vantorix.example/") + spec.name);
    const QString release =
        spec.release.isNull() ? QStringLiteral("http://127.0.0.1:9/archives/%1.zip").arg(spec.name) : spec.release;
    if (!release.isEmpty())
        details.releaseList.emplace_back(String("INT"), String(release));
    Product product(String(spec.name), String(spec.name), String(spec.name));
    if (!spec.history.empty())
        product.setHistory(spec.history);
    installer::ProductTree& tree = installer::manager.getProductTree();
    tree.addProduct(installer::manager.getApplications(), product, signature, platform);
    installer::InstallerProduct* made = tree.getProducts(hostId)->back().get();
    made->setLocalVersion(spec.installed);
    return made;
}

} // namespace productfixture

#endif
