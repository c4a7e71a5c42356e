#include "InstallFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace installer {

InstallFolder::InstallFolder(const QString& executableDir)
{
    const QString programs = QDir::cleanPath(QDir(executableDir).absolutePath());
    m_programs = programs;
    QDir dir(programs);
    const QString name = dir.dirName();

    // .../Name.app/Contents/MacOS
    if (name == QLatin1String("MacOS")) {
        QDir contents(programs);
        if (contents.cdUp() && contents.dirName() == QLatin1String("Contents")) {
            QDir bundle(contents);
            if (bundle.cdUp() && bundle.dirName().endsWith(QLatin1String(".app"), Qt::CaseInsensitive)) {
                m_bundle = true;
                m_root = bundle.path();
                m_resources = contents.filePath(QStringLiteral("Resources"));
                return;
            }
        }
    }

    if (name == QLatin1String("bin") && dir.cdUp())
        m_root = dir.path();
    else
        m_root = programs;
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
