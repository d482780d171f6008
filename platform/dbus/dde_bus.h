#pragma once

#include "platform/control_status.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

// DDE over the D-Bus session bus. An application's topic is the object
// /<topic> of the service org.mondrelquist.dde.<application>, interface
// org.mondrelquist.DdeTopic: the items are string properties, Request(item)
// returns one, Execute(command) runs a command and answers with an empty reply
// (carried out) or an error (refused).
namespace dde {

// Time a client link waits for the server's answer; QtDBus's own 25 s would
// freeze the window for a server that hangs.
inline constexpr int kReplyTimeoutMs = 5000;

// Error numbers of the DDE client link, as the Basic runtime numbers them.
inline constexpr int kNoServer = 282; // no application answered the link
inline constexpr int kRefused = 285;  // the application would not carry out the command
inline constexpr int kTimeout = 286;  // no answer within kReplyTimeoutMs

// "org.mondrelquist.dde." and the application name with every character outside
// [A-Za-z0-9_] as "_" (and a "_" before a leading digit, which bus names forbid).
QString serviceName(const QString &application);
// "/" and the topic under the same character rule.
QString objectPath(const QString &topic);

// Executes command on application|topic. Waits for the answer in a nested event
// loop (the window keeps running) for at most timeoutMs. Errors: kNoServer when
// nothing serves that topic or there is no session bus, kRefused with the
// server's reason, kTimeout when no answer came in time.
ControlStatus execute(const QString &application, const QString &topic, const QString &command,
                      int timeoutMs = kReplyTimeoutMs);

} // namespace dde

class DdeTopicObject;

// The server side of one topic with the items DDEValue, DDESTRING, DDESign,
// DDEUnit and DDEDirect. Serving ends when the object is destroyed.
class DdeServer : public QObject {
    Q_OBJECT
public:
    // Decides an execute command: "" when it is carried out, else the reason it was refused.
    using ExecuteHandler = std::function<QString(const QString &command)>;

    explicit DdeServer(ExecuteHandler execute, QObject *parent = nullptr);
    ~DdeServer() override;

    // The item names, in a fixed order.
    static const QStringList &itemNames();

    // Claims the service of application and the object of topic on the session
    // bus; "" when serving, else why not (no session bus, name owned by another
    // program). Without serving, items still keep their values.
    QString serve(const QString &application, const QString &topic);
    bool isServing() const { return !m_service.isEmpty(); }

    // Sets an item and tells the clients (PropertiesChanged) when it changed.
    void setItem(const QString &item, const QString &value);
    // An item's value; nullopt for an unknown item.
    std::optional<QString> item(const QString &item) const;

private:
    friend class DdeTopicObject;

    ExecuteHandler m_execute;
    QHash<QString, QString> m_items;
    DdeTopicObject *m_object = nullptr;
    QString m_service;
    QString m_path;
};
