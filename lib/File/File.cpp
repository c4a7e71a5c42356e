#include "File/File.h"

#include <QFile>

namespace vantorix {

const char* const File::pathDelimiter = "/";

File::File(const String& path) : m_info(path.qString())
{
}

File::~File() = default;

const QFileInfo& File::info() const
{
    // A fresh object rather than refresh(): a refreshed QFileInfo keeps
    // claiming that a removed item exists once its type has been asked.
    m_info = QFileInfo(m_info.filePath());
    return m_info;
}

String File::getName() const
{
    return String(info().completeBaseName());
}

String File::getExtension() const
{
    return String(info().suffix());
}

String File::getVolumeName() const
{
    return String();
}

String File::getPathName() const
{
    return String(info().canonicalFilePath());
}

String File::getURL() const
{
    return String(info().absoluteFilePath());
}

int File::getLastError() const
{
    return m_lastError;
}

void File::setName(const String& path)
{
    m_info.setFile(path.qString());
}

void File::setPathName(const String& path)
{
    m_info.setFile(path.qString());
}

bool File::operator==(const File& other) const
{
    return m_info.absoluteFilePath() == other.m_info.absoluteFilePath();
}

bool File::allowFullAccess()
{
    const QFileDevice::Permissions all = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
        | QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser | QFileDevice::ReadGroup
        | QFileDevice::WriteGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::WriteOther
        | QFileDevice::ExeOther;
    const bool done = QFile::setPermissions(m_info.absoluteFilePath(), all);
    setLastError(done ? 0 : 1);
    return done;
}

} // namespace vantorix
