// Times one "Excel-Datei" delivery (open, row search, two fields, save, close)
// into a workbook whose column A already holds the given number of filled rows,
// and prints the median, fastest and slowest of the runs.
// Usage: bench_excel_target [filled rows (default 10000)] [deliveries (default 20)]

#include "core/app.h"
#include "core/delivery/excel_target.h"
#include "tests/support/test_app.h"
#include "tests/support/workbook_files.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int rows = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 20;

    TestApp t;
    const QString file = t.path(QStringLiteral("Messwerte.xlsx"));
    if (!makeWorkbook(file, rows)) {
        std::fprintf(stderr, "cannot make the workbook (python3 with openpyxl)\n");
        return 1;
    }
    t.app.settings.anwendung = QStringLiteral("Excel-Datei");
    t.app.settings.ExcelFile = file;
    t.app.mainWindow();
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const QString failure = deliverToExcelFile(t.app, QStringLiteral("12,50{TAB}g{TAB}"));
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!failure.isEmpty()) {
            std::fprintf(stderr, "delivery failed: %s\n", qPrintable(failure));
            return 1;
        }
    }
    std::sort(ms.begin(), ms.end());
    std::printf("one Excel delivery into %d filled rows (%lld bytes), %d runs:\n"
                "  median %.1f ms, fastest %.1f ms, slowest %.1f ms\n",
                rows, QFileInfo(file).size(), runs, ms[ms.size() / 2], ms.front(), ms.back());
    return 0;
}
