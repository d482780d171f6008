// Times one delivery to the "Access-Datenbank" target (open the database, read the
// table's columns, insert one record, close) into an SQLite table that already
// holds 100 000 rows, and prints the median and the slowest of the runs; then the
// same steps one by one, to show where the time goes (the insert holds the commit
// and its syncs).
// Usage: bench_access_target [deliveries (default 50)] [folder for the database]

#include "core/delivery/access_target.h"
#include "platform/office/database.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

bool createTable(const QString &file, int rows)
{
    QProcess cli;
    cli.start(QStringLiteral("sqlite3"),
              {file, QStringLiteral("CREATE TABLE Werte(id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                    "wert REAL, einheit TEXT, zeit TEXT);"
                                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                    "FROM n WHERE i < %1) INSERT INTO Werte(wert, einheit, zeit) "
                                    "SELECT i / 100.0, 'g', '2024-05-24 08:30:00' FROM n;")
                         .arg(rows)});
    return cli.waitForFinished(60'000) && cli.exitCode() == 0;
}

const QString kRecord = QStringLiteral("{TAB}12,50{TAB}g{TAB}08:30{TAB}");

double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

struct Figures {
    std::vector<double> ms;
    double median()
    {
        std::sort(ms.begin(), ms.end());
        return ms[ms.size() / 2];
    }
    double slowest() { return *std::max_element(ms.begin(), ms.end()); }
};

// One delivery's steps, each timed on its own; false when a step failed.
bool timeSteps(const Workspace &workspace, const QString &file, Figures (&steps)[4])
{
    QString error;
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<Database> db = workspace.OpenDatabase(file, &error);
    steps[0].ms.push_back(msSince(timer));
    timer.restart();
    const std::unique_ptr<Recordset> records =
        db ? db->OpenRecordset(QStringLiteral("Werte"), &error) : nullptr;
    steps[1].ms.push_back(msSince(timer));
    if (!records)
        return false;
    timer.restart();
    records->AddNew();
    const QStringList fields = tabFields(kRecord);
    for (int k = 0; k < fields.size(); ++k)
        if (!fields[k].isEmpty())
            records->setField(k, fields[k], &error);
    const bool inserted = records->Update(&error);
    steps[2].ms.push_back(msSince(timer));
    timer.restart();
    db.reset();
    steps[3].ms.push_back(msSince(timer));
    return inserted;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    const int runs = args.size() > 1 ? std::max(1, args[1].toInt()) : 50;
    QTemporaryDir folder(args.size() > 2 ? args[2] + QStringLiteral("/bench-XXXXXX")
                                         : QDir::tempPath() + QStringLiteral("/bench-XXXXXX"));
    const QString file = folder.filePath(QStringLiteral("werte.db"));
    if (!folder.isValid() || !createTable(file, 100'000)) {
        std::fprintf(stderr, "cannot create the table (sqlite3 missing?)\n");
        return 1;
    }

    const Workspace workspace;
    Figures total;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const QString failure =
            addAccessRecord(workspace, file, QStringLiteral("Werte"), kRecord).error;
        total.ms.push_back(msSince(timer));
        if (!failure.isEmpty()) {
            std::fprintf(stderr, "delivery failed: %s\n", qPrintable(failure));
            return 1;
        }
    }
    std::printf("one delivery into a table of 100000 rows (%d runs, %s): median %.2f ms, "
                "slowest %.2f ms\n",
                runs, qPrintable(folder.path()), total.median(), total.slowest());

    Figures steps[4];
    for (int i = 0; i < runs; ++i)
        if (!timeSteps(workspace, file, steps)) {
            std::fprintf(stderr, "a step failed\n");
            return 1;
        }
    const char *names[] = {"open (and first read)", "columns of the table", "insert and commit",
                           "close"};
    for (int k = 0; k < 4; ++k)
        std::printf("  %-22s median %.2f ms, slowest %.2f ms\n", names[k], steps[k].median(),
                    steps[k].slowest());
    return 0;
}
