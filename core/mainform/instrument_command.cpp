#include "core/mainform/instrument_command.h"

#include "core/app.h"
#include "core/mainform/mainform.h"
#include "core/mainform/wait.h"
#include "core/reception/link_wait.h"
#include "core/reception/telegram.h"
#include "platform/ports/serial_port.h"
#include "platform/ports/tcp_socket.h"
#include "platform/vb/vb_runtime.h"

#include <QCoreApplication>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// What the instrument is given before the reply is looked at.
constexpr double kReplyDelaySeconds = 0.2;
// A reply this long without a line feed is no reply; what follows is not kept.
constexpr qsizetype kMaxReply = kEmpfangReserve;

const QString kEsc = QStringLiteral("ESC");

ControlStatus socketFailure(int number)
{
    return ControlStatus::failure(number, winsock::errorText(number));
}

} // namespace

QString instrumentCommandText(const QString &command)
{
    QString text = command;
    if (const qsizetype esc = text.indexOf(kEsc, 0, Qt::CaseSensitive); esc >= 0)
        text.replace(esc, kEsc.size(), QChar(27));
    return text + QStringLiteral("\r\n");
}

CommandLink::CommandLink(App &app, mainform &window, double seconds)
    : m_app(app)
    , m_window(&window)
    , m_seconds(seconds)
    , m_wasReading(app.telegramReading)
{
    // A telegram reading started meanwhile would empty strEmpfang and take the port's input.
    m_app.telegramReading = true;
}

CommandLink::~CommandLink()
{
    m_app.telegramReading = m_wasReading;
}

bool CommandLink::overTcp() const
{
    return !vb::IsNumeric(m_app.settings.portnum);
}

ControlStatus CommandLink::waitUntilOpen()
{
    if (!overTcp() || !m_window)
        return {};
    TcpSocket &socket = m_window->Winsock1();
    int error = winsock::kConnectionAborted;
    const QMetaObject::Connection failed =
        QObject::connect(&socket, &TcpSocket::Error, [&error](int number) { error = number; });
    // A refusal on the loopback comes inside Connect(); its report is queued.
    if (socket.State() == winsock::kError)
        QCoreApplication::processEvents();
    if (!m_window) {
        m_stopped = true;
        return socketFailure(winsock::kBadState);
    }
    LinkWait wait(*m_window, m_seconds);
    while (socket.State() == winsock::kConnecting && !wait.expired()) {
        if (!wait.yield()) {
            m_stopped = true;
            break;
        }
    }
    QObject::disconnect(failed);
    if (m_stopped)
        return socketFailure(winsock::kBadState);
    switch (socket.State()) {
    case winsock::kConnected:
        return {};
    case winsock::kConnecting:
        return socketFailure(winsock::kTimedOut);
    case winsock::kError:
        return socketFailure(error);
    default:
        return socketFailure(winsock::kBadState);
    }
}

ControlStatus CommandLink::send(const QString &text)
{
    if (!m_window)
        return socketFailure(winsock::kBadState);
    if (!overTcp()) {
        SerialPort &port = m_window->commport();
        ControlStatus status;
        if (!port.input(&status))
            return status;
        return port.output(text);
    }
    if (const ControlStatus open = waitUntilOpen(); !open)
        return open;
    // Else the tail of the last telegram would become the reply.
    m_app.strEmpfang.clear();
    return m_window->Winsock1().SendData(text);
}

InstrumentReply CommandLink::collectReply()
{
    Warten(kReplyDelaySeconds);
    if (!m_window) {
        m_stopped = true;
        return {InstrumentReply::Outcome::Stopped, {}, {}};
    }
    LinkWait wait(*m_window, m_seconds);
    QString reply;
    for (;;) {
        ControlStatus status;
        const bool open = takeReceived(reply, status);
        if (const qsizetype lineFeed = reply.indexOf(QLatin1Char('\n')); lineFeed >= 0)
            return {InstrumentReply::Outcome::Line, reply.left(lineFeed), {}};
        if (!open)
            return {InstrumentReply::Outcome::LinkFailed, {}, status};
        if (wait.expired())
            return {InstrumentReply::Outcome::TimedOut, {}, {}};
        if (!wait.yield()) {
            m_stopped = true;
            return {InstrumentReply::Outcome::Stopped, {}, {}};
        }
    }
}

// Appends what the link received to reply; false (with the control's error)
// when the link is no longer open.
bool CommandLink::takeReceived(QString &reply, ControlStatus &status)
{
    QString received;
    bool open = true;
    if (overTcp()) {
        // The window's data-arrival handler puts the socket's bytes into strEmpfang.
        received = std::exchange(m_app.strEmpfang, QString());
        if (m_window->Winsock1().State() != winsock::kConnected) {
            status = socketFailure(winsock::kBadState);
            open = false;
        }
    } else if (const std::optional<QString> input = m_window->commport().input(&status)) {
        received = *input;
    } else {
        open = false;
    }
    reply += QStringView(received).left(std::max<qsizetype>(kMaxReply - reply.size(), 0));
    return open;
}
