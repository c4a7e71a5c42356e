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

struct ProductFacts {
    explicit ProductFacts(const QString& productName, bool isOwned = false, bool hasTrial = false,
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
    // The product's page; by default one under tools.vantorix.example.
    QString page;
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

inline installer::InstallerProduct* addProduct(const vantorix::Guid& hostId, const ProductFacts& facts)
{
    using namespace vantorix;
    const Application* application = installer::manager.getApplication(hostId);
    const PlatformSignature signature(HostType::archiCAD, application->getSignature().getVersion());
    RegisteredPlatform platform(String(facts.version), signature);
    platform.setOwned(facts.owned);
    RegisteredPlatform::PlatformDetail& details = platform.details();
    details.trialavailable = facts.trial;
    details.agreementURL = String(facts.agreement);
    details.imageurl = String(facts.image);
    details.producturl =
        String(facts.page.isNull() ? QStringLiteral("https://tools.vantorix.example/") + facts.name : facts.page);
    const QString release =
        facts.release.isNull() ? QStringLiteral("http://127.0.0.1:9/archives/%1.zip").arg(facts.name) : facts.release;
    if (!release.isEmpty())
        details.releaseList.emplace_back(String("INT"), String(release));
    Product product(String(facts.name), String(facts.name), String(facts.name));
    if (!facts.history.empty())
        product.setHistory(facts.history);
    installer::ProductTree& tree = installer::manager.getProductTree();
    tree.addProduct(installer::manager.getApplications(), product, signature, platform);
    installer::InstallerProduct* made = tree.getProducts(hostId)->back().get();
    made->setLocalVersion(facts.installed);
    return made;
}

} // namespace productfixture

#endif
