#include "platform/vb/vb_runtime.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

namespace vb {
namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

bool isExponentMark(QChar c)
{
    const char16_t u = c.unicode();
    return u == 'E' || u == 'e' || u == 'D' || u == 'd';
}

QStringView trimmedBlanks(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

// Power of ten of the first significant digit of [-]digits[.digits][e[+-]digits];
// tells an underflow from an overflow.
long long magnitude(std::string_view number)
{
    constexpr std::string_view kSignificant = "123456789";
    long long exponent = 0;
    if (const auto mark = number.find('e'); mark != std::string_view::npos) {
        const std::string_view digits = number.substr(mark + 1);
        for (const char c : digits) {
            if (c >= '0' && c <= '9')
                exponent = std::min<long long>(exponent * 10 + (c - '0'), 1'000'000'000);
        }
        if (digits.starts_with('-'))
            exponent = -exponent;
        number = number.substr(0, mark);
    }
    const auto point = number.find('.');
    const std::string_view integer = number.substr(0, point);
    if (const auto first = integer.find_first_of(kSignificant); first != std::string_view::npos)
        return exponent + static_cast<long long>(integer.size() - first - 1);
    if (point != std::string_view::npos) {
        const auto first = number.substr(point + 1).find_first_of(kSignificant);
        if (first != std::string_view::npos)
            return exponent - static_cast<long long>(first + 1);
    }
    return std::numeric_limits<long long>::min();
}

// Converts the plain ASCII form [-]digits[.digits][e[+-]digits]; an underflow
// gives 0, an overflow nullopt.
std::optional<double> toDouble(const QByteArray &number)
{
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc() && end == number.data() + number.size())
        return value;
    if (error == std::errc::result_out_of_range &&
        magnitude(std::string_view(number.data(), number.size())) < 0)
        return 0.0;
    return std::nullopt;
}

// Reads an exponent mark with at least one digit after its sign; appends it.
qsizetype readExponent(QStringView text, qsizetype pos, QByteArray &out)
{
    if (pos >= text.size() || !isExponentMark(text[pos]))
        return pos;
    qsizetype next = pos + 1;
    QByteArray exponent("e");
    if (next < text.size() && (text[next] == QLatin1Char('+') || text[next] == QLatin1Char('-')))
        exponent += char(text[next++].unicode());
    const qsizetype digitsStart = next;
    while (next < text.size() && isDigit(text[next]))
        exponent += char(text[next++].unicode());
    if (next == digitsStart)
        return pos;
    out += exponent;
    return next;
}

struct SignReader {
    QString minus;
    bool readAt(QStringView text, qsizetype &pos, bool &negative) const
    {
        if (pos >= text.size())
            return false;
        if (text[pos] == QLatin1Char('+')) {
            ++pos;
            return true;
        }
        if (text[pos] == QLatin1Char('-')) {
            ++pos;
            negative = true;
            return true;
        }
        if (!minus.isEmpty() && text.sliced(pos).startsWith(minus)) {
            pos += minus.size();
            negative = true;
            return true;
        }
        return false;
    }
};

std::optional<double> parseLocaleNumber(const QString &input)
{
    const QLocale locale;
    const QString decimal = locale.decimalPoint();
    const QString group = locale.groupSeparator();
    const SignReader sign{locale.negativeSign()};
    const QStringView text = trimmedBlanks(input);

    qsizetype pos = 0;
    bool negative = false;
    const bool leadingSign = sign.readAt(text, pos, negative);
    while (leadingSign && pos < text.size() && isBlank(text[pos]))
        ++pos;

    QByteArray number;
    qsizetype digits = 0;
    qsizetype run = 0;
    bool grouped = false;
    while (pos < text.size()) {
        if (isDigit(text[pos])) {
            number += char(text[pos++].unicode());
            ++digits;
            ++run;
        } else if (!group.isEmpty() && run > 0 && text.sliced(pos).startsWith(group) &&
                   pos + group.size() < text.size() && isDigit(text[pos + group.size()])) {
            if (grouped ? run != 3 : run > 3)
                return std::nullopt;
            grouped = true;
            run = 0;
            pos += group.size();
        } else {
            break;
        }
    }
    if (grouped && run != 3)
        return std::nullopt;
    if (text.sliced(pos).startsWith(decimal)) {
        pos += decimal.size();
        number += '.';
        while (pos < text.size() && isDigit(text[pos])) {
            number += char(text[pos++].unicode());
            ++digits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    pos = readExponent(text, pos, number);
    if (!leadingSign) {
        qsizetype signPos = pos;
        while (signPos < text.size() && isBlank(text[signPos]))
            ++signPos;
        if (sign.readAt(text, signPos, negative))
            pos = signPos;
    }
    if (pos != text.size())
        return std::nullopt;
    if (negative)
        number.prepend('-');
    return toDouble(number);
}

// Nearest whole number, halves to the even one; nullopt outside [low, high].
std::optional<double> roundedInRange(double value, double low, double high)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double floor = std::floor(value);
    const double fraction = value - floor;
    double whole = floor;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0.0))
        whole = floor + 1;
    if (whole < low || whole > high)
        return std::nullopt;
    return whole;
}

// Basic's 15-digit general form with "." as the point: "0.5", "1E+15", "1E-05".
QString generalForm(double value)
{
    return value == 0 ? QStringLiteral("0") : QString::number(value, 'G', 15);
}

} // namespace

