#include "core/reception/telegram.h"

#include "core/reception/link_wait.h"

#include "core/app.h"
#include "core/mainform/mainform.h"
#include "core/output/output_builder.h"
#include "core/reception/telegram_fields.h"
#include "platform/ports/serial_port.h"
#include "platform/ports/tcp_socket.h"
#include "platform/vb/cp1252.h"
#include "platform/vb/vb_runtime.h"
#include "platform/vb/vb_strings.h"

#include <QLabel>
#include <QLineEdit>

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>

namespace {

class ReadingGuard {
public:
    explicit ReadingGuard(App &app)
        : m_app(app)
    {
        m_app.telegramReading = true;
    }
    ~ReadingGuard() { m_app.telegramReading = false; }
    ReadingGuard(const ReadingGuard &) = delete;
    ReadingGuard &operator=(const ReadingGuard &) = delete;

private:
    App &m_app;
};

// The telegram template's framing part, converted once per reading.
struct Framing {
    int length = 0;          // L
    bool hasEndText = false; // str_endchar is not empty
    int endCode = 0;         // E
    QString endChar;         // the character with code E
    int noEnd = 0;           // N
};

int wholeNumber(double value)
{
    return int(std::clamp(std::trunc(value), double(INT_MIN), double(INT_MAX)));
}

// L; nullopt when str_len is no number.
std::optional<int> telegramLength(const SettingsRecord &s)
{
    const std::optional<double> length = vb::CDbl(s.str_len);
    if (!length)
        return std::nullopt;
    return wholeNumber(*length);
}

// nullopt when str_len or str_endchar is no number, L < 1 or E outside 0..255.
std::optional<Framing> framingOf(const SettingsRecord &s)
{
    Framing f;
    const std::optional<int> length = telegramLength(s);
    if (!length || *length < 1)
        return std::nullopt;
    f.length = *length;

    f.hasEndText = !s.str_endchar.isEmpty();
    if (f.hasEndText) {
        const std::optional<qint32> code = vb::CLng(s.str_endchar);
        if (!code || *code < 0 || *code > 255)
            return std::nullopt;
        f.endCode = *code;
        // Chr of the ANSI code page: 128 is "€", as the telegram's bytes decode.
        f.endChar = cp1252::decode(QByteArray(1, char(*code)));
    }
    f.noEnd = s.str_noend.isEmpty() ? 0 : wholeNumber(vb::Val(s.str_noend));
    return f;
}

enum class Framed { Complete, Incomplete, Failed };

// Cuts the telegram out of the buffer, which then holds only the telegram.
Framed frame(QString &buffer, const Framing &f)
{
    if (buffer.size() >= f.length && f.hasEndText) {
        int p = vb::InStr(buffer, f.endChar) - f.length + 1;
        if (p <= 0)
            p = vb::InStr(f.length + 1, buffer, f.endChar) - f.length + 1;
        if (p > 0) {
            const qint64 count = qint64(f.length) - qint64(f.noEnd);
            if (count < 0)
                return Framed::Failed;
            buffer = vb::Mid(buffer, p, int(std::min<qint64>(count, INT_MAX))).value_or(QString());
            return Framed::Complete;
        }
    }
    if (f.endCode == 0 && buffer.size() >= f.length)
        return Framed::Complete;
    return Framed::Incomplete;
}

bool appendPortInput(App &app, mainform &window)
{
    const std::optional<QString> input = window.commport().input();
    if (!input)
        return false;
    appendReceived(app, *input);
    return true;
}

enum class Reception { Telegram, TimedOut, Failed };

// Waits for and frames one telegram in app.strEmpfang. After Failed the main
// window may be gone.
Reception receiveTelegram(App &app, mainform &window, bool overTcp, const Framing &framing)
{
    // One deadline for the whole reading, also when the buffer is framed again, so
    // a stream without a usable end character cannot hold the reading forever.
    LinkWait wait(window, app.m_waittime);
    for (;;) {
        do {
            if (!wait.yield())
                return Reception::Failed;
            if (!overTcp && !appendPortInput(app, window))
                return Reception::Failed;
        } while (app.strEmpfang.size() < framing.length && !wait.expired());
        if (wait.expired())
            return Reception::TimedOut;
        if (!overTcp && !appendPortInput(app, window))
            return Reception::Failed;
        switch (frame(app.strEmpfang, framing)) {
        case Framed::Complete:
            return Reception::Telegram;
        case Framed::Failed:
            return Reception::Failed;
        case Framed::Incomplete:
            break;
        }
        // Framed again once more characters came: yield() sleeps until they do.
    }
}

// Cuts unit, stable flag, sign and value out of the telegram and shows them;
// nullopt for a failure (a bad cut, density 0 in volume mode).
std::optional<double> showTelegram(App &app, mainform &window, const QString &telegram,
                                   QString &strEinheit, bool *valueIsNumber)
{
    const SettingsRecord &s = app.settings;

    if (s.eh_start > 0) {
        const std::optional<QString> unit = telegramColumns(telegram, s.eh_start, s.eh_end);
        if (!unit)
            return std::nullopt;
        strEinheit = vb::Trim(*unit);
    }
    if (s.mw_still_anf > 0) {
        const std::optional<QString> flag =
            telegramColumns(telegram, s.mw_still_anf, s.mw_still_end);
        if (!flag)
            return std::nullopt;
        if (*flag == s.st_kennung) {
            // Cut again whatever eh_start is: with no unit columns this fails.
            const std::optional<QString> unit = telegramColumns(telegram, s.eh_start, s.eh_end);
            if (!unit)
                return std::nullopt;
            strEinheit = vb::Trim(*unit);
        }
    }

    const QString sign = telegramSign(s, telegram);

    double value = 0.0;
    if (s.mw_start > 0) {
        const std::optional<QString> field = telegramColumns(telegram, s.mw_start, s.mw_end);
        if (!field)
            return std::nullopt;
        // All at once: yielding per comma would only re-enter the event loop.
        QString text = *field;
        text.replace(QLatin1Char(','), QLatin1Char('.'));
        // The field is the instrument's, not the user's: "." is its decimal point in
        // every locale, and the test takes exactly what is then read as the value.
        const std::optional<double> number = plainNumber(text);
        if (!number) {
            if (valueIsNumber)
                *valueIsNumber = false;
            return kKeinZahlwert;
        }
        value = *number;

        const std::optional<double> mode = numericSetting(s.anzeigemodus);
        if (mode == 0.0) {
            window.Vorzeichen()->setText(sign);
            window.MesswertAnzeige()->setText(vb::Trim(text));
            window.einheit()->setText(strEinheit);
        } else if (mode == 1.0) {
            qint16 width = 10;
            const QString mask = fnMaske(displayDecimals(value), width);
            window.Vorzeichen()->setText(sign);
            if (s.st_dichte == 0.0)
                return std::nullopt;
            const double volume = value / s.st_dichte;
            if (!std::isfinite(volume))
                return std::nullopt;
            window.MesswertAnzeige()->setText(vb::Trim(fnFormatWert(volume, mask)));
            window.einheit()->setText(QStringLiteral("ml"));
        }
    }

    // The labels keep the field as cut; only the result carries the sign.
    if (sign == QLatin1String("-"))
        value = -value;

    window.DDESign()->setText(window.Vorzeichen()->text());
    window.DDEUnit()->setText(window.einheit()->text());
    window.DDEValue()->setText(vb::Trim(vb::CStr(value)));
    return value;
}

} // namespace

