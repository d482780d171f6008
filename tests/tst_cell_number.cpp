#include "platform/office/cell_number.h"

#include <QtTest>

#include <cmath>

// The rule shared by the workbook and the database, per locale.
class tst_cell_number : public QObject {
    Q_OBJECT
private slots:
    void plainNumbersOnly_data();
    void plainNumbersOnly();
};

void tst_cell_number::plainNumbersOnly_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("number"); // invalid: stays text

    const QVariant text;
    const auto row = [](const QByteArray &name, const char *locale, const QString &field,
                        const QVariant &number) {
        QTest::newRow(name.constData()) << QString::fromLatin1(locale) << field << number;
    };
    for (const char *locale : {"de_DE", "en_US", "fr_FR", "C"}) {
        const auto name = [&](const char *what) {
            return QByteArray(locale) + ": " + what;
        };
        row(name("point"), locale, "12.50", 12.5);
        row(name("blanks and sign"), locale, " \t-3.25 ", -3.25);
        row(name("plus sign"), locale, "+7", 7.0);
        row(name("zero"), locale, "0", 0.0);
        row(name("negative zero point"), locale, "-0.5", -0.5);
        row(name("point first"), locale, ".5", 0.5);
        row(name("point last"), locale, "5.", 5.0);
        row(name("fifteen digits"), locale, "123456789012345", 123456789012345.0);
        row(name("leading zeros of a fraction"), locale, "0.000000000000001234", 1.234e-15);
        row(name("sixteen digits"), locale, "1234567890123456", text);
        row(name("twenty-digit code"), locale, "12345678901234567890", text);
        row(name("trailing zeros count"), locale, "1.000000000000000", text);
        row(name("leading zero"), locale, "007", text);
        row(name("leading zeros, fraction"), locale, "00.5", text);
        row(name("negative leading zero"), locale, "-01", text);
        row(name("two points"), locale, "1.2.3", text);
        row(name("two signs"), locale, "--1", text);
        row(name("sign alone"), locale, "-", text);
        row(name("point alone"), locale, ".", text);
        row(name("empty"), locale, "", text);
        row(name("blanks only"), locale, "   ", text);
        row(name("blank inside"), locale, "1 500", text);
        row(name("unit"), locale, "12.5 g", text);
        row(name("exponent"), locale, "1e5", text);
        row(name("infinity"), locale, "inf", text);
        row(name("not a number"), locale, "nan", text);
        row(name("hexadecimal"), locale, "0x1A", text);
        row(name("non-ASCII digits"), locale, QString::fromUtf8("١٢"), text);
    }
    row("de_DE: decimal comma", "de_DE", "12,50", 12.5);
    row("de_DE: comma first", "de_DE", ",5", 0.5);
    row("de_DE: zero comma", "de_DE", "0,5", 0.5);
    row("de_DE: zeros before comma", "de_DE", "00,5", text);
    row("de_DE: grouped with comma", "de_DE", "1.234,5", text);
    row("de_DE: point and comma", "de_DE", "1,5.5", text);
    row("de_DE: instrument's point", "de_DE", "1.250", 1.25);
    row("fr_FR: decimal comma", "fr_FR", "12,50", 12.5);
    row("fr_FR: group space", "fr_FR", QString::fromUtf8("1\u202f500"), text);
    row("fr_FR: group no-break space", "fr_FR", QString::fromUtf8("1\u00a0500,5"), text);
    row("en_US: group comma", "en_US", "1,500", text);
    row("en_US: comma", "en_US", "12,50", text);
    row("C: comma", "C", "12,50", text);
}

void tst_cell_number::plainNumbersOnly()
{
    QFETCH(QString, locale);
    QFETCH(QString, field);
    QFETCH(QVariant, number);
    const std::optional<double> read = plainNumber(field, QLocale(locale));
    QCOMPARE(read.has_value(), number.isValid());
    if (read)
        QCOMPARE(*read, number.toDouble());
}

QTEST_GUILESS_MAIN(tst_cell_number)
#include "tst_cell_number.moc"
