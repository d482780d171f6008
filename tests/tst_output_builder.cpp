#include "core/app.h"
#include "core/output/output_builder.h"
#include "tests/support/fake_clock.h"
#include "tests/support/scripted_prompts.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

namespace {

const QString kGerman = QStringLiteral("de_DE");
const QString kC = QStringLiteral("C");
const QString kCancel = QStringLiteral("<cancel>");

// Columns: sign 1, value 2..8, unit 10..11, ID 1 13..16, ID 2 18..20, ID 3 22..26.
const QString kTelegram = QStringLiteral("+  12,50 kg A123 B45 {?Nr}");

// An App with a fixed clock and the language texts the templates below use.
struct Fixture {
    QTemporaryDir folder;
    ScriptedPrompts prompts;
    FakeClock clock{QDateTime(QDate(2026, 3, 4), QTime(9, 5, 7))};
    App app{folder.path(), prompts, clock};

    Fixture()
    {
        LanguageTexts &t = app.texts;
        t.TextMesswert = QStringLiteral("Messwert");
        t.TextUhrzeit = QStringLiteral("Uhrzeit");
        t.TextEinheit = QStringLiteral("Einheit");
        t.TextDatum = QStringLiteral("Datum");
        for (int n = 1; n <= 10; ++n)
            *t.text(QStringLiteral("TextID_%1").arg(n)) = QStringLiteral("ID_%1").arg(n);
        t.TextFreierTextTeil1 = QStringLiteral("Wert für ");
        t.TextFreierTextTeil2 = QStringLiteral(" eingeben");

        SettingsRecord &s = app.settings;
        s.mw_start = 2;
        s.mw_end = 8;
        s.mw_sign_anf = 1;
        s.mw_sign_end = 1;
        s.eh_start = 10;
        s.eh_end = 11;
        s.ID_anf[1] = 13;
        s.ID_end[1] = 16;
        s.ID_anf[2] = 18;
        s.ID_end[2] = 20;
        s.ID_anf[3] = 22;
        s.ID_end[3] = 26;
        s.ID_anf[10] = 13;
        s.ID_end[10] = 14;
        s.TRZ = QStringLiteral("0");
        s.anzeigemodus = QStringLiteral("0");
        s.st_dichte = 1.0;
        s.format = QStringLiteral("{Messwert};{Einheit}");
    }

    // One call as the polling loop makes it.
    QString run(const QString &telegram, double delta = 0, double *seconds = nullptr)
    {
        double ownSeconds = 1;
        app.strAusgabe.clear();
        return Telegramm_zerlegen(app, telegram, delta, seconds ? *seconds : ownSeconds,
                                  app.texts.TextID_1);
    }

    QStringList questionsAsked() const
    {
        QStringList asked;
        for (const ScriptedPrompts::Shown &s : prompts.shown) {
            if (s.kind == QLatin1String("input") && s.title == QLatin1String("Parameter"))
                asked << s.text;
        }
        return asked;
    }
};

void useLocale(const QString &name)
{
    QLocale::setDefault(QLocale(name));
}

} // namespace

