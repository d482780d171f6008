#pragma once

#include "platform/control_status.h"

#include <QAbstractSocket>
#include <QObject>
#include <QString>

#include <functional>

class QTcpSocket;

// State numbers and run-time error numbers of the socket control.
namespace winsock {
constexpr int kClosed = 0;
constexpr int kConnecting = 6; // also while the host name is looked up
constexpr int kConnected = 7;
constexpr int kClosing = 8; // the peer closed the connection; Close() ends it
constexpr int kError = 9;   // a connection failed; Close() ends it

constexpr int kInvalidPropertyValue = 380;
constexpr int kPermissionDenied = 10013;
constexpr int kAddressInUse = 10048;
constexpr int kAddressNotAvailable = 10049;
constexpr int kNetworkUnreachable = 10051;
constexpr int kConnectionAborted = 10053; // any other failure of a connection
constexpr int kNoBufferSpace = 10055;
constexpr int kTimedOut = 10060;
constexpr int kConnectionRefused = 10061;
constexpr int kHostNotFound = 11001;
constexpr int kBadState = 40006;
constexpr int kInvalidOperation = 40020;

// The control's text for one of the numbers above.
QString errorText(int number);
} // namespace winsock

// The TCP client of the main window (the socket control), over QTcpSocket.
// Nothing blocks: Connect() starts the connection, the event loop completes it.
// Received bytes collect in a buffer taken with GetData(); bytes are characters
// one to one in Windows-1252.
class TcpSocket : public QObject {
    Q_OBJECT
public:
    // At most this many received bytes wait in the buffer. Beyond it the kernel
    // keeps them and TCP holds the sender back, so nothing is lost however long
    // GetData() is not called, and memory stays bounded whatever an instrument sends.
    static constexpr qint64 kReadBufferBytes = 64 * 1024;

    explicit TcpSocket(QObject *parent = nullptr);
    ~TcpSocket() override;

    void setRemoteHost(const QString &host) { m_remoteHost = host; }
    QString remoteHost() const { return m_remoteHost; }
    // 0..65535; 380 otherwise.
    ControlStatus setRemotePort(int port);
    int remotePort() const { return m_remotePort; }
    // The local port to bind before connecting, 0 for any; while connected, the
    // port in use. 380 outside 0..65535.
    ControlStatus setLocalPort(int port);
    int localPort() const;

    // Starts connecting to remoteHost:remotePort. Only from state 0 (closed):
    // otherwise 40020 and the socket stays as it is. A refused connection or an
    // unknown host is reported later by Error, with state 9.
    ControlStatus Connect();
    // Ends the connection (unsent bytes still go out) and drops unread bytes;
    // the state is 0 at once, whatever it was.
    void Close();
    // 0 closed, 6 connecting, 7 connected, 8 the peer closed, 9 error.
    int State() const { return m_state; }

    // Takes the bytes waiting in the buffer ("" when none), at most
    // kReadBufferBytes; more may follow with the next DataArrival. Only state 0
    // fails (40006).
    QString GetData(ControlStatus *status = nullptr);
    // Sends text (characters Windows-1252 lacks as "?"); 40006 unless connected.
    ControlStatus SendData(const QString &data);
    // Bytes waiting to be taken by GetData().
    qint64 BytesReceived() const;

signals:
    // The connection is up (state 7). Emitted from the event loop.
    void Connected();
    // Bytes arrived; bytesTotal is what GetData() would return now.
    void DataArrival(qint64 bytesTotal);
    // A connection failed or broke, with the control's number and text; State()
    // is 9 until Close(). Emitted from the event loop, never inside Connect().
    void Error(int number, const QString &description);
    // The peer ended a connection that was up (closed or reset it: Qt reports a
    // reset as a close); State() is 8 until Close(). Emitted from the event loop.
    void PeerClosed();

private:
    void onConnected();
    void onReadyRead();
    void onDisconnected();
    void onSocketError(QAbstractSocket::SocketError error);
    void peerClosed();
    void fail(int number);
    // Runs report from the event loop unless the connection has changed meanwhile.
    void post(std::function<void()> report);
    void dropSocket();

    QTcpSocket *m_socket = nullptr; // child of this; one per connection
    QString m_remoteHost;
    int m_remotePort = 0;
    int m_localPort = 0;
    int m_state = winsock::kClosed;
    quint64 m_connection = 0; // counts connections, so a late report of an old one is dropped
};
