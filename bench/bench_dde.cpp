// The DDE stand-in on the session bus, seen from another process (python3-dbus).
// Prints medians and 95th percentiles of:
//  - an Execute("1") round trip, timed by the client;
//  - a telegram's way from the instrument's socket to the PropertiesChanged
//    signal of DDEValue (the last item a send sets) at the client.
// A telegram without its signal within 2 s counts as a missing sample.
// Run under dbus-run-session. Usage: bench_dde [samples (default 200)]

#include "core/ipc/dde_source.h"
#include "core/mainform/mainform.h"
#include "platform/vb/vb_timer.h"
#include "tests/support/measurement_road.h"
#include "tests/support/tcp_instrument.h"
#include "tests/support/test_app.h"

#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

const char kRoundTrips[] = R"(
import sys, time, dbus
topic = dbus.Interface(dbus.SessionBus().get_object(sys.argv[1], '/Mondrelquist'),
                       'org.mondrelquist.DdeTopic')
for _ in range(int(sys.argv[2])):
    t0 = time.perf_counter()
    topic.Execute('1')
    print((time.perf_counter() - t0) * 1000.0)
)";

// Prints CLOCK_MONOTONIC in ns at each DDEValue change.
const char kWatch[] = R"(
import time, dbus, dbus.mainloop.glib
from gi.repository import GLib
dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
def changed(interface, items, invalidated):
    if 'DDEValue' in items:
        print(time.clock_gettime_ns(time.CLOCK_MONOTONIC), flush=True)
bus.add_signal_receiver(changed, 'PropertiesChanged', 'org.freedesktop.DBus.Properties',
                        path='/Mondrelquist')
bus.list_names()
print('ready', flush=True)
GLib.MainLoop().run()
)";

qint64 monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void report(const char *what, std::vector<double> ms, int requested)
{
    if (ms.empty()) {
        std::printf("%s: no samples\n", what);
        return;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%s: median %.3f ms, 95th percentile %.3f ms, %zu of %d samples\n", what,
                ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.size(), requested);
}

QString serviceName()
{
    return QStringLiteral("org.mondrelquist.dde.") + QCoreApplication::applicationName();
}

std::vector<double> telegramToSignal(mainform &mw, TcpInstrument &instrument, int samples)
{
    QProcess watcher;
    watcher.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), kWatch});
    QByteArray out;
    std::vector<double> ms;
    if (!QTest::qWaitFor(
            [&] { return (out += watcher.readAllStandardOutput()).contains("ready\n"); }, 10000))
        return ms;
    out.clear();
    for (int i = 0; i < samples; ++i) {
        const QByteArray value = QByteArray::number(1 + i % 900) + ",00";
        qint64 sent = 0;
        QTimer::singleShot(5, [&] {
            sent = monotonicNs();
            instrument.send(defaultTelegram('+', value, "g"));
        });
        mw.Timer1_Timer();
        QByteArray line;
        const bool signalled = QTest::qWaitFor(
            [&] {
                out += watcher.readAllStandardOutput();
                const qsizetype end = out.indexOf('\n');
                if (end < 0)
                    return false;
                line = out.left(end);
                out.remove(0, end + 1);
                return true;
            },
            2000);
        if (signalled)
            ms.push_back(double(line.toLongLong() - sent) / 1e6);
    }
    watcher.kill();
    watcher.waitForFinished();
    return ms;
}

std::vector<double> executeRoundTrips(int samples)
{
    QProcess client;
    client.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), kRoundTrips, serviceName(), QString::number(samples)});
    // An event loop as the program's, not QTest::qWaitFor, which sleeps 10 ms between passes.
    QEventLoop loop;
    QObject::connect(&client, &QProcess::finished, &loop, &QEventLoop::quit);
    if (client.waitForStarted())
        loop.exec();
    std::vector<double> ms;
    for (const QByteArray &line : client.readAllStandardOutput().split('\n'))
        if (!line.isEmpty())
            ms.push_back(line.toDouble());
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int samples = argc > 1 ? std::max(1, atoi(argv[1])) : 200;

    TestApp t;
    TcpInstrument instrument;
    if (!prepareTextFileRoad(t, instrument, QStringLiteral("PRINT"))) {
        std::fprintf(stderr, "no instrument connection\n");
        return 1;
    }
    mainform &mw = t.app.mainWindow();
    mw.Timer1().setInterval(0);
    const QString failure = (new DdeSource(mw))->serve();
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(failure));
        return 1;
    }
    report("telegram to PropertiesChanged(DDEValue)", telegramToSignal(mw, instrument, samples),
           samples);
    report("Execute(\"1\") round trip", executeRoundTrips(samples), samples);
    return 0;
}
