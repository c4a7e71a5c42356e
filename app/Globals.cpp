// The application's process-wide objects, defined in one translation unit so
// that they are constructed in a fixed order before main: the account first,
// then the manager. (The host services, platform services and the log live in
// the shared library; the platform and the log have no constructed state that
// the others depend on.)
#include "InstallerClient.h"
#include "InstallerManager.h"

namespace installer {

InstallerClient client;
InstallerManager manager;

} // namespace installer
