#pragma once

#include <QString>
#include <QTemporaryDir>

#include <sys/resource.h>

// A tmpfs of 64 KiB on a temporary folder (root only), unmounted at the end.
// tmpfs allocates whole pages: once fill() ran, a write fails as soon as it
// needs a new page.
class SmallDisk {
public:
    SmallDisk();
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return m_mounted; }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Fills the disk: what is left is less than one page.
    void fill();
    void free();

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

// Lowers the largest file this process may write, so that a write fails half-way
// even for root (folder permissions do not stop root): past the limit a write
// fails with EFBIG, SIGXFSZ being ignored meanwhile.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool active() const { return m_active; }

private:
    rlimit m_old{};
    bool m_active = false;
};