double Val(const QString &text)
{
    QString compact;
    compact.reserve(text.size());
    for (const QChar c : text) {
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n'))
            compact += c;
    }
    qsizetype pos = 0;
    QByteArray number;
    if (pos < compact.size() &&
        (compact[pos] == QLatin1Char('-') || compact[pos] == QLatin1Char('+'))) {
        if (compact[pos] == QLatin1Char('-'))
            number += '-';
        ++pos;
    }
    qsizetype digits = 0;
    while (pos < compact.size() && isDigit(compact[pos])) {
        number += char(compact[pos++].unicode());
        ++digits;
    }
    if (pos < compact.size() && compact[pos] == QLatin1Char('.')) {
        number += '.';
        ++pos;
        while (pos < compact.size() && isDigit(compact[pos])) {
            number += char(compact[pos++].unicode());
            ++digits;
        }
    }
    if (digits == 0)
        return 0;
    readExponent(compact, pos, number);
    return toDouble(number).value_or(0);
}

bool IsNumeric(const QString &text)
{
    return parseLocaleNumber(text).has_value();
}

std::optional<double> CDbl(const QString &text)
{
    return parseLocaleNumber(text);
}

std::optional<qint16> CInt(const QString &text)
{
    const auto number = CDbl(text);
    return number ? CInt(*number) : std::nullopt;
}

std::optional<qint16> CInt(double value)
{
    const auto whole = roundedInRange(value, std::numeric_limits<qint16>::min(),
                                      std::numeric_limits<qint16>::max());
    return whole ? std::optional<qint16>(qint16(*whole)) : std::nullopt;
}

std::optional<qint32> CLng(const QString &text)
{
    const auto number = CDbl(text);
    return number ? CLng(*number) : std::nullopt;
}

std::optional<qint32> CLng(double value)
{
    const auto whole = roundedInRange(value, std::numeric_limits<qint32>::min(),
                                      std::numeric_limits<qint32>::max());
    return whole ? std::optional<qint32>(qint32(*whole)) : std::nullopt;
}

QString Str(double value)
{
    QString text = generalForm(value);
    if (text.startsWith(QLatin1String("0.")))
        text.remove(0, 1);
    else if (text.startsWith(QLatin1String("-0.")))
        text.remove(1, 1);
    return text.startsWith(QLatin1Char('-')) ? text : QLatin1Char(' ') + text;
}

QString CStr(double value)
{
    QString text = generalForm(value);
    text.replace(QLatin1Char('.'), QLocale().decimalPoint());
    return text;
}

QString BoolText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

std::optional<bool> CBool(const QString &text)
{
    const QStringView word = trimmedBlanks(text);
    if (word.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (word.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    if (const auto number = CDbl(text))
        return *number != 0;
    return std::nullopt;
}

QString DateText(const QDate &date)
{
    return date.isValid() ? date.toString(QStringLiteral("dd.MM.yyyy")) : QString();
}

QString TimeText(const QTime &time)
{
    return time.isValid() ? time.toString(QStringLiteral("HH:mm:ss")) : QString();
}

QString DateTimeText(const QDateTime &dateTime)
{
    return DateText(dateTime.date()) + QLatin1Char(' ') + TimeText(dateTime.time());
}

std::optional<QDate> CDate(const QString &text)
{
    static const QRegularExpression german(QStringLiteral("^(\\d{1,2})\\.(\\d{1,2})\\.(\\d{4})$"));
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})$"));
    const QString trimmed = trimmedBlanks(text).toString();
    QDate date;
    if (const auto match = german.match(trimmed); match.hasMatch())
        date =
            QDate(match.captured(3).toInt(), match.captured(2).toInt(), match.captured(1).toInt());
    else if (const auto match = iso.match(trimmed); match.hasMatch())
        date =
            QDate(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

std::optional<QTime> CTime(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?$"));
    const auto match = form.match(trimmedBlanks(text).toString());
    if (!match.hasMatch())
        return std::nullopt;
    const QTime time(match.captured(1).toInt(), match.captured(2).toInt(),
                     match.captured(3).toInt());
    return time.isValid() ? std::optional<QTime>(time) : std::nullopt;
}

bool IsDate(const QString &text)
{
    return CDate(text).has_value();
}

} // namespace vb
