#include "File/FileWalker.h"

#include "File/DataFile.h"
#include "File/Directory.h"

namespace vantorix {

FileWalker::FileWalker() = default;

FileWalker::~FileWalker() = default;

bool FileWalker::preprocessName(const String&, bool)
{
    return true;
}

bool FileWalker::processLink(const String&, const Directory&)
{
    return false;
}

void FileWalker::processFile(const DataFile&)
{
}

bool FileWalker::processDirectory(const Directory&)
{
    return true;
}

void FileWalker::beginDirectory(const Directory&)
{
}

void FileWalker::endDirectory(const Directory&)
{
}

void FileWalker::stop()
{
    m_stopped = true;
}

bool FileWalker::isStopped()
{
    return m_stopped;
}

bool FileWalker::traverse(const Directory& root, bool recursive, bool)
{
    m_stopped = false;
    if (!root.exists())
        return true;
    // Canonical paths of folders already walked or refused, shared by the
    // whole walk, so that a folder reached twice (a mount point, a hard link)
    // is visited once.
    QSet<QString> seen;
    seen.insert(root.getPathName().qString());
    walk(root, recursive, seen);
    return true;
}

void FileWalker::walk(const Directory& folder, bool recursive, QSet<QString>& seen)
{
    beginDirectory(folder);
    const QFileInfoList entries =
        QDir(folder.getURL().qString()).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);

    // Earlier callbacks may have removed or replaced later entries, so each
    // one is looked at afresh (a refreshed QFileInfo may still claim to exist).
    for (const QFileInfo& listed : entries) {
        if (isStopped())
            break;
        const QFileInfo entry(listed.absoluteFilePath());
        if (entry.isDir() && !entry.isSymLink())
            continue;
        const String name(entry.fileName());
        if (entry.isSymLink()) {
            if (!preprocessName(name, entry.isDir()))
                continue;
            processLink(name, folder);
            continue;
        }
        if (!entry.exists() || !preprocessName(name, false))
            continue;
        processFile(DataFile(String(entry.absoluteFilePath()), DataFile::readWrite, false));
    }

    for (const QFileInfo& listed : entries) {
        if (isStopped())
            break;
        const QFileInfo entry(listed.absoluteFilePath());
        if (!entry.isDir() || entry.isSymLink() || !entry.exists())
            continue;
        const QString canonical = entry.canonicalFilePath();
        if (seen.contains(canonical))
            continue;
        const String name(entry.fileName());
        if (!preprocessName(name, true))
            continue;
        const Directory sub(String(entry.absoluteFilePath()), false);
        seen.insert(canonical);
        if (!processDirectory(sub))
            continue;
        if (recursive)
            walk(sub, recursive, seen);
    }
    endDirectory(folder);
}

} // namespace vantorix
