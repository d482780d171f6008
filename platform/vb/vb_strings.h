#pragma once

#include <QString>
#include <optional>

// The Basic string functions with their 1-based positions and failure rules.
namespace vb {

// Mid(text, start, length): length characters from 1-based start; the rest of the
// text when length is omitted. A start beyond the end gives "". nullopt (a failure
// in Basic) for start < 1 or length < 0.
std::optional<QString> Mid(const QString &text, int start, int length);
std::optional<QString> Mid(const QString &text, int start);

// InStr(start, text, what): 1-based position of the first what at or after start,
// 0 when none (also when start lies beyond the end).
int InStr(int start, const QString &text, const QString &what);
inline int InStr(const QString &text, const QString &what)
{
    return InStr(1, text, what);
}

// Trim: blanks removed at both ends; tabs and control characters stay.
QString Trim(const QString &text);

} // namespace vb
