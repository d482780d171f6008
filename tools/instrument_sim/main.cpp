// mq_instrument_sim: a balance on a pty or on TCP, for tests, demos and benchmarks.
//
// Telegram, 22 characters, columns 1-based, matching the program's default template
// (value 11-16, sign 7, unit 18-19, length 22, end character LF):
//    1-2  status "ST" stable, "US" unstable, "OL" overload
//    3-6  ",GS,"
//    7    sign "+" or "-"
//    8-10 blanks
//   11-16 value, right-aligned ("  12.5"; blanks on overload)
//   17    blank
//   18-19 unit, left-aligned ("g ", "kg")
//   20    blank
//   21-22 CR LF
// e.g. "ST,GS,+     12.5 g  \r\n".
//
// Commands (ESC text CR LF; ESC optional): P sends a telegram, T and Z reply "T OK" and
// "Z OK", I replies "I MQ-SIM,1.0", anything else "ES"; replies end with CR LF.
// --help lists the options.

#include "pty_transport.h"
#include "signal_watcher.h"
#include "sim_options.h"
#include "simulator.h"
#include "tcp_transport.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <memory>

namespace {

// The first stdout line tells the caller where to connect; flushed at once, since the
// caller waits for it through a pipe.
void announce(const QString &line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    SignalWatcher::blockTerminationSignals();
    std::signal(SIGPIPE, SIG_IGN); // a reader of stdout that went away must not kill us
    qSetMessagePattern(QStringLiteral("mq_instrument_sim: %{message}"));

    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("mq_instrument_sim"));

    SimOptions options;
    QString error;
    if (!parseSimOptions(app, &options, &error)) {
        qCritical("%s (see --help)", qPrintable(error));
        return 2;
    }

    SignalWatcher signalWatcher;
    if (!signalWatcher.isValid()) {
        qCritical("cannot watch for termination signals");
        return 1;
    }
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &app, [](int number) {
        qInfo("signal %d: exiting", number);
        QCoreApplication::exit(0);
    });

    std::unique_ptr<LineTransport> transport;
    if (!options.ptyLink.isEmpty()) {
        auto pty = std::make_unique<PtyTransport>();
        if (!pty->open(options.ptyLink, &error)) {
            qCritical("%s", qPrintable(error));
            return 1;
        }
        qInfo("pty %s linked at %s", qPrintable(pty->slaveName()), qPrintable(options.ptyLink));
        announce(QStringLiteral("pty %1").arg(options.ptyLink));
        transport = std::move(pty);
    } else {
        auto tcp = std::make_unique<TcpTransport>();
        if (!tcp->listen(quint16(options.tcpPort), &error)) {
            qCritical("%s", qPrintable(error));
            return 1;
        }
        qInfo("listening on 127.0.0.1:%u", unsigned(tcp->port()));
        announce(QStringLiteral("port %1").arg(tcp->port()));
        transport = std::move(tcp);
    }

    Simulator simulator(options, *transport);
    QObject::connect(&simulator, &Simulator::finished, &app, &QCoreApplication::exit);
    simulator.start();
    return app.exec();
}
