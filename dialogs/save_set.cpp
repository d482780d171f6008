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
    app.CfgPath = QFileInfo(*file).suffix().isEmpty() ? *file + QStringLiteral(".cfg") : *file;
    QString error;
    if (Einstellungen_speichern(app, app.CfgPath, &error) == SaveResult::Failed) {
        app.abbruch = true;
        app.prompts().message(app.CfgPath + QStringLiteral(": ") + error, programTitle());
    }
}
