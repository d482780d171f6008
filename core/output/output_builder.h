#pragma once

#include <QString>

class App;

// Cuts value, sign, unit and ID fields out of a framed telegram, formats the
// value and expands the output template (settings.format) into app.strAusgabe,
// which is also returned. dblSekunden may be changed from 0 to 1 in flow mode.
// A telegram of blanks only returns "" and leaves app.strAusgabe and app.ID_Wert
// as they were. No step reports an error: a field whose columns cannot be cut is
// left out and the rest goes on.
//
// The sign is read as the telegram reading reads it: column mw_sign_end when it
// is above 0, else mw_sign_anf when above 0, so window and output agree.
// A value field that holds no number gives 0 (its leading number, as Val reads it).
//
// Template tokens: "{" + language text + "}" for value, time ("HH:mm:ss"), unit,
// ID 1..10 and date ("dd.MM.yyyy" in every locale), each replaced once; then
// every "{?name}" asks the user (title "Parameter", Cancel = empty answer), the
// main window being activated first so the box comes up in front. The question
// scan only moves forward: text an answer brought in is never scanned again, a
// "?" at the very start of the string stays as text, and the scan ends at a "?"
// with no "}" after it. So the questions always end.
QString Telegramm_zerlegen(App &app, const QString &strTelegramm, double dblDelta,
                           double &dblSekunden, const QString &strIdEinsText);

// The numeric mask for decimals and width ("#######0.0"); width is raised to
// decimals + 3 when it is smaller. "" when decimals + 3 does not fit a 16-bit width.
QString fnMaske(qint16 decimals, qint16 &width);

// The value formatted with a mask from fnMaske, in the user's number format:
// as many decimals as the mask has "0" after its "." (none without a "."), the
// value's shortest decimal form rounded with halves away from zero (2.675 gives
// "2.68", as the user reads the number), the whole integer part without grouping,
// at least one digit before the locale's decimal separator, "-" before a value
// that is negative after rounding (never "-0"), never an exponent. "" for NaN and
// infinities.
QString fnFormatWert(double value, const QString &mask);
