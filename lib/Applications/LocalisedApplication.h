#ifndef VANTORIX_APPLICATIONS_LOCALISEDAPPLICATION_H
#define VANTORIX_APPLICATIONS_LOCALISEDAPPLICATION_H

#include "Utility/String.h"

namespace vantorix {

// The names that a localised ArchiCAD gives its add-on folder and its library
// folder. The library folder name is a stem ending in a blank, to which the
// host's version text is appended ("ArchiCAD Library " + "19").
class LocalisedApplication {
public:
    LocalisedApplication(const String& language, const String& addOnFolder, const String& libraryFolder);

    const String& getLanguage() const { return m_language; }
    const String& getAddOnFolder() const { return m_addOnFolder; }
    const String& getLibraryFolder() const { return m_libraryFolder; }

    // The entry for a "gslanguage" code (exact, upper-case match), or null.
    // The table is built on first use and lives until exit.
    static const LocalisedApplication* find(const String& language);

private:
    String m_language;
    String m_addOnFolder;
    String m_libraryFolder;
};

} // namespace vantorix

#endif
