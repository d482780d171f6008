#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <optional>

// The conversions of the Basic runtime that stored files and peers depend on.
// "Locale" is the default QLocale().
namespace vb {

// The number at the start of a text: blanks, tabs and line feeds are skipped
// anywhere (Val(" 1 2.5") == 12.5), "." is the decimal point, a sign and an
// exponent ("E" or "D") are read, reading stops at the first character that
// cannot continue the number; 0 when there is none, and for a number beyond the
// range of a double (where Basic raises an overflow). "&H" and "&O" are not read.
double Val(const QString &text);

// The locale-aware numeric test: surrounding blanks, one leading or trailing sign,
// digits with the locale's decimal separator and an exponent ("1E3"). Group
// separators are accepted in the integer part only in whole groups of three after
// a first group of one to three digits, so in German "1.500" is 1500 while "1.5"
// is no number (Basic would read 15). "" and " " are not numeric, nor is a number
// beyond the range of a double.
bool IsNumeric(const QString &text);

// The locale-aware conversion; nullopt when IsNumeric fails.
std::optional<double> CDbl(const QString &text);

// 16-bit integer conversion of a locale-aware number: halves round to even;
// nullopt for text that is no number or a result outside -32768..32767.
std::optional<qint16> CInt(const QString &text);
std::optional<qint16> CInt(double value);

// 32-bit counterparts of CInt (nearest whole number, halves to even).
std::optional<qint32> CLng(const QString &text);
std::optional<qint32> CLng(double value);

// Number to text with one leading blank for a non-negative number, "." as the
// decimal point, up to 15 significant digits without trailing zeros, no zero
// before the point and an exponent below 1E-4 and from 1E15 on:
// Str(9600) == " 9600", Str(-3) == "-3", Str(1.5) == " 1.5", Str(0.5) == " .5",
// Str(1E15) == " 1E+15".
QString Str(double value);

// The number in the user's number format, as display and DDE texts show it
// (CStr): no grouping, the locale's decimal separator, up to 15 significant digits,
// a zero before the separator ("0,5" in German) and the exponent form of Str
// ("1E+15", "1E-05").
QString CStr(double value);

// Boolean texts: "True" / "False".
QString BoolText(bool value);
// Reads "True"/"False" (any case, surrounding blanks allowed), "-1"/"0" and any
// locale-aware number (non-zero is true); nullopt for anything else.
std::optional<bool> CBool(const QString &text);

// Date and time texts written into settings files and read back by loading,
// the timer dialog and the polling loop as the same value. They are the German
// forms ("dd.MM.yyyy", "HH:mm:ss") in every locale, since the stored files of
// German users carry them; an invalid date or time gives "".
QString DateText(const QDate &date);
QString TimeText(const QTime &time);
// DateText, a blank and TimeText.
QString DateTimeText(const QDateTime &dateTime);
// Reads "d.M.yyyy" (so also "dd.MM.yyyy") and ISO "yyyy-MM-dd", with surrounding
// blanks; nullopt for anything else and for days that do not exist.
std::optional<QDate> CDate(const QString &text);
// Reads "H:m" and "H:m:s" with one or two digits each ("8:5" is 08:05:00).
std::optional<QTime> CTime(const QString &text);
// Whether CDate reads the text.
bool IsDate(const QString &text);

} // namespace vb
