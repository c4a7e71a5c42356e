#include "Catalogue/Executable.h"

#include <QFileInfo>

namespace vantorix {

namespace {
const char* const childTags[] = {"path", "version", "errorMessage", "variant"};
}

const char* const Executable::tag = "executable";

Executable::Executable(const String& path, const String& version, const String& errorMessage, const String& variant)
    : m_path(path), m_version(version), m_errorMessage(errorMessage), m_variant(variant)
{
}

Executable::~Executable() = default;

bool Executable::existsOnDisk() const
{
    if (m_path.empty())
        return false;
    const QString path = m_path.qString();
    const QFileInfo info(path);
    // A folder that an install made is recorded with a trailing "/".
    if (path.endsWith(QLatin1Char('/')))
        return info.isDir();
    if (info.exists() && info.isFile())
        return true;
    // An add-on bundle is recorded by the executable named after the product
    // inside it, but a bundle's executable may be named otherwise ("Door
    // Maker" against DoorMaker). The bundle itself being there is what counts:
    // otherwise an installed product would lose its record at the next start.
    const int inside = path.indexOf(QLatin1String("/Contents/MacOS/"));
    if (inside <= 0)
        return false;
    const QString bundle = path.left(inside);
    if (!bundle.endsWith(QLatin1String(".apx"), Qt::CaseInsensitive) &&
        !bundle.endsWith(QLatin1String(".gdx"), Qt::CaseInsensitive))
        return false;
    return QFileInfo(bundle).isDir();
}

ShippingPtr Executable::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0: return ship(m_path, childTags[0], true);
    case 1: return ship(m_version, childTags[1], true);
    case 2: return shipIf(!m_errorMessage.empty(), m_errorMessage, childTags[2], true);
    case 3: return shipIf(!m_variant.empty(), m_variant, childTags[3], true);
    default: return nullptr;
    }
}

ShippingPtr Executable::getShipping(const String& tag, const String&)
{
    return childByTag(tag, childTags, 4);
}

void Executable::setDefault()
{
    m_path.clear();
    m_version.clear();
    m_errorMessage.clear();
    m_variant.clear();
}

} // namespace vantorix
