#include "core/language/language.h"

#include "core/app.h"
#include "core/mainform/program_title.h"
#include "dialogs/folanguage_def.h"
#include "platform/ini/ini_file.h"
#include "platform/prompts.h"

namespace {

QString currentLanguage(const QString &file)
{
    return ini::readValue(file, QStringLiteral("SPRACHE"), QStringLiteral("aktuell"), QString());
}

// Two texts are stored under a key that differs from the default they fall back to.
QString defaultFor(const QString &key)
{
    if (key == QLatin1String("extIDNr4_end_"))
        return QStringLiteral("textIDNr4_end_");
    if (key == QLatin1String("TextBitteAnwendungstextUeberpruefene"))
        return QStringLiteral("TextBitteAnwendungstextUeberpruefen");
    return key;
}

} // namespace

bool Sprache_laden(App &app)
{
    const QString file = app.programFile(QStringLiteral("language.ini"));

    QString language = currentLanguage(file);
    if (language.isEmpty()) {
        fnSpracheWaehlen(app);
        language = currentLanguage(file);
        if (language.isEmpty()) {
            app.prompts().message(QStringLiteral("No language selected, Program aborted!"),
                                  programTitle(), Prompts::Buttons::Ok);
            app.endProgram(1);
            return false;
        }
    }

    // Built apart and assigned whole, so no text of the previous language survives.
    LanguageTexts texts;
    const ini::Snapshot languageFile(file);
    for (const QString &key : LanguageTexts::keys())
        *texts.text(key) = languageFile.value(language, key, defaultFor(key));
    app.texts = texts;
    return true;
}

void fnSpracheWaehlen(App &app)
{
    foLanguage_def dialog(app);
    dialog.exec();
}
