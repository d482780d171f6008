#include "platform/ports/serial_port.h"

#include "platform/ports/com_ports.h"
#include "platform/vb/cp1252.h"

#include <QFile>
#include <QLoggingCategory>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcSerial, "mondrelquist.serial", QtInfoMsg)

namespace {

ControlStatus portNotOpen()
{
    return ControlStatus::failure(mscomm::kPortNotOpen,
                                  QStringLiteral("Operation valid only when the port is open"));
}

ControlStatus deviceUnavailable(const QString &detail)
{
    return ControlStatus::failure(mscomm::kDeviceUnavailable, QStringLiteral("Device unavailable"),
                                  detail);
}

std::optional<QSerialPort::Parity> parityFromLetter(QStringView text)
{
    if (text.size() != 1)
        return std::nullopt;
    switch (text.front().toUpper().unicode()) {
    case 'N':
        return QSerialPort::NoParity;
    case 'O':
        return QSerialPort::OddParity;
    case 'E':
        return QSerialPort::EvenParity;
    case 'M':
        return QSerialPort::MarkParity;
    case 'S':
        return QSerialPort::SpaceParity;
    default:
        return std::nullopt;
    }
}

QChar parityLetter(QSerialPort::Parity parity)
{
    switch (parity) {
    case QSerialPort::OddParity:
        return u'O';
    case QSerialPort::EvenParity:
        return u'E';
    case QSerialPort::MarkParity:
        return u'M';
    case QSerialPort::SpaceParity:
        return u'S';
    default:
        return u'N';
    }
}

// termios knows one or two stop bits; with two asked for at 5 data bits a UART
// sends 1.5, which is what Windows does for "1.5".
QSerialPort::StopBits linuxStopBits(QSerialPort::StopBits stopBits)
{
    return stopBits == QSerialPort::OneAndHalfStop ? QSerialPort::TwoStop : stopBits;
}

bool isDigits(QStringView text)
{
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

bool isFailure(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::PermissionError:
    case QSerialPort::WriteError:
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError:
    case QSerialPort::UnknownError:
        return true;
    default:
        return false;
    }
}

} // namespace

std::optional<SerialSettings> parseSerialSettings(QStringView text)
{
    const QList<QStringView> parts = text.split(u',');
    if (parts.size() != 4)
        return std::nullopt;
    const QStringView baud = parts[0].trimmed();
    const QStringView dataBits = parts[2].trimmed();
    const QStringView stopBits = parts[3].trimmed();

    SerialSettings settings;
    bool ok = false;
    settings.baudRate = baud.toInt(&ok);
    if (!isDigits(baud) || !ok || settings.baudRate <= 0)
        return std::nullopt;

    const auto parity = parityFromLetter(parts[1].trimmed());
    if (!parity)
        return std::nullopt;
    settings.parity = *parity;

    if (dataBits.size() != 1 || dataBits[0] < u'5' || dataBits[0] > u'8')
        return std::nullopt;
    settings.dataBits = QSerialPort::DataBits(dataBits[0].unicode() - u'0');

    if (stopBits == u"1")
        settings.stopBits = QSerialPort::OneStop;
    else if (stopBits == u"1.5")
        settings.stopBits = QSerialPort::OneAndHalfStop;
    else if (stopBits == u"2")
        settings.stopBits = QSerialPort::TwoStop;
    else
        return std::nullopt;
    return settings;
}

QString serialSettingsText(const SerialSettings &settings)
{
    const QString stop = settings.stopBits == QSerialPort::OneAndHalfStop ? QStringLiteral("1.5")
                         : settings.stopBits == QSerialPort::TwoStop      ? QStringLiteral("2")
                                                                          : QStringLiteral("1");
    return QString::number(settings.baudRate) + u',' + parityLetter(settings.parity) + u',' +
           QString::number(int(settings.dataBits)) + u',' + stop;
}

SerialPort::SerialPort(const QString &mondrelquistIni, QObject *parent)
    : QObject(parent)
    , m_iniFile(mondrelquistIni)
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialPort::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialPort::onPortError);
}

SerialPort::~SerialPort() = default;

ControlStatus SerialPort::setCommPort(int n)
{
    if (m_state == State::Open)
        return ControlStatus::failure(
            mscomm::kPortOpen, QStringLiteral("Operation not valid while the port is opened"));
    if (n < 1 || n > 255)
        return ControlStatus::failure(mscomm::kInvalidPortNumber,
                                      QStringLiteral("Invalid port number"));
    m_commPort = n;
    return {};
}

ControlStatus SerialPort::setSettings(const QString &text)
{
    const auto parsed = parseSerialSettings(text);
    if (!parsed)
        return ControlStatus::failure(mscomm::kInvalidPropertyValue,
                                      QStringLiteral("Invalid property value"),
                                      QStringLiteral("settings text \"%1\"").arg(text));
    if (m_state == State::Open) {
        QString detail;
        if (!applyWhileOpen(*parsed, &detail))
            return ControlStatus::failure(mscomm::kSetCommStateFailed,
                                          QStringLiteral("Could not set comm state"), detail);
    }
    m_settings = *parsed;
    return {};
}

ControlStatus SerialPort::setPortOpen(bool open)
{
    if (open)
        return this->open();
    close();
    return {};
}

