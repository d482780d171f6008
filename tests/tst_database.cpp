#include "platform/office/database.h"

#include "tests/support/file_bytes.h"
#include "tests/support/sqlite_cli.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QtTest>

using namespace std::chrono_literals;

namespace {

QString quoted(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) +
           QLatin1Char('"');
}

} // namespace

class tst_database : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); }
    // Every open gave its connection back, whatever became of it.
    void cleanup() { QCOMPARE(QSqlDatabase::connectionNames(), QStringList()); }

    void refusesWhatIsNoDatabase_data();
    void refusesWhatIsNoDatabase();
    void writesAwkwardNames_data();
    void writesAwkwardNames();
    void fieldsByPosition();
    void numericColumnsGetNumbers_data();
    void numericColumnsGetNumbers();
    void tableListHidesSystemTables();
    void lockedDatabaseFailsInBoundedTime_data();
    void lockedDatabaseFailsInBoundedTime();
    void odbcSourceNeedsDriver();
};

void tst_database::refusesWhatIsNoDatabase_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");

    const QByteArray text("Gewicht;12,50 g\r\n");
    const QByteArray jet("\x00\x01\x00\x00Standard Jet DB\x00", 20);
    const QString access = "Access files (.mdb, .accdb) cannot be written on this system: an "
                           "SQLite file, or an ODBC data source";
    QTest::newRow("missing") << "werte.db" << false << QByteArray() << "does not exist";
    QTest::newRow("Access file") << "werte.mdb" << true << jet << access;
    QTest::newRow("missing Access file") << "werte.mdb" << false << QByteArray() << access;
    QTest::newRow("Access 2007 file, name in capitals") << "WERTE.ACCDB" << true << jet << access;
    QTest::newRow("missing, ?#% in name")
        << "w?e#r%20te.db" << false << QByteArray() << "does not exist";
    QTest::newRow("text file") << "werte.txt" << true << text << "not a database";
    // A wrongly escaped name would open (or fail to find) another file.
    QTest::newRow("text file, ?#% and blank in name")
        << "we rte?mode=rwc#x%3F.db" << true << text << "not a database";
    QTest::newRow("binary file") << "bild.png" << true << QByteArray("\x89PNG\r\n\x1a\n", 8)
                                 << "not a database";
}

void tst_database::refusesWhatIsNoDatabase()
{
    QFETCH(QString, fileName);
    QFETCH(bool, exists);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    const QString file = dir.filePath(fileName);
    if (exists) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
    }
    QString error;
    QVERIFY(!Workspace().OpenDatabase(file, &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    // Nothing created beside it, nothing changed in it.
    const QStringList expected = exists ? QStringList{fileName} : QStringList();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), expected);
    QCOMPARE(readFileBytes(file), content);
}

void tst_database::writesAwkwardNames_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("table");

    const auto row = [](const char *name, const QString &fileName, const QString &table) {
        QTest::newRow(name) << fileName << table;
    };
    row("plain", "werte.db", "Werte");
    row("?#% blank and umlaut in path", "Wä ge?#%41.db", "Werte");
    row("blank in table", "werte.db", "Mess werte");
    row("quote in table", "werte.db", "Wä\"gung");
    row("quote at both ends", "werte.db", "\"Werte\"");
    row("dot in table", "werte.db", "main.Werte");
    row("brackets in table", "werte.db", "[Werte]");
    row("apostrophe in table", "werte.db", "Kunde's");
}

void tst_database::writesAwkwardNames()
{
    QFETCH(QString, fileName);
    QFETCH(QString, table);

    QTemporaryDir dir;
    const QString file = dir.filePath(fileName);
    // A decoy of the same base name catches a quoting that loses the quotes.
    QCOMPARE(sqlite(file, QStringLiteral("CREATE TABLE Werte(a, b); CREATE TABLE IF NOT EXISTS %1 "
                                         "(a TEXT, b TEXT);")
                              .arg(quoted(table))),
             QStringList());

    QString error;
    const auto db = Workspace().OpenDatabase(file, &error);
    QVERIFY2(db, qPrintable(error));
    const auto records = db->OpenRecordset(table, &error);
    QVERIFY2(records, qPrintable(error));
    records->AddNew();
    QVERIFY(records->setField(0, QStringLiteral("it's \"1\"; DROP TABLE Werte"), &error));
    QVERIFY2(records->Update(&error), qPrintable(error));

    QCOMPARE(sqlite(file, QStringLiteral("SELECT a FROM %1").arg(quoted(table))),
             QStringList{QStringLiteral("it's \"1\"; DROP TABLE Werte")});
    if (table != QLatin1String("Werte"))
        QCOMPARE(sqlite(file, QStringLiteral("SELECT count(*) FROM Werte")), QStringList{"0"});
}

