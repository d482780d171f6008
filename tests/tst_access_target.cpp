#include "core/delivery/access_target.h"
#include "core/mainform/mainform.h"
#include "core/mainform/panel_bar.h"
#include "tests/support/file_bytes.h"
#include "tests/support/sqlite_cli.h"
#include "tests/support/test_app.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QtTest>

namespace {

const QString kRows = QStringLiteral("SELECT quote(a), quote(b), quote(c) FROM Werte");

// An App whose target is table Werte(a, b, c) of werte.db in its folder.
struct Fixture {
    TestApp t;
    QString db = t.path(QStringLiteral("werte.db"));

    Fixture()
    {
        sqlite(db, QStringLiteral("CREATE TABLE Werte(a TEXT, b TEXT, c TEXT)"));
        t.app.settings.anwendung = QStringLiteral("Access-Datenbank");
        t.app.settings.AccessFile = db;
        t.app.settings.AccessTable = QStringLiteral("Werte");
    }
    QString deliver(const QString &text) { return toAccessDatabase(t.app, text); }
    QString status() { return t.app.mainWindow().Status()->panelText(1); }
};

} // namespace

class tst_access_target : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); }
    void cleanup() { QCOMPARE(QSqlDatabase::connectionNames(), QStringList()); }

    void fieldsGoToColumnsByPosition_data();
    void fieldsGoToColumnsByPosition();
    void failureIsShownAndDataKept_data();
    void failureIsShownAndDataKept();
    void fieldWithoutColumnIsReported();
};

void tst_access_target::fieldsGoToColumnsByPosition_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("rows");

    QTest::newRow("two texts, one {TAB} between")
        << "12,50{TAB}g" << QStringList{"'12,50'|NULL|NULL"};
    QTest::newRow("no {TAB}: no record") << "12,50" << QStringList();
    QTest::newRow("{TAB} in other case is text") << "12,50{tab}g" << QStringList();
    QTest::newRow("every field closed") << "12,50{TAB}g{TAB}" << QStringList{"'12,50'|'g'|NULL"};
    QTest::newRow("empty field skipped, counted")
        << "12,50{TAB}{TAB}08:30{TAB}" << QStringList{"'12,50'|NULL|'08:30'"};
    QTest::newRow("empty first field") << "{TAB}g{TAB}" << QStringList{"NULL|'g'|NULL"};
    QTest::newRow("only {TAB}: record of defaults") << "{TAB}" << QStringList{"NULL|NULL|NULL"};
    QTest::newRow("key tokens are text")
        << "{ENTER}{TAB}a'b\"c{TAB}" << QStringList{"'{ENTER}'|'a''b\"c'|NULL"};
}

void tst_access_target::fieldsGoToColumnsByPosition()
{
    QFETCH(QString, text);
    QFETCH(QStringList, rows);

    Fixture f;
    QCOMPARE(f.deliver(text), QString());
    QCOMPARE(sqlite(f.db, kRows), rows);
    QCOMPARE(f.status(), QString());
    // The next delivery adds the next record.
    QCOMPARE(f.deliver(text), QString());
    QCOMPARE(sqlite(f.db, kRows), rows + rows);
}

void tst_access_target::failureIsShownAndDataKept_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content"); // empty: a database made by the fixture
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing file") << "fehlt.mdb" << QByteArray() << "Werte"
                                  << "does not exist";
    QTest::newRow("text file") << "werte.txt" << QByteArray("Gewicht\r\n12,50\r\n") << "Werte"
                               << "not a database";
    QTest::newRow("no such table") << "werte.db" << QByteArray() << "Wägung"
                                   << "no table";
}

void tst_access_target::failureIsShownAndDataKept()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QFETCH(QString, table);
    QFETCH(QString, reason);

    Fixture f;
    const QString file = content.isEmpty() ? f.t.path(fileName) : f.t.writeFile(fileName, content);
    const bool existed = QFile::exists(file);
    const QByteArray before = readFileBytes(file);
    f.t.app.settings.AccessFile = file;
    f.t.app.settings.AccessTable = table;

    const QString failure = f.deliver(QStringLiteral("12,50{TAB}g{TAB}"));
    QVERIFY2(failure.contains(file) && failure.contains(table) && failure.contains(reason),
             qPrintable(failure));
    QCOMPARE(f.status(), failure);
    QCOMPARE(QFile::exists(file), existed);
    QCOMPARE(readFileBytes(file), before);
    QVERIFY(f.t.prompts.shown.isEmpty());
}

void tst_access_target::fieldWithoutColumnIsReported()
{
    Fixture f;
    const QString failure = f.deliver(QStringLiteral("1{TAB}{TAB}3{TAB}{TAB}%2{TAB}"));
    // The fields with a column are kept; the lost one is named.
    QCOMPARE(sqlite(f.db, kRows), QStringList{"'1'|NULL|'3'"});
    QVERIFY2(failure.contains(QLatin1String("\"%2\"")) &&
                 failure.contains(QLatin1String("3 columns")),
             qPrintable(failure));
    QCOMPARE(f.status(), failure);
}

QTEST_MAIN(tst_access_target)
#include "tst_access_target.moc"
