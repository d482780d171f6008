#include "core/delivery/delivery.h"

#include "core/app.h"
#include "core/mainform/mainform.h"
#include "core/mainform/panel_bar.h"
#include "core/output/protocol_file.h"
#include "platform/prompts.h"

#include <QLineEdit>

namespace {

void toTextFile(App &app, const QString &text)
{
    mainform &mw = app.mainWindow();
    mw.Status1()->setPanelText(2, app.settings.TextFile);
    QString error;
    if (!appendLine(app.settings.TextFile, text, &error))
        mw.fnUpdateStatus(QStringLiteral("%1: %2").arg(app.settings.TextFile, error));
}

} // namespace

void Wert_senden(App &app, const QString &strAusgabe)
{
    app.prompts().beep();
    const QString &target = app.settings.anwendung;
    mainform &mw = app.mainWindow();
    if (target == QLatin1String("DDE-Kanal"))
        mw.DDESTRING()->setText(strAusgabe);
    else if (target == QLatin1String("Text-Datei"))
        toTextFile(app, strAusgabe);
    else if (target != QLatin1String("XML-Datei"))
        // Workbook, database and keystroke targets are not available in this build.
        mw.fnUpdateStatus(QStringLiteral("%1: target not available").arg(target));
}
