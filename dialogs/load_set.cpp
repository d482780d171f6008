#include "dialogs/load_set.h"

#include "core/app.h"
#include "platform/prompts.h"

QString load_set(App &app)
{
    app.abbruch = false;
    const auto file = app.prompts().openFileName(app.texts.TextFrmLoadSet_Caption,
                                                 app.programFolder(), QStringLiteral("*.cfg"));
    if (!file) {
        app.abbruch = true;
        return {};
    }
    return *file;
}
