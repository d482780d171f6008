#pragma once

#include "platform/control_status.h"

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <optional>

// Run-time error numbers of the serial control, with the texts it gives them.
namespace mscomm {
constexpr int kDeviceUnavailable = 68;     // "Device unavailable"
constexpr int kInvalidPropertyValue = 380; // "Invalid property value"
constexpr int kPortOpen = 8000;            // "Operation not valid while the port is opened"
constexpr int kInvalidPortNumber = 8002;   // "Invalid port number"
constexpr int kPortAlreadyOpen = 8005;     // "Port already open"
constexpr int kSetCommStateFailed = 8015;  // "Could not set comm state"
constexpr int kPortNotOpen = 8018;         // "Operation valid only when the port is open"
constexpr int kEvReceive = 2;              // CommEvent: RThreshold characters received
} // namespace mscomm

// The line parameters of a settings text such as " 9600,O, 7, 1".
struct SerialSettings {
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    friend bool operator==(const SerialSettings &, const SerialSettings &) = default;
};

// Reads "baud,parity,data bits,stop bits": a positive whole baud rate, parity
// N, O, E, M or S (any case), 5 to 8 data bits, 1, 1.5 or 2 stop bits; blanks
// around every part are allowed. nullopt for any other text.
std::optional<SerialSettings> parseSerialSettings(QStringView text);
// The settings as text, "9600,O,7,1".
QString serialSettingsText(const SerialSettings &settings);

// The serial control of the main window and the telegram dialog, over QSerialPort.
// Everything happens in the event loop; no call blocks. Received bytes collect
// while the event loop runs and are taken with input(). Bytes are characters one
// to one in Windows-1252. Handshake is always off: the settings text has none.
class SerialPort : public QObject {
    Q_OBJECT
public:
    // mondrelquistIni maps port numbers to devices (see com_ports.h).
    explicit SerialPort(const QString &mondrelquistIni = {}, QObject *parent = nullptr);
    ~SerialPort() override;

    void setIniFile(const QString &mondrelquistIni) { m_iniFile = mondrelquistIni; }
    QString iniFile() const { return m_iniFile; }

    // The COM port number, 1..255 (8002 otherwise; 8000 while the port is open).
    // Whether the port exists is found out when it is opened. Default 1.
    ControlStatus setCommPort(int n);
    int commPort() const { return m_commPort; }

    // The settings text; a text that does not parse is refused with 380 and the
    // old settings stay. Taken at the next opening; while the port is open the
    // new baud rate is applied at once (8015 when the device refuses it, old
    // settings kept), parity, data and stop bits as far as the device allows.
    // Default "9600,N,8,1".
    ControlStatus setSettings(const QString &text);
    QString settings() const { return serialSettingsText(m_settings); }
    SerialSettings lineSettings() const { return m_settings; }

    // Opens or closes the port. Opening: 8002 when the port number maps to no
    // device, 68 when the device is missing or will not open as a serial port,
    // 8005 when the port is open already (here or in another program). Closing
    // a closed port does nothing; closing drops unread and unsent bytes.
    ControlStatus setPortOpen(bool open);
    // False once the device failed while open (errorOccurred tells why).
    bool portOpen() const { return m_state == State::Open; }

    // Takes all bytes received so far; nullopt (8018) when the port is not open.
    std::optional<QString> input(ControlStatus *status = nullptr);
    // Sends text; characters Windows-1252 lacks go out as "?". 8018 when the port
    // is not open, 68 when the device fails.
    ControlStatus output(const QString &text);
    // Bytes waiting to be taken by input(); nullopt (8018) when the port is not open.
    std::optional<int> inBufferCount(ControlStatus *status = nullptr) const;

    // OnComm is emitted once the receive buffer holds at least n bytes; 0 turns it
    // off (the default). 380 for n < 0.
    ControlStatus setRThreshold(int n);
    int rThreshold() const { return m_rThreshold; }
    // The event of the last OnComm (mscomm::kEvReceive), 0 before the first.
    int commEvent() const { return m_commEvent; }

signals:
    // Bytes arrived in the receive buffer, whatever RThreshold is; emitted from the
    // event loop. Lets a wait sleep until there is something to take with input().
    void dataReceived();
    // Data arrived and the receive buffer holds RThreshold bytes or more; emitted
    // from the event loop, never from inside a call of this class.
    void OnComm();
    // The device failed while open (unplugged, pty gone): one signal per failure,
    // from the event loop. portOpen() is false from the failure on.
    void errorOccurred(const QString &text);

private:
    enum class State { Closed, Open, Failed };

    ControlStatus open();
    void close();
    bool applyWhileOpen(const SerialSettings &settings, QString *detail);
    ControlStatus openFailure(const QString &path) const;
    void onReadyRead();
    void onPortError(QSerialPort::SerialPortError error);
    void fail(const QString &reason);
    bool writeNow(const QByteArray &bytes, QString *error);

    QSerialPort m_port;
    QString m_iniFile;
    int m_commPort = 1;
    SerialSettings m_settings;
    State m_state = State::Closed;
    int m_rThreshold = 0;
    int m_commEvent = 0;
    // Errors of calls made on purpose (modem lines on a pty) are not failures.
    bool m_tolerateErrors = false;
};
