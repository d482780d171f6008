// Times one "Excel-Datei" delivery (open, row search, two fields, save, close)
// into a workbook as Excel saves one (a formula in its calculation chain, no
// recalculation asked for) whose column A already holds the given numbers of
// filled rows. Every delivery starts from that same file again, so each one also
// does the work of the first save into such a workbook. Prints the median,
// fastest and slowest time per value for each size.
// Usage: bench_excel_target [--runs N (default 20)] [filled rows... (default 10 10000 50000)]

#include "core/app.h"
#include "core/delivery/excel_target.h"
#include "tests/support/test_app.h"
#include "tests/support/workbook_files.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct Figures {
    double median = 0;
    double fastest = 0;
    double slowest = 0;
};

// Milliseconds per delivery into a fresh copy of pristine; nullopt when one failed.
std::optional<Figures> timeDeliveries(TestApp &t, const QString &pristine, int runs)
{
    const QString &file = t.app.settings.ExcelFile;
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QFile::remove(file);
        if (!QFile::copy(pristine, file)) {
            std::fprintf(stderr, "cannot copy %s\n", qPrintable(pristine));
            return std::nullopt;
        }
        QElapsedTimer timer;
        timer.start();
        const QString failure = deliverToExcelFile(t.app, QStringLiteral("12,50{TAB}g{TAB}"));
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!failure.isEmpty()) {
            std::fprintf(stderr, "delivery failed: %s\n", qPrintable(failure));
            return std::nullopt;
        }
    }
    std::sort(ms.begin(), ms.end());
    return Figures{ms[ms.size() / 2], ms.front(), ms.back()};
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    int runs = 20;
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, atoi(argv[++i]));
        else
            sizes.push_back(std::max(1, atoi(argv[i])));
    }
    if (sizes.empty())
        sizes = {10, 10000, 50000};

    TestApp t;
    t.app.settings.anwendung = QStringLiteral("Excel-Datei");
    t.app.settings.ExcelFile = t.path(QStringLiteral("Messwerte.xlsx"));
    t.app.mainWindow();
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

    std::printf("one Excel delivery, %d runs per size (ms per value):\n", runs);
    for (const int rows : sizes) {
        const QString pristine = t.path(QStringLiteral("pristine.xlsx"));
        QFile::remove(pristine);
        if (!makeWorkbook(pristine, rows)) {
            std::fprintf(stderr, "cannot make the workbook (python3 with openpyxl)\n");
            return 1;
        }
        const std::optional<Figures> figures = timeDeliveries(t, pristine, runs);
        if (!figures)
            return 1;
        std::printf("  %6d filled rows (%7lld bytes): median %6.1f, fastest %6.1f, slowest %6.1f\n",
                    rows, QFileInfo(pristine).size(), figures->median, figures->fastest,
                    figures->slowest);
    }
    return 0;
}
