// Numbers from the instrument and from settings files in the user's locale: the
// program reads QLocale(), which is the desktop's locale unless set otherwise, so
// pinning the default locale puts each case on the program's own path.

#include "core/mainform/mainform.h"
#include "core/mainform/panel_bar.h"
#include "core/reception/telegram.h"
#include "core/settings/settings.h"
#include "platform/vb/vb_datetime.h"
#include "tests/support/file_bytes.h"
#include "tests/support/measurement_road.h"
#include "tests/support/tcp_instrument.h"
#include "tests/support/test_app.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QtTest>

namespace {

// Separators: "," and "." in de_DE; "," and a non-breaking space in the rest of
// Europe (de_AT and fr_CH differ from de_DE in grouping); "." and "," in en_US and C.
const QStringList kLocales{
    QStringLiteral("de_DE"), QStringLiteral("de_AT"), QStringLiteral("fr_CH"),
    QStringLiteral("fr_FR"), QStringLiteral("sv_SE"), QStringLiteral("pl_PL"),
    QStringLiteral("ru_RU"), QStringLiteral("cs_CZ"), QStringLiteral("fi_FI"),
    QStringLiteral("nb_NO"), QStringLiteral("pt_PT"), QStringLiteral("en_US"),
    QStringLiteral("C")};

// Online with "{Messwert}" alone into werte.txt.
template <typename T> bool prepare(T &t, TcpInstrument &instrument, const QString &modus)
{
    const bool online = prepareTextFileRoad(t, instrument, modus);
    t.app.settings.format = QStringLiteral("{Messwert}");
    return online;
}

void tickWithValue(mainform &mw, TcpInstrument &instrument, const QByteArray &value)
{
    tickWith(mw, instrument, defaultTelegram('+', value, "g"));
}

} // namespace

class tst_locales : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void valueField_data();
    void valueField();
    void displayDecimals_data();
    void displayDecimals();
    void limits_data();
    void limits();
    void ignoredLimitReportedOnce();
    void unloadingWaitThreshold_data();
    void unloadingWaitThreshold();
};

void tst_locales::valueField_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<double>("value");

    struct Field {
        const char *text;
        bool isNumber;
        double value;
    };
    // The instrument's decimal point is "." or "," whatever the desktop's is; a
    // field the reading would misread is no number rather than a wrong value.
    const Field fields[] = {
        {"12,50", true, 12.5},  {"12.50", true, 12.5},  {"-12.5", true, -12.5},
        {"+ 7,25", true, 7.25}, {"  1234", true, 1234}, {",5", true, 0.5},
        {"1E3", true, 1000},    {"1.2,5", false, 0},    {"12,5-", false, 0},
        {"1 234", false, 0},    {"12,5kg", false, 0},   {"  -   ", false, 0},
    };
    for (const QString &locale : kLocales) {
        for (const Field &f : fields) {
            QTest::addRow("%s \"%s\"", qPrintable(locale), f.text)
                << locale << QByteArray(f.text) << f.isNumber << f.value;
        }
    }
}

void tst_locales::valueField()
{
    QFETCH(QString, locale);
    QFETCH(QByteArray, field);
    QFETCH(bool, isNumber);
    QFETCH(double, value);
    QLocale::setDefault(QLocale(locale));
    TestApp t;
    TcpInstrument instrument;
    QVERIFY(prepare(t, instrument, QStringLiteral("HOTKEY")));
    t.app.mainWindow().MesswertAnzeige()->setText(QStringLiteral("old"));

    instrument.sendLater(defaultTelegram('+', field, "g"));
    QString telegram;
    QString unit;
    bool valueIsNumber = false;
    const double result = Telegramm_lesen(t.app, telegram, unit, &valueIsNumber);

    QCOMPARE(telegram, QString::fromLatin1(defaultTelegram('+', field, "g")));
    QCOMPARE(valueIsNumber, isNumber);
    QCOMPARE(result, isNumber ? value : kKeinZahlwert);
    // Weight mode shows the field itself, with "." as decimal point.
    QString shown = QString::fromLatin1(field).trimmed().replace(u',', u'.');
    QCOMPARE(t.app.mainWindow().MesswertAnzeige()->text(), isNumber ? shown : "old");
}

