#include "core/mainform/mainform.h"

#include "core/app.h"
#include "core/ipc/dde_source.h"
#include "core/language/language.h"
#include "core/mainform/control_tag.h"
#include "core/mainform/panel_bar.h"
#include "core/mainform/program_title.h"
#include "core/reception/telegram.h"
#include "core/settings/settings.h"
#include "platform/clock.h"
#include "platform/ports/com_ports.h"
#include "platform/ports/serial_port.h"
#include "platform/ports/tcp_socket.h"
#include "platform/prompts.h"
#include "platform/vb/vb_caption.h"
#include "platform/vb/vb_datetime.h"
#include "platform/vb/vb_timer.h"
#include "platform/x11/key_state.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QThread>
#include <QTimer>

namespace {

// Often enough for a key combination, rarely enough to cost nothing offline.
constexpr int kSlowKeyPollMs = 100;

} // namespace

void mainform::setMenuCaptions()
{
    const LanguageTexts &t = m_app.texts;
    const std::pair<const char *, const QString *> captions[] = {
        {"datei", &t.TextMenuDatei_},
        {"load_conf", &t.TextMenuDatei_EinstellungLaden},
        {"save_conf", &t.TextMenuDatei_EinstellungSichern},
        {"quit", &t.TextMenuDatei_Schliessen},
        {"m_Modus", &t.TextMenuAnsicht_Modus},
        {"options", &t.TextMenuEinstellungen_},
        {"port", &t.TextMenuEinstellungen_Schnittstelle},
        {"help", &t.TextMenuHilfe_},
        {"showhelp", &t.TextMenuHilfe_Hilfe},
        {"info", &t.TextMenuHilfe_Info},
        {"language", &t.TextMenuEinstellungen_Sprache},
        {"m_Ansicht", &t.TextMenuAnsicht_},
        {"options", &t.TextMenuoptions_},
        {"m_DataOutput", &t.TextMenuDataOutput_},
        {"m_KonfigDatenIn", &t.TextMenuoptions_KonfigurationDaten},
        {"m_Extras", &t.TextMenuExtras_},
        {"m_KonfigDatenOut", &t.TextMenum_DataOutput_KonfigDaten},
        {"dde_conn", &t.TextMenum_VerbAppl},
    };
    for (const auto &[name, caption] : captions)
        if (QAction *item = menuItem(QString::fromLatin1(name)))
            item->setText(*caption);
}

void mainform::Form_Load()
{
    createSysTray();
    if (!Sprache_laden(m_app))
        return;
    setMenuCaptions();
    m_Status1->setPanelText(1, m_app.texts.TextStatus);
    fnUpdateStatus(&LanguageTexts::TextFrmJSLink_Label1Caption);
    // Last, so that a notice about the keys joins the connection's texts.
    const auto pollKeysToo = qScopeGuard([this] { startKeyPolling(); });
    // A child of the window, so its items live as long as the window. Why other
    // programs cannot reach it is shown at the end, not hidden by the start-up's texts.
    auto *ddeSource = new DdeSource(*this);
    const QString ddeFailure = ddeSource->serve();
    const auto showDdeFailure = qScopeGuard([&] { showLinkError(ddeFailure); });

    const QString &argument = m_app.commandLine;
    if (argument.isEmpty())
        m_app.CfgPath = m_app.programFile(QStringLiteral("standard.cfg"));
    else
        m_app.CfgPath = QDir::isAbsolutePath(argument) ? argument : m_app.programFile(argument);

    QString unreadable;
    if (!QFileInfo::exists(m_app.CfgPath)) {
        m_app.prompts().message(m_app.texts.TextStandardCfgNichtVorhanden, programTitle());
        load_conf_Click();
    } else {
        unreadable = Einstellungen_laden(m_app, m_app.CfgPath);
    }

    m_einheit->clear();
    m_Vorzeichen->clear();
    // Defaults from an unreadable settings file must not pass for the user's settings.
    m_Status->setPanelText(1, unreadable.isEmpty() ? QStringLiteral("Start über 'online'")
                                                   : unreadable);
    m_Timer1->setInterval(1000);

    if (m_app.CfgPath.isEmpty()) {
        // No settings file was chosen: never connect with a record nobody configured.
        readSettingsRecord(m_app, QString());
        setTag(m_Command5[7], vb::BoolText(false));
        vb::setCaption(m_MesswertAnzeige, QStringLiteral("Offline"));
        return;
    }

    if (m_commport->portOpen()) {
        m_commport->setPortOpen(false);
        m_Command5[7]->setText(QStringLiteral("O&nline"));
        vb::setCaption(m_MesswertAnzeige, QStringLiteral("Offline"));
        setTag(m_Command5[7], vb::BoolText(false));
        fnUpdateStatus(&LanguageTexts::TextMessgeraetInaktiv);
    }

    if (m_app.settings.portnum == QLatin1String("TCP/IP") ||
        ComPortVorhanden(qint16(m_commport->commPort()))) {
        openConnection();
        prepareMode();
    }
    if (!unreadable.isEmpty())
        fnUpdateStatus(unreadable);
}

