#include "tests/support/byte_flood.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

ByteFlood::ByteFlood(QString device, QByteArray chunk, qint64 total, QByteArray tail)
    : m_device(std::move(device))
    , m_chunk(std::move(chunk))
    , m_total(total)
    , m_tail(std::move(tail))
{}

ByteFlood::ByteFlood(qintptr socket, QByteArray chunk, qint64 total, QByteArray tail)
    : m_socket(socket)
    , m_chunk(std::move(chunk))
    , m_total(total)
    , m_tail(std::move(tail))
{}

int ByteFlood::openTarget() const
{
    if (!m_device.isEmpty())
        return ::open(QFile::encodeName(m_device).constData(),
                      O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const int fd = ::fcntl(int(m_socket), F_DUPFD_CLOEXEC, 0);
    // Non-blocking, as writeAll() expects; the flag is shared with the owner's
    // descriptor, which Qt keeps non-blocking as well.
    if (fd >= 0)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

bool ByteFlood::start()
{
    const int fd = openTarget();
    if (fd < 0)
        return false;
    m_thread = std::jthread([this, fd](std::stop_token stop) {
        run(stop, fd);
        ::close(fd);
    });
    return true;
}

void ByteFlood::stop()
{
    if (!m_thread.joinable())
        return;
    m_thread.request_stop();
    m_thread.join();
}

void ByteFlood::run(std::stop_token stop, int fd)
{
    while (m_total < 0 || written() < m_total) {
        const qint64 size =
            m_total < 0 ? m_chunk.size() : std::min<qint64>(m_chunk.size(), m_total - written());
        if (!writeAll(stop, fd, m_chunk.constData(), size))
            return;
    }
    writeAll(stop, fd, m_tail.constData(), m_tail.size());
}

// A socket whose peer has gone must fail the write, not raise SIGPIPE.
ssize_t ByteFlood::writeSome(int fd, const char *data, qint64 size) const
{
    if (m_device.isEmpty())
        return ::send(fd, data, size_t(size), MSG_NOSIGNAL);
    return ::write(fd, data, size_t(size));
}

// Non-blocking writes with a short poll, so that stop() never waits on a full pty.
bool ByteFlood::writeAll(std::stop_token &stop, int fd, const char *data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        if (stop.stop_requested())
            return false;
        pollfd ready{fd, POLLOUT, 0};
        if (::poll(&ready, 1, 20) <= 0)
            continue;
        const ssize_t n = writeSome(fd, data + done, size - done);
        if (n > 0) {
            done += n;
            m_written += n;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
    }
    return true;
}
