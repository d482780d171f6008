#include "core/delivery/delivery.h"

#include "core/app.h"
#include "core/delivery/access_target.h"
#include "core/delivery/excel_target.h"
#include "core/delivery/find_application.h"
#include "core/delivery/send_keys.h"
#include "core/mainform/mainform.h"
#include "core/mainform/panel_bar.h"
#include "core/mainform/program_title.h"
#include "core/output/output_files.h"
#include "platform/prompts.h"
#include "platform/vb/vb_strings.h"
#include "platform/x11/window_list.h"

#include <QLineEdit>

namespace {

QString toTextFile(App &app, const QString &text)
{
    mainform &mw = app.mainWindow();
    mw.Status1()->setPanelText(2, app.settings.TextFile);
    const AppendResult written = app.outputFiles.appendLine(app.settings.TextFile, text);
    if (!written.ok())
        mw.fnUpdateStatus(written.error);
    reportWriteFailure(app, written);
    return written.error;
}

QString typeKeys(App &app, const QString &text)
{
    const KeyboardStatus typed = SendKeysEx(app.keyboard(), text);
    if (!typed)
        app.mainWindow().fnUpdateStatus(typed.error);
    return typed.error;
}

// Keystrokes into the topmost window whose title holds the target text.
QString toApplicationWindow(App &app, const QString &text)
{
    if (const KeyboardStatus keyboard = app.keyboard().available(); !keyboard) {
        app.mainWindow().fnUpdateStatus(keyboard.error);
        return keyboard.error;
    }
    const QString title = fnFindeAnwendung(app);
    const ControlStatus activated = app.windows().activateWindowByTitle(title);
    if (activated)
        return typeKeys(app, text);

    const QString program = appListProgramFile(app);
    app.prompts().message(QStringLiteral("Anwendung %1 nicht aktiv")
                              .arg(program.isEmpty() ? app.settings.anwendung : program),
                          programTitle());
    mainform &mw = app.mainWindow();
    mw.Command5_Click(3);
    mw.Command5_Click(7);
    // Typing now would put the value into whatever window has the focus.
    const QString why =
        title.isEmpty()
            ? QStringLiteral("no window title contains \"%1\"").arg(app.settings.anwendung)
            : activated.detail;
    const QString failure = QStringLiteral("%1; the value was not typed").arg(why);
    mw.fnUpdateStatus(failure);
    return failure;
}

QString deliver(App &app, const QString &strAusgabe)
{
    app.prompts().beep();
    const QString &target = app.settings.anwendung;
    if (target == QLatin1String("DDE-Kanal")) {
        app.mainWindow().DDESTRING()->setText(strAusgabe);
        return {};
    }
    if (target == QLatin1String("Excel-Datei"))
        return deliverToExcelFile(app, strAusgabe);
    if (target == QLatin1String("Text-Datei"))
        return toTextFile(app, strAusgabe);
    if (target == QLatin1String("XML-Datei"))
        return {};
    if (target == QLatin1String("Access-Datenbank"))
        return toAccessDatabase(app, strAusgabe);
    if (target == QLatin1String("*free*"))
        return typeKeys(app, strAusgabe);
    return toApplicationWindow(app, strAusgabe);
}

} // namespace

QString Wert_senden(App &app, const QString &strAusgabe)
{
    // A message box or the keystroke pause lets events run, and with them another
    // send: it waits its turn, so two deliveries never share a row or a keyboard.
    if (app.delivering) {
        app.pendingDeliveries.append(strAusgabe);
        return {};
    }
    app.delivering = true;
    const QString failure = deliver(app, strAusgabe);
    while (!app.pendingDeliveries.isEmpty())
        deliver(app, app.pendingDeliveries.takeFirst());
    app.delivering = false;
    return failure;
}

QString appListProgramFile(const App &app)
{
    const auto &list = app.settings.AppList;
    if (app.AppIndex < 0 || app.AppIndex >= list.size())
        return {};
    return vb::Trim(list[app.AppIndex][2]);
}

void reportWriteFailure(App &app, const AppendResult &result)
{
    if (result.newFailure)
        app.prompts().message(result.error, programTitle());
}
