#include "tests/support/limited_disk.h"

#include <QFile>

#include <csignal>
#include <sys/mount.h>

SmallDisk::SmallDisk()
{
    m_mounted =
        ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, "size=64k") == 0;
}

SmallDisk::~SmallDisk()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
}

void SmallDisk::fill()
{
    QFile filler(path(QStringLiteral("filler")));
    filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    const QByteArray page(4096, 'x');
    while (filler.write(page) == page.size()) {
    }
}

void SmallDisk::free()
{
    QFile::remove(path(QStringLiteral("filler")));
}

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &m_old);
    rlimit limited = m_old;
    limited.rlim_cur = bytes;
    m_active = setrlimit(RLIMIT_FSIZE, &limited) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    setrlimit(RLIMIT_FSIZE, &m_old);
    std::signal(SIGXFSZ, SIG_DFL);
}
