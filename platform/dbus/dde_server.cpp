#include "platform/dbus/dde_bus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QVariantMap>

namespace {

const QString kInterface = QStringLiteral("org.mondrelquist.DdeTopic");
const QString kRefusedError = QStringLiteral("org.mondrelquist.DdeTopic.Error.Refused");

} // namespace

// The object on the bus. Its properties and slots are the topic's D-Bus interface.
class DdeTopicObject : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mondrelquist.DdeTopic")
    Q_PROPERTY(QString DDEValue READ DDEValue)
    Q_PROPERTY(QString DDESTRING READ DDESTRING)
    Q_PROPERTY(QString DDESign READ DDESign)
    Q_PROPERTY(QString DDEUnit READ DDEUnit)
    Q_PROPERTY(QString DDEDirect READ DDEDirect)
public:
    explicit DdeTopicObject(DdeServer &server)
        : QObject(&server)
        , m_server(server)
    {}

    QString DDEValue() const { return value(QStringLiteral("DDEValue")); }
    QString DDESTRING() const { return value(QStringLiteral("DDESTRING")); }
    QString DDESign() const { return value(QStringLiteral("DDESign")); }
    QString DDEUnit() const { return value(QStringLiteral("DDEUnit")); }
    QString DDEDirect() const { return value(QStringLiteral("DDEDirect")); }

public slots:
    QString Request(const QString &item)
    {
        const auto text = m_server.item(item);
        if (!text)
            sendErrorReply(QDBusError::InvalidArgs,
                           QStringLiteral("no item \"%1\"; the items are %2")
                               .arg(item, DdeServer::itemNames().join(QStringLiteral(", "))));
        return text.value_or(QString());
    }

    void Execute(const QString &command)
    {
        const QString refusal = m_server.m_execute(command);
        if (!refusal.isEmpty())
            sendErrorReply(kRefusedError, refusal);
    }

private:
    QString value(const QString &item) const { return m_server.m_items.value(item); }

    DdeServer &m_server;
};

DdeServer::DdeServer(ExecuteHandler execute, QObject *parent)
    : QObject(parent)
    , m_execute(std::move(execute))
    , m_object(new DdeTopicObject(*this))
{
    for (const QString &name : itemNames())
        m_items.insert(name, QString());
}

DdeServer::~DdeServer()
{
    if (!isServing())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(m_service);
    bus.unregisterObject(m_path);
}

const QStringList &DdeServer::itemNames()
{
    static const QStringList names{QStringLiteral("DDEValue"), QStringLiteral("DDESTRING"),
                                   QStringLiteral("DDESign"), QStringLiteral("DDEUnit"),
                                   QStringLiteral("DDEDirect")};
    return names;
}

QString DdeServer::serve(const QString &application, const QString &topic)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return QStringLiteral("no D-Bus session bus (%1)").arg(bus.lastError().message());
    const QString service = dde::serviceName(application);
    const QString path = dde::objectPath(topic);
    // The object first, so a client that sees the name also finds the topic.
    if (!bus.registerObject(path, kInterface, m_object,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties))
        return QStringLiteral("%1 is served already").arg(path);
    if (!bus.registerService(service)) {
        bus.unregisterObject(path);
        return QStringLiteral("%1 belongs to another program").arg(service);
    }
    m_service = service;
    m_path = path;
    return {};
}

void DdeServer::setItem(const QString &item, const QString &value)
{
    const auto found = m_items.find(item);
    if (found == m_items.end() || *found == value)
        return;
    *found = value;
    if (!isServing())
        return;
    // QtDBus does not announce changes of exported properties itself.
    QDBusMessage signal =
        QDBusMessage::createSignal(m_path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << kInterface << QVariantMap{{item, value}} << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

std::optional<QString> DdeServer::item(const QString &item) const
{
    const auto found = m_items.constFind(item);
    if (found == m_items.constEnd())
        return std::nullopt;
    return *found;
}

#include "dde_server.moc"
