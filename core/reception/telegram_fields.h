#pragma once

#include "core/settings/settings_record.h"

#include <QString>
#include <optional>

// What the telegram reading and the output builder cut out of a telegram alike.

// Columns first..last (1-based, inclusive); nullopt when the cut cannot be made
// (first below 1, or last more than one before first).
std::optional<QString> telegramColumns(const QString &telegram, int first, int last);

// The sign character: column mw_sign_end when it is above 0, else column
// mw_sign_anf when that is above 0, else none ("").
QString telegramSign(const SettingsRecord &s, const QString &telegram);

// A numeric setting held as text (anzeigemodus, TRZ): "" counts as 0, other text
// that is no number gives nullopt.
std::optional<double> numericSetting(const QString &text);

// A number as instruments and other machines write it, whatever the user's
// locale: blanks around it, one leading sign (blanks may follow it), digits with
// "." or "," as decimal point and no grouping, an exponent ("E" or "D", as Val
// reads it). nullopt for any other text and for a number beyond the range of a
// double; a number too small for one is 0, as Val reads it.
std::optional<double> plainNumber(const QString &text);

// The decimals the volume and flow displays give a value: those of the value
// written as the display writes it (CStr, blanks trimmed), counted after its
// decimal separator; a text without one counts all its characters.
qint16 displayDecimals(double value);
