#ifndef VANTORIX_ENVIRONMENT_HOST_H
#define VANTORIX_ENVIRONMENT_HOST_H

#include "Utility/String.h"

#include <QByteArray>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace vantorix {

class ApplicationMap;

// The host services: the host applications found on this machine and the
// program's string tables. Its one instance is the global `host`. Discovery
// runs when the host applications are first asked for, not when the program
// loads: commands that need no host (the version, the help, signing in and
// out) never search the disk. Owns the application map and the cached
// tables.
class Host {
public:
    // The version of a host application before its folder has been read, and
    // of the program's own product record.
    static constexpr short version = 1;

    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Replaces the application map by a new one and runs the discovery now.
    void initialise();

    // The discovered applications, discovering them on the first call.
    const ApplicationMap* getApplicationMap() const;
    // Whether discovery has run.
    bool isDiscovered() const { return m_applications != nullptr; }
    // Called after every discovery with what it found (the program logs it).
    using DiscoveryListener = std::function<void(const ApplicationMap&)>;
    static void setDiscoveryListener(DiscoveryListener listener);
    String getLanguage() const;
    // Row index (from 0) of the string table ":/Strings/<table>.txt", or an
    // empty text. Tables are read once and kept; a table that does not exist
    // is not remembered, so it is looked for again next time.
    String getLocalString(short table, short index) const;
    // Whether the table has been read and is kept.
    bool hasTable(short table) const { return m_strings.find(table) != m_strings.end(); }
    // The native id of the active window, or 0 when there is none.
    unsigned long long getActiveWindowHandle() const;

    // The host versions the installer supports (18 and 19). Only the keys
    // count.
    static const std::map<short, bool>& getSupportedVersions();
    static bool isSupportedVersion(short version);

    // ArchiCAD discovery: files every valid installation of a supported
    // version found on this machine under a new Guid.
    static void loadArchiCAD(ApplicationMap& map);
    // Files the installations whose bundles are listed in bundlePaths (one
    // path per line, as "mdfind" prints them).
    static void loadArchiCAD(ApplicationMap& map, const QByteArray& bundlePaths);
    // The paths of ArchiCAD application bundles on this machine, one per
    // line. With VANTORIX_HOST_SEARCH_PATH set, the folders listed there are
    // searched; otherwise Spotlight is asked on macOS and a few usual
    // folders are searched elsewhere.
    static QByteArray findArchiCADBundles();
    // The folders that findArchiCADBundles searches when it searches.
    static QStringList searchRoots();

private:
    void discover() const;

    mutable std::unique_ptr<ApplicationMap> m_applications;
    mutable std::map<short, std::unique_ptr<std::vector<String>>> m_strings;
};

extern Host host;

} // namespace vantorix

#endif
