#include "common/OtherUser.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/wait.h>
#include <unistd.h>

bool runAsOtherUser(const std::function<bool()>& work)
{
    if (geteuid() != 0)
        return work();
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(2);
        _exit(work() ? 0 : 1);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool otherUserCanReach(const QString& folder)
{
    const QByteArray path = QFile::encodeName(folder);
    return runAsOtherUser([&path] { return access(path.constData(), X_OK) == 0; });
}

QString makeReachableFolder()
{
    // Not under TMPDIR: the tests point it into their sandbox.
    QTemporaryDir folder(QStringLiteral("/tmp/vantorix-other-user-XXXXXX"));
    if (!folder.isValid())
        return QString();
    const QFileDevice::Permissions open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
        | QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser | QFileDevice::ReadGroup
        | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
    if (!QFile::setPermissions(folder.path(), open) || !otherUserCanReach(folder.path()))
        return QString();
    folder.setAutoRemove(false);
    return folder.path();
}

bool lockFolderKeepFile(const QString& folder, const QString& file)
{
    const QFileDevice::Permissions readable = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadUser
        | QFileDevice::ExeUser | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
        | QFileDevice::ExeOther;
    const QFileDevice::Permissions open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
        | QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther
        | QFileDevice::WriteOther;
    return QFile::setPermissions(file, open) && QFile::setPermissions(folder, readable);
}

void unlockFolder(const QString& folder)
{
    QFile::setPermissions(folder, QFile::permissions(folder) | QFileDevice::WriteOwner | QFileDevice::WriteUser);
}
