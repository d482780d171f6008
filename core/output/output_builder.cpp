#include "core/output/output_builder.h"

#include "core/app.h"
#include "core/output/output_template.h"
#include "core/reception/telegram_fields.h"
#include "platform/vb/vb_runtime.h"
#include "platform/vb/vb_strings.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace {

// Decimals of a mask: its "0"s after the first ".".
int maskDecimals(const QString &mask)
{
    const qsizetype point = mask.indexOf(QLatin1Char('.'));
    return point < 0 ? 0 : int(mask.mid(point + 1).count(QLatin1Char('0')));
}

// Adds one unit in the last place of a string of decimal digits.
void incrementDigits(QString &digits)
{
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        if (digits[i] != QLatin1Char('9')) {
            digits[i] = QChar(digits[i].unicode() + 1);
            return;
        }
        digits[i] = QLatin1Char('0');
    }
    digits.prepend(QLatin1Char('1'));
}

// The value divided for volume and flow, rounded to the mask as the output shows
// it; nullopt when the quotient cannot be formatted and read back.
std::optional<double> roundedToMask(double value, const QString &mask)
{
    return vb::CDbl(fnFormatWert(value, mask));
}

} // namespace

QString fnMaske(qint16 decimals, qint16 &width)
{
    const int d = decimals;
    if (width < d + 3) {
        if (d + 3 > std::numeric_limits<qint16>::max())
            return QString();
        width = qint16(d + 3);
    }
    const int w = width;
    if (d < 1)
        return QString(qMax(w - 1, 0), QLatin1Char('#')) + QLatin1Char('0');
    return QString(w - d - 2, QLatin1Char('#')) + QStringLiteral("0.") +
           QString(d, QLatin1Char('0'));
}

QString fnFormatWert(double value, const QString &mask)
{
    if (!std::isfinite(value))
        return QString();
    const int decimals = maskDecimals(mask);
    // Rounding the shortest decimal form, not the binary value, rounds what the
    // user reads: 2.675 is stored as 2.67499..., yet shows and rounds as 2.68.
    const QString plain = QString::number(std::abs(value), 'f', QLocale::FloatingPointShortest);
    const qsizetype point = plain.indexOf(QLatin1Char('.'));
    QString digits = point < 0 ? plain : plain.left(point);
    const QString fraction = point < 0 ? QString() : plain.mid(point + 1);
    digits += fraction.left(decimals);
    digits += QString(qMax(0, decimals - int(fraction.size())), QLatin1Char('0'));
    if (fraction.size() > decimals && fraction[decimals] >= QLatin1Char('5'))
        incrementDigits(digits);

    const qsizetype whole = digits.size() - decimals;
    QString text = digits.left(whole);
    if (decimals > 0)
        text += QLocale().decimalPoint() + digits.mid(whole);
    const bool zero =
        std::all_of(digits.cbegin(), digits.cend(), [](QChar c) { return c == QLatin1Char('0'); });
    if (value < 0 && !zero)
        text.prepend(QLatin1Char('-'));
    return text;
}

QString Telegramm_zerlegen(App &app, const QString &strTelegramm, double dblDelta,
                           double &dblSekunden, const QString &strIdEinsText)
{
    if (vb::Trim(strTelegramm).isEmpty())
        return QString();
    const SettingsRecord &s = app.settings;

    for (int n = 1; n <= 10; ++n) {
        if (s.ID_anf[n] >= 1 && s.ID_end[n] >= s.ID_anf[n])
            app.ID_Wert[n] =
                telegramColumns(strTelegramm, s.ID_anf[n], s.ID_end[n]).value_or(QString());
    }

    QString valueText = telegramColumns(strTelegramm, s.mw_start, s.mw_end).value_or(QString());
    const qsizetype comma = valueText.indexOf(QLatin1Char(','));
    if (comma >= 0)
        valueText[comma] = QLatin1Char('.');
    double value = vb::Val(valueText);

    // The column rule of the telegram reading, so the output agrees with the display.
    if (telegramSign(s, strTelegramm) == QLatin1String("-"))
        value = -value;

    QString unit;
    if (s.eh_start > 0)
        unit = vb::Trim(telegramColumns(strTelegramm, s.eh_start, s.eh_end).value_or(QString()));

    // No "." counts as position 0, so every character is a decimal ("1234" has 4).
    const QString trimmedValue = vb::Trim(valueText);
    const int decimals = int(trimmedValue.size()) - vb::InStr(trimmedValue, QStringLiteral("."));
    qint16 width = 10;
    const QString mask = decimals <= std::numeric_limits<qint16>::max()
                             ? fnMaske(qint16(decimals), width)
                             : QString();

    const std::optional<double> mode = numericSetting(s.anzeigemodus);
    if (mode == 1.0) {
        if (s.st_dichte != 0)
            value = roundedToMask(value / s.st_dichte, mask).value_or(value);
        unit = QStringLiteral("ml");
    } else if (mode == 2.0) {
        if (dblSekunden == 0)
            dblSekunden = 1;
        if (s.st_dichte != 0)
            value = roundedToMask((dblDelta / s.st_dichte) / dblSekunden, mask).value_or(value);
        unit = QStringLiteral("ml");
    }

    QString valueOut = fnFormatWert(value, mask);
    if (numericSetting(s.TRZ) == 1.0) {
        const qsizetype at = valueOut.indexOf(QLatin1Char(','));
        if (at >= 0)
            valueOut[at] = QLatin1Char('.');
    }

    app.strAusgabe = expandOutputTemplate(app, {valueOut, unit}, app.strAusgabe, strIdEinsText);
    return app.strAusgabe;
}
