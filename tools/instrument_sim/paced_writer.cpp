#include "paced_writer.h"

#include "line_transport.h"

#include <algorithm>
#include <cmath>

PacedWriter::PacedWriter(LineTransport &transport, int baud, QObject *parent)
    : QObject(parent)
    , m_transport(transport)
{
    if (baud > 0)
        m_byteNs = 10.0 * 1e9 / baud;
    m_clock.start();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &PacedWriter::release);
}

void PacedWriter::write(int peer, const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    if (m_byteNs <= 0) {
        m_transport.write(peer, bytes);
        return;
    }
    if (m_queue.empty())
        m_lineFreeNs = std::max(m_lineFreeNs, double(m_clock.nsecsElapsed()));
    m_queue.push_back({peer, bytes});
    m_queuedBytes += bytes.size();
    if (!m_timer.isActive())
        release();
}

void PacedWriter::release()
{
    // The timer is coarser than a byte at high baud rates: release every byte the line
    // would have started by now, so the average rate stays right.
    const double now = double(m_clock.nsecsElapsed());
    qint64 allowance = m_lineFreeNs <= now ? qint64((now - m_lineFreeNs) / m_byteNs) + 1 : 0;
    while (allowance > 0 && !m_queue.empty()) {
        Chunk &front = m_queue.front();
        const qsizetype n = std::min<qint64>(allowance, front.bytes.size());
        m_transport.write(front.peer, front.bytes.left(n));
        front.bytes.remove(0, n);
        allowance -= n;
        m_queuedBytes -= n;
        m_lineFreeNs += n * m_byteNs;
        if (front.bytes.isEmpty())
            m_queue.pop_front();
    }
    if (m_queue.empty()) {
        emit queueEmptied();
        return;
    }
    const double waitNs = m_lineFreeNs - double(m_clock.nsecsElapsed());
    m_timer.start(std::max(0, int(std::ceil(waitNs / 1e6))));
}
