#include "tcp_transport.h"

#include <QTcpServer>
#include <QTcpSocket>

TcpTransport::TcpTransport(QObject *parent)
    : LineTransport(parent)
    , m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &TcpTransport::acceptClients);
}

bool TcpTransport::listen(quint16 port, QString *error)
{
    if (m_server->listen(QHostAddress::LocalHost, port))
        return true;
    *error =
        QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(port).arg(m_server->errorString());
    return false;
}

quint16 TcpTransport::port() const
{
    return m_server->serverPort();
}

void TcpTransport::write(int peer, const QByteArray &bytes)
{
    for (const auto &[id, socket] : m_clients) {
        if (peer == kAllPeers || peer == id)
            socket->write(bytes);
    }
}

bool TcpTransport::isDrained() const
{
    // Bytes in the kernel's send buffer still arrive after we exit.
    for (const auto &[id, socket] : m_clients) {
        if (socket->bytesToWrite() > 0)
            return false;
    }
    return true;
}

void TcpTransport::acceptClients()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        const int peer = m_nextPeer++;
        m_clients[peer] = socket;
        // A serial line delivers each byte as it goes; Nagle would bunch paced bytes.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        qInfo("client %d connected from port %u", peer, unsigned(socket->peerPort()));
        connect(socket, &QTcpSocket::readyRead, this,
                [this, peer, socket] { emit received(peer, socket->readAll()); });
        connect(socket, &QTcpSocket::disconnected, this, [this, peer, socket] {
            qInfo("client %d disconnected", peer);
            m_clients.erase(peer);
            socket->deleteLater();
            emit peerGone(peer);
        });
    }
}
