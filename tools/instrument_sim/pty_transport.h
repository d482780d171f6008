#pragma once

#include "line_transport.h"
#include "unique_fd.h"

#include <QElapsedTimer>
#include <QString>

class QSocketNotifier;

// A pty pair whose slave is reachable through a symlink, standing in for a serial line.
class PtyTransport final : public LineTransport {
    Q_OBJECT
public:
    explicit PtyTransport(QObject *parent = nullptr);
    ~PtyTransport() override;

    // Creates the pair and the link; false with *error set on failure.
    bool open(const QString &linkPath, QString *error);
    QString slaveName() const { return m_slaveName; }

    void write(int peer, const QByteArray &bytes) override;
    bool isDrained() const override;
    QString peerName(int) const override { return QStringLiteral("pty"); }

private:
    void readMaster();
    void removeLink();
    qint64 unreadBytes() const;

    UniqueFd m_master;
    UniqueFd m_slave;
    QString m_slaveName;
    QString m_linkPath;
    QSocketNotifier *m_notifier = nullptr;
    bool m_droppedBefore = false;
    QElapsedTimer m_sinceWrite;
};
