#ifndef INSTALLER_VANTORIXINSTALLERAPP_H
#define INSTALLER_VANTORIXINSTALLERAPP_H

#include "Catalogue/Product.h"
#include "Environment/Addon.h"

#include <memory>

namespace installer {

// The installer described as a product of its own, and the program's fixed
// start-up and shut-down order. startup() creates the one instance and stores
// it in vantorix::addon; shutdown() deletes it.
class VantorixInstallerApp : public vantorix::Addon {
public:
    static const char* const releaseDate;
    // 2.05 (AppVersion.cpp).
    static const double version;
    static constexpr int buildNumber = 13;

    VantorixInstallerApp();
    ~VantorixInstallerApp() override;

    vantorix::Product* getProductInfo() const override;
    vantorix::String getProductVersion() const override;
    vantorix::String getBuildNo() const override;
    vantorix::String getReleaseDate() const override;
    vantorix::String getName() const override;

    // 0 on success. A non-zero result skips the window; shutdown still runs.
    static short startup();
    static short shutdown();

    // The log file's name, in "Vantorix Tools/Logs" of the Preferences folder.
    static const char* const logFileName;

private:
    // The installer's own catalogue record: id "Installer", its name, no
    // code, and one platform of its version and signature.
    std::unique_ptr<vantorix::Product> m_product;
};

} // namespace installer

#endif
