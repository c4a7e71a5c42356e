#ifndef INSTALLER_INSTALLERCLIENT_H
#define INSTALLER_INSTALLERCLIENT_H

namespace installer {

// The signed-in account's details. Sign-in fills it; it is empty until then.
class InstallerClient {
public:
    InstallerClient() = default;
};

// The process-wide account, constructed before main.
extern InstallerClient client;

} // namespace installer

#endif
