#ifndef VANTORIX_FILE_DIRECTORY_H
#define VANTORIX_FILE_DIRECTORY_H

#include "File/File.h"

#include <QDir>

class QWidget;

namespace vantorix {

class SearchString;

// A folder that can be created, listed, searched and erased. Holds a QDir on
// its path besides the path information of File.
class Directory : public File {
public:
    // No path: exists() is false.
    Directory();
    explicit Directory(const QDir& folder);
    // With create set, every missing level of path is created.
    explicit Directory(const String& path, bool create = false);
    // parent's path + "/" + name.
    Directory(const Directory& parent, const String& name, bool create = false);
    Directory(const Directory& other) = default;
    Directory& operator=(const Directory& other) = default;
    ~Directory() override;

    // Creates parent + "/" + name with all missing levels. A new folder owned
    // by the caller with error 0, or null with error 1.
    static Directory* create(const Directory& parent, const String& name, int& error);

    Directory* clone() const override;
    bool exists() const override;
    bool isFolder() const override;
    void setName(const String& path) override;
    void setPathName(const String& path) override;

    virtual operator QDir() const;
    // True when an entry directly inside matches the pattern's text taken as
    // a wildcard filter. The three flags are kept for callers and change nothing.
    virtual bool containsItemNamed(const SearchString& pattern, bool = false, bool = false, bool = false) const;
    // contentsOnly false: removes the folder and everything in it. true:
    // removes everything inside, hidden entries included, and keeps the
    // folder; stops at the first failure. Links are removed, never followed.
    // With log set, each step goes to the log.
    virtual bool erase(bool contentsOnly, bool log);

    // The number of plain files directly inside.
    int fileCount() const;
    // The folder that holds this one; a new object owned by the caller.
    Directory* getParent() const;

    // Lets the user pick a folder through Chooser, which tests can script. A
    // new folder owned by the caller, or null when the user cancelled.
    static Directory* promptOpen(const String& title, QWidget* parent = nullptr);

private:
    QDir m_dir;
};

} // namespace vantorix

#endif
