#include "platform/ports/tcp_socket.h"

#include "platform/vb/cp1252.h"

#include <QHostAddress>
#include <QLoggingCategory>
#include <QTcpSocket>

Q_LOGGING_CATEGORY(lcSocket, "mondrelquist.socket", QtInfoMsg)

namespace winsock {

QString errorText(int number)
{
    switch (number) {
    case kInvalidPropertyValue:
        return QStringLiteral("Invalid property value");
    case kPermissionDenied:
        return QStringLiteral("Permission denied");
    case kAddressInUse:
        return QStringLiteral("Address in use");
    case kAddressNotAvailable:
        return QStringLiteral("Address not available from the local machine");
    case kNetworkUnreachable:
        return QStringLiteral("The network cannot be reached from this host at this time");
    case kNoBufferSpace:
        return QStringLiteral("No buffer space is available");
    case kTimedOut:
        return QStringLiteral("Attempt to connect timed out");
    case kConnectionRefused:
        return QStringLiteral("Connection is forcefully rejected");
    case kHostNotFound:
        return QStringLiteral("Authoritative answer: Host not found");
    case kBadState:
        return QStringLiteral(
            "Wrong protocol or connection state for the requested transaction or request");
    case kInvalidOperation:
        return QStringLiteral("Invalid operation at current state");
    default:
        return QStringLiteral("Connection is aborted due to timeout or other failure");
    }
}

} // namespace winsock

namespace {

ControlStatus failure(int number, const QString &detail = {})
{
    return ControlStatus::failure(number, winsock::errorText(number), detail);
}

int errorNumber(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return winsock::kConnectionRefused;
    case QAbstractSocket::HostNotFoundError:
        return winsock::kHostNotFound;
    case QAbstractSocket::SocketAccessError:
        return winsock::kPermissionDenied;
    case QAbstractSocket::SocketResourceError:
        return winsock::kNoBufferSpace;
    case QAbstractSocket::SocketTimeoutError:
        return winsock::kTimedOut;
    case QAbstractSocket::NetworkError:
        return winsock::kNetworkUnreachable;
    case QAbstractSocket::AddressInUseError:
        return winsock::kAddressInUse;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return winsock::kAddressNotAvailable;
    default:
        return winsock::kConnectionAborted;
    }
}

bool isPortNumber(int port)
{
    return port >= 0 && port <= 65535;
}

} // namespace

TcpSocket::TcpSocket(QObject *parent)
    : QObject(parent)
{}

TcpSocket::~TcpSocket() = default;

ControlStatus TcpSocket::setRemotePort(int port)
{
    if (!isPortNumber(port))
        return failure(winsock::kInvalidPropertyValue);
    m_remotePort = port;
    return {};
}

ControlStatus TcpSocket::setLocalPort(int port)
{
    if (!isPortNumber(port))
        return failure(winsock::kInvalidPropertyValue);
    m_localPort = port;
    return {};
}

int TcpSocket::localPort() const
{
    return m_socket && m_state == winsock::kConnected ? int(m_socket->localPort()) : m_localPort;
}

ControlStatus TcpSocket::Connect()
{
    if (m_state != winsock::kClosed)
        return failure(winsock::kInvalidOperation);
    dropSocket();
    ++m_connection;
    m_socket = new QTcpSocket(this);
    // The received bytes wait in the socket's own buffer: bounded, it stops
    // reading when full instead of taking whatever the kernel holds at once.
    m_socket->setReadBufferSize(kReadBufferBytes);
    connect(m_socket, &QTcpSocket::connected, this, &TcpSocket::onConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &TcpSocket::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &TcpSocket::onDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &TcpSocket::onSocketError);
    // Set before connectToHost(): a refusal on the loopback can be reported inside it.
    m_state = winsock::kConnecting;
    if (m_localPort != 0 && !m_socket->bind(QHostAddress::Any, quint16(m_localPort))) {
        m_state = winsock::kError;
        return failure(errorNumber(m_socket->error()), m_socket->errorString());
    }
    m_socket->connectToHost(m_remoteHost, quint16(m_remotePort));
    return {};
}

void TcpSocket::Close()
{
    ++m_connection;
    dropSocket();
    m_state = winsock::kClosed;
}

// A connected socket is shut down gracefully so that bytes already sent still
// arrive; it deletes itself once the peer has them.
void TcpSocket::dropSocket()
{
    if (!m_socket)
        return;
    QTcpSocket *socket = std::exchange(m_socket, nullptr);
    socket->disconnect(this);
    if (socket->state() == QAbstractSocket::ConnectedState) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        socket->disconnectFromHost();
        if (socket->state() == QAbstractSocket::UnconnectedState)
            socket->deleteLater();
    } else {
        socket->abort();
        socket->deleteLater();
    }
}

QString TcpSocket::GetData(ControlStatus *status)
{
    if (m_state == winsock::kClosed) {
        if (status)
            *status = failure(winsock::kBadState);
        return {};
    }
    if (status)
        *status = {};
    if (BytesReceived() == 0)
        return {};
    return cp1252::decode(m_socket->readAll());
}

qint64 TcpSocket::BytesReceived() const
{
    return m_socket ? m_socket->bytesAvailable() : 0;
}

ControlStatus TcpSocket::SendData(const QString &data)
{
    if (m_state != winsock::kConnected)
        return failure(winsock::kBadState);
    const QByteArray bytes = cp1252::encode(data);
    if (m_socket->write(bytes) != bytes.size())
        return failure(errorNumber(m_socket->error()), m_socket->errorString());
    // Out now rather than at the next event-loop pass; flush() does not block.
    m_socket->flush();
    return {};
}

void TcpSocket::onConnected()
{
    if (m_state != winsock::kConnecting)
        return;
    m_state = winsock::kConnected;
    post([this] { emit Connected(); });
}

void TcpSocket::onReadyRead()
{
    emit DataArrival(BytesReceived());
}

void TcpSocket::onDisconnected()
{
    peerClosed();
}

void TcpSocket::onSocketError(QAbstractSocket::SocketError error)
{
    // The peer closing is no error: the connection waits in state 8 for Close().
    if (error == QAbstractSocket::RemoteHostClosedError && m_state == winsock::kConnected) {
        peerClosed();
        return;
    }
    if (m_state == winsock::kConnecting || m_state == winsock::kConnected) {
        qCDebug(lcSocket) << m_remoteHost << m_remotePort << m_socket->errorString();
        fail(errorNumber(error));
    }
}

void TcpSocket::peerClosed()
{
    if (m_state != winsock::kConnected)
        return;
    m_state = winsock::kClosing;
    post([this] { emit PeerClosed(); });
}

void TcpSocket::fail(int number)
{
    m_state = winsock::kError;
    post([this, number] { emit Error(number, winsock::errorText(number)); });
}

// Queued, so a handler may Close() or Connect() again without running inside
// QTcpSocket's own signal; a report of a connection already closed is dropped.
void TcpSocket::post(std::function<void()> report)
{
    const quint64 connection = m_connection;
    QMetaObject::invokeMethod(
        this,
        [this, connection, report = std::move(report)] {
            if (connection == m_connection)
                report();
        },
        Qt::QueuedConnection);
}
