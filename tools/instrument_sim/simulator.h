#pragma once

#include "command_framer.h"
#include "paced_writer.h"
#include "sim_options.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <map>

class LineTransport;
class StdinReader;

// The balance itself: decides when telegrams go out and answers commands.
class Simulator final : public QObject {
    Q_OBJECT
public:
    Simulator(const SimOptions &options, LineTransport &transport, QObject *parent = nullptr);

    void start();

signals:
    // The telegram count is reached or the values are used up, and the line is drained.
    void finished(int exitCode);

private:
    void handleStdinLine(const QByteArray &line);
    void handleStdinEnd();
    void handleReceived(int peer, const QByteArray &bytes);
    void handleCommand(int peer, const QByteArray &command);
    void sendTelegram(int peer);
    Reading nextReading();
    void finish();
    void checkDrained();

    const SimOptions m_options;
    LineTransport &m_transport;
    PacedWriter m_writer;
    StdinReader *m_stdin = nullptr;
    std::map<int, CommandFramer> m_framers;
    Reading m_current; // the last stdin value
    qsizetype m_nextValue = 0;
    int m_sent = 0;
    bool m_finishing = false;
    bool m_overrunReported = false;
    QTimer m_rateTimer;
    QTimer m_drainTimer;
    QElapsedTimer m_drainClock;
};
