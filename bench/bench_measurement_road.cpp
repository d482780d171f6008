// Drives the real program through the instrument simulator over a pty in mode
// PRINT with the text-file target and prints:
//  - telegram-to-line latency (median, 99th percentile): from handing a value to
//    the simulator, which writes the telegram at once, to its line in the file;
//  - the share of telegrams delivered at 20 telegrams a second, paced at 9600 baud;
//  - the program's CPU use while online and idle for 30 s.
// Usage: bench_measurement_road [latency-samples (default 200)] [idle seconds (default 30)]

#include "bench/bench_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

// User plus system CPU time of a process, in seconds.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / sysconf(_SC_CLK_TCK);
}

struct Setup {
    QTemporaryDir folder;
    QString link = folder.filePath(QStringLiteral("balance"));
    QString values = folder.filePath(QStringLiteral("values.txt"));
    QProcess simulator;
    QProcess program;

    bool start(const QStringList &simulatorArguments)
    {
        simulator.start(kSimulator,
                        QStringList{QStringLiteral("--pty"), link} + simulatorArguments);
        if (!simulator.waitForReadyRead(5000))
            return false;
        writeFile(folder.filePath(QStringLiteral("language.ini")),
                  "[SPRACHE]\r\naktuell=ENGLISH\r\n[ENGLISH]\r\nTextMesswert=Value\r\n");
        writeFile(folder.filePath(QStringLiteral("mondrelquist.ini")),
                  "[waittime]\r\nm_waittime=1\r\n[ports]\r\nCOM3=" + link.toUtf8() + "\r\n");
        writeFile(folder.filePath(QStringLiteral("bench.cfg")),
                  "[Port settings]\r\nportnum=3\r\nbaud=9600\r\nparity=N\r\ndatabit=8\r\n"
                  "[Anwendung]\r\nAnwendung=Text-Datei\r\nTextFile=" +
                      values.toUtf8() +
                      "\r\nFormat={Value}\r\n[Mode]\r\nmodus=PRINT\r\n"
                      "[Stillstand]\r\nstillstand=False\r\n[Entlastung]\r\nentlastung=False\r\n");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MONDRELQUIST_HOME"), folder.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(folder.path());
        program.start(kProgram, {QStringLiteral("bench.cfg")});
        if (!program.waitForStarted(5000))
            return false;
        QThread::msleep(1500); // start-up and opening of the port
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

void measureLatency(int samples)
{
    Setup s;
    if (!s.start({QStringLiteral("--stdin-values"), QStringLiteral("--on-request")})) {
        std::printf("latency: setup failed\n");
        return;
    }
    QList<double> latencies;
    for (int i = 0; i < samples; ++i) {
        const qint64 before = fileLines(s.values);
        s.simulator.write(QByteArray::number(10 + i % 90) + ".5\nSEND\n");
        s.simulator.waitForBytesWritten(1000);
        QElapsedTimer clock;
        clock.start();
        while (fileLines(s.values) == before && clock.elapsed() < 3000)
            QThread::usleep(100);
        latencies << clock.nsecsElapsed() / 1e6;
        QThread::msleep(20); // let the next reading begin before the next telegram
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("latency: %d telegrams, median %.2f ms, 99th percentile %.2f ms\n", samples,
                latencies[latencies.size() / 2], latencies[int(latencies.size() * 0.99)]);
}

void measureDelivery()
{
    constexpr int kCount = 200;
    Setup s;
    if (!s.start({QStringLiteral("--stdin-values"), QStringLiteral("--pace-baud"),
                  QStringLiteral("9600")})) {
        std::printf("delivery: setup failed\n");
        return;
    }
    // One telegram every 50 ms, each written at the speed of a 9600 baud line.
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kCount; ++i) {
        while (clock.elapsed() < i * 50)
            QThread::usleep(200);
        s.simulator.write(QByteArray::number(i % 100) + ".25\n");
        s.simulator.waitForBytesWritten(1000);
    }
    QThread::msleep(1500);
    const qint64 delivered = fileLines(s.values);
    std::printf("delivery: %lld of %d telegrams at 20/s, 9600 baud (%.1f %%)\n",
                static_cast<long long>(delivered), kCount, 100.0 * double(delivered) / kCount);
}

void measureIdleCpu(int seconds)
{
    Setup s;
    if (!s.start({QStringLiteral("--on-request")})) {
        std::printf("idle cpu: setup failed\n");
        return;
    }
    const double before = cpuSeconds(s.program.processId());
    QThread::sleep(seconds);
    const double used = cpuSeconds(s.program.processId()) - before;
    std::printf("idle cpu: %.2f %% of one core over %d s (online, no telegrams)\n",
                100.0 * used / seconds, seconds);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    const int samples = args.size() > 1 ? args[1].toInt() : 200;
    const int idleSeconds = args.size() > 2 ? args[2].toInt() : 30;
    if (!QFileInfo::exists(kSimulator) || !QFileInfo::exists(kProgram)) {
        std::printf("build the program and the simulator first (scripts/build)\n");
        return 1;
    }
    measureLatency(samples);
    measureDelivery();
    measureIdleCpu(idleSeconds);
    return 0;
}
