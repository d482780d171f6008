#include "core/delivery/delivery.h"
#include "core/mainform/mainform.h"
#include "tests/support/sqlite_cli.h"
#include "tests/support/test_app.h"
#include "tests/support/workbook_files.h"

#include <QJsonArray>
#include <QLineEdit>
#include <QtTest>

// Wert_senden hands each target its own delivery, after one beep. The window
// targets are tested on a real X server (tst_x11_delivery).
class tst_delivery : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void eachTargetGetsTheString();
};

void tst_delivery::eachTargetGetsTheString()
{
    TestApp t;
    SettingsRecord &s = t.app.settings;
    s.ExcelFile = t.path(QStringLiteral("werte.xlsx"));
    s.AccessFile = t.path(QStringLiteral("werte.db"));
    s.AccessTable = QStringLiteral("Werte");
    s.TextFile = t.path(QStringLiteral("werte.txt"));
    QVERIFY(makeWorkbook(s.ExcelFile, 4));
    QCOMPARE(sqlite(s.AccessFile, QStringLiteral("CREATE TABLE Werte(wert REAL, einheit TEXT)")),
             QStringList());
    const QString value = QStringLiteral("12,50{TAB}g{TAB}");

    for (const char *target :
         {"Excel-Datei", "Access-Datenbank", "Text-Datei", "DDE-Kanal", "XML-Datei"}) {
        s.anwendung = QString::fromLatin1(target);
        QCOMPARE(Wert_senden(t.app, value), QString());
    }

    QCOMPARE(t.prompts.beeps, 5);
    const QJsonObject cells = readWithOpenpyxl(s.ExcelFile, QStringLiteral("Tabelle1"),
                                               {QStringLiteral("A5"), QStringLiteral("B5")})
                                  .value(QStringLiteral("cells"))
                                  .toObject();
    QCOMPARE(cells.value(QStringLiteral("A5")).toArray().at(0).toDouble(), 12.5);
    QCOMPARE(cells.value(QStringLiteral("B5")).toArray().at(0).toString(), QStringLiteral("g"));
    QCOMPARE(sqlite(s.AccessFile, QStringLiteral("SELECT wert, einheit FROM Werte")),
             QStringList{QStringLiteral("12.5|g")});
    QFile text(s.TextFile);
    QVERIFY(text.open(QIODevice::ReadOnly));
    QCOMPARE(text.readAll(), QByteArray("12,50{TAB}g{TAB}\r\n"));
    QCOMPARE(t.app.mainWindow().DDESTRING()->text(), value);
    QCOMPARE(t.prompts.messages(), QStringList());
}

QTEST_MAIN(tst_delivery)
#include "tst_delivery.moc"
