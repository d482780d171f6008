#include "tests/support/test_keys.h"

#include <QByteArray>

// X11 last: its macros (None, Bool, Status) break Qt headers.
#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

struct TestKeys::Display {
    ::Display *display = XOpenDisplay(nullptr);
    XDevice *keyboard = nullptr;
    QString error;

    Display()
    {
        if (!display) {
            error = QStringLiteral("no X display");
            return;
        }
        // The first keyboard that is no XTest device: Xvfb's "Xvfb keyboard".
        int count = 0;
        XIDeviceInfo *devices = XIQueryDevice(display, XIAllDevices, &count);
        for (int i = 0; i < count && !keyboard; ++i) {
            if (devices[i].use == XISlaveKeyboard &&
                !QByteArray(devices[i].name).endsWith(" XTEST keyboard"))
                keyboard = XOpenDevice(display, XID(devices[i].deviceid));
        }
        XIFreeDeviceInfo(devices);
        if (!keyboard)
            error = QStringLiteral("the X server has no keyboard besides XTest's");
    }
    ~Display()
    {
        if (keyboard)
            XCloseDevice(display, keyboard);
        if (display)
            XCloseDisplay(display);
    }
    Display(const Display &) = delete;
    Display &operator=(const Display &) = delete;

    KeyCode keycode(quint32 keysym) const { return XKeysymToKeycode(display, KeySym(keysym)); }
};

TestKeys::TestKeys()
    : m_x(std::make_unique<Display>())
{}

TestKeys::~TestKeys() = default;

QString TestKeys::error() const
{
    return m_x->error;
}

bool TestKeys::user(quint32 keysym, bool down)
{
    const KeyCode keycode = m_x->keycode(keysym);
    if (!m_x->error.isEmpty() || keycode == 0)
        return false;
    XTestFakeDeviceKeyEvent(m_x->display, m_x->keyboard, keycode, down, nullptr, 0, 0);
    XSync(m_x->display, False);
    return true;
}

bool TestKeys::injected(quint32 keysym, bool down)
{
    const KeyCode keycode = m_x->keycode(keysym);
    if (!m_x->error.isEmpty() || keycode == 0)
        return false;
    XTestFakeKeyEvent(m_x->display, keycode, down, 0);
    XSync(m_x->display, False);
    return true;
}
