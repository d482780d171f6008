#pragma once

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

class mainform;

// The wait of a reading from the instrument link: a nested event loop that
// sleeps until the serial port or the socket reports something (bytes, an
// error, the connection opening or ending), the main window goes or the
// deadline passes, so waiting costs no processor time. The caller looks at the
// link again after each wake; one deadline holds for the whole reading.
class LinkWait {
public:
    // A deadline of seconds from now (none beyond about a century).
    LinkWait(mainform &window, double seconds);

    // Lets other events run until the next wake. False when the reading must end:
    // the event loops were told to quit (the program ends) or the window is gone.
    bool yield();
    bool expired() const { return m_deadline.hasExpired(); }

private:
    QPointer<mainform> m_window;
    QDeadlineTimer m_deadline;
    QEventLoop m_loop;
    QTimer m_timer;
    bool m_woken = false;
};
