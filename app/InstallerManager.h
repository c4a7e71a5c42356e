#ifndef INSTALLER_INSTALLERMANAGER_H
#define INSTALLER_INSTALLERMANAGER_H

#include "InstallerPrefs.h"

namespace installer {

// The installer's one controller. It holds the installer's state for the
// whole run: the preferences (inherited), the host applications, the
// catalogue and the products.
class InstallerManager : public InstallerPrefs {
public:
    // What the user chose to do.
    enum Action : int { installOnline = 0, installFromOfflineFile = 1, createOfflineFile = 2 };

    InstallerManager() = default;

    int getInstallerAction() const { return installerAction; }
    void setInstallerAction(int action) { installerAction = action; }

private:
    int installerAction = installOnline;
};

// The process-wide manager, constructed before main.
extern InstallerManager manager;

} // namespace installer

#endif
