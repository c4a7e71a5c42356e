#ifndef VANTORIX_ENVIRONMENT_PLATFORM_H
#define VANTORIX_ENVIRONMENT_PLATFORM_H

#include "Utility/String.h"

#include <memory>
#include <vector>

namespace vantorix {

class Directory;

// Stateless services of the operating system: its version, the folders the
// program works in, the hardware addresses of the network interfaces, and
// opening URLs. Folder results are owned by the caller and null when the
// folder cannot be had. Every folder can be redirected by the environment so
// that tests and the demo never touch a real home folder:
//   VANTORIX_PREFS_DIR       the user's Preferences folder
//   VANTORIX_SHARED_DIR      the folder shared by all users
//   TMPDIR                   the temporary folder
//   VANTORIX_MAC_ADDRESSES   comma-separated hardware addresses to report
//   VANTORIX_SYS_CLASS_NET   the folder describing the network interfaces
//                            (Linux; /sys/class/net by default)
class Platform {
public:
    String getVersionString() const;
    std::unique_ptr<Directory> getUserPrefsDirectory() const;
    std::unique_ptr<Directory> getSharedDataDirectory() const;
    std::unique_ptr<Directory> getUserHomeDirectory() const;
    std::unique_ptr<Directory> getCurrentDirectory() const;
    std::unique_ptr<Directory> getDocumentDirectory() const;
    std::unique_ptr<Directory> getLocalDataDirectory() const;
    std::unique_ptr<Directory> getTempDirectory() const;
    // One "%02X-%02X-%02X-%02X-%02X-%02X" text per physical network
    // interface: Ethernet first, then the others (Wi-Fi), each group by
    // interface name. Loopback, bridge, tunnel, VPN and container interfaces
    // are left out, so that the list (the client file's key) does not change
    // when one of them comes or goes.
    std::vector<String> getMACAddress() const;
    bool launchUrl(const String& url) const;
    // The program paths of the running processes, read from the system's
    // process table without starting any program: each process's executable
    // and, for a program that names itself (a script started by path, a
    // process renamed with "exec -a"), its first argument when that is an
    // absolute path. Processes the user may not look into give what they
    // show.
    std::vector<QString> getRunningProgramPaths() const;
};

// The process-wide platform services. Having no state, they may be used by
// other objects' constructors before this one is constructed.
extern Platform platform;

} // namespace vantorix

#endif