ControlStatus SerialPort::open()
{
    if (m_state == State::Open)
        return ControlStatus::failure(mscomm::kPortAlreadyOpen,
                                      QStringLiteral("Port already open"));
    if (m_state == State::Failed)
        close();
    const QString path = comDevicePath(m_commPort, m_iniFile);
    if (path.isEmpty())
        return ControlStatus::failure(mscomm::kInvalidPortNumber,
                                      QStringLiteral("Invalid port number"),
                                      QStringLiteral("COM%1 names no device").arg(m_commPort));

    // Before open(): QSerialPort applies them with the first tcsetattr, which a pty
    // accepts, while changing parity or data bits afterwards is refused there.
    m_port.setPortName(path);
    m_port.setBaudRate(m_settings.baudRate);
    m_port.setParity(m_settings.parity);
    m_port.setDataBits(m_settings.dataBits);
    m_port.setStopBits(linuxStopBits(m_settings.stopBits));
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        const ControlStatus status = openFailure(path);
        m_port.clearError();
        return status;
    }
    m_state = State::Open;

    // The serial control raises DTR on opening; a pty has no modem lines.
    m_tolerateErrors = true;
    if (!m_port.setDataTerminalReady(true))
        qCDebug(lcSerial) << path << "keeps DTR:" << m_port.errorString();
    m_tolerateErrors = false;
    m_port.clearError();
    return {};
}

ControlStatus SerialPort::openFailure(const QString &path) const
{
    const QString detail = path + QStringLiteral(": ") + m_port.errorString();
    // QSerialPort reports a lock file held by another program, and a device held
    // exclusively, as a permission error; a device we may use is then busy.
    if (m_port.error() == QSerialPort::PermissionError &&
        ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0)
        return ControlStatus::failure(mscomm::kPortAlreadyOpen, QStringLiteral("Port already open"),
                                      detail);
    return deviceUnavailable(detail);
}

void SerialPort::close()
{
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
    m_state = State::Closed;
}

bool SerialPort::applyWhileOpen(const SerialSettings &settings, QString *detail)
{
    m_tolerateErrors = true;
    const bool baudApplied = m_port.setBaudRate(settings.baudRate);
    if (!baudApplied) {
        *detail = m_port.errorString();
        m_port.setBaudRate(m_settings.baudRate);
    } else {
        // A pty keeps 8 data bits and no parity whatever is asked; its line works anyway.
        bool framed = m_port.setParity(settings.parity);
        framed = m_port.setDataBits(settings.dataBits) && framed;
        framed = m_port.setStopBits(linuxStopBits(settings.stopBits)) && framed;
        if (!framed)
            qCDebug(lcSerial) << m_port.portName()
                              << "keeps part of its framing:" << m_port.errorString();
    }
    m_tolerateErrors = false;
    m_port.clearError();
    return baudApplied;
}

std::optional<QString> SerialPort::input(ControlStatus *status)
{
    if (!portOpen()) {
        if (status)
            *status = portNotOpen();
        return std::nullopt;
    }
    if (status)
        *status = {};
    return cp1252::decode(m_port.readAll());
}

std::optional<int> SerialPort::inBufferCount(ControlStatus *status) const
{
    if (!portOpen()) {
        if (status)
            *status = portNotOpen();
        return std::nullopt;
    }
    if (status)
        *status = {};
    return int(m_port.bytesAvailable());
}

ControlStatus SerialPort::output(const QString &text)
{
    if (!portOpen())
        return portNotOpen();
    QString error;
    if (!writeNow(cp1252::encode(text), &error))
        return deviceUnavailable(m_port.portName() + QStringLiteral(": ") + error);
    return {};
}

// The bytes go to the driver at once, as the serial control hands them to Windows;
// only what the driver cannot take now waits in QSerialPort for the event loop.
// So closing right after a command does not lose it.
bool SerialPort::writeNow(const QByteArray &bytes, QString *error)
{
    qint64 written = 0;
    if (m_port.bytesToWrite() == 0) {
        const ssize_t n = ::write(m_port.handle(), bytes.constData(), size_t(bytes.size()));
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            *error = QString::fromLocal8Bit(std::strerror(errno));
            fail(*error);
            return false;
        }
        written = std::max<qint64>(n, 0);
    }
    if (written < bytes.size())
        m_port.write(bytes.constData() + written, bytes.size() - written);
    return true;
}

ControlStatus SerialPort::setRThreshold(int n)
{
    if (n < 0)
        return ControlStatus::failure(mscomm::kInvalidPropertyValue,
                                      QStringLiteral("Invalid property value"));
    m_rThreshold = n;
    return {};
}

void SerialPort::onReadyRead()
{
    if (m_rThreshold > 0 && m_port.bytesAvailable() >= m_rThreshold) {
        m_commEvent = mscomm::kEvReceive;
        emit OnComm();
    }
    emit dataReceived();
}

void SerialPort::onPortError(QSerialPort::SerialPortError error)
{
    if (m_state != State::Open || m_tolerateErrors || !isFailure(error))
        return;
    // A hang-up reads as end of data, and QSerialPort then shows a stale errno text.
    fail(error == QSerialPort::ReadError ? QStringLiteral("the line hung up")
                                         : m_port.errorString());
}

// A vanished device keeps signalling (the hang-up stays pending, every write
// fails): the first failure closes the port and is reported once; the rest are
// echoes of it.
void SerialPort::fail(const QString &reason)
{
    if (m_state != State::Open)
        return;
    m_state = State::Failed;
    const QString text =
        QStringLiteral("Device unavailable (%1: %2)").arg(m_port.portName(), reason);
    // Closed from the event loop, not from inside QSerialPort's own notification.
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            if (m_state == State::Failed)
                close();
            emit errorOccurred(text);
        },
        Qt::QueuedConnection);
}
