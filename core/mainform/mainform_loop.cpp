#include "core/mainform/mainform.h"

#include "core/app.h"
#include "core/delivery/delivery.h"
#include "core/ipc/dde_client_link.h"
#include "core/mainform/key_polling.h"
#include "core/mainform/limits.h"
#include "core/mainform/panel_bar.h"
#include "core/mainform/program_title.h"
#include "core/output/output_builder.h"
#include "core/output/protocol_file.h"
#include "core/reception/telegram.h"
#include "core/reception/telegram_fields.h"
#include "platform/clock.h"
#include "platform/vb/vb_datetime.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>

namespace {

bool isOn(const QString &flag)
{
    return vb::CBool(flag).value_or(false);
}

int wholeNumber(const QString &text)
{
    return int(vb::Val(text));
}

void yield()
{
    QCoreApplication::processEvents();
}

} // namespace

void mainform::Timer1_Timer()
{
    // One tick at a time: a tick that yields must not be overtaken by the next.
    if (m_tickRunning)
        return;
    m_tickRunning = true;
    const auto done = qScopeGuard([this] { m_tickRunning = false; });

    pollKeys();

    const SettingsRecord &s = m_app.settings;
    const bool print = s.modus == QLatin1String("PRINT");
    QString strTelegramm;
    QString strEinheit;
    double value = 0.0;
    double dblDelta = 0.0;
    double dblSekunden = 0.0;
    if (print || isOnline()) {
        if (!readAndTest(strTelegramm, strEinheit, value))
            return;
        if (m_Status1->panelText(1) != strLetzterPanelText)
            fnUpdateStatus(QString());
        runTimerEndTests();
        runTriggers(value, dblDelta, dblSekunden);
    }

    yield();
    if (m_app.bSendNow)
        sendValue(strTelegramm, strEinheit, value, dblDelta, dblSekunden);
    // Only now: the send clears the status text.
    if (const QString notice = m_ignoredLimits.takeNotice(); !notice.isEmpty())
        fnUpdateStatus(notice);
    yield();
    updateTimerCaption();
    varLetzterFensterzustand = windowState();
    strLetzterPanelText = m_Status1->panelText(1);
}

// The key tables match while a combination is held, and ticks follow each other
// every 10 ms: a combination presses its button once, and again only after a
// poll found it released (a held online/offline combination toggled the link
// at every tick). A hotkey held down keeps the action keys unread.
void mainform::pollKeys()
{
    int button = fnCheckHotkeys(m_app);
    yield();
    if (button == -1) {
        const int row = fnCheckActionKeys(m_app);
        button = row == -1 ? -1 : row + 9;
    }
    const bool held = button == m_lastKeyButton;
    m_lastKeyButton = button;
    if (button != -1 && !held) {
        m_DDESTRING->clear();
        Command5_Click(button);
    }
    yield();
}

// Reads one telegram and applies the stability and limit tests. False ends the tick.
bool mainform::readAndTest(QString &strTelegramm, QString &strEinheit, double &value)
{
    const SettingsRecord &s = m_app.settings;
    bool valueIsNumber = true;
    value = Telegramm_lesen(m_app, strTelegramm, strEinheit, &valueIsNumber);
    if (strTelegramm.isEmpty())
        return false;

    StatusText::Text rejection = nullptr;
    if (!valueIsNumber) // a value that is no number is never sent, whatever the limits
        rejection = &LanguageTexts::TextFehlerhafteDefinition;
    else if (isOn(s.stillstand) && strEinheit.isEmpty())
        rejection = &LanguageTexts::TextKeinStillstand;
    else if (const double otg = limitValue(s.OTG); otg != 0 && value > otg)
        rejection = &LanguageTexts::TextMesswertGroesserMaximum;
    else if (const double utg = limitValue(s.UTG); utg != 0 && value < utg)
        rejection = &LanguageTexts::TextMesswertKleinerMinimum;
    if (!rejection) {
        m_ignoredLimits.note(s.OTG, s.UTG);
        return true;
    }
    fnUpdateStatus(rejection);
    m_app.bSendNow = false;
    return false;
}

void mainform::runTimerEndTests()
{
    const SettingsRecord &s = m_app.settings;
    const int intModus = wholeNumber(s.int_modus);
    if (intModus == 1) {
        if (m_app.lMesswertZaehler >= wholeNumber(s.anz_mess) && m_app.bTimerAktiv)
            Command5_Click(3);
        return;
    }
    if (intModus != 0 || m_app.dtNaechsteMessung.isEmpty())
        return;
    const auto next = vb::CDateTime(m_app.dtNaechsteMessung);
    const auto end = vb::CDateTime(s.d_end, s.t_end);
    if (!next || !end)
        return;
    // Only the time of day of the next due moment counts, on today's date.
    if (QDateTime(m_app.clock().now().date(), next->time()) > *end) {
        Command5_Click(3);
        fnUpdateStatus(StatusText(&LanguageTexts::TextTimerGestoppt) +
                       QString::number(m_app.lMesswertZaehler) +
                       &LanguageTexts::TextUndMesswerteGesendet);
    }
}

