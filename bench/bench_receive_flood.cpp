// Floods the telegram reading at full speed over a socat pty pair and over a
// local TCP connection: first with bytes that never hold the end character,
// then at once with well-formed telegrams. Prints per link and phase: bytes
// taken, the largest receive buffer (strEmpfang) and its largest capacity, and
// the peak RSS of this process (VmHWM, reset at the start of each phase through
// /proc/self/clear_refs) with its growth over the phase; for the telegrams, how
// long after the flood ended the first one was framed, how many were framed and
// how many of them differ from the telegram sent.
// Usage: bench_receive_flood [seconds per phase (default 8)] [m_waittime (default 1)]
//                            [serial|tcp (default both)]

#include "core/app.h"
#include "core/mainform/mainform.h"
#include "core/reception/telegram.h"
#include "core/settings/settings.h"
#include "platform/ports/serial_port.h"
#include "platform/ports/tcp_socket.h"
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
#include <functional>
#include <memory>

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

// The instrument's end of one link: a new flood into it.
using FloodFactory = std::function<std::unique_ptr<ByteFlood>(const QByteArray &chunk)>;

struct Figures {
    qint64 bytes = 0;
    double seconds = 0;
    qsizetype largestBuffer = 0;
    qsizetype largestCapacity = 0;
    qint64 peakRssKiB = 0;
    qint64 rssGrowthKiB = 0;
    int telegrams = 0;
    int garbled = 0;
    qint64 firstTelegramMs = -1;
};

// Reads telegrams for `seconds` while the flood runs.
Figures floodPhase(App &app, const FloodFactory &makeFlood, const QByteArray &chunk,
                   const QString &expected, double seconds)
{
    Figures f;
    const auto sample = [&] {
        f.largestBuffer = std::max(f.largestBuffer, app.strEmpfang.size());
        f.largestCapacity = std::max(f.largestCapacity, app.strEmpfang.capacity());
    };
    // After the window's own handlers: the bytes are in strEmpfang by then.
    const QMetaObject::Connection serial =
        QObject::connect(&app.mainWindow().commport(), &SerialPort::dataReceived, sample);
    const QMetaObject::Connection tcp =
        QObject::connect(&app.mainWindow().Winsock1(), &TcpSocket::DataArrival, sample);
    resetPeakRss();
    const qint64 rssBefore = statusKiB("VmRSS");

    const std::unique_ptr<ByteFlood> flood = makeFlood(chunk);
    if (!flood->start()) {
        std::fprintf(stderr, "cannot open the instrument's end\n");
        return f;
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < qint64(seconds * 1000)) {
        QString telegram;
        QString unit;
        Telegramm_lesen(app, telegram, unit);
        sample();
        if (telegram.isEmpty())
            continue;
        if (f.telegrams++ == 0)
            f.firstTelegramMs = clock.elapsed();
        if (telegram != expected)
            ++f.garbled;
    }
    flood->stop();
    f.seconds = clock.elapsed() / 1000.0;
    f.bytes = flood->written();
    f.peakRssKiB = statusKiB("VmHWM");
    f.rssGrowthKiB = f.peakRssKiB - rssBefore;
    QObject::disconnect(serial);
    QObject::disconnect(tcp);
    return f;
}

void print(const char *link, const char *phase, const Figures &f)
{
    std::printf("%-6s %-17s %8.1f MiB in %4.1f s (%6.1f MiB/s); largest buffer %6lld chars, "
                "capacity %6lld; peak RSS %6.1f MiB (growth %6.1f MiB)\n",
                link, phase, f.bytes / 1048576.0, f.seconds, f.bytes / 1048576.0 / f.seconds,
                qlonglong(f.largestBuffer), qlonglong(f.largestCapacity), f.peakRssKiB / 1024.0,
                f.rssGrowthKiB / 1024.0);
    if (f.telegrams > 0 || f.firstTelegramMs >= 0)
        std::printf("%-6s %-17s first telegram %lld ms after the flood ended; %d telegrams "
                    "framed, %d not as sent\n",
                    link, "", qlonglong(f.firstTelegramMs), f.telegrams, f.garbled);
}

// The flood without an end character, then telegrams right after it.
void measure(App &app, const char *link, const FloodFactory &makeFlood, double seconds)
{
    print(link, "no end character:",
          floodPhase(app, makeFlood, QByteArray(4096, 'x'), QString(), seconds));
    const QByteArray telegram = defaultTelegram('+', "12,50", "g");
    QByteArray telegrams;
    while (telegrams.size() < 4096)
        telegrams += telegram;
    print(link, "telegrams:",
          floodPhase(app, makeFlood, telegrams, QString::fromLatin1(telegram), seconds));
}

bool measureSerial(TestApp &t, double seconds)
{
    QTemporaryDir ptyDir;
    PtyPair pty(ptyDir.path());
    if (!pty.start()) {
        std::fprintf(stderr, "socat did not start\n");
        return false;
    }
    t.writeFile(QStringLiteral("mondrelquist.ini"), "[ports]\r\nCOM3=" + pty.a.toUtf8() + "\r\n");
    t.app.settings.portnum = QStringLiteral("3");
    SerialPort &port = t.app.mainWindow().commport();
    if (!port.setCommPort(3).ok() || !port.setPortOpen(true).ok()) {
        std::fprintf(stderr, "cannot open the pty\n");
        return false;
    }
    measure(
        t.app, "serial",
        [&](const QByteArray &chunk) { return std::make_unique<ByteFlood>(pty.b, chunk); },
        seconds);
    port.setPortOpen(false);
    return true;
}

bool measureTcp(TestApp &t, double seconds)
{
    TcpInstrument instrument;
    if (!instrument.connect(t.app)) {
        std::fprintf(stderr, "no TCP connection\n");
        return false;
    }
    measure(
        t.app, "TCP",
        [&](const QByteArray &chunk) {
            return std::make_unique<ByteFlood>(instrument.descriptor(), chunk);
        },
        seconds);
    t.app.mainWindow().Winsock1().Close();
    return true;
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
    const QString links = args.value(3);

    TestApp t;
    readSettingsRecord(t.app, QString()); // 22-character telegrams ending in LF
    t.app.m_waittime = waittime;

    std::printf("m_waittime %.1f s, %.1f s per phase\n", waittime, seconds);
    if (links != u"tcp" && !measureSerial(t, seconds))
        return 1;
    if (links != u"serial" && !measureTcp(t, seconds))
        return 1;
    return 0;
}
