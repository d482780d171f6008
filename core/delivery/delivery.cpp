#include "core/delivery/delivery.h"

#include "core/app.h"
#include "core/mainform/mainform.h"
#include "core/mainform/panel_bar.h"
#include "core/mainform/program_title.h"
#include "core/output/output_files.h"
#include "platform/prompts.h"

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

} // namespace

QString Wert_senden(App &app, const QString &strAusgabe)
{
    app.prompts().beep();
    const QString &target = app.settings.anwendung;
    mainform &mw = app.mainWindow();
    if (target == QLatin1String("DDE-Kanal"))
        mw.DDESTRING()->setText(strAusgabe);
    else if (target == QLatin1String("Text-Datei"))
        return toTextFile(app, strAusgabe);
    else if (target != QLatin1String("XML-Datei")) {
        // Workbook, database and keystroke targets are not available in this build.
        const QString failure = QStringLiteral("%1: target not available").arg(target);
        mw.fnUpdateStatus(failure);
        return failure;
    }
    return {};
}

void reportWriteFailure(App &app, const AppendResult &result)
{
    if (result.newFailure)
        app.prompts().message(result.error, programTitle());
}
