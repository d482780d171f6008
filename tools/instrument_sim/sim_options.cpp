#include "sim_options.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

const char kDescription[] =
    R"(Simulates a balance on a pty or on TCP for tests, demos and benchmarks.

Telegram (22 characters, columns 1-based):
   1-2   status: "ST" stable, "US" unstable, "OL" overload
   3-6   ",GS,"
   7     sign: "+" or "-"
   8-10  blanks
  11-16  value, right-aligned ("  12.5"; blanks on overload)
  17     blank
  18-19  unit, left-aligned ("g ", "kg"); blank while unstable
  20     blank
  21-22  CR LF
  e.g. "ST,GS,+     12.5 g  " CR LF, unstable "US,GS,+     12.5    " CR LF
The receiving program's default template reads value 11-16, sign 7 and unit 18-19.
It counts a telegram with a unit as stable, whatever the status columns say; like the
balances it stands in for, the simulator leaves the unit blank while unstable, so the
program's stability check works with the unit columns 18-19 in its template.

Values ("--values" items and "--stdin-values" lines): "[U|S] VALUE [UNIT]" or "OL [UNIT]",
e.g. "12.5", "-3.2 kg", "U 12.5". The value keeps the decimals it is written with unless
--decimals is given; it must fit 6 columns, the unit 2.

Sending: --rate HZ sends continuously (the default, 5 Hz, with --values); --on-request
sends only when asked; with --stdin-values and neither, every value line is sent at once,
and the end of standard input ends the program. A line "SEND" on standard input sends one
telegram in every mode. Telegrams go to every TCP client; replies to the one that asked.

Instrument commands (ESC, text, CR LF; ESC optional, CR or LF alone also ends one):
  P   one telegram
  T   tare, reply "T OK"
  Z   zero, reply "Z OK"
  I   identification, reply "I MQ-SIM,1.0"
  K   a setting, taken without a reply
  C   reply "C OK" ended by CR alone
  any other command: reply "ES"
Other replies end with CR LF.

The first line on standard output is "pty PATH" or "port N" once the line is ready.
The pty slave stays open in here, so the line survives the program closing and reopening
it; more than 1 KB left unread on it is dropped as stale. SIGTERM, SIGINT and SIGHUP end
the program cleanly and remove the link.)";

bool parseValues(const QString &list, const TelegramStyle &style, QList<Reading> *values,
                 QString *error)
{
    for (const QString &item : list.split(u',', Qt::SkipEmptyParts)) {
        const ReadingResult r = parseReading(item, style);
        if (!r.error.isEmpty()) {
            *error = QStringLiteral("--values: %1").arg(r.error);
            return false;
        }
        values->append(r.reading);
    }
    if (values->isEmpty()) {
        *error = QStringLiteral("--values: no value");
        return false;
    }
    return true;
}

bool positiveInt(const QString &text, const char *name, int min, int *out, QString *error)
{
    bool ok = false;
    *out = text.toInt(&ok);
    if (ok && *out >= min)
        return true;
    *error = QStringLiteral("%1: \"%2\" is not a whole number of at least %3")
                 .arg(QLatin1String(name), text)
                 .arg(min);
    return false;
}

} // namespace

