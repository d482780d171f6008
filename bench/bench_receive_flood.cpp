// Floods the telegram reading through a socat pty pair at full speed, once with
// bytes that never hold the end character and once with well-formed telegrams,
// and prints for each: bytes taken, telegrams framed, the largest receive buffer
// (strEmpfang) seen and the peak RSS growth (VmHWM against VmRSS at the start of
// the phase; the peak is reset between phases through /proc/self/clear_refs).
// Usage: bench_receive_flood [seconds per phase (default 8)] [m_waittime (default 1)]

#include "core/app.h"
#include "core/mainform/mainform.h"
#include "core/reception/telegram.h"
#include "core/settings/settings.h"
#include "platform/ports/serial_port.h"
#include "tests/support/byte_flood.h"
#include "tests/support/pty_pair.h"
#include "tests/support/tcp_instrument.h"
#include "tests/support/test_app.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM").
qint64 statusKiB(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Sets VmHWM back to the current RSS.
void resetPeakRss()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

struct Figures {
    qint64 bytes = 0;
    int telegrams = 0;
    qsizetype largestBuffer = 0;
    qint64 rssGrowthKiB = 0;
    double seconds = 0;
};

Figures floodPhase(App &app, const QString &instrumentSide, const QByteArray &chunk, double seconds)
{
    Figures f;
    const auto sample = [&] {
        f.largestBuffer = std::max(f.largestBuffer, app.strEmpfang.size());
    };
    const QMetaObject::Connection watch =
        QObject::connect(&app.mainWindow().commport(), &SerialPort::dataReceived, sample);
    resetPeakRss();
    const qint64 rssBefore = statusKiB("VmRSS");

    ByteFlood flood(instrumentSide, chunk);
    if (!flood.start()) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(instrumentSide));
        return f;
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < qint64(seconds * 1000)) {
        QString telegram;
        QString unit;
        Telegramm_lesen(app, telegram, unit);
        sample();
        if (!telegram.isEmpty())
            ++f.telegrams;
    }
    flood.stop();
    f.seconds = clock.elapsed() / 1000.0;
    f.bytes = flood.written();
    f.rssGrowthKiB = statusKiB("VmHWM") - rssBefore;
    QObject::disconnect(watch);
    return f;
}

void print(const char *phase, const Figures &f)
{
    std::printf("%-28s %8.1f MiB in %4.1f s (%6.1f MiB/s), %7d telegrams, largest buffer %8lld "
                "chars, peak RSS growth %7.1f MiB\n",
                phase, f.bytes / 1048576.0, f.seconds, f.bytes / 1048576.0 / f.seconds, f.telegrams,
                qlonglong(f.largestBuffer), f.rssGrowthKiB / 1024.0);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList args = application.arguments();
    const double seconds = args.value(1, QStringLiteral("8")).toDouble();
    const double waittime = args.value(2, QStringLiteral("1")).toDouble();

    TestApp t;
    QTemporaryDir ptyDir;
    PtyPair pty(ptyDir.path());
    if (!pty.start()) {
        std::fprintf(stderr, "socat did not start\n");
        return 1;
    }
    t.writeFile(QStringLiteral("mondrelquist.ini"), "[ports]\r\nCOM3=" + pty.a.toUtf8() + "\r\n");
    readSettingsRecord(t.app, QString()); // 22-character telegrams ending in LF
    t.app.settings.portnum = QStringLiteral("3");
    t.app.m_waittime = waittime;
    SerialPort &port = t.app.mainWindow().commport();
    if (!port.setCommPort(3).ok() || !port.setPortOpen(true).ok()) {
        std::fprintf(stderr, "cannot open the pty\n");
        return 1;
    }

    std::printf("m_waittime %.1f s, %.1f s per phase\n", waittime, seconds);
    print("no end character:", floodPhase(t.app, pty.b, QByteArray(4096, 'x'), seconds));
    QByteArray telegrams;
    while (telegrams.size() < 4096)
        telegrams += defaultTelegram('+', "12,50", "g");
    print("telegrams:", floodPhase(t.app, pty.b, telegrams, seconds));
    return 0;
}
