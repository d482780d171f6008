#include "core/reception/telegram_fields.h"

#include "platform/vb_runtime.h"
#include "platform/vb_strings.h"

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
