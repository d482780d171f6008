#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <deque>

class LineTransport;

// Hands bytes to the transport either at once or at the byte rate of a serial line, so that
// a telegram trickles in as it would from a real balance.
class PacedWriter final : public QObject {
    Q_OBJECT
public:
    // baud 0: no pacing.
    PacedWriter(LineTransport &transport, int baud, QObject *parent = nullptr);

    void write(int peer, const QByteArray &bytes);
    // Bytes still waiting here for their moment.
    qint64 queuedBytes() const { return m_queuedBytes; }

signals:
    void queueEmptied();

private:
    void release();

    struct Chunk {
        int peer;
        QByteArray bytes;
    };

    LineTransport &m_transport;
    double m_byteNs = 0; // one start bit, 8 data bits (or 7 and parity), one stop bit
    std::deque<Chunk> m_queue;
    qint64 m_queuedBytes = 0;
    QElapsedTimer m_clock;
    double m_lineFreeNs = 0; // when the line can start the next byte
    QTimer m_timer;
};
