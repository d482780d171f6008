#include "dialogs/save_set.h"

#include "core/app.h"
#include "core/mainform/program_title.h"
#include "core/settings/settings.h"
#include "platform/prompts.h"

#include <QFileInfo>

void save_set(App &app)
{
    app.abbruch = false;
    const auto file = app.prompts().saveFileName(app.texts.TextFrmSaveSet_Caption, app.CfgPath,
                                                 QStringLiteral("*.cfg"));
    if (!file) {
        app.abbruch = true;
        return;
    }
    const QString chosen =
        QFileInfo(*file).suffix().isEmpty() ? *file + QStringLiteral(".cfg") : *file;
    QString error;
    switch (Einstellungen_speichern(app, chosen, &error)) {
    case SaveResult::Saved:
        app.CfgPath = chosen;
        break;
    case SaveResult::Declined:
        // Nothing was written: the settings still belong to the old file.
        app.abbruch = true;
        break;
    case SaveResult::Failed:
        // The settings are not in that file: CfgPath goes on naming the old one.
        app.abbruch = true;
        app.prompts().message(chosen + QStringLiteral(": ") + error, programTitle());
        break;
    }
}
