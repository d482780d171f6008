#pragma once

#include <QByteArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <memory>

class App;

// An instrument on a local TCP port, connected to the main window's socket.
class TcpInstrument {
public:
    // Points the settings of app at a new local server and connects to it.
    bool connect(App &app);
    // Sends bytes after delayMs, while the program is busy reading.
    void sendLater(const QByteArray &bytes, int delayMs = 20);
    void send(const QByteArray &bytes);
    // What the program sent since the last call.
    QByteArray received();
    // Ends the connection: closes it (FIN), or resets it (RST, no linger).
    void close();
    void reset();
    // Takes the program's next connection to this server.
    bool acceptNext();
    // The instrument's end of the connection, for a ByteFlood.
    qintptr descriptor() const { return m_peer->socketDescriptor(); }

private:
    QTcpServer m_server;
    std::unique_ptr<QTcpSocket> m_peer;
};

// A telegram in the default layout: sign in column 7, value right-aligned in
// columns 11 to 16, unit in 18 and 19, CR LF at the end (22 characters).
QByteArray defaultTelegram(char sign, const QByteArray &value, const QByteArray &unit);
