// One instrument command with a reply, from the button to the reply's line in
// the text file, against the instrument simulator over a pty and over TCP.
// Prints the median of 20 presses after the fixed 0.2 s the instrument is
// given, next to the median round trip of the same command sent by a bare
// client over the same kind of link (the link's own time).
// Usage: bench_instrument_command [presses (default 20)]

#include "core/mainform/control_tag.h"
#include "core/mainform/mainform.h"
#include "core/settings/settings.h"
#include "platform/ports/serial_port.h"
#include "platform/ports/tcp_socket.h"
#include "platform/vb/vb_timer.h"
#include "tests/support/instrument_simulator.h"
#include "tests/support/test_app.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTest>

#include <algorithm>
#include <cstdio>

namespace {

constexpr double kFixedWaitMs = 200.0;
const QByteArray kCommand = "\x1bT\r\n";
const QByteArray kReply = "T OK\r\n";

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0.0 : values[values.size() / 2];
}

qint64 fileSize(const QString &path)
{
    return QFile(path).size();
}

// Milliseconds from the press to the delivered reply, less the fixed wait.
QList<double> pressTimes(const QString &transport, int presses)
{
    TestApp t;
    InstrumentSimulator simulator;
    readSettingsRecord(t.app, QString());
    if (!simulator.start(transport) || !simulator.configure(t.app))
        return {};
    SettingsRecord &s = t.app.settings;
    s.modus = QStringLiteral("HOTKEY");
    s.anwendung = QStringLiteral("Text-Datei");
    s.TextFile = t.path(QStringLiteral("werte.txt"));
    s.Action[0][4] = QStringLiteral("ESCT");
    s.Action[0][5] = QStringLiteral("Tare");
    s.Action[0][6] = QStringLiteral("1");
    mainform &mw = t.app.mainWindow();
    setTag(mw.Command5(7), QStringLiteral("False"));
    mw.Command5_Click(7);
    mw.Timer1().setInterval(0);
    if (!QTest::qWaitFor([&] { return mw.commport().portOpen() || mw.Winsock1().State() == 7; }))
        return {};

    QList<double> times;
    for (int i = 0; i < presses; ++i) {
        const qint64 before = fileSize(s.TextFile);
        QElapsedTimer clock;
        clock.start();
        mw.Command5_Click(9);
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        if (fileSize(s.TextFile) == before)
            return {};
        times << ms - kFixedWaitMs;
    }
    return times;
}

// The same command's round trip through a bare client: the link's own time.
QList<double> linkTimes(const QString &transport, int presses)
{
    InstrumentSimulator simulator;
    if (!simulator.start(transport))
        return {};
    std::unique_ptr<QIODevice> device;
    if (transport == u"pty") {
        auto port = std::make_unique<QSerialPort>(simulator.link());
        if (!port->open(QIODevice::ReadWrite))
            return {};
        device = std::move(port);
    } else {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QStringLiteral("127.0.0.1"), simulator.port());
        if (!socket->waitForConnected(5000))
            return {};
        device = std::move(socket);
    }
    QList<double> times;
    for (int i = 0; i < presses; ++i) {
        QByteArray received;
        QElapsedTimer clock;
        clock.start();
        device->write(kCommand);
        while (!received.contains('\n') && clock.elapsed() < 2000) {
            QTest::qWait(0);
            received += device->readAll();
        }
        if (received != kReply)
            return {};
        times << double(clock.nsecsElapsed()) / 1e6;
    }
    return times;
}

void report(const QString &transport, int presses)
{
    const QList<double> press = pressTimes(transport, presses);
    const QList<double> link = linkTimes(transport, presses);
    if (press.isEmpty() || link.isEmpty()) {
        std::printf("%s: setup failed\n", qPrintable(transport));
        return;
    }
    std::printf("%s: button to delivered reply after the 0.2 s wait: median %.2f ms "
                "(%d presses); the link's own round trip: median %.2f ms\n",
                qPrintable(transport), median(press), presses, median(link));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList args = application.arguments();
    const int presses = args.size() > 1 ? std::max(1, args[1].toInt()) : 20;
    report(QStringLiteral("pty"), presses);
    report(QStringLiteral("tcp"), presses);
    return 0;
}
