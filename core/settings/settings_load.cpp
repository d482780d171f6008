#include "core/settings/settings.h"

#include "core/app.h"
#include "core/delivery/find_application.h"
#include "core/language/language.h"
#include "core/mainform/control_tag.h"
#include "core/mainform/mainform.h"
#include "core/mainform/panel_bar.h"
#include "core/mainform/program_title.h"
#include "core/settings/settings_tables.h"
#include "dialogs/select_settings.h"
#include "platform/clock.h"
#include "platform/ini/ini_file.h"
#include "platform/ports/serial_port.h"
#include "platform/prompts.h"
#include "platform/vb/vb_runtime.h"

#include <QPushButton>
#include <QStringList>

namespace {

// The settings file read once; a failing conversion leaves the field as it was.
struct Reader {
    ini::Snapshot file;

    QString text(const QString &section, const QString &key, const QString &def) const
    {
        return file.value(section, key, def);
    }
    void column(const QString &section, const QString &key, const QString &def, qint16 &field) const
    {
        if (const auto value = vb::CInt(text(section, key, def)))
            field = *value;
    }
};

void readPortToActiv(App &app, const Reader &in)
{
    SettingsRecord &s = app.settings;
    const QString port = QStringLiteral("Port settings");
    const QString anw = QStringLiteral("Anwendung");
    const QString mode = QStringLiteral("Mode");
    const QString interval = QStringLiteral("Intervall");
    const QDateTime now = app.clock().now();
    const QString today = vb::DateText(now.date());
    const QString present = vb::TimeText(now.time());

    s.baud = in.text(port, QStringLiteral("baud"), QStringLiteral("9600"));
    s.parity = in.text(port, QStringLiteral("parity"), QStringLiteral("O"));
    s.handshake = in.text(port, QStringLiteral("handshake"), QStringLiteral("none"));
    s.databit = in.text(port, QStringLiteral("databit"), QStringLiteral("7"));
    s.stopbit = in.text(port, QStringLiteral("stopbit"), QStringLiteral("1"));
    s.portnum = in.text(port, QStringLiteral("portnum"), QStringLiteral("2"));
    s.tcpip = in.text(port, QStringLiteral("tcpip"), QString());
    s.tcpport = in.text(port, QStringLiteral("tcpport"), QString());
    s.anwendung = in.text(anw, QStringLiteral("anwendung"), QString());
    s.format = in.text(anw, QStringLiteral("format"), QString());
    s.modus = in.text(mode, QStringLiteral("modus"), QStringLiteral("PRINT"));
    s.entlastung =
        in.text(QStringLiteral("Entlastung"), QStringLiteral("entlastung"), QStringLiteral("-1"));
    s.stillstand =
        in.text(QStringLiteral("Stillstand"), QStringLiteral("stillstand"), QStringLiteral("-1"));
    s.prot = in.text(mode, QStringLiteral("prot"), QString());
    s.int_modus = in.text(mode, QStringLiteral("int_modus"), QStringLiteral("0"));
    s.anz_mess = in.text(mode, QStringLiteral("anz_mess"), QStringLiteral("0"));
    s.int_std = in.text(interval, QStringLiteral("int_std"), QStringLiteral("0"));
    s.int_min = in.text(interval, QStringLiteral("int_min"), QStringLiteral("0"));
    s.int_sek = in.text(interval, QStringLiteral("int_sek"), QStringLiteral("0"));
    s.ExcelFile = in.text(anw, QStringLiteral("ExcelFile"), QString());
    s.TextFile = in.text(anw, QStringLiteral("TextFile"), QString());
    s.AccessFile = in.text(anw, QStringLiteral("AccessFile"), QString());
    s.AccessTable = in.text(anw, QStringLiteral("AccessTable"), QString());
    s.d_start = in.text(mode, QStringLiteral("d_start"), today);
    s.d_end = in.text(mode, QStringLiteral("d_end"), today);
    s.t_start = in.text(mode, QStringLiteral("t_start"), present);
    s.t_end = in.text(mode, QStringLiteral("t_end"), present);
    s.activ = in.text(mode, QStringLiteral("activ"), QStringLiteral("0"));

    if (!vb::IsDate(s.d_start)) {
        s.t_start = present;
        s.d_start = today;
        s.t_end = present;
        s.d_end = today;
    }
}

void setTimerButtons(App &app)
{
    mainform &mw = app.mainWindow();
    const bool timerMode = app.settings.modus == QLatin1String("TIMER");
    mw.Command5(3)->setEnabled(false);
    mw.Command5(2)->setEnabled(timerMode);
    setTag(mw.Command5(2), vb::BoolText(true));
    setTag(mw.Command5(7), vb::BoolText(true));
    mw.Command5(7)->setText(QStringLiteral("O&ffline"));
}

void readKeyTables(App &app, const Reader &in)
{
    for (int i = 0; i <= 7; ++i)
        splitHotkeyRow(in.text(QStringLiteral("Hotkeys"), QStringLiteral("key%1").arg(i),
                               QStringLiteral(",,,")),
                       app.settings.Hotkeys[i]);
    for (int i = 0; i <= 7; ++i)
        splitActionRow(in.text(QStringLiteral("Action"), QStringLiteral("key%1").arg(i),
                               QStringLiteral(",,,,,")),
                       app.settings.Action[i]);
}

void readFilterToDichte(App &app, const Reader &in)
{
    SettingsRecord &s = app.settings;
    const QString gauge = QStringLiteral("Gauge");
    const QString anzeige = QStringLiteral("anzeige");
    const QString ddeconn = QStringLiteral("DDECONN");

    s.OTG = in.text(QStringLiteral("Filter"), QStringLiteral("OTG"), QStringLiteral("0"));
    s.UTG = in.text(QStringLiteral("Filter"), QStringLiteral("UTG"), QStringLiteral("0"));
    s.TRZ =
        in.text(QStringLiteral("Dezimaltrennzeichen"), QStringLiteral("TRZ"), QStringLiteral("0"));
    s.str_len = in.text(gauge, QStringLiteral("str_len"), QStringLiteral("22"));
    s.str_endchar = in.text(gauge, QStringLiteral("str_endchar"), QStringLiteral("10"));
    in.column(gauge, QStringLiteral("mw_start"), QStringLiteral("11"), s.mw_start);
    in.column(gauge, QStringLiteral("mw_end"), QStringLiteral("16"), s.mw_end);
    in.column(gauge, QStringLiteral("mw_sign_anf"), QStringLiteral("7"), s.mw_sign_anf);
    in.column(gauge, QStringLiteral("mw_sign_end"), QStringLiteral("7"), s.mw_sign_end);
    in.column(gauge, QStringLiteral("eh_start"), QStringLiteral("18"), s.eh_start);
    in.column(gauge, QStringLiteral("eh_end"), QStringLiteral("19"), s.eh_end);
    in.column(QStringLiteral("gauge"), QStringLiteral("mw_still_anf"), QStringLiteral("18"),
              s.mw_still_anf);
    in.column(gauge, QStringLiteral("mw_still_end"), QStringLiteral("19"), s.mw_still_end);
    for (int i = 1; i <= 10; ++i) {
        in.column(gauge, QStringLiteral("ID_anf_%1").arg(i), QStringLiteral(" "), s.ID_anf[i]);
        in.column(gauge, QStringLiteral("ID_end_%1").arg(i), QStringLiteral(" "), s.ID_end[i]);
    }
    s.anwend = in.text(ddeconn, QStringLiteral("anwend"), QStringLiteral("Excel"));
    s.topic = in.text(ddeconn, QStringLiteral("topic"), QStringLiteral("System"));
    s.befehl = in.text(ddeconn, QStringLiteral("befehl"), QString());
    s.st_kennung = in.text(gauge, QStringLiteral("st_kennung"), QStringLiteral(" "));
    s.anzeigemodus = in.text(anzeige, QStringLiteral("anzeigemodus"), QStringLiteral("0"));
    if (const auto dichte = vb::CDbl(in.text(anzeige, QStringLiteral("st_dichte"), vb::CStr(1.0))))
        s.st_dichte = *dichte;
}

void showUnreadable(App &app, const QString &problem, const QString &german, const QString &english)
{
    if (!problem.isEmpty())
        app.prompts().message(inProgramLanguage(app, german, english) + QStringLiteral("\n\n") +
                                  problem,
                              programTitle());
}

// Defaults in place of the user's settings must not pass unnoticed. Returns the status text.
QString reportUnreadable(App &app, const UnreadableFiles &unreadable)
{
    showUnreadable(app, unreadable.settingsFile,
                   QStringLiteral("Die Einstellungsdatei kann nicht gelesen werden; es gelten "
                                  "die Standardeinstellungen."),
                   QStringLiteral("The settings file cannot be read; the default settings "
                                  "apply."));
    showUnreadable(app, unreadable.mondrelquistIni,
                   QStringLiteral("mondrelquist.ini kann nicht gelesen werden; es gelten 1 "
                                  "Sekunde Empfangs-Timeout und die übliche Zuordnung der "
                                  "COM-Ports."),
                   QStringLiteral("mondrelquist.ini cannot be read; a receive timeout of 1 "
                                  "second and the usual COM port devices apply."));
    QStringList status{unreadable.settingsFile, unreadable.mondrelquistIni};
    status.removeAll(QString());
    const QString text = status.join(QStringLiteral("; "));
    // Last, so that the link status does not hide that these are only defaults.
    if (!text.isEmpty())
        app.mainWindow().fnUpdateStatus(text);
    return text;
}

void applyActionCaptions(App &app)
{
    for (int i = 0; i <= 7; ++i) {
        const QString &caption = app.settings.Action[i][5];
        if (!caption.isEmpty())
            app.mainWindow().Command5(i + 9)->setText(caption);
    }
}

} // namespace