void tst_database::fieldsByPosition()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("werte.db"));
    sqlite(file, QStringLiteral("CREATE TABLE Werte(id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                "wert TEXT, einheit TEXT DEFAULT 'g', zeit TEXT)"));

    QString error;
    auto db = Workspace().OpenDatabase(file, &error);
    QVERIFY2(db, qPrintable(error));
    auto records = db->OpenRecordset(QStringLiteral("Werte"), &error);
    QVERIFY2(records, qPrintable(error));
    QCOMPARE(records->columns().size(), size_t(4));
    QCOMPARE(records->columns()[3].name, QStringLiteral("zeit"));

    records->AddNew();
    QVERIFY(records->setField(1, QStringLiteral("12,50"), &error));
    QVERIFY(records->setField(3, QStringLiteral("08:30"), &error));
    QVERIFY(!records->setField(4, QStringLiteral("lost"), &error));
    QVERIFY(error.contains(QLatin1String("4")));
    QVERIFY(!records->setField(-1, QStringLiteral("lost"), &error));
    QVERIFY2(records->Update(&error), qPrintable(error));
    // A record with no field set gets the table's defaults.
    records->AddNew();
    QVERIFY2(records->Update(&error), qPrintable(error));
    // AddNew forgets the fields of a record never updated.
    QVERIFY(records->setField(1, QStringLiteral("dropped"), &error));
    records->AddNew();
    QVERIFY(records->setField(3, QStringLiteral("09:00"), &error));
    QVERIFY2(records->Update(&error), qPrintable(error));

    db->Close();
    QVERIFY(!records->Update(&error));
    QVERIFY(error.contains(QLatin1String("closed")));
    records.reset();
    db.reset();
    QCOMPARE(sqlite(file, QStringLiteral("SELECT quote(id), quote(wert), quote(einheit), "
                                         "quote(zeit) FROM Werte")),
             (QStringList{"1|'12,50'|'g'|'08:30'", "2|NULL|'g'|NULL", "3|NULL|'g'|'09:00'"}));
}

void tst_database::numericColumnsGetNumbers_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stored"); // typeof and quote() of the value

    const auto row = [](const char *name, const char *locale, const QString &type,
                        const QString &text, const QString &stored) {
        QTest::newRow(name) << QString::fromLatin1(locale) << type << text << stored;
    };
    row("REAL, decimal comma", "de_DE", "REAL", "12,50", "real|12.5");
    row("REAL, decimal point, German", "de_DE", "REAL", "12.50", "real|12.5");
    row("REAL, decimal point", "C", "REAL", "12.50", "real|12.5");
    row("REAL, blanks and sign", "de_DE", "REAL", "  -0,5 ", "real|-0.5");
    row("REAL, leading comma", "de_DE", "REAL", ",5", "real|0.5");
    row("REAL, decimal comma, French", "fr_FR", "REAL", "12,50", "real|12.5");
    row("DOUBLE, whole number", "C", "DOUBLE", "+7", "real|7.0");
    row("INTEGER", "C", "INTEGER", "42", "integer|42");
    row("BIGINT, fraction", "de_DE", "BIGINT", "2,5", "real|2.5");
    row("NUMERIC, decimal comma", "de_DE", "NUMERIC", "3,25", "real|3.25");
    row("DECIMAL(10,2)", "de_DE", "DECIMAL(10,2)", "0,001", "real|0.001");
    row("REAL, comma in C", "C", "REAL", "12,50", "text|'12,50'");
    row("REAL, group comma in en_US", "en_US", "REAL", "1,500", "text|'1,500'");
    row("REAL, unit after number", "de_DE", "REAL", "12,50 g", "text|'12,50 g'");
    row("REAL, grouped digits", "de_DE", "REAL", "1.234,5", "text|'1.234,5'");
    row("REAL, two signs", "de_DE", "REAL", "--1", "text|'--1'");
    row("REAL, only a comma", "de_DE", "REAL", ",", "text|','");
    row("TEXT keeps comma", "de_DE", "TEXT", "12,50", "text|'12,50'");
    row("TEXT keeps zeros", "C", "TEXT", "007", "text|'007'");
    row("VARCHAR keeps point", "C", "VARCHAR(10)", "12.50", "text|'12.50'");
    row("no type keeps text", "de_DE", "", "12,5", "text|'12,5'");
}

