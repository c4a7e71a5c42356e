#include "InstallFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace installer {

namespace {

// Worked out on the path alone: the folders need not exist (QDir::cdUp
// refuses missing ones).
QString parentOf(const QString& path)
{
    return QFileInfo(path).path();
}

QString nameOf(const QString& path)
{
    return QFileInfo(path).fileName();
}

} // namespace

InstallFolder::InstallFolder(const QString& executableDir)
{
    m_programs = QDir::cleanPath(QDir(executableDir).absolutePath());

    // .../Name.app/Contents/MacOS
    if (nameOf(m_programs) == QLatin1String("MacOS")) {
        const QString contents = parentOf(m_programs);
        const QString bundle = parentOf(contents);
        if (nameOf(contents) == QLatin1String("Contents") &&
            nameOf(bundle).endsWith(QLatin1String(".app"), Qt::CaseInsensitive)) {
            m_bundle = true;
            m_root = bundle;
            m_resources = contents + QStringLiteral("/Resources");
            return;
        }
    }

    if (nameOf(m_programs) == QLatin1String("bin"))
        m_root = parentOf(m_programs);
    else
        m_root = m_programs;
    m_resources = QDir(m_root).filePath(QStringLiteral("share/vantorix-installer"));
}

InstallFolder InstallFolder::current()
{
    return InstallFolder(QCoreApplication::applicationDirPath());
}

QString InstallFolder::commandLine() const
{
    return QDir(m_programs).filePath(QStringLiteral("vantorix"));
}

QString InstallFolder::resource(const QString& relativePath) const
{
    return QDir(m_resources).filePath(relativePath);
}

} // namespace installer