void tst_locales::displayDecimals_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("volume"); // value / 0.8, with the value's decimals
    QTest::addColumn<QString>("flow");   // (value - 10,5) / 0.5 / 10 s, likewise

    QTest::newRow("de_DE 12,75") << "de_DE" << QByteArray("12,75") << "15,94"
                                 << "0,45";
    QTest::newRow("de_DE 12") << "de_DE" << QByteArray("12") << "15,00"
                              << "0,30";
    QTest::newRow("fr_FR 12,75") << "fr_FR" << QByteArray("12,75") << "15,94"
                                 << "0,45";
    QTest::newRow("en_US 12,75") << "en_US" << QByteArray("12,75") << "15.94"
                                 << "0.45";
    QTest::newRow("C 12,5") << "C" << QByteArray("12,5") << "15.6"
                            << "0.4";
    // Without a decimal point every character counts, as in German.
    QTest::newRow("C 12") << "C" << QByteArray("12") << "15.00"
                          << "0.30";
}

// Volume and flow display count the decimals alike, from the decimal point of the
// value's text in the user's locale.
void tst_locales::displayDecimals()
{
    QFETCH(QString, locale);
    QFETCH(QByteArray, value);
    QLocale::setDefault(QLocale(locale));

    TestApp v;
    TcpInstrument volumeInstrument;
    QVERIFY(prepare(v, volumeInstrument, QStringLiteral("HOTKEY")));
    v.app.settings.anzeigemodus = QStringLiteral("1");
    v.app.settings.st_dichte = 0.8;
    tickWithValue(v.app.mainWindow(), volumeInstrument, value);
    QTEST(v.app.mainWindow().MesswertAnzeige()->text(), "volume");

    TimedTestApp f;
    TcpInstrument flowInstrument;
    QVERIFY(prepare(f, flowInstrument, QStringLiteral("TIMER")));
    SettingsRecord &s = f.app.settings;
    s.anzeigemodus = QStringLiteral("2");
    s.st_dichte = 0.5;
    s.int_modus = QStringLiteral("1");
    s.anz_mess = QStringLiteral("3");
    s.int_sek = QStringLiteral("10");
    s.d_start = vb::DateText(f.clock.now().date());
    s.t_start = vb::TimeText(f.clock.now().time());
    mainform &mw = f.app.mainWindow();
    mw.Command5_Click(2);
    tickWithValue(mw, flowInstrument, "10,5");
    QCOMPARE(mw.MesswertAnzeige()->text(), QStringLiteral("0"));
    f.clock.advanceMs(10000);
    tickWithValue(mw, flowInstrument, value);
    QTEST(mw.MesswertAnzeige()->text(), "flow");
}

void tst_locales::limits_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("otg");
    QTest::addColumn<QString>("utg");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("status"); // after the tick
    QTest::addColumn<bool>("sent");

    const QString above = QStringLiteral("TextMesswertGroesserMaximum");
    const QString below = QStringLiteral("TextMesswertKleinerMinimum");
    // A file written on a German desktop keeps its limits everywhere.
    for (const QString &locale : kLocales) {
        QTest::addRow("%s: OTG 100,5, above", qPrintable(locale))
            << locale << "100,5"
            << "0" << QByteArray("100,6") << above << false;
        QTest::addRow("%s: OTG 100,5, at", qPrintable(locale))
            << locale << "100,5"
            << "0" << QByteArray("100,5") << "" << true;
        QTest::addRow("%s: UTG 5,5, below", qPrintable(locale))
            << locale << "0"
            << "5,5" << QByteArray("5,2") << below << false;
        QTest::addRow("%s: UTG 5.5, below", qPrintable(locale))
            << locale << "0"
            << "5.5" << QByteArray("5,2") << below << false;
        QTest::addRow("%s: UTG 5,5, above it", qPrintable(locale))
            << locale << "0"
            << "5,5" << QByteArray("5,7") << "" << true;
    }
    // The user's own way comes first, as the transfer dialog accepts it.
    QTest::newRow("de_DE: OTG 1.500 is 1500") << "de_DE"
                                              << "1.500"
                                              << "0" << QByteArray("1400") << "" << true;
    QTest::newRow("de_DE: OTG 1.500, above") << "de_DE"
                                             << "1.500"
                                             << "0" << QByteArray("1600") << above << false;
    QTest::newRow("en_US: OTG 1,500 is 1500") << "en_US"
                                              << "1,500"
                                              << "0" << QByteArray("1400") << "" << true;
    QTest::newRow("fr_FR: OTG 1 500 is 1500")
        << "fr_FR" << QStringLiteral("1\u202f500") << "0" << QByteArray("1400") << "" << true;
    // No number: no limit, and the status panel says so.
    QTest::newRow("sv_SE: OTG with a unit")
        << "sv_SE"
        << "12.5 kg"
        << "0" << QByteArray("20") << "OTG \"12.5 kg\" is no number: no upper limit" << true;
    QTest::newRow("C: both no number")
        << "C"
        << "abc"
        << "1,2,3" << QByteArray("5")
        << "OTG \"abc\" is no number: no upper limit; UTG \"1,2,3\" is no number: no lower limit"
        << true;
    QTest::newRow("en_US: blank limits") << "en_US"
                                         << " "
                                         << "" << QByteArray("5") << "" << true;
}

