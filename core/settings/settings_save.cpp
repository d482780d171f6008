#include "core/settings/settings.h"

#include "core/app.h"
#include "core/mainform/mainform.h"
#include "core/mainform/program_title.h"
#include "core/settings/settings_tables.h"
#include "platform/ini/ini_file.h"
#include "platform/prompts.h"
#include "platform/vb/vb_runtime.h"

#include <QFile>
#include <QFileInfo>

namespace {

// Every key the record is saved under, in the order the stored files have them.
QList<ini::Entry> settingsEntries(const SettingsRecord &s)
{
    const QString port = QStringLiteral("Port settings");
    const QString anw = QStringLiteral("Anwendung");
    const QString mode = QStringLiteral("Mode");
    const QString interval = QStringLiteral("Intervall");
    const QString gauge = QStringLiteral("Gauge");
    const QString anzeige = QStringLiteral("anzeige");
    const auto number = [](int value) {
        return QString::number(value);
    };

    QList<ini::Entry> e{
        {port, QStringLiteral("baud"), s.baud},
        {port, QStringLiteral("parity"), s.parity},
        {port, QStringLiteral("handshake"), s.handshake},
        {port, QStringLiteral("databit"), s.databit},
        {port, QStringLiteral("stopbit"), s.stopbit},
        {port, QStringLiteral("portnum"), s.portnum},
        {port, QStringLiteral("tcpip"), s.tcpip},
        {port, QStringLiteral("tcpport"), s.tcpport},
        {anw, QStringLiteral("Anwendung"), s.anwendung},
        {anw, QStringLiteral("ExcelFile"), s.ExcelFile},
        {anw, QStringLiteral("TextFile"), s.TextFile},
        {anw, QStringLiteral("AccessFile"), s.AccessFile},
        {anw, QStringLiteral("AccessTable"), s.AccessTable},
        {mode, QStringLiteral("modus"), s.modus},
        {QStringLiteral("Entlastung"), QStringLiteral("entlastung"), s.entlastung},
        {QStringLiteral("Stillstand"), QStringLiteral("stillstand"), s.stillstand},
        {mode, QStringLiteral("prot"), s.prot},
        {anw, QStringLiteral("Format"), s.format},
        {mode, QStringLiteral("int_modus"), s.int_modus},
        {mode, QStringLiteral("anz_mess"), s.anz_mess},
        {interval, QStringLiteral("int_std"), s.int_std},
        {interval, QStringLiteral("int_min"), s.int_min},
        {interval, QStringLiteral("int_sek"), s.int_sek},
        {QStringLiteral("Filter"), QStringLiteral("OTG"), s.OTG},
        {QStringLiteral("Filter"), QStringLiteral("UTG"), s.UTG},
        {QStringLiteral("Dezimaltrennzeichen"), QStringLiteral("TRZ"), s.TRZ},
        {mode, QStringLiteral("d_start"), s.d_start},
        {mode, QStringLiteral("d_end"), s.d_end},
        {mode, QStringLiteral("t_start"), s.t_start},
        {mode, QStringLiteral("t_end"), s.t_end},
        {mode, QStringLiteral("activ"), s.activ},
        {gauge, QStringLiteral("str_len"), s.str_len},
        {gauge, QStringLiteral("str_endchar"), s.str_endchar},
        {gauge, QStringLiteral("str_noend"), s.str_noend},
        {gauge, QStringLiteral("mw_start"), number(s.mw_start)},
        {gauge, QStringLiteral("mw_end"), number(s.mw_end)},
        {gauge, QStringLiteral("mw_sign_anf"), number(s.mw_sign_anf)},
        {gauge, QStringLiteral("mw_sign_end"), number(s.mw_sign_end)},
        {gauge, QStringLiteral("eh_start"), number(s.eh_start)},
        {gauge, QStringLiteral("eh_end"), number(s.eh_end)},
        {gauge, QStringLiteral("mw_still_anf"), number(s.mw_still_anf)},
        {gauge, QStringLiteral("mw_still_end"), number(s.mw_still_end)},
    };
    for (int i = 1; i <= 10; ++i) {
        e.append({gauge, QStringLiteral("ID_anf_%1").arg(i), number(s.ID_anf[i])});
        e.append({gauge, QStringLiteral("ID_end_%1").arg(i), number(s.ID_end[i])});
    }
    // A lone blank would be trimmed away on reading; quoted, it survives.
    const QString kennung =
        s.st_kennung == QLatin1String(" ") ? QStringLiteral("\" \"") : s.st_kennung;
    e.append({gauge, QStringLiteral("st_kennung"), kennung});
    e.append({anzeige, QStringLiteral("anzeigemodus"), s.anzeigemodus});
    e.append({anzeige, QStringLiteral("st_dichte"), vb::CStr(s.st_dichte)});
    for (int i = 0; i <= 7; ++i) {
        e.append(
            {QStringLiteral("Action"), QStringLiteral("key%1").arg(i), joinActionRow(s.Action[i])});
        e.append({QStringLiteral("Hotkeys"), QStringLiteral("key%1").arg(i),
                  joinHotkeyRow(s.Hotkeys[i])});
    }
    for (int i = 0; i < s.AppList.size(); ++i) {
        e.append({QStringLiteral("applicationList"), appListKey(i), s.AppList[i][1]});
        e.append({QStringLiteral("applicationList"), appListExeKey(i), s.AppList[i][2]});
    }
    e.append({QStringLiteral("DDECONN"), QStringLiteral("anwend"), s.anwend});
    e.append({QStringLiteral("DDECONN"), QStringLiteral("topic"), s.topic});
    e.append({QStringLiteral("DDECONN"), QStringLiteral("befehl"), s.befehl});
    return e;
}

} // namespace

SaveResult Einstellungen_speichern(App &app, const QString &file, QString *errorText)
{
    const bool scratchCopy = file.contains(QLatin1String("tmp.cfg"));
    const bool replace = !scratchCopy && QFileInfo::exists(file);
    if (replace &&
        app.prompts().message(QStringLiteral("Einstellungen überschreiben?"), programTitle(),
                              Prompts::Buttons::YesNoCancel) != Prompts::Answer::Yes)
        return SaveResult::Declined;

    mainform &mw = app.mainWindow();
    mw.setWindowTitle(mainCaption());
    const QList<ini::Entry> entries = settingsEntries(app.settings);
    // Replacing keeps the old file's encoding, owner, mode and links.
    QString warning;
    const bool written = replace ? ini::replaceValues(file, entries, errorText, &warning)
                                 : ini::writeValues(file, entries, errorText, &warning);
    if (!warning.isEmpty())
        mw.fnUpdateStatus(warning);
    return written ? SaveResult::Saved : SaveResult::Failed;
}

bool fnDateienGleich(const QString &file1, const QString &file2)
{
    QFile a(file1);
    QFile b(file2);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly))
        return false;
    if (a.size() != b.size())
        return false;
    constexpr qint64 kBlock = 4096;
    while (!a.atEnd()) {
        const QByteArray blockA = a.read(kBlock);
        if (blockA != b.read(kBlock))
            return false;
    }
    return true;
}
