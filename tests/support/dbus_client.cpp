#include "tests/support/dbus_client.h"

#include <QTest>

namespace {

const char kPython[] = "/usr/bin/python3";

const char kCallScript[] = R"(
import sys, json, dbus
service, path, method = sys.argv[1:4]
argument = sys.stdin.buffer.read().decode('utf-8')  # too long for a command line at times
topic = dbus.SessionBus().get_object(service, path)
try:
    if method == 'GetAll':
        items = topic.GetAll('org.mondrelquist.DdeTopic',
                             dbus_interface='org.freedesktop.DBus.Properties')
        for name in sorted(items):
            print(name + '=' + json.dumps(str(items[name])))
    else:
        result = topic.get_dbus_method(method, 'org.mondrelquist.DdeTopic')(argument)
        print('ok ' + ('' if result is None else str(result)))
except dbus.DBusException as e:
    print('error ' + e.get_dbus_name() + ' ' + e.get_dbus_message())
)";

const char kWatchScript[] = R"(
import sys, json, dbus, dbus.mainloop.glib
from gi.repository import GLib
dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
def changed(interface, items, invalidated):
    print(json.dumps({str(k): str(v) for k, v in items.items()}), flush=True)
bus.add_signal_receiver(changed, 'PropertiesChanged', 'org.freedesktop.DBus.Properties',
                        path=sys.argv[1])
bus.list_names()  # a round trip: the match rule is in place after it
print('ready', flush=True)
GLib.MainLoop().run()
)";

DBusClientResult runPython(const char *script, const QStringList &arguments,
                           const QString &input = QString())
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QString::fromLatin1(kPython),
                  QStringList{QStringLiteral("-c"), QString::fromUtf8(script)} + arguments);
    process.write(input.toUtf8());
    process.closeWriteChannel();
    DBusClientResult result;
    result.finished =
        QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 30000);
    result.output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    return result;
}

} // namespace

DBusClientResult callDdeTopic(const QString &service, const QString &method,
                              const QString &argument, const QString &path)
{
    return runPython(kCallScript, {service, path, method}, argument);
}

DBusClientResult readDdeItems(const QString &service, const QString &path)
{
    return runPython(kCallScript, {service, path, QStringLiteral("GetAll")});
}

DdeItemWatcher::DdeItemWatcher(const QString &path)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QString::fromLatin1(kPython),
                    {QStringLiteral("-c"), QString::fromUtf8(kWatchScript), path});
}

DdeItemWatcher::~DdeItemWatcher()
{
    m_process.kill();
    m_process.waitForFinished();
}

bool DdeItemWatcher::ready()
{
    return QTest::qWaitFor(
        [&] {
            m_output += m_process.readAllStandardOutput();
            return m_output.startsWith("ready\n");
        },
        10000);
}

QStringList DdeItemWatcher::signalLines()
{
    m_output += m_process.readAllStandardOutput();
    QStringList lines = QString::fromUtf8(m_output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!lines.isEmpty())
        lines.removeFirst(); // "ready"
    return lines;
}
