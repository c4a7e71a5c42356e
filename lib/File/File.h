#ifndef VANTORIX_FILE_FILE_H
#define VANTORIX_FILE_FILE_H

#include "Utility/String.h"

#include <QFileInfo>

namespace vantorix {

// A path in the file system with accessors for its parts. The base of
// DataFile and Directory; it owns nothing but the cached path information,
// which every accessor refreshes first, so an object can outlive changes on
// disk. Paths use "/" (pathDelimiter) on every platform.
class File {
public:
    static const char* const pathDelimiter;

    File() = default;
    explicit File(const String& path);
    File(const File& other) = default;
    File& operator=(const File& other) = default;
    virtual ~File();

    // A new copy of the same kind, owned by the caller.
    virtual File* clone() const = 0;
    // The name without its last extension: "a.b" for "a.b.txt".
    virtual String getName() const;
    // The text after the last "." of the name, empty when there is none.
    virtual String getExtension() const;
    // Always empty: volumes are not part of a path here.
    virtual String getVolumeName() const;
    // The canonical absolute path (links resolved); empty when nothing exists
    // at the path.
    virtual String getPathName() const;
    // The absolute path, whether or not anything exists there.
    virtual String getURL() const;
    virtual bool exists() const = 0;
    virtual bool isFolder() const = 0;
    virtual int getLastError() const;
    // Both re-point the object at path.
    virtual void setName(const String& path);
    virtual void setPathName(const String& path);

    // Compares the absolute paths.
    bool operator==(const File& other) const;
    bool operator!=(const File& other) const { return !(*this == other); }

    // Opens the item to everybody: permission bits 0777.
    bool allowFullAccess();

protected:
    const QFileInfo& info() const;
    void setLastError(int error) const { m_lastError = error; }

    mutable QFileInfo m_info;
    mutable int m_lastError = 0;
};

} // namespace vantorix

#endif
