#include "products/HostFolders.h"

#include "products/InstallJournal.h"

#include "Applications/Application.h"

#include <QDir>
#include <QFileInfo>

using namespace vantorix;

namespace installer {

namespace {

const char* const bundleExecutableFolder = "/Contents/MacOS/";
const char* const applicationSuffix = ".app";

} // namespace

HostFolders::HostFolders(const Application& application)
{
    const QString path = application.getPath().qString();
    if (path.isEmpty())
        return;
    m_root = QDir::cleanPath(path);
    m_canonicalRoot = QFileInfo(m_root).canonicalFilePath();
    if (m_canonicalRoot.isEmpty()) {
        m_root.clear();
        return;
    }
    for (short location = Application::dll; location <= Application::workEnvironment; ++location) {
        const QString folder = application.getDirectory(static_cast<Application::Location>(location)).qString();
        if (!folder.isEmpty())
            m_typeFolders.append(QDir::cleanPath(folder));
    }
}

HostFolders::Verdict HostFolders::judge(const QString& path) const
{
    const QString item = QDir::cleanPath(path);
    if (m_root.isEmpty() || QDir::isRelativePath(item) || !isWithin(item, m_root))
        return outside;
    if (item == m_root)
        return hostOwned;
    // The host's application bundles sit directly in its folder.
    const QString first = item.mid(m_root.size() + 1).section(QLatin1Char('/'), 0, 0);
    if (first.endsWith(QLatin1String(applicationSuffix), Qt::CaseInsensitive))
        return hostOwned;
    for (const QString& folder : m_typeFolders) {
        if (isWithin(folder, item))
            return hostOwned;
    }
    // What is there already decides where the rest would be: a link on the
    // way counts for where it leads. The item itself is never followed.
    QString existing = QFileInfo(item).path();
    while (!isPresent(existing) && isWithin(existing, m_root))
        existing = QFileInfo(existing).path();
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    if (canonical.isEmpty() || !isWithin(canonical, m_canonicalRoot))
        return outside;
    return allowed;
}

QString HostFolders::itemOf(const QString& recorded)
{
    QString item = recorded;
    const int bundleEnd = item.indexOf(QLatin1String(bundleExecutableFolder));
    if (bundleEnd > 0)
        item.truncate(bundleEnd);
    while (item.size() > 1 && item.endsWith(QLatin1Char('/')))
        item.chop(1);
    return item;
}

bool HostFolders::isFolderEntry(const QString& recorded)
{
    return recorded.size() > 1 && recorded.endsWith(QLatin1Char('/'));
}

} // namespace installer
