#pragma once

#include <QLocale>
#include <QString>
#include <optional>

// The one rule by which the workbook and the database decide that a field is a
// number rather than text: blanks around it, an optional sign, digits with at
// most one decimal separator (locale's or "."), no group separator, no leading
// zero before another digit, at most 15 significant digits (what a double and
// Excel keep). "12,50" is 12.5 in German; "007", "1,500" in en_US and a 20-digit
// code stay text. Returns the number, or nothing when the field is text.
std::optional<double> plainNumber(const QString &field, const QLocale &locale = QLocale());
