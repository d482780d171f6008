#include "reading.h"

#include <QRegularExpression>

namespace {

constexpr int kValueWidth = 6;
constexpr int kUnitWidth = 2;

// Unit texts go out byte for byte: the receiver decodes one byte as one column.
bool unitField(const QString &unit, QByteArray *field, QString *error)
{
    const QByteArray bytes = unit.toLatin1();
    if (bytes.size() > kUnitWidth || QString::fromLatin1(bytes) != unit) {
        *error = QStringLiteral("unit \"%1\" does not fit the 2 unit columns").arg(unit);
        return false;
    }
    *field = bytes.leftJustified(kUnitWidth, ' ');
    return true;
}

} // namespace

ReadingResult parseReading(QStringView text, const TelegramStyle &style)
{
    static const QRegularExpression numberPattern(
        QStringLiteral(R"(^([+-]?)(\d+(?:[.,](\d*))?|[.,](\d+))$)"));

    ReadingResult result;
    Reading &r = result.reading;
    QStringList tokens = text.toString().split(u' ', Qt::SkipEmptyParts);
    const auto fail = [&](const QString &why) {
        result.error = why;
        return result;
    };
    if (tokens.isEmpty())
        return fail(QStringLiteral("empty value"));

    const QString first = tokens.first().toUpper();
    if (first == u"OL") {
        r.status = "OL";
        r.value = QByteArray(kValueWidth, ' ');
        tokens.removeFirst();
    } else {
        if ((first == u"U" || first == u"S") && tokens.size() > 1) {
            r.status = first == u"U" ? "US" : "ST";
            tokens.removeFirst();
        }
        const QRegularExpressionMatch m = numberPattern.match(tokens.first());
        if (!m.hasMatch())
            return fail(QStringLiteral("\"%1\" is not a number").arg(tokens.first()));
        tokens.removeFirst();

        QString digits = m.captured(2);
        digits.replace(u',', u'.');
        const int written = m.capturedLength(3) + m.capturedLength(4);
        const int decimals = style.decimals >= 0 ? style.decimals : written;
        QString field = QString::number(digits.toDouble(), 'f', decimals);
        if (style.decimalComma)
            field.replace(u'.', u',');
        if (field.size() > kValueWidth)
            return fail(QStringLiteral("value \"%1\" does not fit the 6 value columns").arg(field));
        r.sign = m.captured(1) == u"-" ? '-' : '+';
        r.value = field.toLatin1().rightJustified(kValueWidth, ' ');
    }

    if (tokens.size() > 1)
        return fail(QStringLiteral("unexpected \"%1\"").arg(tokens.mid(1).join(u' ')));
    if (!unitField(tokens.isEmpty() ? style.unit : tokens.first(), &r.unit, &result.error))
        return result;
    return result;
}

QByteArray composeTelegram(const Reading &reading)
{
    // Columns: 1-2 status, 3 ",", 4-5 "GS", 6 ",", 7 sign, 8-10 blank, 11-16 value,
    // 17 blank, 18-19 unit, 20 blank, 21-22 CR LF.
    QByteArray t;
    t.reserve(kTelegramLength);
    t += reading.status;
    t += ",GS,";
    t += reading.sign;
    t += "   ";
    t += reading.value;
    t += ' ';
    // Such balances send no unit while the reading is unstable; a receiver that
    // takes a telegram with a unit as stable relies on that.
    t += reading.status == "US" ? QByteArray(reading.unit.size(), ' ') : reading.unit;
    t += " \r\n";
    Q_ASSERT(t.size() == kTelegramLength);
    return t;
}
