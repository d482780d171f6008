// Drives the real program over TCP from the instrument simulator, which streams
// 10 telegrams a second, in mode HOTKEY with the text-file target, and presses
// the Send hotkey (F5, button 1) on the X keyboard as a user would. Prints the
// time from each press to its value's line in the file (median, spread).
// The tick polls the keys between telegram readings, so a press waits for the
// reading under way to end (up to one telegram period) and then for the next
// telegram (one more period): about 100 to 200 ms at 10 telegrams a second.
// Run it on a display of its own: tests/support/run_on_private_display.
// Usage: bench_hotkey [presses (default 30)]

#include "bench/bench_support.h"
#include "tests/support/test_keys.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>

// X11 last: its macros (None, Bool, Status) break Qt headers.
#include <X11/keysym.h>

namespace {

struct Setup {
    QTemporaryDir folder;
    QString values = folder.filePath(QStringLiteral("values.txt"));
    QProcess simulator;
    QProcess program;

    bool start()
    {
        simulator.start(kSimulator, {QStringLiteral("--tcp"), QStringLiteral("0"),
                                     QStringLiteral("--rate"), QStringLiteral("10"),
                                     QStringLiteral("--values"), QStringLiteral("12.5,13.5")});
        if (!simulator.waitForReadyRead(5000))
            return false;
        const QByteArray port = simulator.readLine().trimmed().split(' ').value(1);
        writeFile(folder.filePath(QStringLiteral("language.ini")),
                  "[SPRACHE]\r\naktuell=ENGLISH\r\n[ENGLISH]\r\nTextMesswert=Value\r\n");
        writeFile(folder.filePath(QStringLiteral("mondrelquist.ini")),
                  "[waittime]\r\nm_waittime=1\r\n");
        writeFile(folder.filePath(QStringLiteral("bench.cfg")),
                  "[Port settings]\r\nportnum=TCP/IP\r\ntcpip=127.0.0.1\r\ntcpport=" + port +
                      "\r\n[Anwendung]\r\nAnwendung=Text-Datei\r\nTextFile=" + values.toUtf8() +
                      "\r\nFormat={Value}\r\n[Mode]\r\nmodus=HOTKEY\r\n"
                      "[Stillstand]\r\nstillstand=False\r\n[Entlastung]\r\nentlastung=False\r\n"
                      "[Hotkeys]\r\nkey0=F5,,,\r\n");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MONDRELQUIST_HOME"), folder.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(folder.path());
        program.start(kProgram, {QStringLiteral("bench.cfg")});
        if (!program.waitForStarted(5000))
            return false;
        QThread::msleep(1500); // start-up and connection
        return program.state() == QProcess::Running;
    }

    ~Setup()
    {
        program.kill();
        program.waitForFinished(2000);
        simulator.terminate();
        simulator.waitForFinished(2000);
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const int presses = application.arguments().value(1, QStringLiteral("30")).toInt();
    if (!QFileInfo::exists(kSimulator) || !QFileInfo::exists(kProgram)) {
        std::printf("build the program and the simulator first (scripts/build)\n");
        return 1;
    }
    TestKeys keys;
    if (!keys.error().isEmpty()) {
        std::printf("no keyboard: %s\n", qPrintable(keys.error()));
        return 1;
    }
    Setup s;
    if (!s.start()) {
        std::printf("setup failed\n");
        return 1;
    }

    QList<double> latencies;
    int lost = 0;
    for (int i = 0; i < presses; ++i) {
        // Presses at random moments against the telegram stream.
        QThread::msleep(300 + QRandomGenerator::global()->bounded(100));
        const qint64 before = fileLines(s.values);
        QElapsedTimer clock;
        clock.start();
        keys.user(XK_F5, true);
        bool released = false;
        while (fileLines(s.values) == before && clock.elapsed() < 3000) {
            if (!released && clock.elapsed() >= 80) { // a user's short press
                keys.user(XK_F5, false);
                released = true;
            }
            QThread::usleep(200);
        }
        if (!released)
            keys.user(XK_F5, false);
        if (fileLines(s.values) == before)
            ++lost;
        else
            latencies << clock.nsecsElapsed() / 1e6;
    }
    if (latencies.isEmpty()) {
        std::printf("no press delivered a value\n");
        return 1;
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("hotkey to value in the file: %lld presses, median %.1f ms, min %.1f ms, "
                "90th percentile %.1f ms, max %.1f ms, %d without a value\n",
                static_cast<long long>(latencies.size()), latencies[latencies.size() / 2],
                latencies.first(), latencies[int(latencies.size() * 0.9)], latencies.last(), lost);
    return 0;
}
