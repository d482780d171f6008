#include "core/delivery/delivery.h"
#include "core/mainform/mainform.h"
#include "core/mainform/panel_bar.h"
#include "platform/x11/keyboard.h"
#include "platform/x11/window_list.h"
#include "tests/support/sqlite_cli.h"
#include "tests/support/test_app.h"
#include "tests/support/workbook_files.h"

#include <QJsonArray>
#include <QLineEdit>
#include <QtTest>

#include <utility>

// Wert_senden hands each target its own delivery, after one beep. The window
// targets are tested on a real X server (tst_x11_delivery).
class tst_delivery : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void eachTargetGetsTheString();
    void nestedDeliveryWaitsItsTurn();
    void keystrokesWithoutDisplayAreReported_data();
    void keystrokesWithoutDisplayAreReported();
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

// A send that arrives while a delivery shows its message (events run) is
// delivered after it, not in the middle of it.
void tst_delivery::nestedDeliveryWaitsItsTurn()
{
    TestApp t;
    t.app.settings.anwendung = QStringLiteral("Excel-Datei");
    t.app.settings.ExcelFile = t.path(QStringLiteral("fehlt.xlsx"));
    bool nested = false;
    qsizetype shownDuringNested = -1;
    t.prompts.onMessage = [&](const QString &) {
        if (std::exchange(nested, true))
            return;
        const qsizetype before = t.prompts.shown.size();
        Wert_senden(t.app, QStringLiteral("zweiter"));
        shownDuringNested = t.prompts.shown.size() - before;
    };

    QVERIFY(!Wert_senden(t.app, QStringLiteral("erster")).isEmpty());
    QCOMPARE(shownDuringNested, 0);
    QCOMPARE(t.prompts.messages().size(), 2);
    QCOMPARE(t.prompts.beeps, 2);
    QVERIFY(!t.app.delivering);
}

void tst_delivery::keystrokesWithoutDisplayAreReported_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("window title") << QStringLiteral("Editor");
    QTest::newRow("*free*") << QStringLiteral("*free*");
}

// Without an X display there is nothing to type into: the status says so, and
// the window stays online (no "nicht aktiv" message, no buttons pressed).
void tst_delivery::keystrokesWithoutDisplayAreReported()
{
    QFETCH(QString, target);
    TestApp t;
    t.app.settings.anwendung = target;
    t.app.installKeyboard(std::make_unique<X11Keyboard>(QStringLiteral(":4711")));
    t.app.installWindows(std::make_unique<X11WindowList>(QStringLiteral(":4711")));
    mainform &mw = t.app.mainWindow();

    const QString failure = Wert_senden(t.app, QStringLiteral("12,50"));
    QVERIFY2(failure.contains(QStringLiteral(":4711")), qPrintable(failure));
    QCOMPARE(mw.Status()->panelText(1), failure);
    QCOMPARE(t.prompts.messages(), QStringList());
    QVERIFY(mw.isOnline());
}

QTEST_MAIN(tst_delivery)
#include "tst_delivery.moc"
