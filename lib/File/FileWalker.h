#ifndef VANTORIX_FILE_FILEWALKER_H
#define VANTORIX_FILE_FILEWALKER_H

#include "Utility/String.h"

#include <QSet>
#include <QString>

namespace vantorix {

class DataFile;
class Directory;

// A depth-first walk over a folder tree. Subclasses override the callbacks;
// the defaults visit everything. In each folder the walk calls
// beginDirectory, then hands over its files (and links) in name order, then
// its sub-folders in name order (walking into each when recursive and
// processDirectory agrees), then calls endDirectory. Links are reported to
// processLink and never followed, and no folder is visited twice. A callback
// may call stop(); the walk then ends after the current entry.
class FileWalker {
public:
    FileWalker();
    virtual ~FileWalker();

    // Called for every entry before anything else; false leaves it out.
    virtual bool preprocessName(const String& name, bool isFolder);
    // A symbolic link named name inside folder. True when handled; the
    // default does nothing and returns false.
    virtual bool processLink(const String& name, const Directory& folder);
    virtual void processFile(const DataFile& file);
    // False keeps the walk out of the folder.
    virtual bool processDirectory(const Directory& folder);
    virtual void beginDirectory(const Directory& folder);
    virtual void endDirectory(const Directory& folder);
    virtual void stop();
    virtual bool isStopped();

    // Walks root (and its sub-folders when recursive). Always true. The third
    // argument is kept for callers and not used.
    bool traverse(const Directory& root, bool recursive, bool = false);

private:
    void walk(const Directory& folder, bool recursive, QSet<QString>& seen);

    bool m_stopped = false;
};

} // namespace vantorix

#endif
