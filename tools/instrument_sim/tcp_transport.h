#pragma once

#include "line_transport.h"

#include <QString>

#include <map>

class QTcpServer;
class QTcpSocket;

// A TCP server on 127.0.0.1 serving every client that connects.
class TcpTransport final : public LineTransport {
    Q_OBJECT
public:
    explicit TcpTransport(QObject *parent = nullptr);

    // Listens on the port (0: the system chooses); false with *error set on failure.
    bool listen(quint16 port, QString *error);
    quint16 port() const;

    void write(int peer, const QByteArray &bytes) override;
    bool isDrained() const override;
    QString peerName(int peer) const override { return QStringLiteral("client %1").arg(peer); }

private:
    void acceptClients();

    QTcpServer *m_server;
    std::map<int, QTcpSocket *> m_clients; // owned by m_server as Qt children
    int m_nextPeer = 1;
};
