#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <optional>

// The conversions of the Basic runtime that stored files and peers depend on.
namespace vb {

// The number at the start of a text: blanks, tabs and line feeds are skipped,
// "." is the decimal point, a sign and an exponent are read, reading stops at
// the first character that cannot continue the number; 0 when there is none.
double Val(const QString &text);

// The locale-aware numeric test: surrounding blanks, a leading or trailing sign,
// digits with the locale's decimal and grouping separators. "" is not numeric.
bool IsNumeric(const QString &text);

// The locale-aware conversion; nullopt when IsNumeric fails.
std::optional<double> CDbl(const QString &text);

// 16-bit integer conversion of a locale-aware number: halves round to even;
// nullopt for text that is no number or a result outside -32768..32767.
std::optional<qint16> CInt(const QString &text);
std::optional<qint16> CInt(double value);

// 32-bit counterpart of CInt (nearest whole number, halves to even).
std::optional<qint32> CLng(double value);

// Number to text with one leading blank for a non-negative number, "." as the
// decimal point: Str(9600) == " 9600", Str(-3) == "-3", Str(1.5) == " 1.5".
QString Str(double value);

// The number in the user's number format, as display and DDE texts show it
// (CStr): no grouping, the locale's decimal separator, up to 15 significant digits.
QString CStr(double value);

// Boolean texts: "True" / "False".
QString BoolText(bool value);
// Reads "True"/"False" (any case), "-1"/"0" and any number (non-zero is true);
// nullopt for anything else.
std::optional<bool> CBool(const QString &text);

// Date and time texts written into settings files and read back by loading,
// the timer dialog and the polling loop as the same value.
QString DateText(const QDate &date);
QString TimeText(const QTime &time);
std::optional<QDate> CDate(const QString &text);
std::optional<QTime> CTime(const QString &text);
bool IsDate(const QString &text);

} // namespace vb
