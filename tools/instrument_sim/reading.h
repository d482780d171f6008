#pragma once

#include <QByteArray>
#include <QString>

// How value texts are written into the telegram.
struct TelegramStyle {
    int decimals = -1; // -1: as many decimals as the value was written with
    bool decimalComma = false;
    QString unit = QStringLiteral("g");
};

// One weighing result, already laid out in the telegram's field widths.
struct Reading {
    QByteArray status = "ST"; // "ST" stable, "US" unstable, "OL" overload
    char sign = '+';
    QByteArray value; // exactly 6 characters, right-aligned
    QByteArray unit;  // exactly 2 characters, left-aligned
};

struct ReadingResult {
    Reading reading;
    QString error; // empty on success
};

// Parses "[S|U] VALUE [UNIT]" or "OL [UNIT]", e.g. "12.5", "-3.2 kg", "U 12.5".
ReadingResult parseReading(QStringView text, const TelegramStyle &style);

// The 22-byte telegram of a reading, CR LF last; the unit columns are blank while
// the reading is unstable.
QByteArray composeTelegram(const Reading &reading);

inline constexpr int kTelegramLength = 22;