class TstOutputBuilder : public QObject {
    Q_OBJECT

private slots:
    void init() { useLocale(kGerman); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void maske_data()
    {
        QTest::addColumn<int>("decimals");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<int>("widthAfter");
        QTest::newRow("0 decimals") << 0 << 10 << "#########0" << 10;
        QTest::newRow("1 decimal") << 1 << 10 << "#######0.0" << 10;
        QTest::newRow("3 decimals") << 3 << 10 << "#####0.000" << 10;
        QTest::newRow("7 decimals") << 7 << 10 << "#0.0000000" << 10;
        QTest::newRow("8 decimals raise the width") << 8 << 10 << "#0.00000000" << 11;
        QTest::newRow("2 decimals, width 3") << 2 << 3 << "#0.00" << 5;
        QTest::newRow("0 decimals, width 0") << 0 << 0 << "##0" << 3;
        QTest::newRow("negative decimals") << -1 << 10 << "#########0" << 10;
        QTest::newRow("width beyond 16 bits") << 32765 << 10 << "" << 10;
    }
    void maske()
    {
        QFETCH(int, decimals);
        QFETCH(int, width);
        QFETCH(QString, mask);
        QFETCH(int, widthAfter);
        qint16 w = qint16(width);
        QCOMPARE(fnMaske(qint16(decimals), w), mask);
        QCOMPARE(int(w), widthAfter);
        if (!mask.isEmpty())
            QCOMPARE(mask.size(), widthAfter);
    }

    void formatWert_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("expected");
        auto row = [](const char *name, const QString &locale, double value, const char *mask,
                      const char *expected) {
            QTest::newRow(name) << locale << value << QString::fromLatin1(mask)
                                << QString::fromUtf8(expected);
        };
        row("German separator", kGerman, 12.5, "######0.00", "12,50");
        row("C separator", kC, 12.5, "######0.00", "12.50");
        row("0 decimals", kGerman, 12.4, "#########0", "12");
        row("exact half away from zero", kGerman, 15.625, "#0.00", "15,63");
        row("negative exact half", kGerman, -15.625, "#0.00", "-15,63");
        row("half to integer", kGerman, 2.5, "#########0", "3");
        row("negative half to integer", kGerman, -2.5, "#########0", "-3");
        row("half as the user reads it", kGerman, 2.675, "#0.00", "2,68");
        row("half below the binary value", kGerman, 0.35, "#0.0", "0,4");
        row("below half", kGerman, 1.2349, "#0.00", "1,23");
        row("carry into integer part", kGerman, 9.995, "#0.00", "10,00");
        row("integer part wider than mask", kGerman, 999.5, "##0", "1000");
        row("leading zero", kGerman, 0.125, "#0.00", "0,13");
        row("zero", kGerman, 0, "#0.00", "0,00");
        row("negative rounds to zero", kGerman, -0.004, "#0.00", "0,00");
        row("negative zero", kGerman, -0.0, "#########0", "0");
        row("padded decimals", kC, 1234, "#0.0000", "1234.0000");
        row("no grouping", kGerman, 1234567.25, "#0.00", "1234567,25");
        row("large integer part", kGerman, 12345678901234.5, "#0.0", "12345678901234,5");
        row("no exponent for large", kC, 1e20, "#########0", "100000000000000000000");
        row("no exponent for small", kGerman, 1e-7, "#0.0000000", "0,0000001");
        row("small rounds away", kC, 1e-7, "#0.00", "0.00");
        row("mask without point", kGerman, 123.456, "", "123");
        row("not a number", kGerman, std::numeric_limits<double>::quiet_NaN(), "#0.00", "");
        row("infinity", kGerman, std::numeric_limits<double>::infinity(), "#0.00", "");
    }
    void formatWert()
    {
        QFETCH(QString, locale);
        QFETCH(double, value);
        QFETCH(QString, mask);
        QFETCH(QString, expected);
        useLocale(locale);
        QCOMPARE(fnFormatWert(value, mask), expected);
    }

