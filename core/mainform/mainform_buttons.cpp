#include "core/mainform/mainform.h"

#include "core/app.h"
#include "core/delivery/delivery.h"
#include "core/ipc/dde_client_link.h"
#include "core/mainform/control_tag.h"
#include "core/mainform/instrument_command.h"
#include "core/mainform/panel_bar.h"
#include "core/mainform/program_title.h"
#include "core/tray/systray.h"
#include "platform/ports/serial_port.h"
#include "platform/ports/tcp_socket.h"
#include "platform/prompts.h"
#include "platform/vb/vb_caption.h"
#include "platform/vb/vb_datetime.h"
#include "platform/vb/vb_runtime.h"
#include "platform/vb/vb_strings.h"
#include "platform/vb/vb_timer.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QThread>

#include <algorithm>

void mainform::Command5_Click(int Index)
{
    // Any button cancels a pending send; button 1 requests it again.
    m_app.bSendNow = false;
    if (Index >= 1 && Index <= 6)
        resetConnection();
    switch (Index) {
    case 1:
        m_app.bSendNow = true;
        break;
    case 2:
        startMeasurementTimer();
        break;
    case 3:
        m_Command5[2]->setEnabled(true);
        m_Command5[3]->setEnabled(false);
        fnUpdateStatus(QString());
        m_app.dtNaechsteMessung.clear();
        m_app.bTimerAktiv = false;
        break;
    case 6:
        hideToTray();
        break;
    case 7:
        toggleOnline();
        break;
    case 8:
        m_app.SysTray.reset();
        Unload();
        break;
    default:
        if (Index >= 9 && Index <= 16)
            instrumentCommand(Index - 9);
        break;
    }
}

void mainform::showOnline()
{
    m_Command5[7]->setText(QStringLiteral("O&ffline"));
    vb::setCaption(m_MesswertAnzeige, QStringLiteral("Online"));
    m_einheit->clear();
    m_Vorzeichen->clear();
    setTag(m_Command5[7], vb::BoolText(true));
}

void mainform::showOffline(const StatusText &status)
{
    m_Command5[7]->setText(QStringLiteral("O&nline"));
    vb::setCaption(m_MesswertAnzeige, QStringLiteral("Offline"));
    setTag(m_Command5[7], vb::BoolText(false));
    fnUpdateStatus(status);
}

void mainform::showLinkDown(const QString &reason)
{
    showOffline(StatusText(&LanguageTexts::TextMessgeraetInaktiv) + QStringLiteral(" (") + reason +
                QStringLiteral(")"));
}

QString mainform::comLinkText(const QString &reason) const
{
    return QStringLiteral("COM%1: %2").arg(m_app.settings.portnum, reason);
}

// Buttons 1 to 6 first close and reopen the link with the current settings.
// Only a link that opened takes the window online.
void mainform::resetConnection()
{
    QString refused;
    if (!(vb::IsNumeric(m_app.settings.portnum) ? reopenComPort(refused) : reconnectTcp()))
        return;
    if (!isOnline()) {
        showOnline();
        fnUpdateStatus(&LanguageTexts::TextMessgeraetAktiviert);
    }
    // Open, but not with the line settings the user chose.
    showLinkError(refused);
}

bool mainform::reopenComPort(QString &refusedSettings)
{
    if (m_commport->portOpen()) {
        m_commport->setPortOpen(false);
        showOffline(&LanguageTexts::TextMessgeraetInaktiv);
    }
    refusedSettings = applyPortSettings();
    QThread::msleep(50);
    const ControlStatus opened = m_commport->setPortOpen(true);
    if (!m_commport->portOpen()) {
        showLinkDown(comLinkText(opened.errorText));
        return false;
    }
    fnUpdateStatus(StatusText(&LanguageTexts::TextMessgeraetAktiviert) + QStringLiteral(" COM") +
                   m_app.settings.portnum);
    return true;
}

// Connecting goes on in the background: state 6 counts as open until the
// socket reports an error (Winsock1_Error then takes the window offline).
bool mainform::reconnectTcp()
{
    const ControlStatus started = connectTcp();
    // State 9 is shown there, as at start-up.
    showTcpStatus(vb::Str(m_Winsock1->State()));
    if (!started) {
        showLinkDown(tcpLinkText(started.errorText));
        return false;
    }
    const int state = m_Winsock1->State();
    return state == winsock::kConnected || state == winsock::kConnecting;
}

void mainform::startMeasurementTimer()
{
    m_Timer1->setInterval(10);
    showOnline();
    fnUpdateStatus(&LanguageTexts::TextMessgeraetAktiviert);
    if (m_app.settings.modus != QLatin1String("TIMER"))
        return;
    m_app.lMesswertZaehler = 0;
    const auto first = vb::CDateTime(m_app.settings.d_start, m_app.settings.t_start);
    m_app.dtNaechsteMessung = first ? vb::DateTimeText(*first) : QString();
    const StatusText text =
        StatusText(&LanguageTexts::TextTimerAktivStart) + m_app.dtNaechsteMessung;
    if (isMinimized())
        setWindowTitle(text.in(m_app.texts));
    else
        fnUpdateStatus(text);
    showOnline();
    m_Command5[2]->setEnabled(false);
    m_Command5[3]->setEnabled(true);
    m_app.bTimerAktiv = true;
}

