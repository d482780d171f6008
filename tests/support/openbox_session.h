#pragma once

#include <QProcess>

// Openbox as the EWMH window manager of the test's display ($DISPLAY).
class OpenboxSession {
public:
    ~OpenboxSession() { stop(); }

    // Starts openbox and lets the event loop run until it has announced itself
    // on the root window (_NET_SUPPORTING_WM_CHECK), at most 10 s. False when
    // it did not start or did not announce itself.
    bool start();
    // Ends openbox; its windows go back to the root window, still shown.
    void stop();

private:
    QProcess m_process;
};
