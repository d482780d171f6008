#include "core/reception/telegram_fields.h"

#include "platform/vb/vb_runtime.h"
#include "platform/vb/vb_strings.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

std::optional<QString> telegramColumns(const QString &telegram, int first, int last)
{
    return vb::Mid(telegram, first, last - first + 1);
}

QString telegramSign(const SettingsRecord &s, const QString &telegram)
{
    const int column = s.mw_sign_end > 0 ? s.mw_sign_end : s.mw_sign_anf;
    return column > 0 ? vb::Mid(telegram, column, 1).value_or(QString()) : QString();
}

std::optional<double> numericSetting(const QString &text)
{
    if (vb::Trim(text).isEmpty())
        return 0.0;
    return vb::CDbl(text);
}

std::optional<double> plainNumber(const QString &text)
{
    static const QRegularExpression kPlain(
        QStringLiteral(R"(^[ \t\n]*([+-]?)[ \t\n]*([0-9]+(?:[.,][0-9]*)?|[.,][0-9]+))"
                       R"((?:[EeDd]([+-]?[0-9]+))?[ \t\n]*$)"));
    const QRegularExpressionMatch match = kPlain.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    QString number = match.captured(1) + match.captured(2);
    number.replace(QLatin1Char(','), QLatin1Char('.'));
    if (match.hasCaptured(3))
        number += QLatin1Char('e') + match.captured(3);
    // Underflow also clears ok; only an overflow matters.
    const double value = number.toDouble();
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

qint16 displayDecimals(double value)
{
    const QString shown = vb::Trim(vb::CStr(value));
    const QString point = QLocale().decimalPoint();
    const qsizetype at = shown.indexOf(point);
    const qsizetype decimals = at < 0 ? shown.size() : shown.size() - at - point.size();
    return qint16(std::min<qsizetype>(decimals, 32767));
}
