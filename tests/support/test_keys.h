#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>

// Key presses on the X display of $DISPLAY from two sources: a keyboard of the
// server (Xvfb's own, driven through the XTest device request, so the server
// reports it as that keyboard: as a user's typing), and plain XTest over a
// connection of its own (as another program's synthetic keys: an on-screen
// keyboard, a VNC server, a test tool).
class TestKeys {
public:
    TestKeys();
    ~TestKeys();

    // Why keys cannot be pressed, "" when they can.
    QString error() const;

    // Presses (down) or releases the key of keysym; false when the layout has none.
    bool user(quint32 keysym, bool down);
    bool injected(quint32 keysym, bool down);

private:
    struct Display;
    std::unique_ptr<Display> m_x;
};
