#ifndef VANTORIX_FILE_SAVEWHOLE_H
#define VANTORIX_FILE_SAVEWHOLE_H

#include <QByteArray>
#include <QFileDevice>
#include <QString>

namespace vantorix {

// Replaces the file at path whole with bytes: they go to a temporary file in
// the same folder, which is renamed over the old file only once every byte
// has reached the file system. Any failure (a full disk, a write error, a
// failed rename) returns false and leaves the old file as it was. The folder
// is made when missing. The new file gets the given permissions before any
// byte is written.
//
// A folder that this user cannot write but whose file he can (a folder made
// by another user or an older version) leaves no room for a temporary file:
// the file is then rewritten in place, and the log says so, since a failure
// in the middle of that can leave it cut short.
bool saveWhole(const QString& path, const QByteArray& bytes, QFileDevice::Permissions permissions);

} // namespace vantorix

#endif
