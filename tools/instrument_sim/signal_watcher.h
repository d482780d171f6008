#pragma once

#include "unique_fd.h"

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal through signalfd, so the shutdown runs
// in the event loop and can remove the pty link. blockTerminationSignals() must run before
// any thread starts, or a thread that leaves them unblocked would get them instead.
class SignalWatcher final : public QObject {
    Q_OBJECT
public:
    static void blockTerminationSignals();

    explicit SignalWatcher(QObject *parent = nullptr);
    bool isValid() const { return m_fd.isValid(); }

signals:
    void terminationRequested(int signalNumber);

private:
    void readSignal();

    UniqueFd m_fd;
    QSocketNotifier *m_notifier = nullptr;
};
