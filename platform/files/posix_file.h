#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <utility>

// Small helpers for code that needs what QFile hides: the errno of a failed
// call, file descriptors for fstat/fchown/fchmod/fsync/flock.
namespace posix {

// The system's text for an errno value.
inline QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Owns a file descriptor; close() reports what closing said.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1)
        : m_fd(fd)
    {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(FileDescriptor &&other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {}
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    FileDescriptor &operator=(FileDescriptor &&) = delete;

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    // False with errno set when closing failed (a delayed write error shows here).
    bool close() { return ::close(std::exchange(m_fd, -1)) == 0; }

private:
    int m_fd;
};

// 0 when all bytes were written, else the errno of the write that failed.
inline int writeAll(int fd, QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const ssize_t n = ::write(fd, bytes.data(), size_t(bytes.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        bytes = bytes.sliced(n);
    }
    return 0;
}

// 0 when everything up to the end of fd was appended to bytes, else the errno of
// the read that failed.
inline int readAll(int fd, QByteArray &bytes)
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return 0;
        bytes.append(buffer, n);
    }
}

} // namespace posix
