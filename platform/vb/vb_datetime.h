#pragma once

#include "platform/vb/vb_runtime.h"

#include <QDateTime>

// Date-time values as the settings and the timer schedule carry them: a date
// text and a time text, or both joined by one blank.
namespace vb {

inline QString DateTimeText(const QDateTime &moment)
{
    return DateText(moment.date()) + QLatin1Char(' ') + TimeText(moment.time());
}

inline std::optional<QDateTime> CDateTime(const QString &dateText, const QString &timeText)
{
    const auto date = CDate(dateText);
    const auto time = CTime(timeText);
    if (!date || !time)
        return std::nullopt;
    return QDateTime(*date, *time);
}

// Reads what DateTimeText writes.
inline std::optional<QDateTime> CDateTime(const QString &text)
{
    const qsizetype blank = text.trimmed().indexOf(QLatin1Char(' '));
    if (blank < 0)
        return CDateTime(text, QStringLiteral("00:00:00"));
    const QString trimmed = text.trimmed();
    return CDateTime(trimmed.left(blank), trimmed.mid(blank + 1));
}

} // namespace vb
