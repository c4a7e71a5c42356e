#include "File/SaveWhole.h"

#include "Utility/Logger.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace vantorix {

bool saveWhole(const QString& path, const QByteArray& bytes, QFileDevice::Permissions permissions)
{
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (!QDir().mkpath(folder))
        return false;
    // An uncommitted save file is discarded when it goes out of scope.
    QSaveFile file(path);
    const bool inPlace = !QFileInfo(folder).isWritable() && info.exists() && info.isWritable();
    if (inPlace) {
        file.setDirectWriteFallback(true);
        Logger::write(String("The folder ") + String(folder)
                      + " cannot be written: rewriting the file in place: " + String(path));
    }
    // Unbuffered, so that every write reaches the file system at once and a
    // full disk shows in its result rather than in a flush inside commit(),
    // whose failure QSaveFile does not notice.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    // The temporary file gets its permissions before any byte is written, so
    // an owner-only file is never readable by others, not even for a moment.
    // A file rewritten in place may belong to another user and keeps the
    // permissions it has.
    if (!file.setPermissions(permissions)) {
        if (!inPlace)
            return false;
        file.unsetError();
    }
    if (file.write(bytes) != bytes.size() || !file.flush() || file.error() != QFileDevice::NoError)
        return false;
    return file.commit();
}

} // namespace vantorix
