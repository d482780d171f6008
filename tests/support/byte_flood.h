#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <sys/types.h>
#include <thread>

// Writes into a device (the instrument's side of a pty) or a connected socket
// from a thread of its own, as fast as the other side takes the bytes: `chunk`
// again and again until `total` bytes went out (endless for a negative total,
// until stopped), then `tail` once. A thread, since a pty or a socket takes only
// so much before a write blocks, and the program reads on the test's own thread.
class ByteFlood {
public:
    ByteFlood(QString device, QByteArray chunk, qint64 total = -1, QByteArray tail = {});
    // Into the socket descriptor of the instrument's end of a connection (its
    // own duplicate: the owner of the descriptor keeps it).
    ByteFlood(qintptr socket, QByteArray chunk, qint64 total = -1, QByteArray tail = {});
    ~ByteFlood() { stop(); }
    ByteFlood(const ByteFlood &) = delete;
    ByteFlood &operator=(const ByteFlood &) = delete;

    // False when the device does not open.
    bool start();
    // Ends the writing and waits for the thread.
    void stop();
    // Bytes written so far, the tail included.
    qint64 written() const { return m_written.load(); }

private:
    void run(std::stop_token stop, int fd);
    bool writeAll(std::stop_token &stop, int fd, const char *data, qint64 size);
    ssize_t writeSome(int fd, const char *data, qint64 size) const;

    int openTarget() const;

    QString m_device; // empty for a socket
    qintptr m_socket = -1;
    QByteArray m_chunk;
    qint64 m_total;
    QByteArray m_tail;
    std::atomic<qint64> m_written{0};
    std::jthread m_thread;
};
