#ifndef INSTALLER_INSTALLERPREFS_H
#define INSTALLER_INSTALLERPREFS_H

#include "Serialise/Status.h"
#include "Serialise/XMLShipping.h"
#include "Utility/String.h"

namespace installer {

// A window size remembered between runs, written as the attributes "width"
// and "height" of an element whose tag the parent gives. 0 by 0 means that
// no size is known yet and the window keeps its designed size.
class DialogSize : public vantorix::XMLAssembly {
public:
    static const char* const tag;

    DialogSize() = default;
    DialogSize(short w, short h) : width(w), height(h) {}

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override;
    vantorix::ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    vantorix::ShippingPtr getShipping(const vantorix::String& childTag, const vantorix::String& nameSpace) override;
    void setDefault() override;

    bool isKnown() const { return width != 0 || height != 0; }

    short width = 0;
    short height = 0;
};

// What the installer remembers between runs for the user: the sizes of its
// three windows, the folder of the preferred host application and the status
// filter last shown. The installer manager derives from it, so these are
// fields of the global manager. Read once at start-up from the per-user
// preference file and saved once at shut-down.
class InstallerPrefs : public vantorix::XMLAssembly {
public:
    static const char* const tag;

    InstallerPrefs();
    ~InstallerPrefs() override;

    const char* getTag() const override { return tag; }
    unsigned long shippingSize() const override;
    vantorix::ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    vantorix::ShippingPtr getShipping(const vantorix::String& childTag, const vantorix::String& nameSpace) override;
    // The three sizes 0 by 0, status myTools, both paths empty.
    void setDefault() override;

    // Resets the preferences, then reads the per-user preference file when
    // there is one. A damaged file keeps what was read before the damage.
    void readPrefs();
    // Writes the preferences to the per-user preference file, making folder
    // and file as needed. The file is replaced in one step (written beside
    // it, then renamed), so a failed save leaves the previous file as it was.
    // False when nothing was saved; callers at shut-down ignore it.
    bool savePrefs();

    DialogSize mainSize;
    DialogSize releaseSize;
    DialogSize eulaSize;
    // The folder path of the preferred host application.
    vantorix::String applicationPath;
    // The status filter last shown.
    vantorix::Status savedStatus = vantorix::myTools;
    // The first program argument, kept until the options panel consumes it.
    // Not saved.
    vantorix::String commandLinePath;

private:
    // Only the preference fields, whatever a derived class does with the
    // virtual setDefault (the manager resets its working state there).
    void resetPrefs();
};

} // namespace installer

#endif
