#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// python3-dbus as another program on the session bus. The calls run in a child
// process while this one's event loop keeps running, so the program under test
// can answer them.
struct DBusClientResult {
    bool finished = false;
    QString output; // one line per call: "ok <value>" or "error <name> <message>"
};

// Calls method (Execute or Request) with argument on /<path> of service; the
// argument goes over standard input, so it may be longer than a command line.
DBusClientResult callDdeTopic(const QString &service, const QString &method,
                              const QString &argument, const QString &path = "/Mondrelquist");
// Reads all properties of the topic: one "name=value" line each, JSON-quoted value.
DBusClientResult readDdeItems(const QString &service, const QString &path = "/Mondrelquist");

// Watches PropertiesChanged of the topic at path and prints one JSON object per
// signal; ready() once its match rule is in place.
class DdeItemWatcher {
public:
    explicit DdeItemWatcher(const QString &path = "/Mondrelquist");
    ~DdeItemWatcher();
    bool ready();
    // The lines printed so far, each {"item": "value"}.
    QStringList signalLines();

private:
    QProcess m_process;
    QByteArray m_output;
};