// The send triggers and the measurement timer schedule.
void mainform::runTriggers(double value, double &dblDelta, double &dblSekunden)
{
    SettingsRecord &s = m_app.settings;
    if (!(s.modus == QLatin1String("TIMER") && m_app.bTimerAktiv)) {
        if (s.modus == QLatin1String("PRINT"))
            m_app.bSendNow = true;
        return;
    }
    m_Command5[7]->setEnabled(true);
    const QDateTime now = m_app.clock().now();
    const auto start = vb::CDateTime(s.d_start, s.t_start);
    if (start && now < *start) {
        fnUpdateStatus(StatusText(&LanguageTexts::TextTimerAktivStart) + m_app.dtNaechsteMessung);
        return;
    }
    auto next = vb::CDateTime(m_app.dtNaechsteMessung);
    if (!next || now < *next)
        return;

    if (m_app.lMesswertZaehler == 0)
        next = now;
    // The next due time follows from the previous one, not from this measurement.
    next = next->addSecs(
        qint64(vb::Val(s.int_std) * 3600 + vb::Val(s.int_min) * 60 + vb::Val(s.int_sek)));
    m_app.dtNaechsteMessung = vb::DateTimeText(*next);
    fnUpdateStatus(m_app.dtNaechsteMessung + QStringLiteral(" (") +
                   vb::Str(m_app.lMesswertZaehler + 1) + QLatin1Char(')'));
    if (wholeNumber(s.anzeigemodus) == 2)
        showFlow(value, dblDelta, dblSekunden);

    m_Command5[7]->setEnabled(true);
    const int intModus = wholeNumber(s.int_modus);
    if (intModus == 1) {
        if (m_app.lMesswertZaehler < wholeNumber(s.anz_mess)) {
            ++m_app.lMesswertZaehler;
            m_app.bSendNow = true;
        } else {
            m_app.bSendNow = false;
            Command5_Click(3);
        }
    } else if (intModus == 0) {
        const auto end = vb::CDateTime(s.d_end, s.t_end);
        if ((!start || *start <= now) && end && now < *end) {
            ++m_app.lMesswertZaehler;
            m_app.bSendNow = true;
            m_Command5[3]->setEnabled(true);
            m_Command5[2]->setEnabled(false);
            m_Command5[7]->setText(QStringLiteral("O&ffline"));
        } else {
            m_app.bSendNow = false;
            Command5_Click(3);
        }
    }
}

void mainform::showFlow(double value, double &dblDelta, double &dblSekunden)
{
    const qint64 t = m_app.clock().elapsedMs();
    if (m_app.lMesswertZaehler > 0) {
        dblSekunden = double(t - m_dblTickMs) / 1000.0;
        dblDelta = value - m_dblTickValue;
    }
    m_dblTickMs = t;
    m_dblTickValue = value;

    QString text = QStringLiteral("0");
    const double dichte = m_app.settings.st_dichte;
    // A density or a time span of 0 has no rate: the display keeps "0".
    if (dblDelta != 0 && dichte != 0 && dblSekunden != 0) {
        qint16 width = 10;
        const QString mask = fnMaske(displayDecimals(value), width);
        text = fnFormatWert(dblDelta / dichte / dblSekunden, mask);
    }
    m_MesswertAnzeige->setText(text.trimmed());
    m_einheit->setText(QStringLiteral("ml"));
}

void mainform::sendValue(QString &strTelegramm, QString &strEinheit, double value, double dblDelta,
                         double &dblSekunden)
{
    m_app.strAusgabe.clear();
    m_app.strAusgabe =
        Telegramm_zerlegen(m_app, strTelegramm, dblDelta, dblSekunden, m_app.texts.TextID_1);

    const AppendResult logged = writeProtocol(m_app.outputFiles, strTelegramm, m_app.strAusgabe);
    m_DDEDirect->setText(strTelegramm);
    m_DDESTRING->setText(m_app.strAusgabe);
    m_DDESign->setText(m_Vorzeichen->text());
    m_DDEUnit->setText(strEinheit);
    m_DDEValue->setText(vb::CStr(value));
    fnUpdateStatus(QString());

    const SettingsRecord &s = m_app.settings;
    QStringList failures;
    if (s.anwendung != QLatin1String("*DDE*")) {
        m_Status1->setPanelText(2, s.anwendung);
        m_Status1->setPanelText(3, m_app.strAusgabe);
        failures << Wert_senden(m_app, m_app.strAusgabe);
    } else {
        DDE_Verbindung(m_app);
    }
    failures << logged.error;
    failures.removeAll(QString());
    const QString failureText = failures.join(QStringLiteral("; "));
    if (!failureText.isEmpty())
        fnUpdateStatus(failureText);
    // Only now: a box opened before the delivery would take the keyboard focus.
    reportWriteFailure(m_app, logged);
    m_app.bSendNow = false;

    if (isOn(s.entlastung) && limitValue(s.UTG) > 0) {
        waitForUnloading(strTelegramm, strEinheit);
        // The wait's text would otherwise hide the failed write until the next send.
        if (!failureText.isEmpty())
            fnUpdateStatus(failureText);
    }
}

// After a send, keeps reading until the load is taken off (a value below the
// lower limit) or a reading times out.
void mainform::waitForUnloading(QString &strTelegramm, QString &strEinheit)
{
    fnUpdateStatus(&LanguageTexts::TextWarteAufEntlastung);
    const double utg = limitValue(m_app.settings.UTG);
    double value = 0.0;
    do {
        yield();
        value = Telegramm_lesen(m_app, strTelegramm, strEinheit);
    } while (!(utg != 0 && value < utg));
}

void mainform::updateTimerCaption()
{
    if (m_app.settings.modus != QLatin1String("TIMER"))
        return;
    const bool stateChanged = windowState() != varLetzterFensterzustand;
    if (!stateChanged && m_Status1->panelText(1) == strLetzterPanelText)
        return;
    // Changing the title of a minimised window takes no focus away here.
    if (isMinimized())
        setWindowTitle(m_app.bTimerAktiv ? m_Status->panelText(1) : mainCaption());
    else if (stateChanged)
        setWindowTitle(mainCaption());
}
