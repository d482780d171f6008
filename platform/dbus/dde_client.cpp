#include "platform/dbus/dde_bus.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>
#include <QTimer>

namespace {

QString withBusCharacters(const QString &name)
{
    QString out = name;
    for (QChar &c : out)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('_'))
            c = QLatin1Char('_');
    return out;
}

QString errorText(int error)
{
    switch (error) {
    case dde::kNoServer:
        return QStringLiteral("No foreign application responded to a DDE initiate");
    case dde::kRefused:
        return QStringLiteral("Foreign application won't perform DDE method or operation");
    default:
        return QStringLiteral("Timeout occurred while waiting for DDE response");
    }
}

ControlStatus failure(int error, const QString &detail)
{
    return ControlStatus::failure(error, errorText(error), detail);
}

ControlStatus statusOf(const QDBusError &error)
{
    switch (error.type()) {
    case QDBusError::NoError:
        return {};
    case QDBusError::ServiceUnknown:
    case QDBusError::UnknownObject:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownMethod:
        return failure(dde::kNoServer, error.message());
    default:
        // Refusals, and a server that quit without answering: a broken link.
        return failure(dde::kRefused, error.name() + QStringLiteral(": ") + error.message());
    }
}

} // namespace

QString dde::serviceName(const QString &application)
{
    QString element = withBusCharacters(application);
    if (element.isEmpty() || element.front().isDigit())
        element.prepend(QLatin1Char('_'));
    return QStringLiteral("org.mondrelquist.dde.") + element;
}

QString dde::objectPath(const QString &topic)
{
    return QLatin1Char('/') + withBusCharacters(topic);
}

ControlStatus dde::execute(const QString &application, const QString &topic, const QString &command,
                           int timeoutMs)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return failure(kNoServer, bus.lastError().message());
    QDBusMessage call = QDBusMessage::createMethodCall(serviceName(application), objectPath(topic),
                                                       QStringLiteral("org.mondrelquist.DdeTopic"),
                                                       QStringLiteral("Execute"));
    call << command;
    // The deadline below decides the time-out; the bus's own comes later, so that
    // a NoReply before the deadline can only mean the server went away.
    QDBusPendingCallWatcher watcher(bus.asyncCall(call, 2 * timeoutMs));
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    QTimer deadline;
    deadline.setSingleShot(true);
    // A coarse timer may fire 5 % early.
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(timeoutMs);
    if (!watcher.isFinished())
        loop.exec();
    if (!watcher.isFinished())
        return failure(kTimeout, QStringLiteral("no answer from %1 within %2 ms")
                                     .arg(serviceName(application))
                                     .arg(timeoutMs));
    return statusOf(watcher.error());
}