bool parseSimOptions(const QCoreApplication &app, SimOptions *o, QString *error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    const QCommandLineOption pty(QStringLiteral("pty"),
                                 QStringLiteral("Create a pty pair linked at PATH."),
                                 QStringLiteral("PATH"));
    const QCommandLineOption tcp(QStringLiteral("tcp"),
                                 QStringLiteral("Listen on 127.0.0.1:PORT (0: any)."),
                                 QStringLiteral("PORT"));
    const QCommandLineOption rate(QStringLiteral("rate"),
                                  QStringLiteral("Send HZ telegrams a second."),
                                  QStringLiteral("HZ"));
    const QCommandLineOption onRequest(QStringLiteral("on-request"),
                                       QStringLiteral("Send only on \"SEND\" or the P command."));
    const QCommandLineOption values(QStringLiteral("values"),
                                    QStringLiteral("Comma-separated values, cycled."),
                                    QStringLiteral("LIST"));
    const QCommandLineOption stdinValues(QStringLiteral("stdin-values"),
                                         QStringLiteral("Read one value per standard input line."));
    const QCommandLineOption unit(QStringLiteral("unit"),
                                  QStringLiteral("Default unit (default g)."),
                                  QStringLiteral("UNIT"));
    const QCommandLineOption decimals(QStringLiteral("decimals"),
                                      QStringLiteral("Write every value with N decimals."),
                                      QStringLiteral("N"));
    const QCommandLineOption comma(QStringLiteral("decimal-comma"),
                                   QStringLiteral("Write \",\" as decimal separator."));
    const QCommandLineOption count(QStringLiteral("count"),
                                   QStringLiteral("Exit with 0 after N telegrams."),
                                   QStringLiteral("N"));
    const QCommandLineOption pace(
        QStringLiteral("pace-baud"),
        QStringLiteral("Write byte by byte at the speed of BAUD (10 bits a byte)."),
        QStringLiteral("BAUD"));
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("Log every telegram on stderr."));
    parser.addOptions({pty, tcp, rate, onRequest, values, stdinValues, unit, decimals, comma, count,
                       pace, verbose});
    parser.process(app);

    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments()[0]);
        return false;
    }
    if (parser.isSet(pty) == parser.isSet(tcp)) {
        *error = QStringLiteral("give exactly one of --pty PATH and --tcp PORT");
        return false;
    }
    if (parser.isSet(pty))
        o->ptyLink = parser.value(pty);
    if (parser.isSet(tcp)) {
        bool ok = false;
        const uint port = parser.value(tcp).toUInt(&ok);
        if (!ok || port > 65535) {
            *error = QStringLiteral("--tcp: \"%1\" is not a port").arg(parser.value(tcp));
            return false;
        }
        o->tcpPort = int(port);
    }

    if (parser.isSet(unit))
        o->style.unit = parser.value(unit);
    if (parser.isSet(decimals) &&
        !positiveInt(parser.value(decimals), "--decimals", 0, &o->style.decimals, error))
        return false;
    o->style.decimalComma = parser.isSet(comma);
    if (parser.isSet(count) && !positiveInt(parser.value(count), "--count", 1, &o->count, error))
        return false;
    if (parser.isSet(pace) &&
        !positiveInt(parser.value(pace), "--pace-baud", 1, &o->paceBaud, error))
        return false;
    o->verbose = parser.isSet(verbose);

    o->stdinValues = parser.isSet(stdinValues);
    if (o->stdinValues && parser.isSet(values)) {
        *error = QStringLiteral("give either --values or --stdin-values");
        return false;
    }
    if (const ReadingResult probe = parseReading(QStringLiteral("0"), o->style);
        !probe.error.isEmpty()) {
        *error = QStringLiteral("--unit: %1").arg(probe.error);
        return false;
    }
    // Before the first stdin value, a request is answered with zero.
    QString valueList = QStringLiteral("0.0");
    if (parser.isSet(values))
        valueList = parser.value(values);
    if (!parseValues(valueList, o->style, &o->values, error))
        return false;

    if (parser.isSet(rate) && parser.isSet(onRequest)) {
        *error = QStringLiteral("give either --rate or --on-request");
        return false;
    }
    if (parser.isSet(rate)) {
        bool ok = false;
        o->rateHz = parser.value(rate).toDouble(&ok);
        if (!ok || o->rateHz <= 0 || o->rateHz > 1000) {
            *error = QStringLiteral("--rate: \"%1\" is not a rate from 0 to 1000 Hz")
                         .arg(parser.value(rate));
            return false;
        }
        o->trigger = SimOptions::Trigger::Rate;
    } else if (parser.isSet(onRequest)) {
        o->trigger = SimOptions::Trigger::OnRequest;
    } else {
        o->trigger =
            o->stdinValues ? SimOptions::Trigger::EachStdinValue : SimOptions::Trigger::Rate;
    }
    return true;
}