QString mainform::portSettingsText() const
{
    const SettingsRecord &s = m_app.settings;
    return vb::Str(vb::Val(s.baud)) + QLatin1Char(',') + s.parity.toUpper() + QLatin1Char(',') +
           vb::Str(vb::Val(s.databit)) + QLatin1Char(',') + vb::Str(vb::Val(s.stopbit));
}

void mainform::openConnection()
{
    const SettingsRecord &s = m_app.settings;
    m_commport->setSettings(portSettingsText());
    QThread::msleep(50);
    if (vb::IsNumeric(s.portnum)) {
        if (const auto port = vb::CInt(s.portnum))
            m_commport->setCommPort(*port);
        const QString refused = applyPortSettings();
        if (!m_commport->portOpen())
            openComPort(refused);
        return;
    }
    connectTcp();
    showTcpStatus(vb::Str(m_Winsock1->State()));
}

QString mainform::applyPortSettings()
{
    const QString text = portSettingsText();
    const ControlStatus status = m_commport->setSettings(text);
    return status.ok() ? QString()
                       : QStringLiteral("COM%1 \"%2\": %3")
                             .arg(m_app.settings.portnum, text, status.errorText);
}

ControlStatus mainform::openComPort(const QString &refusedSettings)
{
    QThread::msleep(50);
    const auto opened = m_commport->setPortOpen(true);
    if (!m_commport->portOpen()) {
        showLinkError(opened.errorText);
        return opened;
    }
    setTag(m_Command5[7], vb::BoolText(true));
    m_Command5[7]->setText(QStringLiteral("Offline"));
    vb::setCaption(m_MesswertAnzeige, QStringLiteral("O&nline"));
    fnUpdateStatus(StatusText(&LanguageTexts::TextMessgeraetAktiviert) + QStringLiteral(" COM") +
                   m_app.settings.portnum);
    // Open, but not with the line settings the user chose.
    showLinkError(refusedSettings);
    return {};
}

ControlStatus mainform::startTcpConnect()
{
    const SettingsRecord &s = m_app.settings;
    const int state = m_Winsock1->State();
    // Connect would refuse a link that is up or being made: never drop it for that.
    if (state == winsock::kConnected || state == winsock::kConnecting)
        return {};
    m_Winsock1->setRemoteHost(s.tcpip);
    if (const auto port = vb::CLng(vb::Val(s.tcpport)))
        m_Winsock1->setRemotePort(*port);
    m_Winsock1->setLocalPort(0);
    // A link the peer ended or that failed refuses Connect until it is closed.
    if (state == winsock::kClosing || state == winsock::kError)
        m_Winsock1->Close();
    m_lastSocketError.clear();
    return m_Winsock1->Connect();
}

ControlStatus mainform::connectTcp()
{
    const ControlStatus started = startTcpConnect();
    QCoreApplication::processEvents();
    return started;
}

void mainform::prepareMode()
{
    const SettingsRecord &s = m_app.settings;
    m_app.bTimerAktiv = false;
    if (s.modus != QLatin1String("TIMER")) {
        m_Command5[2]->setEnabled(false);
        m_Command5[3]->setEnabled(false);
        m_Timer1->setInterval(10);
        return;
    }
    m_Command5[1]->setEnabled(false);
    if (int(vb::Val(s.activ)) != 1) {
        m_Command5[2]->setEnabled(true);
        m_Command5[3]->setEnabled(false);
        setTag(m_Command5[2], vb::BoolText(true));
        m_Command5[7]->setText(QStringLiteral("O&ffline"));
        return;
    }
    // The measurement timer starts by itself (activ = 1).
    const int intModus = int(vb::Val(s.int_modus));
    if (intModus != 0 && intModus != 1)
        return;
    Command5_Click(2);
    const QDateTime now = m_app.clock().now();
    if (intModus == 1) {
        m_app.bSendNow = true;
        m_app.dtNaechsteMessung = vb::DateTimeText(now);
        return;
    }
    const auto start = vb::CDateTime(s.d_start, s.t_start);
    const auto end = vb::CDateTime(s.d_end, s.t_end);
    if (start && end && now > *start && now < *end) {
        m_app.bSendNow = true;
        m_app.dtNaechsteMessung = vb::DateTimeText(now);
    }
}

