#include "File/Directory.h"

#include "Interface/Chooser.h"
#include "Utility/Convert.h"
#include "Utility/Logger.h"
#include "Utility/SearchString.h"

#include <QFile>

#include <memory>

namespace vantorix {

namespace {

QString joined(const Directory& parent, const String& name)
{
    return parent.getURL().qString() + QLatin1Char('/') + name.qString();
}

// Removes one entry of a folder: a real folder with its whole content, a
// file or a link (never what the link points at) by itself.
bool removeEntry(const QFileInfo& entry)
{
    if (entry.isDir() && !entry.isSymLink())
        return QDir(entry.absoluteFilePath()).removeRecursively();
    return QFile::remove(entry.absoluteFilePath());
}

} // namespace

Directory::Directory() = default;

Directory::Directory(const QDir& folder) : File(String(folder.absolutePath())), m_dir(folder)
{
}

Directory::Directory(const String& path, bool create) : File(path), m_dir(path.qString())
{
    if (create && !path.empty() && !m_dir.exists() && !QDir().mkpath(path.qString()))
        setLastError(1);
}

Directory::Directory(const Directory& parent, const String& name, bool create)
    : Directory(String(joined(parent, name)), create)
{
}

Directory::~Directory() = default;

Directory* Directory::create(const Directory& parent, const String& name, int& error)
{
    auto folder = std::make_unique<Directory>(parent, name, true);
    if (!folder->exists()) {
        error = 1;
        return nullptr;
    }
    error = 0;
    return folder.release();
}

Directory* Directory::clone() const
{
    return new Directory(*this);
}

bool Directory::exists() const
{
    return info().isDir();
}

bool Directory::isFolder() const
{
    return true;
}

void Directory::setName(const String& path)
{
    setPathName(path);
}

void Directory::setPathName(const String& path)
{
    File::setPathName(path);
    m_dir.setPath(path.qString());
}

Directory::operator QDir() const
{
    return m_dir;
}

bool Directory::containsItemNamed(const SearchString& pattern, bool, bool, bool) const
{
    if (!exists())
        return false;
    const QStringList filter{pattern.getString().qString()};
    return !m_dir.entryList(filter, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
                .isEmpty();
}

bool Directory::erase(bool contentsOnly, bool log)
{
    if (!exists())
        return false;
    if (!contentsOnly) {
        // A link to a folder goes by itself; removeRecursively would empty the target.
        if (info().isSymLink())
            return QFile::remove(info().absoluteFilePath());
        return QDir(info().absoluteFilePath()).removeRecursively();
    }
    const QFileInfoList entries = QDir(info().absoluteFilePath())
                                      .entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden
                                                         | QDir::System,
                                                     QDir::DirsFirst);
    if (log) {
        Logger::write("Erasing contents of -- " + getURL());
        Logger::write("Numeber of entries found = " + ToString(entries.size()).value());
    }
    for (const QFileInfo& entry : entries) {
        if (log)
            Logger::write("Erasing " + String(entry.absoluteFilePath()));
        if (!removeEntry(entry)) {
            if (log)
                Logger::write("Erase failed");
            return false;
        }
    }
    return true;
}

int Directory::fileCount() const
{
    if (!exists())
        return 0;
    return m_dir.entryList(QDir::Files | QDir::Hidden).size();
}

Directory* Directory::getParent() const
{
    return new Directory(String(info().absolutePath()), false);
}

Directory* Directory::promptOpen(const String& title, QWidget* parent)
{
    Chooser::Request request;
    request.kind = Chooser::openFolder;
    request.title = title;
    request.parent = parent;
    const String path = Chooser::choose(request);
    return path.empty() ? nullptr : new Directory(path, false);
}

} // namespace vantorix
