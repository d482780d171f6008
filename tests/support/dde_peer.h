#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>

// Another program's DDE topic on a connection of its own: records the commands
// it is sent, and carries them out, refuses them or never answers.
class DdePeer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mondrelquist.DdeTopic")
public:
    enum class Mode { CarryOut, Refuse, NeverAnswer };

    DdePeer();
    ~DdePeer() override;

    // Serves org.mondrelquist.dde.<service> at path.
    bool serve(const QString &service, const QString &path);

    Mode mode = Mode::CarryOut;
    QStringList received;

public slots:
    void Execute(const QString &command);

private:
    QDBusConnection m_bus;
    QDBusMessage m_unanswered;
};

// A second connection that owns a service name, as another instance would.
class NameOwner {
public:
    explicit NameOwner(const QString &service);
    ~NameOwner();
    bool owns() const { return m_owns; }

private:
    QDBusConnection m_bus;
    bool m_owns = false;
};
