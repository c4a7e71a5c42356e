#ifndef INSTALLER_OFFLINEPACKAGE_H
#define INSTALLER_OFFLINEPACKAGE_H

#include "Utility/String.h"

#include <QString>

namespace vantorix {
class VantorixTools;
}

namespace installer {

class ArchiveMap;
class EULAMap;
class ImageMap;
class InstallerProduct;

// The records an offline install file carries, by reference: the catalogue
// store (listing, client, machine report, target) and the image, archive and
// agreement caches.
struct OfflineContents {
    vantorix::VantorixTools& catalogue;
    ImageMap& images;
    ArchiveMap& archives;
    EULAMap& eulas;
};

// Offline install files ("*.zfinstall"): a zip holding, in this order,
// "ProductListing.xml" (the catalogue store), "ImageMap.xml", "ArchiveMap.xml",
// "EULAMap.xml", then one entry per downloaded product archive, named after
// its local copy ("<GUID>.zfpkg"), in the order of the archive cache.
//
// Writing streams the archives into a temporary file beside the target and
// renames it over the target only when the whole file is written; the
// client's password never goes into the file.
//
// Reading takes nothing on trust: the XML entries must parse (and are
// bounded in size), archive entries must carry the names the writer gives and
// be listed in the archive cache, every archive is unpacked as a stream into
// the temporary folder and checked against the catalogue's SHA-256 when it
// has one, and the zip reader's limits apply (damaged or overlapping entries,
// entries that unpack to more than they declare), with room for 64 GiB of
// archives as long as they fit into the temporary folder. A file that fails any of this is refused whole
// and what was unpacked from it is removed.
class OfflinePackage {
public:
    static const char* const extension;           // "zfinstall"
    static const char* const catalogueEntry;      // "ProductListing.xml"
    static const char* const imagesEntry;         // "ImageMap.xml"
    static const char* const archivesEntry;       // "ArchiveMap.xml"
    static const char* const agreementsEntry;     // "EULAMap.xml"
    // The most bytes one XML entry may unpack to: a catalogue with every
    // product's pictures is a few MB.
    static constexpr qint64 recordLimit = 64 * 1024 * 1024;
    // The most bytes the entries of one file may unpack to together; what is
    // unpacked must also fit into the temporary folder's free space.
    static constexpr qint64 totalLimit = qint64(64) << 30;

    // Result codes of reading; each is the row of the error table shown.
    enum Result : short { readable = 0, missing = 4, noTemporaryFolder = 7, damaged = 8, otherVersion = 9 };

    // Writes the file at path. False with a reason in error (the file at
    // path is then as it was). archivesWritten counts the archive entries.
    static bool write(const QString& path, OfflineContents& contents, vantorix::String& error,
                      int* archivesWritten = nullptr);

    // Reads the file at path into contents (fresh, empty records), unpacking
    // its archives into folder; version is this installer's. On anything but
    // read, detail says why (a filled row of the error table) and nothing
    // unpacked stays in folder. The client's password in a file is dropped.
    static short read(const QString& path, const QString& folder, const vantorix::String& version,
                      OfflineContents& contents, vantorix::String& detail);

    // Whether name is the name the writer gives an archive entry: a Guid's
    // text (upper case), ".", "zfpkg"; no folder.
    static bool isArchiveEntryName(const QString& name);
    // Whether the archive cache holds an archive for every release of the
    // product (installing from a file can fetch nothing else).
    static bool holdsArchives(const InstallerProduct& product, const ArchiveMap& archives);
};

} // namespace installer

#endif
