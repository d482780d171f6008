#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// The simulated balance's line: a pty or the TCP clients. Peers are numbered by the
// transport; replies go to one peer, telegrams to all.
class LineTransport : public QObject {
    Q_OBJECT
public:
    static constexpr int kAllPeers = -1;

    using QObject::QObject;
    virtual void write(int peer, const QByteArray &bytes) = 0;
    // Everything written has been taken by the receiving end (or nobody can take it), so
    // the program may exit without losing a telegram.
    virtual bool isDrained() const = 0;
    // How the log names a peer.
    virtual QString peerName(int peer) const = 0;

signals:
    void received(int peer, const QByteArray &bytes);
    void peerGone(int peer);
};
