#include "core/delivery/access_target.h"
#include "core/mainform/mainform.h"
#include "core/mainform/panel_bar.h"
#include "tests/support/file_bytes.h"
#include "tests/support/sqlite_cli.h"
#include "tests/support/test_app.h"

#include <QDir>
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
    void fieldsWithoutColumnAreLeftOut_data();
    void fieldsWithoutColumnAreLeftOut();
    void refusedRecordLeavesNoNote();
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

    QTest::newRow("missing file") << "fehlt.db" << QByteArray() << "Werte"
                                  << "does not exist";
    QTest::newRow("Access file named directly")
        << "werte.mdb" << QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) << "Werte"
        << "Access files (.mdb, .accdb) cannot be written on this system";
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

void tst_access_target::fieldsWithoutColumnAreLeftOut_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("leftOut"); // "" when every field found a column

    QTest::newRow("fifth field has text") << "1{TAB}{TAB}3{TAB}{TAB}%2{TAB}"
                                          << "'1'|NULL|'3'"
                                          << "1 field found no column (the table has 3 columns)";
    QTest::newRow("two fields too many, each after a gap")
        << "1{TAB}2{TAB}3{TAB}x{TAB}{TAB}y{TAB}"
        << "'1'|'2'|'3'"
        << "2 fields found no column (the table has 3 columns)";
    QTest::newRow("fields beyond the table empty") << "1{TAB}2{TAB}3{TAB}{TAB}{TAB}"
                                                   << "'1'|'2'|'3'"
                                                   << "";
    QTest::newRow("unclosed text beyond the table is no field") << "1{TAB}2{TAB}3{TAB}x"
                                                                << "'1'|'2'|'3'"
                                                                << "";
}

// The record goes in with the fields that have a column; how many found none is
// said once, in the status panel and in the protocol.
void tst_access_target::fieldsWithoutColumnAreLeftOut()
{
    QFETCH(QString, text);
    QFETCH(QString, row);
    QFETCH(QString, leftOut);
    Fixture f;
    QDir::setCurrent(f.t.folder.path());
    const QString protocol = f.t.path(QStringLiteral("protocol.txt"));

    const QString failure = f.deliver(text);

    QCOMPARE(sqlite(f.db, kRows), QStringList{row});
    if (leftOut.isEmpty()) {
        QCOMPARE(failure, QString());
        QCOMPARE(f.status(), QString());
        QVERIFY(!QFile::exists(protocol));
        return;
    }
    QCOMPARE(
        failure,
        QStringLiteral("Access-Datenbank %1, table Werte: record added, %2").arg(f.db, leftOut));
    QCOMPARE(f.status(), failure);
    QCOMPARE(readFileBytes(protocol), failure.toUtf8() + "\r\n");
    QVERIFY(f.t.prompts.shown.isEmpty());
}

// A database that refuses the record keeps its own reason: no record, nothing
// said about fields, nothing in the protocol.
void tst_access_target::refusedRecordLeavesNoNote()
{
    Fixture f;
    QDir::setCurrent(f.t.folder.path());
    {
        LockHolder other;
        QVERIFY(other.hold(f.db, "BEGIN IMMEDIATE; INSERT INTO Werte VALUES ('fremd', '', '');"));

        const QString failure = f.deliver(QStringLiteral("1{TAB}2{TAB}3{TAB}x{TAB}"));

        QVERIFY2(
            failure.startsWith(QStringLiteral("Access-Datenbank %1, table Werte: ").arg(f.db)) &&
                failure.contains(QLatin1String("locked")) &&
                !failure.contains(QLatin1String("column")),
            qPrintable(failure));
        QCOMPARE(f.status(), failure);
    }
    QVERIFY(!QFile::exists(f.t.path(QStringLiteral("protocol.txt"))));
    QCOMPARE(sqlite(f.db, kRows), QStringList());
}

QTEST_MAIN(tst_access_target)
#include "tst_access_target.moc"
