#pragma once

#include "platform/control_status.h"

#include <QPointer>
#include <QString>

class App;
class mainform;

// The text an Action row's command sends: the first "ESC" (exact case) becomes
// the escape character, and CR LF is appended. A command without "ESC" goes out
// as written, with CR LF.
QString instrumentCommandText(const QString &command);

// How the collection of a command's reply ended.
struct InstrumentReply {
    enum class Outcome {
        Line,       // a line feed arrived
        TimedOut,   // none within the time-out
        LinkFailed, // the link closed or failed meanwhile
        Stopped,    // the main window is gone or the program ends
    };
    Outcome outcome = Outcome::TimedOut;
    QString line;          // Line: the reply up to its first line feed (a CR before it stays)
    ControlStatus failure; // LinkFailed: the control's error
};

// The main window's instrument link as one instrument command uses it: the
// serial port when portnum is numeric, else the TCP client. While it lives the
// polling loop does not read the link, so the reply cannot become its telegram.
// Every wait is a nested event loop woken by the link or by its deadline.
class CommandLink {
public:
    // seconds bounds each wait: for a TCP connection and for the reply.
    CommandLink(App &app, mainform &window, double seconds);
    ~CommandLink();
    CommandLink(const CommandLink &) = delete;
    CommandLink &operator=(const CommandLink &) = delete;

    // Waits while a TCP connection is being made. ok once it is up; its error
    // when it failed, 10060 when it is still not up after the time-out. The
    // serial port answers at once.
    ControlStatus waitUntilOpen();
    // Drops what the link received before (the port's input, strEmpfang over
    // TCP), then sends text; over TCP after waitUntilOpen().
    ControlStatus send(const QString &text);
    // Waits the fixed 0.2 s the instrument is given, then collects what the
    // link receives until a line feed arrives or the time-out passes.
    InstrumentReply collectReply();

    // A wait ended because the main window is gone or the program ends: the
    // caller must not touch the window.
    bool stopped() const { return m_stopped; }

private:
    bool overTcp() const;
    bool takeReceived(QString &reply, ControlStatus &status);

    App &m_app;
    QPointer<mainform> m_window;
    const double m_seconds;
    const bool m_wasReading;
    bool m_stopped = false;
};