ControlStatus mainform::reopenLink()
{
    const SettingsRecord &s = m_app.settings;
    if (ComPortVorhanden(qint16(m_commport->commPort())) && m_commport->portOpen())
        m_commport->setPortOpen(false);
    if (vb::IsNumeric(s.portnum)) {
        if (const auto port = vb::CInt(s.portnum))
            m_commport->setCommPort(*port);
        const QString refused = applyPortSettings();
        if (ComPortVorhanden(qint16(m_commport->commPort())) && !m_commport->portOpen())
            return openComPort(refused);
        return {};
    }
    connectTcp();
    showTcpStatus(QString::number(m_Winsock1->State()));
    return {};
}

// Going offline stops Timer1, the tick that polls the keys: this slower poll
// lets the online/offline combination bring the link back.
void mainform::startKeyPolling()
{
    if (const QString reason = m_app.keyState().unavailable(); !reason.isEmpty()) {
        const QString shown = m_Status->panelText(1);
        const QString notice = QStringLiteral("Hotkeys unavailable: ") + reason;
        fnUpdateStatus(shown.isEmpty() ? notice : shown + QStringLiteral("; ") + notice);
        return;
    }
    if (m_keyPoll)
        return;
    m_keyPoll = new QTimer(this);
    m_keyPoll->setInterval(kSlowKeyPollMs);
    connect(m_keyPoll, &QTimer::timeout, this, &mainform::pollKeysWhileIdle);
    m_keyPoll->start();
}

void mainform::pollKeysWhileIdle()
{
    // Nor does it overtake a tick, which polls the keys itself.
    if (m_tickRunning || (m_Timer1->isRunning() && m_Timer1->interval() <= kSlowKeyPollMs))
        return;
    m_tickRunning = true;
    const auto done = qScopeGuard([this] { m_tickRunning = false; });
    pollKeys();
}

bool mainform::fnUpdateStatus(const StatusText &strStatus)
{
    const QString text = strStatus.in(m_app.texts);
    m_status = strStatus;
    if (text != strLetzterStatus) {
        m_Status->setPanelText(1, text);
        strLetzterStatus = text;
    }
    return true;
}

void mainform::refreshStatus()
{
    // A text put on the panel directly, such as the start-up's, is no language text.
    if (m_Status->panelText(1) == strLetzterStatus)
        fnUpdateStatus(m_status);
}

int mainform::ComPortVorhanden(qint16 port) const
{
    return comPortExists(port, m_app.programFile(QStringLiteral("mondrelquist.ini"))) ? 1 : 0;
}

void mainform::showLinkError(const QString &error)
{
    // A link that failed must not look like a working one.
    if (!error.isEmpty())
        fnUpdateStatus(error);
}

void mainform::showTcpStatus(const QString &stateText)
{
    fnUpdateStatus(StatusText(&LanguageTexts::TextMessgeraetAktiviert) +
                   QStringLiteral(" TCP/IP ") + stateText);
    // State 9: the connection already failed while connecting.
    if (m_Winsock1->State() == winsock::kError)
        showLinkDown(m_lastSocketError.isEmpty()
                         ? tcpLinkText(QStringLiteral("the connection failed"))
                         : m_lastSocketError);
}

void mainform::Winsock1_DataArrival()
{
    appendReceived(m_app, m_Winsock1->GetData());
}

void mainform::Winsock1_Error(int, const QString &description)
{
    if (vb::IsNumeric(m_app.settings.portnum)) {
        // A link left from earlier settings; the instrument is on the COM port now.
        m_Winsock1->Close();
        return;
    }
    m_lastSocketError = tcpLinkText(description);
    // Did not open, or broke: offline, so that one press of Online connects again.
    showLinkDown(m_lastSocketError);
}

// The instrument ended the link: show the window offline, as button 7 does, so
// that one press of it connects again; no reconnecting behind the user's back.
void mainform::Winsock1_Close()
{
    if (vb::IsNumeric(m_app.settings.portnum)) {
        // A link left from earlier settings; the instrument is on the COM port now.
        m_Winsock1->Close();
        return;
    }
    goOffline();
    fnUpdateStatus(tcpLinkText(QStringLiteral("the instrument closed the connection")));
}

QString mainform::tcpLinkText(const QString &reason) const
{
    return QStringLiteral("TCP/IP %1:%2: %3")
        .arg(m_Winsock1->remoteHost())
        .arg(m_Winsock1->remotePort())
        .arg(reason);
}
