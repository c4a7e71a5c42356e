#ifndef VANTORIX_APPLICATIONS_BUNDLESEARCH_H
#define VANTORIX_APPLICATIONS_BUNDLESEARCH_H

#include <QByteArray>
#include <QStringList>

namespace vantorix {

// Finds application bundles by name where no metadata index can be asked: a
// walk of a few folder trees, bounded in depth. A folder whose name starts
// with the prefix and ends with the suffix, both compared without regard to
// ASCII letter case, is a match; the walk does not enter matches, other
// bundles (".app") or hidden folders, follows links to folders but never
// enters a folder twice, so links that loop cost nothing.
class BundleSearch {
public:
    // Deep enough for <root>/<vendor>/<installation>/<bundle>.app.
    static constexpr int defaultDepth = 4;

    BundleSearch(const QByteArray& prefix, const QByteArray& suffix, int maxDepth = defaultDepth);

    // The paths of the matches below the roots (a match lies at most maxDepth
    // levels below its root), one per line, each root's in name order.
    // Missing roots are skipped.
    QByteArray find(const QStringList& roots) const;

private:
    QByteArray m_prefix;
    QByteArray m_suffix;
    int m_maxDepth;
};

} // namespace vantorix

#endif
