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

// Makes folder read-only for everybody but lets others read and write file,
// as a folder made by another user or an older version leaves them.
bool lockFolderKeepFile(const QString& folder, const QString& file);
// Undoes lockFolderKeepFile, so the sandbox can be cleaned.
void unlockFolder(const QString& folder);

#endif