void appendReceived(App &app, QStringView received)
{
    QString &buffer = app.strEmpfang;
    const qsizetype keep = std::max(telegramLength(app.settings).value_or(0), 0) + kEmpfangReserve;
    received = received.right(keep);
    if (const qsizetype excess = buffer.size() + received.size() - keep; excess > 0)
        buffer.remove(0, excess);
    buffer += received;
    // remove() gives no memory back: a buffer filled beyond the bound elsewhere,
    // or kept for a longer telegram length, would hold on to it.
    if (buffer.capacity() > 2 * keep)
        buffer.squeeze();
}

double Telegramm_lesen(App &app, QString &strTelegramm, QString &strEinheit, bool *valueIsNumber)
{
    if (valueIsNumber)
        *valueIsNumber = true;
    // A reading started by an event handler while another one waits would share
    // strEmpfang with it.
    if (app.telegramReading)
        return 0.0;
    const ReadingGuard guard(app);

    mainform &window = app.mainWindow();
    const bool overTcp = app.settings.portnum == QLatin1String("TCP/IP");

    // What arrived before the call is never part of the telegram.
    if (!overTcp && !window.commport().input())
        return 0.0;
    app.strEmpfang.clear();

    const std::optional<Framing> framing = framingOf(app.settings);
    if (!framing)
        return 0.0;

    switch (receiveTelegram(app, window, overTcp, *framing)) {
    case Reception::Failed:
        return 0.0;
    case Reception::TimedOut:
        window.einheit()->setText(QString());
        window.Vorzeichen()->setText(QString());
        return 0.0;
    case Reception::Telegram:
        break;
    }

    strTelegramm = app.strEmpfang;
    return showTelegram(app, window, strTelegramm, strEinheit, valueIsNumber).value_or(0.0);
}
