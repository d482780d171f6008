#include "core/output/output_template.h"

#include "core/app.h"
#include "core/mainform/mainform.h"
#include "platform/clock.h"
#include "platform/prompts.h"
#include "platform/vb/vb_runtime.h"
#include "platform/vb/vb_strings.h"

#include <array>

namespace {

// The text before position p - 1 (1-based), the replacement, and the text after
// position p + length: the brace before a token's text and the one after it go.
// A token at position 1 has no character before it and cannot be spliced.
bool spliceAt(QString &text, int p, int length, const QString &replacement)
{
    if (p < 2)
        return false;
    text = text.left(p - 2) + replacement + vb::Mid(text, p + length + 1).value_or(QString());
    return true;
}

// Replaces the first occurrence of searched; length is what the splice removes
// besides the character before it and the one after it.
void replaceToken(QString &text, const QString &searched, int length, const QString &replacement)
{
    spliceAt(text, vb::InStr(text, searched), length, replacement);
}

void replaceToken(QString &text, const QString &languageText, const QString &replacement)
{
    replaceToken(text, languageText, int(languageText.size()), replacement);
}

// Each "{?name}" asks the user. The scan goes forward only: it resumes behind the
// answer, so a "?" an answer brings in is never asked about, a "?" at position 1
// (nothing before it to splice) is passed over, and a "?" without a "}" after it
// ends the scan, since no later "?" can have one either.
void askQuestions(App &app, QString &text)
{
    const QString title = QStringLiteral("Parameter");
    int from = 1;
    for (;;) {
        const int q = vb::InStr(from, text, QStringLiteral("?"));
        if (q == 0)
            return;
        const int e = vb::InStr(q + 1, text, QStringLiteral("}"));
        if (e == 0)
            return;
        if (q < 2) {
            from = q + 1;
            continue;
        }
        const QString name = text.mid(q, e - q - 1);
        app.mainWindow().activateWindow();
        const QString answer =
            app.prompts()
                .input(app.texts.TextFreierTextTeil1 + name + app.texts.TextFreierTextTeil2, title,
                       QString())
                .value_or(QString());
        text = text.left(q - 2) + answer + text.mid(e);
        from = q - 1 + int(answer.size());
    }
}

} // namespace

QString expandOutputTemplate(App &app, const CutFields &fields, const QString &start,
                             const QString &strIdEinsText)
{
    const LanguageTexts &t = app.texts;
    const QString &format = app.settings.format;

    QString text = start;
    const int p = vb::InStr(format, t.TextMesswert);
    if (p == 0) {
        text = format;
    } else {
        QString spliced = format;
        if (spliceAt(spliced, p, int(t.TextMesswert.size()), fields.valueText))
            text = spliced;
    }

    const QDateTime now = app.clock().now();
    replaceToken(text, t.TextUhrzeit, vb::TimeText(now.time()));
    replaceToken(text, t.TextEinheit, fields.unit);
    // With its "}" the ID-1 text is not found inside the ID-10 token.
    replaceToken(text, strIdEinsText + QLatin1Char('}'), int(strIdEinsText.size()), app.ID_Wert[1]);
    const std::array<const QString *, 9> idTexts{&t.TextID_2, &t.TextID_3, &t.TextID_4,
                                                 &t.TextID_5, &t.TextID_6, &t.TextID_7,
                                                 &t.TextID_8, &t.TextID_9, &t.TextID_10};
    for (int n = 2; n <= 10; ++n)
        replaceToken(text, *idTexts[n - 2], app.ID_Wert[n]);
    replaceToken(text, t.TextDatum, vb::DateText(now.date()));

    askQuestions(app, text);
    return text;
}
