#ifndef VANTORIX_TESTS_COMMON_FULLDISK_H
#define VANTORIX_TESTS_COMMON_FULLDISK_H

#include <QString>

// A folder on a disk that can be made full, to test saves that run out of
// room. Run as root (as CI does), the folder is a small tmpfs mounted here and
// filled with a filler file; otherwise the process's file-size limit
// (RLIMIT_FSIZE, with SIGXFSZ ignored) is set to 0, so no file grows. Files
// put into the folder before fill() stay readable. The destructor unmounts
// the folder or restores the limit.
class FullDisk {
public:
    // folder is made when missing; as root it becomes the mount point.
    explicit FullDisk(const QString& folder);
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    // False when the folder could not be set up (the test should fail).
    bool isReady() const { return m_ready; }
    QString path() const { return m_folder; }
    // From now on no file in the folder can grow.
    bool fill();
    // Room again: the filler goes, or the limit is restored.
    void release();

private:
    QString m_folder;
    bool m_ready = false;
    bool m_mounted = false;
    bool m_limited = false;
    unsigned long long m_oldLimit[2] = {0, 0};
};

#endif
