// Times one delivery to the "Access-Datenbank" target (open the database, read the
// table's columns, insert one record, close) into an SQLite table that already
// holds 100 000 rows, and prints the median and the slowest of the runs.
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
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const QString failure = addAccessRecord(workspace, file, QStringLiteral("Werte"),
                                                QStringLiteral("{TAB}12,50{TAB}g{TAB}08:30{TAB}"));
        ms.push_back(timer.nsecsElapsed() / 1e6);
        if (!failure.isEmpty()) {
            std::fprintf(stderr, "delivery failed: %s\n", qPrintable(failure));
            return 1;
        }
    }
    std::sort(ms.begin(), ms.end());
    std::printf("one delivery into a table of 100000 rows (%d runs, %s): median %.2f ms, "
                "slowest %.2f ms\n",
                runs, qPrintable(folder.path()), ms[ms.size() / 2], ms.back());
    return 0;
}
