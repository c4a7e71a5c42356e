#ifndef INSTALLER_INSTALLERMANAGER_H
#define INSTALLER_INSTALLERMANAGER_H

#include "Utility/String.h"

namespace installer {

// The installer's one controller. It holds the installer's state for the
// whole run: the preferences, the host applications, the catalogue and the
// products.
class InstallerManager {
public:
    InstallerManager() = default;

    // The first program argument, kept until the options panel consumes it.
    // Not saved with the preferences.
    vantorix::String commandLinePath;
};

// The process-wide manager, constructed before main.
extern InstallerManager manager;

} // namespace installer

#endif
