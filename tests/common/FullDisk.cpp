#include "common/FullDisk.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {
const char* const fillerName = "filler.bin";
}

FullDisk::FullDisk(const QString& folder) : m_folder(QDir(folder).absolutePath())
{
    if (!QDir().mkpath(m_folder))
        return;
    if (geteuid() == 0) {
        const QByteArray target = QFile::encodeName(m_folder);
        m_mounted = ::mount("tmpfs", target.constData(), "tmpfs", 0, "size=256k,mode=0777") == 0;
        m_ready = m_mounted;
    } else {
        m_ready = true;
    }
}

FullDisk::~FullDisk()
{
    release();
    if (m_mounted)
        ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
}

bool FullDisk::fill()
{
    if (!m_ready)
        return false;
    if (m_mounted) {
        // Written unbuffered until the file system refuses a single byte.
        QFile filler(m_folder + QLatin1Char('/') + QLatin1String(fillerName));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size()) {
        }
        while (filler.write("f", 1) == 1) {
        }
        return true;
    }
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0)
        return false;
    m_oldLimit[0] = limit.rlim_cur;
    m_oldLimit[1] = limit.rlim_max;
    limit.rlim_cur = 0;
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
        return false;
    m_limited = true;
    return true;
}

void FullDisk::release()
{
    if (m_mounted)
        QFile::remove(m_folder + QLatin1Char('/') + QLatin1String(fillerName));
    if (m_limited) {
        rlimit limit{};
        limit.rlim_cur = static_cast<rlim_t>(m_oldLimit[0]);
        limit.rlim_max = static_cast<rlim_t>(m_oldLimit[1]);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        m_limited = false;
    }
}
