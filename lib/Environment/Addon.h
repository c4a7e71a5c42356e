#ifndef VANTORIX_ENVIRONMENT_ADDON_H
#define VANTORIX_ENVIRONMENT_ADDON_H

#include "Catalogue/PlatformSignature.h"
#include "Utility/String.h"

#include <memory>

namespace vantorix {

class DataFile;
class Directory;
class Product;

// The running program described as a product of its own: its catalogue
// record, version, build, release date and name. The application object
// derives from it; other code reaches it through the global addon.
class Addon {
public:
    virtual ~Addon();

    // The program's own catalogue record, owned by the application object.
    virtual Product* getProductInfo() const = 0;
    virtual String getProductVersion() const = 0;
    virtual String getBuildNo() const = 0;
    virtual String getReleaseDate() const = 0;
    // The host release line the program itself belongs to: every host, at
    // the host environment's version (Host::version).
    virtual PlatformSignature getPlatformSignature() const;
    virtual String getName() const = 0;

    static short startup();
    static short shutdown();

    // The folder that holds the running executable.
    std::unique_ptr<Directory> getParentDirectory() const;
    // The running executable itself, read-write, not created.
    std::unique_ptr<DataFile> getExecutable() const;
};

// The application object: null until start-up creates it and again after
// shut-down deletes it.
extern Addon* addon;

} // namespace vantorix

#endif
