#include "core/mainform/mainform.h"

#include "core/app.h"
#include "core/mainform/control_tag.h"
#include "core/mainform/panel_bar.h"
#include "platform/ports/serial_port.h"
#include "platform/ports/tcp_socket.h"
#include "platform/vb/vb_caption.h"
#include "platform/vb/vb_datetime.h"
#include "platform/vb/vb_timer.h"

#include <QLabel>
#include <QPushButton>
#include <QThread>

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
    case 7:
        toggleOnline();
        break;
    case 8:
        close();
        break;
    default:
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

void mainform::showOffline(const QString &status)
{
    m_Command5[7]->setText(QStringLiteral("O&nline"));
    vb::setCaption(m_MesswertAnzeige, QStringLiteral("Offline"));
    setTag(m_Command5[7], vb::BoolText(false));
    fnUpdateStatus(status);
}

// Buttons 1 to 6 first close and reopen the link with the current settings.
void mainform::resetConnection()
{
    const QString &portnum = m_app.settings.portnum;
    QString failure;
    if (vb::IsNumeric(portnum)) {
        if (m_commport->portOpen()) {
            m_commport->setPortOpen(false);
            showOffline(m_app.texts.TextMessgeraetInaktiv);
        }
        const QString refused = applyPortSettings();
        QThread::msleep(50);
        failure = m_commport->setPortOpen(true).errorText;
        if (failure.isEmpty())
            failure = refused;
        fnUpdateStatus(m_commport->portOpen()
                           ? m_app.texts.TextMessgeraetAktiviert + QStringLiteral(" COM") + portnum
                           : m_app.texts.TextMessgeraetInaktiv);
    } else {
        connectTcp();
        showTcpStatus(vb::Str(m_Winsock1->State()));
    }
    if (!isOnline()) {
        showOnline();
        fnUpdateStatus(m_app.texts.TextMessgeraetAktiviert);
    }
    // The window shows online either way; a port that did not open must say so.
    showLinkError(failure);
}

void mainform::startMeasurementTimer()
{
    m_Timer1->setInterval(10);
    showOnline();
    fnUpdateStatus(m_app.texts.TextMessgeraetAktiviert);
    if (m_app.settings.modus != QLatin1String("TIMER"))
        return;
    m_app.lMesswertZaehler = 0;
    const auto first = vb::CDateTime(m_app.settings.d_start, m_app.settings.t_start);
    m_app.dtNaechsteMessung = first ? vb::DateTimeText(*first) : QString();
    const QString text = m_app.texts.TextTimerAktivStart + m_app.dtNaechsteMessung;
    if (isMinimized())
        setWindowTitle(text);
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
    showOffline(m_app.texts.TextMessgeraetInaktiv);
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
    QString failure;
    if (com) {
        if (const auto port = vb::CInt(portnum))
            m_commport->setCommPort(*port);
        failure = m_commport->setPortOpen(true).errorText;
    } else {
        startTcpConnect();
    }
    m_Timer1->setInterval(10);
    showOnline();
    fnUpdateStatus(m_app.texts.TextMessgeraetAktiviert + QLatin1Char(' ') +
                   (com ? QStringLiteral("COM") + portnum : portnum));
    showLinkError(failure);
}
