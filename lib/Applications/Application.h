#ifndef VANTORIX_APPLICATIONS_APPLICATION_H
#define VANTORIX_APPLICATIONS_APPLICATION_H

#include "Applications/ApplicationSignature.h"

#include <map>
#include <memory>

namespace vantorix {

class Directory;

// One installed host application: an ArchiCAD installation folder (the folder
// that holds the application bundle). From the folder alone it works out the
// host's version, edition, language and preferences postfix (its
// "ProductVersion.xml"), the localised names of the host's add-on and library
// folders and so where tools of each kind go. Only the signature and the path
// are shipped (tag "application"); the rest is worked out on first use and
// again after the record has been reset or read.
class Application : public XMLAssembly {
public:
    // The kinds of folder a tool installs into (texts in locationStr).
    enum Location : short {
        dll = 0,
        library = 1,
        identifier = 2,
        extra = 3,
        userPreference = 4,
        globalPreference = 5,
        workEnvironment = 6
    };
    static const char* const locationStr[7];
    static const char* const tag;

    // Host All, no path: never valid. Used when records are read.
    Application();
    // A host of the given family in folder path; its version is Host::version
    // until the folder has been read.
    Application(HostType::ID host, const String& path);
    // A host that stands for a version rather than an installation (the
    // offline file maker lists one per supported version, without a path).
    Application(const ApplicationSignature& signature, const String& path);
    Application(const Application& other) = default;
    Application& operator=(const Application& other) = default;
    ~Application() override;

    bool isValid() const;
    const ApplicationSignature& getSignature() const;
    String getName() const;
    const String& getPath() const { return m_path; }
    const String& getPrefsPostfix() const;
    // path + "/" + the folder of that kind (ending with "/"); empty when the
    // host has no folder of that kind.
    String getDirectory(Location location) const;
    // The file extension of that kind ("apx", "lcf", "txt"), or empty.
    String getDefaultExtension(Location location) const;
    // Whether a process started from this installation's bundle is running
    // (read from the system's process table, without starting a program).
    bool isRunning() const;
    // The host's cache folder for this installation, owned by the caller, or
    // null when there is none.
    std::unique_ptr<Directory> getCacheDirectory() const;
    // Erases the contents of the cache folder, logging the outcome.
    void clearCache() const;

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override { return 2; }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    void setDefault() override;
    bool validate() override;

private:
    void initialise() const;
    void forget();

    // The signature and the derived fields are filled in lazily by the const
    // accessors, hence mutable.
    mutable ApplicationSignature m_signature;
    String m_path;
    mutable std::map<Location, String> m_directories;
    mutable std::map<Location, String> m_extensions;
    mutable String m_prefsPostfix;
    mutable bool m_valid = false;
    mutable bool m_initialised = false;
};

template <>
struct XMLEnumTable<Application::Location> {
    static constexpr const char* names[] = {"dll",           "library",          "identifier",     "extra",
                                            "userPreference", "globalPreference", "workEnvironment"};
};

} // namespace vantorix

#endif