void tst_database::numericColumnsGetNumbers()
{
    QFETCH(QString, locale);
    QFETCH(QString, type);
    QFETCH(QString, text);
    QFETCH(QString, stored);

    QLocale::setDefault(QLocale(locale));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("werte.db"));
    sqlite(file, QStringLiteral("CREATE TABLE Werte(v %1)").arg(type));
    {
        QString error;
        const auto db = Workspace().OpenDatabase(file, &error);
        QVERIFY2(db, qPrintable(error));
        const auto records = db->OpenRecordset(QStringLiteral("Werte"), &error);
        QVERIFY2(records, qPrintable(error));
        records->AddNew();
        QVERIFY(records->setField(0, text, &error));
        QVERIFY2(records->Update(&error), qPrintable(error));
    }
    QCOMPARE(sqlite(file, QStringLiteral("SELECT typeof(v), quote(v) FROM Werte")),
             QStringList{stored});
}

void tst_database::tableListHidesSystemTables()
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("eins.db"));
    const QString second = dir.filePath(QStringLiteral("zwei.db"));
    sqlite(first, QStringLiteral("CREATE TABLE Werte(id INTEGER PRIMARY KEY AUTOINCREMENT, v);"
                                 "INSERT INTO Werte(v) VALUES (1);"
                                 "CREATE TABLE MSysObjects(x); CREATE TABLE \"Mess werte\"(x);"
                                 "CREATE TABLE msysKlein(x); CREATE VIEW Sicht AS SELECT 1;"
                                 "CREATE TABLE SQLITE_eigen(x);"));
    sqlite(second, QStringLiteral("CREATE TABLE Proben(x)"));
    QCOMPARE(sqlite(first, QStringLiteral("SELECT count(*) FROM sqlite_master "
                                          "WHERE name = 'sqlite_sequence'")),
             QStringList{"1"});

    // Two databases open at once, each on a connection of its own.
    QString error;
    const auto one = Workspace().OpenDatabase(first, &error);
    const auto two = Workspace().OpenDatabase(second, &error);
    QVERIFY(one && two);
    QStringList names;
    QVERIFY2(one->tableNames(&names, &error), qPrintable(error));
    QCOMPARE(names, (QStringList{"Werte", "Mess werte", "msysKlein"}));
    QVERIFY2(two->tableNames(&names, &error), qPrintable(error));
    QCOMPARE(names, QStringList{"Proben"});
}

void tst_database::lockedDatabaseFailsInBoundedTime_data()
{
    QTest::addColumn<QByteArray>("transaction");
    QTest::addColumn<bool>("opens"); // readers may still open the database

    QTest::newRow("write transaction")
        << QByteArray("BEGIN IMMEDIATE; INSERT INTO Werte VALUES ('fremd');") << true;
    QTest::newRow("exclusive transaction")
        << QByteArray("BEGIN EXCLUSIVE; INSERT INTO Werte VALUES ('fremd');") << false;
}

void tst_database::lockedDatabaseFailsInBoundedTime()
{
    QFETCH(QByteArray, transaction);
    QFETCH(bool, opens);

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("werte.db"));
    sqlite(file, QStringLiteral("CREATE TABLE Werte(v TEXT); INSERT INTO Werte VALUES ('alt');"));
    {
        LockHolder other;
        QVERIFY(other.hold(file, transaction));
        const Workspace workspace(300ms);
        QElapsedTimer waited;
        waited.start();
        QString error;
        auto db = workspace.OpenDatabase(file, &error);
        QCOMPARE(bool(db), opens);
        if (db) {
            const auto records = db->OpenRecordset(QStringLiteral("Werte"), &error);
            QVERIFY2(records, qPrintable(error));
            records->AddNew();
            QVERIFY(records->setField(0, QStringLiteral("neu"), &error));
            QVERIFY(!records->Update(&error));
        }
        const qint64 ms = waited.elapsed();
        QVERIFY2(error.contains(QLatin1String("locked")), qPrintable(error));
        QVERIFY2(ms >= 250 && ms < 2000, qPrintable(QString::number(ms)));
    }
    QCOMPARE(sqlite(file, QStringLiteral("SELECT v FROM Werte")), QStringList{"alt"});
}

void tst_database::odbcSourceNeedsDriver()
{
    QString error;
    QVERIFY(!Workspace(300ms).OpenDatabase(QStringLiteral("odbc:mq-no-such-source"), &error));
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")))
        QVERIFY2(error.contains(QLatin1String("QODBC")), qPrintable(error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFile::exists(QStringLiteral("odbc:mq-no-such-source")));
}

QTEST_GUILESS_MAIN(tst_database)
#include "tst_database.moc"
