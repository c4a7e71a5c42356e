#include "Applications/BundleSearch.h"

#include <QFile>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

namespace vantorix {

namespace {

using FolderId = std::pair<dev_t, ino_t>;

bool endsWithIgnoringCase(const char* name, std::size_t length, const QByteArray& tail)
{
    const auto size = static_cast<std::size_t>(tail.size());
    return length >= size && qstrnicmp(name + length - size, tail.constData(), tail.size()) == 0;
}

bool startsWithIgnoringCase(const char* name, std::size_t length, const QByteArray& head)
{
    const auto size = static_cast<std::size_t>(head.size());
    return length >= size && qstrnicmp(name, head.constData(), head.size()) == 0;
}

class Walk {
public:
    Walk(const QByteArray& prefix, const QByteArray& suffix, int maxDepth)
        : m_prefix(prefix), m_suffix(suffix), m_maxDepth(maxDepth)
    {
    }

    void root(const QByteArray& path, std::vector<QByteArray>& found)
    {
        struct stat info {};
        if (::stat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
            return;
        folder(path, 0, found);
    }

private:
    void folder(const QByteArray& path, int depth, std::vector<QByteArray>& found)
    {
        DIR* dir = ::opendir(path.constData());
        if (dir == nullptr)
            return;
        struct stat self {};
        if (::fstat(::dirfd(dir), &self) != 0 || !m_entered.insert(FolderId(self.st_dev, self.st_ino)).second) {
            ::closedir(dir);
            return;
        }

        std::vector<QByteArray> matches;
        std::vector<QByteArray> below;
        while (const dirent* entry = ::readdir(dir)) {
            const char* name = entry->d_name;
            const std::size_t length = qstrlen(name);
            if (name[0] == '.')
                continue; // ".", ".." and hidden entries
            const bool match = startsWithIgnoringCase(name, length, m_prefix) && endsWithIgnoringCase(name, length, m_suffix);
            const bool bundle = endsWithIgnoringCase(name, length, QByteArrayLiteral(".app"));
            if (!match && (bundle || depth + 1 >= m_maxDepth))
                continue;
            QByteArray child = path;
            if (!child.endsWith('/'))
                child += '/';
            child += QByteArray(name, static_cast<int>(length));
            if (!isFolder(entry, child))
                continue;
            if (match)
                matches.push_back(std::move(child));
            else
                below.push_back(std::move(child));
        }
        ::closedir(dir);

        std::sort(matches.begin(), matches.end());
        std::sort(below.begin(), below.end());
        for (QByteArray& match : matches)
            found.push_back(std::move(match));
        for (const QByteArray& sub : below)
            folder(sub, depth + 1, found);
    }

    // Entry types come with the listing on most file systems; only links and
    // unknown entries cost a stat.
    static bool isFolder(const dirent* entry, const QByteArray& path)
    {
#ifdef _DIRENT_HAVE_D_TYPE
        if (entry->d_type == DT_DIR)
            return true;
        if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
            return false;
#else
        Q_UNUSED(entry)
#endif
        struct stat info {};
        return ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
    }

    const QByteArray& m_prefix;
    const QByteArray& m_suffix;
    const int m_maxDepth;
    std::set<FolderId> m_entered;
};

} // namespace

BundleSearch::BundleSearch(const QByteArray& prefix, const QByteArray& suffix, int maxDepth)
    : m_prefix(prefix), m_suffix(suffix), m_maxDepth(maxDepth)
{
}

QByteArray BundleSearch::find(const QStringList& roots) const
{
    Walk walk(m_prefix, m_suffix, m_maxDepth);
    std::vector<QByteArray> found;
    for (const QString& root : roots) {
        if (!root.isEmpty())
            walk.root(QFile::encodeName(root), found);
    }
    QByteArray lines;
    for (const QByteArray& path : found) {
        lines += path;
        lines += '\n';
    }
    return lines;
}

} // namespace vantorix