void tst_locales::limits()
{
    QFETCH(QString, locale);
    QFETCH(QString, otg);
    QFETCH(QString, utg);
    QFETCH(QByteArray, value);
    QFETCH(bool, sent);
    QLocale::setDefault(QLocale(locale));
    TestApp t;
    TcpInstrument instrument;
    QVERIFY(prepare(t, instrument, QStringLiteral("PRINT")));
    t.app.settings.OTG = otg;
    t.app.settings.UTG = utg;
    mainform &mw = t.app.mainWindow();

    tickWithValue(mw, instrument, value);

    QCOMPARE(QFile::exists(t.path(QStringLiteral("werte.txt"))), sent);
    QTEST(mw.Status()->panelText(1), "status");
}

// Told once per limit text, not at every tick; a new text is told again.
void tst_locales::ignoredLimitReportedOnce()
{
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    TestApp t;
    TcpInstrument instrument;
    QVERIFY(prepare(t, instrument, QStringLiteral("PRINT")));
    SettingsRecord &s = t.app.settings;
    mainform &mw = t.app.mainWindow();
    const auto statusAfterTick = [&](const QString &otg) {
        s.OTG = otg;
        tickWithValue(mw, instrument, "5");
        return mw.Status()->panelText(1);
    };
    const QString kg = QStringLiteral("OTG \"12.5 kg\" is no number: no upper limit");

    QCOMPARE(statusAfterTick(QStringLiteral("12.5 kg")), kg);
    QCOMPARE(statusAfterTick(QStringLiteral("12.5 kg")), QString());
    QCOMPARE(statusAfterTick(QStringLiteral("abc")),
             QStringLiteral("OTG \"abc\" is no number: no upper limit"));
    QCOMPARE(statusAfterTick(QStringLiteral("100")), QString());
    QCOMPARE(statusAfterTick(QStringLiteral("12.5 kg")), kg);
    QCOMPARE(readFileBytes(t.path(QStringLiteral("werte.txt"))).count('\n'), 5);
}

void tst_locales::unloadingWaitThreshold_data()
{
    QTest::addColumn<QString>("locale");
    for (const QString &locale : {QStringLiteral("de_DE"), QStringLiteral("fr_FR"),
                                  QStringLiteral("en_US"), QStringLiteral("C")})
        QTest::newRow(qPrintable(locale)) << locale;
}

// UTG "5,5" from a German file: after a send, values of 5.5 or more keep the
// wait reading in every locale; the first value below ends it.
void tst_locales::unloadingWaitThreshold()
{
    QFETCH(QString, locale);
    QLocale::setDefault(QLocale(locale));
    TestApp t;
    TcpInstrument instrument;
    QVERIFY(prepare(t, instrument, QStringLiteral("PRINT")));
    t.app.settings.entlastung = QStringLiteral("True");
    t.app.settings.UTG = QStringLiteral("5,5");
    mainform &mw = t.app.mainWindow();
    instrument.sendLater(defaultTelegram('+', "8,5", "g"), 20);
    instrument.sendLater(defaultTelegram('+', "6", "g"), 120);
    instrument.sendLater(defaultTelegram('+', "5,5", "g"), 220);
    instrument.sendLater(defaultTelegram('+', "5,2", "g"), 320);
    QString statusDuringWait;
    QTimer::singleShot(270, &mw, [&] { statusDuringWait = mw.Status()->panelText(1); });

    mw.Timer1_Timer();

    QCOMPARE(statusDuringWait, QStringLiteral("TextWarteAufEntlastung"));
    QCOMPARE(readFileBytes(t.path(QStringLiteral("werte.txt"))).count('\n'), 1);
    QCOMPARE(mw.DDEValue()->text(), QLocale().toString(5.2));
}

QTEST_MAIN(tst_locales)
#include "tst_locales.moc"
