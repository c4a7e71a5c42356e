#ifndef VANTORIX_TESTS_COMMON_OTHERUSER_H
#define VANTORIX_TESTS_COMMON_OTHERUSER_H

#include <QString>

#include <functional>

// Runs work as a user who does not own the files the test made, so that a
// folder made read-only by the test is really not writable. As root (where
// every folder is writable) work runs in a child process that has switched
// to the user "nobody" (65534); otherwise it runs here, and the test makes
// the folder read-only with chmod. True when work returned true.
bool runAsOtherUser(const std::function<bool()>& work);

// Whether the other user can enter folder (every folder above it included).
// A build folder inside a folder only its owner may enter (a mktemp -d
// folder, mode 0700) cannot be reached from there.
bool otherUserCanReach(const QString& folder);
// A new, empty folder the other user can reach, under /tmp, for when the
// test's sandbox cannot be reached; empty when none can be made. The caller
// removes it.
QString makeReachableFolder();

// Makes folder read-only for everybody but lets others read and write file,
// as a folder made by another user or an older version leaves them.
bool lockFolderKeepFile(const QString& folder, const QString& file);
// Undoes lockFolderKeepFile, so the sandbox can be cleaned.
void unlockFolder(const QString& folder);

#endif
