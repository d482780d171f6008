// With 50 titled Qt windows open, prints the median time over 100 runs of
//  - one fnFindeAnwendung search for the bottom window (the whole z-order is read);
//  - one activation by title, alternating between two windows so that the focus
//    moves every time, until the window has the focus;
// first on the bare X server, then under openbox.
// Usage (needs an X display): tests/support/run_on_private_display bench_window_search

#include "core/delivery/find_application.h"
#include "platform/x11/window_list.h"
#include "tests/support/openbox_session.h"
#include "tests/support/test_app.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int kWindows = 50;
constexpr int kRuns = 100;

// Median time of one call, in milliseconds; false from the call counts as a failed run.
double medianMs(const std::function<bool()> &call, int &failures)
{
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!call())
            ++failures;
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::nth_element(times.begin(), times.begin() + kRuns / 2, times.end());
    return times[kRuns / 2];
}

void measure(const char *setting, TestApp &t)
{
    const QString bottom = QStringLiteral("Fenster 1 von %1").arg(kWindows);
    t.app.settings.anwendung = bottom;
    int searchFailures = 0;
    const double search =
        medianMs([&] { return fnFindeAnwendung(t.app) == bottom; }, searchFailures);

    int activationFailures = 0;
    int run = 0;
    const double activation = medianMs(
        [&] {
            const QString title =
                QStringLiteral("Fenster %1 von %2").arg(1 + run++ % 2).arg(kWindows);
            return t.app.windows().activateWindowByTitle(title).ok();
        },
        activationFailures);

    std::printf("%-18s fnFindeAnwendung %.3f ms (%d failed), activation %.3f ms (%d failed)\n",
                setting, search, searchFailures, activation, activationFailures);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "needs an X display: run it under run_on_private_display\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    std::vector<std::unique_ptr<QWidget>> windows;
    for (int i = 1; i <= kWindows; ++i) {
        auto w = std::make_unique<QWidget>();
        w->setWindowTitle(QStringLiteral("Fenster %1 von %2").arg(i).arg(kWindows));
        w->resize(300, 200);
        w->show();
        windows.push_back(std::move(w));
    }
    for (const auto &w : windows) {
        if (!QTest::qWaitForWindowExposed(w.get())) {
            std::fprintf(stderr, "a window was not shown\n");
            return 1;
        }
    }
    std::printf("%d windows, median of %d runs\n", kWindows, kRuns);

    TestApp bare;
    measure("bare X server:", bare);

    OpenboxSession openbox;
    if (!openbox.start()) {
        std::fprintf(stderr, "openbox did not start\n");
        return 1;
    }
    TestApp managed;
    // Openbox takes over the windows already open; wait until it lists them all.
    if (!QTest::qWaitFor(
            [&] { return managed.app.windows().topLevelWindows().size() == kWindows; })) {
        std::fprintf(stderr, "openbox did not take over the windows\n");
        return 1;
    }
    measure("under openbox:", managed);
    return 0;
}
