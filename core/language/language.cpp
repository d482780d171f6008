#include "core/language/language.h"

#include "core/app.h"
#include "core/mainform/program_title.h"
#include "dialogs/folanguage_def.h"
#include "platform/ini/ini_file.h"
#include "platform/prompts.h"

namespace {

QString languageFile(const App &app)
{
    return app.programFile(QStringLiteral("language.ini"));
}

QString currentLanguage(const ini::Snapshot &file)
{
    return file.value(QStringLiteral("SPRACHE"), QStringLiteral("aktuell"), QString());
}

// The language after the dialog: as language.ini has it, or the one confirmed
// that the file could not store.
QString chosenLanguage(const ini::Snapshot &file, const QString &unsaved)
{
    return unsaved.isEmpty() ? currentLanguage(file) : unsaved;
}

// No language is known without the file: the message is in both.
QString unreadableText(const QString &problem, const QString &german, const QString &english)
{
    return QStringLiteral("Die Sprachdatei kann nicht gelesen werden. %1\n"
                          "The language file cannot be read. %2\n\n%3")
        .arg(german, english, problem);
}

void endProgram(App &app, const QString &text)
{
    app.prompts().message(text, programTitle(), Prompts::Buttons::Ok);
    app.endProgram(1);
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

void loadTexts(App &app, const ini::Snapshot &file, const QString &language)
{
    // Built apart and assigned whole, so no text of the previous language survives.
    LanguageTexts texts;
    for (const QString &key : LanguageTexts::keys())
        *texts.text(key) = file.value(language, key, defaultFor(key));
    app.texts = texts;
    app.qtTranslation.use(localeOfLanguage(language));
}

} // namespace

bool Sprache_laden(App &app)
{
    const QString path = languageFile(app);
    ini::Snapshot file(path);
    QString language = currentLanguage(file);
    if (file.problem().isEmpty() && language.isEmpty()) {
        const QString unsaved = fnSpracheWaehlen(app);
        file = ini::Snapshot(path);
        language = chosenLanguage(file, unsaved);
    }
    if (!file.problem().isEmpty()) {
        endProgram(app, unreadableText(file.problem(), QStringLiteral("Programm abgebrochen!"),
                                       QStringLiteral("Program aborted!")));
        return false;
    }
    if (language.isEmpty()) {
        endProgram(app, QStringLiteral("No language selected, Program aborted!"));
        return false;
    }
    loadTexts(app, file, language);
    return true;
}

bool changeLanguage(App &app)
{
    const QString path = languageFile(app);
    const auto keepTexts = [&app](const QString &problem) {
        app.prompts().message(unreadableText(problem,
                                             QStringLiteral("Die Sprache bleibt, wie sie war."),
                                             QStringLiteral("The language stays as it was.")),
                              programTitle(), Prompts::Buttons::Ok);
        return false;
    };
    if (const QString problem = ini::Snapshot(path).problem(); !problem.isEmpty())
        return keepTexts(problem);
    const QString unsaved = fnSpracheWaehlen(app);
    const ini::Snapshot file(path);
    if (!file.problem().isEmpty())
        return keepTexts(file.problem());
    const QString language = chosenLanguage(file, unsaved);
    if (language.isEmpty())
        return false;
    loadTexts(app, file, language);
    return true;
}

QString fnSpracheWaehlen(App &app)
{
    foLanguage_def dialog(app);
    dialog.exec();
    return dialog.unsavedLanguage();
}

QString inProgramLanguage(const App &app, const QString &german, const QString &english)
{
    return app.qtTranslation.language() == QLocale::German ? german : english;
}
