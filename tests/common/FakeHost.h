#ifndef VANTORIX_TESTS_FAKEHOST_H
#define VANTORIX_TESTS_FAKEHOST_H

#include <QString>

// Builds fake ArchiCAD installations on disk: the installation folder, its
// "ProductVersion.xml", the application bundle with a runnable executable in
// "Contents/MacOS", and optionally the host's own add-on and library folders.
// Used by the tests and by the developer program vantorix-fakehost.
namespace fakehost {

enum class ProductVersionFile { written, missing, damaged };

struct FakeHostOptions {
    // The installation folder to create (the folder that holds the bundle).
    QString folder;
    int version = 19;
    QString language = QStringLiteral("INT");
    // "full", "solo" or "start" (any letter case is written as given).
    QString edition = QStringLiteral("full");
    // Empty: "<version>.0.0 <language> R1".
    QString postfix;
    // Empty: the bundle name the host itself uses, e.g. "ArchiCAD 19.app",
    // "ArchiCAD SE 2016.app" for a start edition.
    QString bundle;
    QString executable = QStringLiteral("ArchiCAD");
    ProductVersionFile productVersion = ProductVersionFile::written;
    // Creates the localised add-on and library folders of the host's language
    // (needs the library's folder table, so only where the library is linked).
    bool localisedFolders = false;
};

// The bundle name used when the options leave it empty.
QString defaultBundleName(const FakeHostOptions& options);
// The text of "ProductVersion.xml" for the options.
QByteArray productVersionText(const FakeHostOptions& options);

// Creates the installation. Returns false with a message in error when a
// folder or file cannot be made. An existing installation is overwritten.
bool create(const FakeHostOptions& options, QString* error = nullptr);

// Path of the bundle and of the executable inside it.
QString bundlePath(const FakeHostOptions& options);
QString executablePath(const FakeHostOptions& options);

} // namespace fakehost

#endif