    // Value, sign and unit through the template "{Messwert};{Einheit}".
    void cutting_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("telegram");
        QTest::addColumn<QList<int>>("columns"); // mw_start, mw_end, sign_anf, sign_end,
                                                 // eh_start, eh_end
        QTest::addColumn<QString>("trz");
        QTest::addColumn<QString>("expected");
        const QList<int> standard{2, 8, 1, 1, 10, 11};
        auto row = [](const char *name, const QString &locale, const char *telegram,
                      const QList<int> &columns, const char *trz, const char *expected) {
            QTest::newRow(name) << locale << QString::fromLatin1(telegram) << columns
                                << QString::fromLatin1(trz) << QString::fromLatin1(expected);
        };
        row("German comma", kGerman, "+  12,50 kg", standard, "0", "12,50;kg");
        row("German comma, TRZ 1", kGerman, "+  12,50 kg", standard, "1", "12.50;kg");
        row("C locale", kC, "+  12,50 kg", standard, "0", "12.50;kg");
        row("point in the field", kGerman, "+  12.50 kg", standard, "0", "12,50;kg");
        row("TRZ empty counts as 0", kGerman, "+  12,50 kg", standard, "", "12,50;kg");
        row("no point: 4 decimals", kGerman, "+  1234 kg", {2, 7, 1, 1, 9, 10}, "0",
            "1234,0000;kg");
        row("no point, TRZ 1", kGerman, "+  1234 kg", {2, 7, 1, 1, 9, 10}, "1", "1234.0000;kg");
        row("no point, C", kC, "+  1234 kg", {2, 7, 1, 1, 9, 10}, "0", "1234.0000;kg");
        row("sign column", kGerman, "-  12,50 kg", standard, "0", "-12,50;kg");
        row("sign only in mw_sign_anf", kGerman, "-  12,50 kg", {2, 8, 1, 0, 10, 11}, "0",
            "-12,50;kg");
        row("mw_sign_end wins", kGerman, "-  12,50 kg", {2, 8, 1, 9, 10, 11}, "0", "12,50;kg");
        row("no sign column", kGerman, "-  12,50 kg", {2, 8, 0, 0, 10, 11}, "0", "12,50;kg");
        row("minus in field and sign column", kGerman, " - 12,5 kg", {2, 7, 2, 2, 9, 10}, "0",
            "12,5;kg");
        row("minus in field only", kGerman, "+-3,250 kg", {2, 7, 1, 1, 9, 10}, "0", "-3,250;kg");
        row("unit trimmed", kGerman, "+  12,50  kg ", {2, 8, 1, 1, 9, 13}, "0", "12,50;kg");
        row("no unit configured", kGerman, "+  12,50 kg", {2, 8, 1, 1, 0, 11}, "0", "12,50;");
        row("fields beyond telegram", kGerman, "+  12,50 kg", {30, 35, 1, 40, 30, 32}, "0", "0;");
        row("value running past the end", kGerman, "+  12,50", {4, 40, 1, 1, 0, 0}, "0", "12,50;");
        row("unit running past the end", kGerman, "+  12,50 kg", {2, 8, 1, 1, 10, 40}, "0",
            "12,50;kg");
        row("value end before start", kGerman, "+  12,50 kg", {8, 2, 1, 1, 10, 11}, "0", "0;kg");
        row("value start 0", kGerman, "-  12,50 kg", {0, 8, 1, 1, 10, 11}, "0", "0;kg");
        row("unit end before start", kGerman, "+  12,50 kg", {2, 8, 1, 1, 11, 9}, "0", "12,50;");
        row("value not a number", kGerman, "+  ab,cd kg", standard, "0", "0,00;kg");
        row("leading number only", kGerman, "+  7,5x1 kg", standard, "0", "7,500;kg");
    }
    void cutting()
    {
        QFETCH(QString, locale);
        QFETCH(QString, telegram);
        QFETCH(QList<int>, columns);
        QFETCH(QString, trz);
        QFETCH(QString, expected);
        useLocale(locale);
        Fixture f;
        SettingsRecord &s = f.app.settings;
        s.mw_start = qint16(columns[0]);
        s.mw_end = qint16(columns[1]);
        s.mw_sign_anf = qint16(columns[2]);
        s.mw_sign_end = qint16(columns[3]);
        s.eh_start = qint16(columns[4]);
        s.eh_end = qint16(columns[5]);
        s.TRZ = trz;
        QCOMPARE(f.run(telegram), expected);
        QCOMPARE(f.app.strAusgabe, expected);
    }

    void blankTelegram()
    {
        Fixture f;
        f.app.settings.anzeigemodus = QStringLiteral("2");
        f.app.ID_Wert[1] = QStringLiteral("alt");
        f.app.strAusgabe = QStringLiteral("vorher");
        double seconds = 0;
        QCOMPARE(
            Telegramm_zerlegen(f.app, QStringLiteral("     "), 1, seconds, f.app.texts.TextID_1),
            QString());
        QCOMPARE(f.app.strAusgabe, QStringLiteral("vorher"));
        QCOMPARE(f.app.ID_Wert[1], QStringLiteral("alt"));
        QCOMPARE(seconds, 0.0);
        QVERIFY(f.prompts.shown.isEmpty());
    }

    void idFields()
    {
        Fixture f;
        f.app.settings.format = QStringLiteral("[{ID_1}|{ID_2}|{ID_4}|{ID_5}|{ID_10}]");
        f.app.settings.ID_anf[2] = 18;
        f.app.settings.ID_end[2] = 24; // runs past the end: the rest, untrimmed
        f.app.settings.ID_anf[4] = 5;  // end before start: not configured
        f.app.settings.ID_end[4] = 4;
        f.app.settings.ID_anf[5] = 0;
        f.app.settings.ID_end[5] = 3;
        f.app.ID_Wert[4] = QStringLiteral("vier");
        f.app.ID_Wert[5] = QStringLiteral("fünf");
        QCOMPARE(f.run(QStringLiteral("+  12,50 kg A123 B4 ")),
                 QStringLiteral("[A123|B4 |vier|fünf|A1]"));
        QCOMPARE(f.app.ID_Wert[2], QStringLiteral("B4 "));

        // The next telegram overwrites only the configured fields.
        f.app.settings.format = QStringLiteral("[{ID_1}|{ID_4}]");
        QCOMPARE(f.run(QStringLiteral("+  12,50 kg Z999")), QStringLiteral("[Z999|vier]"));
    }

    void displayModes_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("telegram");
        QTest::addColumn<double>("density");
        QTest::addColumn<double>("delta");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<double>("secondsAfter");
        const QString plus = QStringLiteral("+  12,50 kg");
        const QString minus = QStringLiteral("-  12,50 kg");
        QTest::newRow("weight") << "0" << plus << 0.8 << 5.0 << 0.0 << "12,50;kg" << 0.0;
        QTest::newRow("empty mode is weight")
            << "" << plus << 0.8 << 5.0 << 0.0 << "12,50;kg" << 0.0;
        QTest::newRow("unknown mode") << "7" << plus << 0.8 << 5.0 << 0.0 << "12,50;kg" << 0.0;
        QTest::newRow("volume rounds half away")
            << "1" << plus << 4.0 << 0.0 << 1.0 << "3,13;ml" << 1.0;
        QTest::newRow("volume of negated value")
            << "1" << minus << 4.0 << 0.0 << 1.0 << "-3,13;ml" << 1.0;
        QTest::newRow("volume, density 0") << "1" << plus << 0.0 << 0.0 << 1.0 << "12,50;ml" << 1.0;
        QTest::newRow("flow") << "2" << plus << 2.0 << 5.0 << 2.0 << "1,25;ml" << 2.0;
        QTest::newRow("flow, seconds 0 become 1")
            << "2" << plus << 2.0 << 5.0 << 0.0 << "2,50;ml" << 1.0;
        QTest::newRow("flow, density 0") << "2" << plus << 0.0 << 5.0 << 0.0 << "12,50;ml" << 1.0;
        QTest::newRow("flow rounded to the field's decimals")
            << "2" << QStringLiteral("+  12,5 kg") << 3.0 << 1.0 << 1.0 << "0,3;ml" << 1.0;
    }
    void displayModes()
    {
        QFETCH(QString, mode);
        QFETCH(QString, telegram);
        QFETCH(double, density);
        QFETCH(double, delta);
        QFETCH(double, seconds);
        QFETCH(QString, expected);
        QFETCH(double, secondsAfter);
        Fixture f;
        f.app.settings.anzeigemodus = mode;
        f.app.settings.st_dichte = density;
        QCOMPARE(f.run(telegram, delta, &seconds), expected);
        QCOMPARE(seconds, secondsAfter);
    }

    // Template expansion with the fixture's telegram: value "12,50", unit "kg",
    // ID 1 "A123", ID 2 "B45", ID 10 "A1", 04.03.2026 09:05:07.
    void expansion_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("texts"); // language texts changed, "Key=Value"
        QTest::addColumn<QString>("expected");
        auto row = [](const char *name, const char *format, const QStringList &texts,
                      const char *expected) {
            QTest::newRow(name) << QString::fromUtf8(format) << texts
                                << QString::fromUtf8(expected);
        };
        row("value twice, unit, key tokens", "{Messwert}{TAB}{Messwert} {Einheit}{ENTER}", {},
            "12,50{TAB}{Messwert} kg{ENTER}");
        row("unit text in free text first", "{Messwert} Einheit: {Einheit}", {},
            "12,50kg {Einheit}");
        row("ID_1 and ID_10", "{ID_1}-{ID_10}", {}, "A123-A1");
        row("ID_10 before ID_1", "{ID_10}-{ID_1}", {}, "A1-A123");
        row("every token once", "{Datum} {Uhrzeit} {ID_2} {Messwert} {Einheit}", {},
            "04.03.2026 09:05:07 B45 12,50 kg");
        row("key tokens stay", "{F1}{Messwert}{BS}{PGUP}{DEL}{HOME}", {},
            "{F1}12,50{BS}{PGUP}{DEL}{HOME}");
        row("no value token", "Nur Text {Einheit}", {}, "Nur Text kg");
        row("value token at position 1", "Messwert} {Einheit}", {}, "");
        row("other token at position 1", "Einheit} {Messwert}", {}, "Einheit} 12,50");
        row("empty value text", "x{Messwert}", {"TextMesswert="}, "");
        row("empty unit text", "{Messwert} {Einheit}", {"TextEinheit="}, "12,50 {Einheit}");
        row("empty ID-1 text splices the first brace", "{Messwert}{ID_1}", {"TextID_1="},
            "12,50{ID_A123");
        row("token only under its language", "{Messwert} {Unit}",
            {"TextMesswert=Value", "TextEinheit=Unit"}, "{Messwert} kg");
        row("replacement subject to a later step", "<{Einheit}>", {"TextDatum=kg"}, "04.03.2026");
        row("empty template", "", {}, "");
    }
    void expansion()
    {
        QFETCH(QString, format);
        QFETCH(QStringList, texts);
        QFETCH(QString, expected);
        Fixture f;
        for (const QString &assignment : texts) {
            const qsizetype eq = assignment.indexOf(QLatin1Char('='));
            QString *text = f.app.texts.text(assignment.left(eq));
            QVERIFY(text);
            *text = assignment.mid(eq + 1);
        }
        f.app.settings.format = format;
        QCOMPARE(f.run(kTelegram), expected);
        QCOMPARE(f.app.strAusgabe, expected);
        QVERIFY(f.prompts.shown.isEmpty());
    }

    void questions_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("answers"); // kCancel for Cancel
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QStringList>("asked"); // names asked for, in order
        auto row = [](const char *name, const char *format, const QStringList &answers,
                      const char *expected, const QStringList &asked) {
            QTest::newRow(name) << QString::fromUtf8(format) << answers
                                << QString::fromUtf8(expected) << asked;
        };
        row("two questions", "{Messwert};{?Charge};{?Los}", {"C7", "L9"}, "12,50;C7;L9",
            {"Charge", "Los"});
        row("cancel removes the token", "{Messwert}{?Charge}x", {kCancel}, "12,50x", {"Charge"});
        row("empty name", "{?}", {"5"}, "5", {""});
        row("question from an ID text", "{Messwert} {ID_3}", {"7"}, "12,50 7", {"Nr"});
        row("no closing brace", "{Messwert} {?Name", {}, "12,50 {?Name", {});
        row("question mark at position 1", "?abc} {Messwert}", {}, "?abc} 12,50", {});
        row("position 1 passed over", "?x {?Los}", {"9"}, "?x 9", {"Los"});
        row("answer with ? and a later brace", "{?A}x}", {"a?b"}, "a?bx}", {"A"});
        row("answer with ? before a question", "{?A}-{?B}", {"x?y", "z"}, "x?y-z", {"A", "B"});
        row("answer of ? alone", "{?A}", {"?"}, "?", {"A"});
        row("answer with a token", "{?A}", {"{?B}"}, "{?B}", {"A"});
    }
    void questions()
    {
        QFETCH(QString, format);
        QFETCH(QStringList, answers);
        QFETCH(QString, expected);
        QFETCH(QStringList, asked);
        Fixture f;
        for (const QString &answer : answers)
            f.prompts.inputAnswers
                << (answer == kCancel ? std::nullopt : std::optional<QString>(answer));
        f.app.settings.format = format;
        QCOMPARE(f.run(kTelegram), expected);
        QStringList prompts;
        for (const QString &name : asked)
            prompts << QStringLiteral("Wert für ") + name + QStringLiteral(" eingeben");
        QCOMPARE(f.questionsAsked(), prompts);
        QCOMPARE(f.prompts.shown.size(), asked.size()); // nothing else was shown
        QCOMPARE(f.app.hasMainWindow(), !asked.isEmpty());
    }
};

QTEST_MAIN(TstOutputBuilder)
#include "tst_output_builder.moc"