QString GetINI(const QString &key, const QString &defaultValue, const QString &file,
               const QString &section)
{
    return ini::readValue(file, section, key, defaultValue);
}

bool WriteINI(const QString &key, const QString &value, const QString &file, const QString &section)
{
    return ini::writeValue(file, section, key, value);
}

double readWaitTime(const App &app, QString *problem)
{
    const ini::Snapshot file(app.programFile(QStringLiteral("mondrelquist.ini")));
    if (problem)
        *problem = file.problem();
    return vb::Val(
        file.value(QStringLiteral("waittime"), QStringLiteral("m_waittime"), QStringLiteral("1")));
}

UnreadableFiles readSettingsRecord(App &app, const QString &file)
{
    UnreadableFiles unreadable;
    const Reader in{ini::Snapshot(file)};
    unreadable.settingsFile = in.file.problem();
    app.m_waittime = readWaitTime(app, &unreadable.mondrelquistIni);
    app.settings.AppList = readAppList(in.file);
    app.dtNaechsteMessung.clear();
    app.bSendNow = false;
    readPortToActiv(app, in);
    readKeyTables(app, in);
    readFilterToDichte(app, in);
    app.AppIndex = 0;
    return unreadable;
}

QString Einstellungen_laden(App &app, const QString &file)
{
    mainform &mw = app.mainWindow();
    mw.setWindowTitle(mainCaption());
    const UnreadableFiles unreadable = readSettingsRecord(app, file);
    setTimerButtons(app);
    // Tagged as the menu's: its Ok must not start the wizard in the middle of loading.
    if (mw.reopenLink().error == mscomm::kDeviceUnavailable)
        select_settings::Show(app, QStringLiteral("mainform"));
    applyActionCaptions(app);
    mw.Status1()->setPanelText(2, app.settings.anwendung);
    app.strAusgabe = app.settings.format;
    mw.Status1()->setPanelText(3, app.strAusgabe);
    if (!app.settings.anwendung.isEmpty())
        fnFindeAnwendung(app);
    return reportUnreadable(app, unreadable);
}
