#include "platform/office/cell_number.h"

namespace {

constexpr int kMaxSignificantDigits = 15;

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The digits of a field in C notation ("-12.5"), or empty when it is no plain number.
QByteArray cNotation(const QString &field, const QString &decimalPoint)
{
    const QString s = field.trimmed();
    qsizetype i = 0;
    QByteArray out;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
        out += s[i++].toLatin1();
    bool separator = false;
    int digits = 0;
    int significant = 0;
    for (; i < s.size(); ++i) {
        const QChar c = s[i];
        if (isAsciiDigit(c)) {
            // "007" and "00,5" are codes, not numbers.
            if (digits == 1 && !separator && out.back() == '0')
                return {};
            if (significant > 0 || c != QLatin1Char('0'))
                ++significant;
            ++digits;
            out += c.toLatin1();
        } else if (!separator && (c == QLatin1Char('.') || QString(c) == decimalPoint)) {
            separator = true;
            out += '.';
        } else {
            return {};
        }
    }
    if (digits == 0 || significant > kMaxSignificantDigits)
        return {};
    return out;
}

} // namespace

std::optional<double> plainNumber(const QString &field, const QLocale &locale)
{
    const QByteArray number = cNotation(field, locale.decimalPoint());
    if (number.isEmpty())
        return std::nullopt;
    // Fifteen digits without an exponent always give a finite double.
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}
