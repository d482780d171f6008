#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

class App;

// The balance simulator (tools/instrument_sim) as a child process, sending
// telegrams only when asked and answering instrument commands, on a pty link
// ("pty") or on a local TCP port ("tcp").
class InstrumentSimulator {
public:
    InstrumentSimulator() = default;
    ~InstrumentSimulator() { stop(); }
    InstrumentSimulator(const InstrumentSimulator &) = delete;
    InstrumentSimulator &operator=(const InstrumentSimulator &) = delete;

    // Starts it and waits until its line is ready.
    bool start(const QString &transport);
    // Points the settings of app at it: COM3 mapped to the pty link in
    // mondrelquist.ini, or TCP/IP to its port.
    bool configure(App &app) const;
    // One telegram to every client.
    void sendTelegram();
    void stop();

    // The pty link's path, or the TCP port.
    QString link() const { return m_link; }
    quint16 port() const { return m_port; }

private:
    QTemporaryDir m_dir;
    QString m_transport;
    QString m_link = m_dir.filePath(QStringLiteral("balance"));
    quint16 m_port = 0;
    QProcess m_process;
};

// Maps COM3 to device in the program folder's mondrelquist.ini and selects it.
bool useComPort(App &app, const QString &device);
