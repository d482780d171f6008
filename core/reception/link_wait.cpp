#include "core/reception/link_wait.h"

#include "core/mainform/mainform.h"
#include "platform/ports/serial_port.h"
#include "platform/ports/tcp_socket.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

QDeadlineTimer deadlineIn(double seconds)
{
    if (!(seconds < 3.0e9))
        return QDeadlineTimer(QDeadlineTimer::Forever);
    return QDeadlineTimer(qint64(std::ceil(std::max(seconds, 0.0) * 1000.0)), Qt::PreciseTimer);
}

} // namespace

LinkWait::LinkWait(mainform &window, double seconds)
    : m_window(&window)
    , m_deadline(deadlineIn(seconds))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    const auto wake = [this] {
        m_woken = true;
        m_loop.quit();
    };
    QObject::connect(&m_timer, &QTimer::timeout, &m_loop, wake);
    // Connected after the window's own handlers: received bytes are in strEmpfang by then.
    TcpSocket &socket = window.Winsock1();
    QObject::connect(&socket, &TcpSocket::Connected, &m_loop, wake);
    QObject::connect(&socket, &TcpSocket::DataArrival, &m_loop, wake);
    QObject::connect(&socket, &TcpSocket::Error, &m_loop, wake);
    QObject::connect(&socket, &TcpSocket::PeerClosed, &m_loop, wake);
    SerialPort &port = window.commport();
    QObject::connect(&port, &SerialPort::dataReceived, &m_loop, wake);
    QObject::connect(&port, &SerialPort::errorOccurred, &m_loop, wake);
    QObject::connect(&window, &QObject::destroyed, &m_loop, wake);
}

bool LinkWait::yield()
{
    m_woken = false;
    if (const qint64 remaining = m_deadline.remainingTime(); remaining >= 0)
        m_timer.start(int(std::min<qint64>(remaining, INT_MAX)));
    m_loop.exec();
    m_timer.stop();
    return m_woken && m_window;
}
