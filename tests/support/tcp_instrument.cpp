#include "tests/support/tcp_instrument.h"

#include "core/app.h"
#include "core/mainform/mainform.h"
#include "platform/ports/tcp_socket.h"

#include <QTest>
#include <QTimer>

#include <sys/socket.h>

bool TcpInstrument::connect(App &app)
{
    if (!m_server.listen(QHostAddress::LocalHost))
        return false;
    app.settings.portnum = QStringLiteral("TCP/IP");
    app.settings.tcpip = QStringLiteral("127.0.0.1");
    app.settings.tcpport = QString::number(m_server.serverPort());
    TcpSocket &socket = app.mainWindow().Winsock1();
    socket.setRemoteHost(app.settings.tcpip);
    socket.setRemotePort(m_server.serverPort());
    socket.Connect();
    if (!acceptNext())
        return false;
    return QTest::qWaitFor([&] { return socket.State() == 7; });
}

void TcpInstrument::send(const QByteArray &bytes)
{
    m_peer->write(bytes);
    m_peer->flush();
}

QByteArray TcpInstrument::received()
{
    return m_peer->readAll();
}

void TcpInstrument::close()
{
    m_peer->disconnectFromHost();
}

void TcpInstrument::reset()
{
    // abort() alone sends FIN when nothing is unread; no linger makes it a reset.
    const linger noLinger{1, 0};
    ::setsockopt(int(m_peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &noLinger,
                 sizeof noLinger);
    m_peer->abort();
}

bool TcpInstrument::acceptNext()
{
    if (!QTest::qWaitFor([&] { return m_server.hasPendingConnections(); }))
        return false;
    m_peer.reset(m_server.nextPendingConnection());
    return true;
}

void TcpInstrument::sendLater(const QByteArray &bytes, int delayMs)
{
    QTimer::singleShot(delayMs, m_peer.get(), [this, bytes] { send(bytes); });
}

QByteArray defaultTelegram(char sign, const QByteArray &value, const QByteArray &unit)
{
    return "ST,GS," + QByteArray(1, sign) + "   " + value.rightJustified(6, ' ', true) + " " +
           unit.leftJustified(2, ' ', true) + " \r\n";
}
