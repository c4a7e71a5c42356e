#include "Environment/Addon.h"

#include "Environment/Host.h"
#include "Environment/Platform.h"
#include "File/DataFile.h"
#include "File/Directory.h"

#include <QCoreApplication>
#include <QDir>

namespace vantorix {

Addon* addon = nullptr;

Addon::~Addon() = default;

PlatformSignature Addon::getPlatformSignature() const
{
    return PlatformSignature(HostType::defaultID, Host::version);
}

short Addon::startup()
{
    return 0;
}

short Addon::shutdown()
{
    return 0;
}

std::unique_ptr<Directory> Addon::getParentDirectory() const
{
    return platform.getCurrentDirectory();
}

std::unique_ptr<DataFile> Addon::getExecutable() const
{
    const QString path = QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
    return std::make_unique<DataFile>(String(path), DataFile::readWrite, false);
}

} // namespace vantorix