void mainform::goOffline()
{
    m_Timer1->setInterval(0);
    showOffline(&LanguageTexts::TextMessgeraetInaktiv);
    if (vb::IsNumeric(m_app.settings.portnum)) {
        if (m_commport->portOpen())
            m_commport->setPortOpen(false);
        m_commport->setSettings(portSettingsText());
    } else {
        m_Winsock1->Close();
    }
    QThread::msleep(50);
}

void mainform::toggleOnline()
{
    if (isOnline()) {
        goOffline();
        return;
    }
    const QString &portnum = m_app.settings.portnum;
    const bool com = vb::IsNumeric(portnum);
    if (com) {
        if (const auto port = vb::CInt(portnum))
            m_commport->setCommPort(*port);
        const ControlStatus opened = m_commport->setPortOpen(true);
        if (!m_commport->portOpen()) {
            showLinkDown(comLinkText(opened.errorText));
            return;
        }
    } else if (const ControlStatus started = startTcpConnect(); !started) {
        showLinkDown(tcpLinkText(started.errorText));
        return;
    }
    m_Timer1->setInterval(10);
    showOnline();
    fnUpdateStatus(StatusText(&LanguageTexts::TextMessgeraetAktiviert) + QStringLiteral(" ") +
                   (com ? QStringLiteral("COM") + portnum : portnum));
}

// One command at a time: the reply of the first would otherwise be taken by the
// second. A command pressed meanwhile runs after it, in the order pressed.
void mainform::instrumentCommand(int row)
{
    if (m_commandRunning) {
        m_pendingCommands.append(row);
        return;
    }
    const QPointer<mainform> alive(this);
    m_commandRunning = true;
    for (int next = row;;) {
        runInstrumentCommand(next);
        if (!alive)
            return;
        if (m_pendingCommands.isEmpty())
            break;
        next = m_pendingCommands.takeFirst();
    }
    m_commandRunning = false;
}

void mainform::runInstrumentCommand(int row)
{
    // A copy: the table may be reloaded while the command waits.
    const auto action = m_app.settings.Action[std::size_t(row)];
    // Every wait is bounded; a time-out below one second would cut off slow instruments.
    CommandLink link(m_app, *this, std::max(m_app.m_waittime, 1.0));
    if (!isOnline() && !reconnectForCommand(link))
        return;
    if (vb::Trim(action[5]).isEmpty())
        return;
    // Nothing went out: there is no reply to wait for.
    if (const ControlStatus sent = link.send(instrumentCommandText(action[4])); !sent) {
        if (!link.stopped())
            showCommandError(sent);
        return;
    }
    if (vb::CDbl(action[6]) != 1.0)
        return;

    const InstrumentReply reply = link.collectReply();
    switch (reply.outcome) {
    case InstrumentReply::Outcome::Line:
        m_app.strAusgabe = reply.line;
        deliverReply();
        break;
    case InstrumentReply::Outcome::TimedOut: {
        const QPointer<mainform> alive(this);
        m_app.prompts().message(m_app.texts.TextSchnittstellentimeout, programTitle());
        if (!alive)
            return;
        fnUpdateStatus(QString());
        m_einheit->clear();
        m_Vorzeichen->clear();
        break;
    }
    case InstrumentReply::Outcome::LinkFailed:
        showCommandError(reply.failure);
        break;
    case InstrumentReply::Outcome::Stopped:
        break;
    }
}

// The reconnect of an offline window before a command. False when the link did
// not open: the window stays offline and nothing is sent.
bool mainform::reconnectForCommand(CommandLink &link)
{
    if (m_commport->portOpen()) {
        m_commport->setPortOpen(false);
        showOffline(&LanguageTexts::TextMessgeraetInaktiv);
    }
    // Given over TCP as well; it takes effect at the port's next opening.
    if (const ControlStatus set = m_commport->setSettings(portSettingsText()); !set) {
        const QPointer<mainform> alive(this);
        showCommandError(set);
        if (!alive)
            return false;
    }
    QThread::msleep(50);

    const bool com = vb::IsNumeric(m_app.settings.portnum);
    ControlStatus opened = com ? m_commport->setPortOpen(true) : startTcpConnect();
    if (!com && opened)
        opened = link.waitUntilOpen();
    if (link.stopped())
        return false;
    if (!opened) {
        showLinkDown(com ? comLinkText(opened.errorText) : tcpLinkText(opened.errorText));
        showCommandError(opened);
        return false;
    }
    showOnline();
    fnUpdateStatus(&LanguageTexts::TextMessgeraetAktiviert);
    return true;
}

// Decided by the target, as the polling loop decides it: the application list's
// row at AppIndex need not be the target's.
void mainform::deliverReply()
{
    const QString &target = m_app.settings.anwendung;
    if (target == QLatin1String("*DDE*")) {
        DDE_Verbindung(m_app);
        return;
    }
    m_Status1->setPanelText(2, target);
    m_Status1->setPanelText(3, m_app.strAusgabe);
    Wert_senden(m_app, m_app.strAusgabe);
}

void mainform::showCommandError(const ControlStatus &status)
{
    m_app.prompts().message(status.errorText, programTitle());
}
