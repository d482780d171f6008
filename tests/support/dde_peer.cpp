#include "tests/support/dde_peer.h"

#include <QDBusError>

namespace {

QDBusConnection newConnection(const QString &name)
{
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
}

} // namespace

DdePeer::DdePeer()
    : m_bus(newConnection(QStringLiteral("dde-peer")))
{}

DdePeer::~DdePeer()
{
    QDBusConnection::disconnectFromBus(m_bus.name());
}

bool DdePeer::serve(const QString &service, const QString &path)
{
    return m_bus.registerObject(path, this, QDBusConnection::ExportAllSlots) &&
           m_bus.registerService(service);
}

void DdePeer::Execute(const QString &command)
{
    received << command;
    if (mode == Mode::Refuse) {
        sendErrorReply(QStringLiteral("org.example.Sheet.Error.Busy"),
                       QStringLiteral("no workbook is open"));
    } else if (mode == Mode::NeverAnswer) {
        setDelayedReply(true);
        m_unanswered = message();
    }
}

NameOwner::NameOwner(const QString &service)
    : m_bus(newConnection(QStringLiteral("name-owner")))
    , m_owns(m_bus.registerService(service))
{}

NameOwner::~NameOwner()
{
    QDBusConnection::disconnectFromBus(m_bus.name());
}
