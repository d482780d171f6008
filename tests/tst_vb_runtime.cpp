#include "platform/vb/vb_runtime.h"

#include <QLocale>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

const QString kGerman = QStringLiteral("de_DE");
const QString kC = QStringLiteral("C");

// A row name with the text's tabs and line feeds made visible.
QByteArray tag(const QString &locale, const char *text)
{
    QByteArray name = locale.toUtf8() + ' ' + text;
    return name.replace('\t', "\\t").replace('\n', "\\n");
}

} // namespace

// Every table row names the locale it runs under; the conversions that must not
// depend on it are run under both.
class TstVbRuntime : public QObject {
    Q_OBJECT

private:
    static void useLocale(const QString &name) { QLocale::setDefault(QLocale(name)); }

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void val_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        for (const QString &locale : {kGerman, kC}) {
            auto row = [&](const char *text, double expected) {
                QTest::newRow(tag(locale, text).constData())
                    << locale << QString::fromUtf8(text) << expected;
            };
            row(" 1 2.5", 12.5);
            row("\t7\n8", 78);
            row("1e3", 1000);
            row("2E-2x", 0.02);
            row("1D2", 100);
            row("1e", 1);
            row("1e+", 1);
            row("-.5", -0.5);
            row("- 3", -3);
            row("+4", 4);
            row("abc", 0);
            row("12abc", 12);
            row("1,5", 1);
            row("1.2.3", 1.2);
            row("", 0);
            row(".", 0);
            row("--5", 0);
            row("1e400", 0);
            row("1e-400", 0);
        }
    }
    void val()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(double, expected);
        useLocale(locale);
        QCOMPARE(vb::Val(text), expected);
    }

    void numeric_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("numeric");
        QTest::addColumn<double>("value");
        auto row = [](const QString &locale, const char *text, bool numeric, double value) {
            QTest::newRow(tag(locale, text).constData())
                << locale << QString::fromUtf8(text) << numeric << value;
        };
        row(kGerman, "1,5", true, 1.5);
        row(kGerman, "0,998", true, 0.998);
        row(kGerman, "1.500", true, 1500);
        row(kGerman, "1.500,25", true, 1500.25);
        row(kGerman, "12.345.678", true, 12345678);
        row(kGerman, " 12 ", true, 12);
        row(kGerman, "\t7\t", true, 7);
        row(kGerman, "-3", true, -3);
        row(kGerman, "3-", true, -3);
        row(kGerman, "- 3", true, -3);
        row(kGerman, "3 -", true, -3);
        row(kGerman, "+3", true, 3);
        row(kGerman, "3+", true, 3);
        row(kGerman, ",5", true, 0.5);
        row(kGerman, "5,", true, 5);
        row(kGerman, "1E3", true, 1000);
        row(kGerman, "1,5e-1", true, 0.15);
        row(kGerman, "1e-400", true, 0);
        row(kGerman, "1.5", false, 0);
        row(kGerman, "1234.567", false, 0);
        row(kGerman, ".500", false, 0);
        row(kGerman, "1.", false, 0);
        row(kGerman, "1,2,3", false, 0);
        row(kGerman, "", false, 0);
        row(kGerman, " ", false, 0);
        row(kGerman, "-", false, 0);
        row(kGerman, "abc", false, 0);
        row(kGerman, "12abc", false, 0);
        row(kGerman, "1 2", false, 0);
        row(kGerman, "--3", false, 0);
        row(kGerman, "-3-", false, 0);
        row(kGerman, "1E", false, 0);
        row(kGerman, "1e400", false, 0);
        row(kC, "1.5", true, 1.5);
        row(kC, ".5", true, 0.5);
        row(kC, "-.5", true, -0.5);
        row(kC, "1,500", true, 1500);
        row(kC, "1,500.5", true, 1500.5);
        row(kC, "1e3", true, 1000);
        row(kC, "1,5", false, 0);
        row(kC, "1.2.3", false, 0);
    }
    void numeric()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(bool, numeric);
        QFETCH(double, value);
        useLocale(locale);
        QCOMPARE(vb::IsNumeric(text), numeric);
        const auto converted = vb::CDbl(text);
        QCOMPARE(converted.has_value(), numeric);
        if (numeric)
            QCOMPARE(*converted, value);
    }

    void integers_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isInt");
        QTest::addColumn<int>("intValue");
        QTest::addColumn<bool>("isLong");
        QTest::addColumn<qint64>("longValue");
        auto row = [](const QString &locale, const char *text, std::optional<int> cint,
                      std::optional<qint64> clng) {
            QTest::newRow(tag(locale, text).constData())
                << locale << QString::fromUtf8(text) << cint.has_value() << cint.value_or(0)
                << clng.has_value() << clng.value_or(0);
        };
        row(kGerman, "2,5", 2, 2);
        row(kGerman, "3,5", 4, 4);
        row(kGerman, "-2,5", -2, -2);
        row(kGerman, "-3,5", -4, -4);
        row(kGerman, "0,5", 0, 0);
        row(kGerman, "2,6", 3, 3);
        row(kGerman, "-2,4", -2, -2);
        row(kGerman, " 11 ", 11, 11);
        row(kGerman, "32767", 32767, 32767);
        row(kGerman, "32767,4", 32767, 32767);
        row(kGerman, "32767,5", std::nullopt, 32768);
        row(kGerman, "-32768,5", -32768, -32768);
        row(kGerman, "-32769", std::nullopt, -32769);
        row(kGerman, "1.000", 1000, 1000);
        row(kGerman, "2147483647,4", std::nullopt, 2147483647);
        row(kGerman, "2147483647,5", std::nullopt, std::nullopt);
        row(kGerman, "-2147483648,5", std::nullopt, -2147483648LL);
        row(kGerman, "2.5", std::nullopt, std::nullopt);
        row(kGerman, " ", std::nullopt, std::nullopt);
        row(kGerman, "abc", std::nullopt, std::nullopt);
        row(kC, "2.5", 2, 2);
        row(kC, "1,000", 1000, 1000);
        row(kC, "2,5", std::nullopt, std::nullopt);
    }
    void integers()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(bool, isInt);
        QFETCH(int, intValue);
        QFETCH(bool, isLong);
        QFETCH(qint64, longValue);
        useLocale(locale);
        const auto cint = vb::CInt(text);
        QCOMPARE(cint.has_value(), isInt);
        if (isInt)
            QCOMPARE(int(*cint), intValue);
        const auto clng = vb::CLng(text);
        QCOMPARE(clng.has_value(), isLong);
        if (isLong)
            QCOMPARE(qint64(*clng), longValue);
    }

    void integersOfNonFinite()
    {
        for (const double value :
             {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
              -std::numeric_limits<double>::infinity()}) {
            QVERIFY(!vb::CInt(value));
            QVERIFY(!vb::CLng(value));
        }
    }

    void str_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        for (const QString &locale : {kGerman, kC}) {
            auto row = [&](double value, const char *expected) {
                QTest::addRow("%s %.17g", qPrintable(locale), value)
                    << locale << value << QString::fromUtf8(expected);
            };
            row(9600, " 9600");
            row(-3, "-3");
            row(1.5, " 1.5");
            row(0, " 0");
            row(-0.0, " 0");
            row(0.5, " .5");
            row(-0.5, "-.5");
            row(0.1 + 0.2, " .3");
            row(1.0 / 3, " .333333333333333");
            row(-1234.5, "-1234.5");
            row(123456789012345, " 123456789012345");
            row(1e15, " 1E+15");
            row(0.0001, " .0001");
            row(1e-5, " 1E-05");
            row(-2.5e-10, "-2.5E-10");
        }
    }
    void str()
    {
        QFETCH(QString, locale);
        QFETCH(double, value);
        QFETCH(QString, expected);
        useLocale(locale);
        QCOMPARE(vb::Str(value), expected);
    }

    void cstr_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        auto row = [](const QString &locale, double value, const char *expected) {
            QTest::addRow("%s %s", qPrintable(locale), expected)
                << locale << value << QString::fromUtf8(expected);
        };
        row(kGerman, 1, "1");
        row(kGerman, 0.5, "0,5");
        row(kGerman, -0.25, "-0,25");
        row(kGerman, 1234567.5, "1234567,5");
        row(kGerman, 0.1 + 0.2, "0,3");
        row(kGerman, 1.0 / 3, "0,333333333333333");
        row(kGerman, 0, "0");
        row(kGerman, 1e15, "1E+15");
        row(kGerman, 1e-5, "1E-05");
        row(kC, 0.5, "0.5");
        row(kC, 1234567.25, "1234567.25");
        row(kC, -1e-5, "-1E-05");
    }
    void cstr()
    {
        QFETCH(QString, locale);
        QFETCH(double, value);
        QFETCH(QString, expected);
        useLocale(locale);
        QCOMPARE(vb::CStr(value), expected);
    }

    // The density is saved with CStr and loaded with CDbl.
    void cstrReadsBackWithCDbl_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<double>("value");
        for (const QString &locale : {kGerman, kC}) {
            for (const double value : {0.998, 1.0, 1234.5, -0.001, 1e15, 1e-5, 123456789.125})
                QTest::addRow("%s %g", qPrintable(locale), value) << locale << value;
        }
    }
    void cstrReadsBackWithCDbl()
    {
        QFETCH(QString, locale);
        QFETCH(double, value);
        useLocale(locale);
        QCOMPARE(vb::CDbl(vb::CStr(value)), std::optional<double>(value));
    }

    void cbool_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("expected");
        auto row = [](const QString &locale, const char *text, std::optional<bool> expected) {
            QTest::newRow(tag(locale, text).constData())
                << locale << QString::fromUtf8(text) << expected.has_value()
                << expected.value_or(false);
        };
        row(kGerman, "True", true);
        row(kGerman, "true", true);
        row(kGerman, " TRUE ", true);
        row(kGerman, "False", false);
        row(kGerman, "fAlSe", false);
        row(kGerman, "-1", true);
        row(kGerman, "0", false);
        row(kGerman, "2", true);
        row(kGerman, "0,0", false);
        row(kGerman, "0,5", true);
        row(kC, "0.5", true);
        row(kC, "-0", false);
        row(kGerman, "", std::nullopt);
        row(kGerman, "yes", std::nullopt);
        row(kGerman, "Wahr", std::nullopt);
        row(kGerman, "True1", std::nullopt);
    }
    void cbool()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(bool, expected);
        useLocale(locale);
        const auto value = vb::CBool(text);
        QCOMPARE(value.has_value(), valid);
        if (valid)
            QCOMPARE(*value, expected);
    }

    void boolText()
    {
        for (const QString &locale : {kGerman, kC}) {
            useLocale(locale);
            QCOMPARE(vb::BoolText(true), QStringLiteral("True"));
            QCOMPARE(vb::BoolText(false), QStringLiteral("False"));
        }
    }

    void dates_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("expected");
        for (const QString &locale : {kGerman, kC}) {
            auto row = [&](const char *text, QDate expected) {
                QTest::newRow(tag(locale, text).constData())
                    << locale << QString::fromUtf8(text) << expected;
            };
            row("10.12.2024", QDate(2024, 12, 10));
            row("01.02.2024", QDate(2024, 2, 1));
            row("1.2.2024", QDate(2024, 2, 1));
            row(" 10.12.2024 ", QDate(2024, 12, 10));
            row("29.02.2024", QDate(2024, 2, 29));
            row("2024-12-10", QDate(2024, 12, 10));
            row("29.02.2023", QDate());
            row("31.04.2024", QDate());
            row("2024-2-1", QDate());
            row("12/10/2024", QDate());
            row("10.12.24", QDate());
            row("10.12.2024 08:00:00", QDate());
            row("", QDate());
            row(" ", QDate());
        }
    }
    void dates()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(QDate, expected);
        useLocale(locale);
        QCOMPARE(vb::CDate(text).value_or(QDate()), expected);
        QCOMPARE(vb::IsDate(text), expected.isValid());
    }

    void times_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QTime>("expected");
        for (const QString &locale : {kGerman, kC}) {
            auto row = [&](const char *text, QTime expected) {
                QTest::newRow(tag(locale, text).constData())
                    << locale << QString::fromUtf8(text) << expected;
            };
            row("8:5", QTime(8, 5));
            row("08:05", QTime(8, 5));
            row("8:05:09", QTime(8, 5, 9));
            row("23:59:59", QTime(23, 59, 59));
            row(" 7:30 ", QTime(7, 30));
            row("0:00", QTime(0, 0));
            row("24:00", QTime());
            row("12:60", QTime());
            row("12:30:60", QTime());
            row("7", QTime());
            row("7:30:", QTime());
            row("07.30", QTime());
            row("123:00", QTime());
            row("", QTime());
        }
    }
    void times()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(QTime, expected);
        useLocale(locale);
        QCOMPARE(vb::CTime(text).value_or(QTime()), expected);
    }

    // What loading writes as defaults must read back as the same day and second.
    void dateAndTimeTextsReadBack_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QDateTime>("moment");
        QTest::addColumn<QString>("text");
        for (const QString &locale : {kGerman, kC}) {
            QTest::addRow("%s morning", qPrintable(locale))
                << locale << QDateTime(QDate(2024, 2, 1), QTime(8, 5, 9))
                << QStringLiteral("01.02.2024 08:05:09");
            QTest::addRow("%s night", qPrintable(locale))
                << locale << QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59))
                << QStringLiteral("31.12.1999 23:59:59");
        }
    }
    void dateAndTimeTextsReadBack()
    {
        QFETCH(QString, locale);
        QFETCH(QDateTime, moment);
        QFETCH(QString, text);
        useLocale(locale);
        QCOMPARE(vb::DateTimeText(moment), text);
        QCOMPARE(vb::CDate(vb::DateText(moment.date())), std::optional<QDate>(moment.date()));
        QCOMPARE(vb::CTime(vb::TimeText(moment.time())), std::optional<QTime>(moment.time()));
    }

    void invalidDateAndTimeGiveEmptyText()
    {
        QCOMPARE(vb::DateText(QDate()), QString());
        QCOMPARE(vb::TimeText(QTime()), QString());
    }
};

QTEST_GUILESS_MAIN(TstVbRuntime)
#include "tst_vb_runtime.moc"
