#include "platform/x11/key_state.h"

#include <QByteArray>
#include <QHash>
#include <QSocketNotifier>

#include <array>
#include <bitset>
#include <vector>

// X11 last: its macros (None, Bool, Status) break Qt headers.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

namespace {

using Keycodes = std::bitset<256>;

constexpr KeySym kNoSymbol = 0; // Xlib's NoSymbol

// The keysyms of a virtual key's keys: Windows' Shift, Ctrl and Alt stand for
// the left and the right key.
std::array<KeySym, 2> keysymsOf(int virtualKey)
{
    switch (virtualKey) {
    case 16:
        return {XK_Shift_L, XK_Shift_R};
    case 17:
        return {XK_Control_L, XK_Control_R};
    case 18:
        return {XK_Alt_L, XK_Alt_R};
    case 27:
        return {XK_Escape, kNoSymbol};
    case 44:
        return {XK_Print, kNoSymbol};
    default:
        break;
    }
    if (virtualKey >= 112 && virtualKey <= 123)
        return {KeySym(XK_F1 + (virtualKey - 112)), kNoSymbol};
    return {kNoSymbol, kNoSymbol};
}

// Where a raw key event came from.
enum class Source {
    Other,    // a master device, a floating slave, no keyboard at all
    Keyboard, // a keyboard the user types on
    Injected, // an XTest device: synthetic keys of some client, ours included
};

// The server gives every master keyboard an XTest slave named after it.
Source sourceOfDevice(const XIDeviceInfo &device)
{
    if (device.use != XISlaveKeyboard)
        return Source::Other;
    return QByteArray(device.name).endsWith(" XTEST keyboard") ? Source::Injected
                                                               : Source::Keyboard;
}

bool isDown(const std::array<char, 32> &keymap, int keycode)
{
    return (keymap[std::size_t(keycode / 8)] & (1 << (keycode % 8))) != 0;
}

} // namespace

struct X11KeyState::Connection {
    Display *display = nullptr;
    QString unavailable;
    int xiOpcode = 0;
    int xkbEventBase = -1;
    int minKeycode = 0;
    int maxKeycode = 0;
    std::vector<KeySym> plainSyms; // each keycode's keysym without modifiers; empty: reload
    QHash<int, Source> sources;    // by XInput2 device id
    Keycodes pressedSince;         // since the key's last query
    bool ownTyping = false;        // XTest presses are this program's own
    std::unique_ptr<QSocketNotifier> notifier;

    explicit Connection(const QString &displayName) { unavailable = open(displayName); }

    ~Connection()
    {
        notifier.reset();
        if (display)
            XCloseDisplay(display);
    }

    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    QString open(const QString &displayName)
    {
        const QByteArray name = displayName.toLocal8Bit();
        display = XOpenDisplay(name.isEmpty() ? nullptr : name.constData());
        const QString shown = displayName.isEmpty() ? qEnvironmentVariable("DISPLAY") : displayName;
        if (!display)
            return QStringLiteral("Cannot open the X display \"%1\" to read the keys.").arg(shown);
        int event = 0, error = 0, major = 2, minor = 2;
        if (!XQueryExtension(display, "XInputExtension", &xiOpcode, &event, &error) ||
            XIQueryVersion(display, &major, &minor) != Success)
            return QStringLiteral("The X display \"%1\" has no XInput2 extension: the keys "
                                  "cannot be read.")
                .arg(shown);
        // Raw events of every device: the slaves' tell the keyboards from XTest.
        std::array<unsigned char, XIMaskLen(XI_LASTEVENT)> bits{};
        XISetMask(bits.data(), XI_RawKeyPress);
        XISetMask(bits.data(), XI_HierarchyChanged);
        XIEventMask mask{XIAllDevices, int(bits.size()), bits.data()};
        XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
        // An XKB-aware Xlib hears of key remapping only through XKB events.
        int xkbOpcode = 0, xkbError = 0, xkbMajor = XkbMajorVersion, xkbMinor = XkbMinorVersion;
        if (XkbQueryExtension(display, &xkbOpcode, &xkbEventBase, &xkbError, &xkbMajor,
                              &xkbMinor)) {
            constexpr unsigned long kChanges = XkbMapNotifyMask | XkbNewKeyboardNotifyMask;
            XkbSelectEvents(display, XkbUseCoreKbd, kChanges, kChanges);
        }
        XDisplayKeycodes(display, &minKeycode, &maxKeycode);
        XSync(display, False);
        // Read events as they come, so that they never pile up between polls.
        notifier =
            std::make_unique<QSocketNotifier>(ConnectionNumber(display), QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), [this] {
            while (XPending(display) > 0)
                takeEvents(1);
        });
        return {};
    }

    // Every event the server sent before now.
    void takeAllEvents()
    {
        XSync(display, False);
        takeEvents(XEventsQueued(display, QueuedAlready));
    }

    void takeEvents(int count)
    {
        for (; count > 0; --count) {
            XEvent event;
            XNextEvent(display, &event);
            take(event);
        }
    }

    void take(XEvent &event)
    {
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            plainSyms.clear();
            return;
        }
        if (event.type == xkbEventBase) {
            plainSyms.clear();
            return;
        }
        XGenericEventCookie &cookie = event.xcookie;
        if (cookie.type != GenericEvent || cookie.extension != xiOpcode ||
            !XGetEventData(display, &cookie))
            return;
        if (cookie.evtype == XI_HierarchyChanged) {
            sources.clear();
        } else if (cookie.evtype == XI_RawKeyPress) {
            const auto *raw = static_cast<const XIRawEvent *>(cookie.data);
            notePress(sourceOf(raw->deviceid), raw->detail);
        }
        XFreeEventData(display, &cookie);
    }

    Source sourceOf(int deviceId)
    {
        if (!sources.contains(deviceId)) {
            int count = 0;
            XIDeviceInfo *devices = XIQueryDevice(display, XIAllDevices, &count);
            for (int i = 0; i < count; ++i)
                sources.insert(devices[i].deviceid, sourceOfDevice(devices[i]));
            XIFreeDeviceInfo(devices);
            sources.insert(deviceId, sources.value(deviceId, Source::Other));
        }
        return sources.value(deviceId);
    }

    void notePress(Source source, int keycode)
    {
        if (keycode < 0 || keycode >= int(Keycodes().size()) || source == Source::Other ||
            (source == Source::Injected && ownTyping))
            return;
        pressedSince.set(std::size_t(keycode));
    }

    Keycodes keycodesOf(int virtualKey)
    {
        if (plainSyms.empty()) {
            int perKeycode = 0;
            const int count = maxKeycode - minKeycode + 1;
            KeySym *syms = XGetKeyboardMapping(display, KeyCode(minKeycode), count, &perKeycode);
            for (int i = 0; i < count; ++i)
                plainSyms.push_back(syms ? syms[i * perKeycode] : kNoSymbol);
            XFree(syms);
        }
        const std::array<KeySym, 2> wanted = keysymsOf(virtualKey);
        Keycodes keys;
        for (int i = 0; i < int(plainSyms.size()); ++i) {
            const KeySym sym = plainSyms[std::size_t(i)];
            if (sym != kNoSymbol && (sym == wanted[0] || sym == wanted[1]))
                keys.set(std::size_t(minKeycode + i));
        }
        return keys;
    }
};

X11KeyState::X11KeyState(const QString &displayName)
    : m_x(std::make_unique<Connection>(displayName))
{}

X11KeyState::~X11KeyState() = default;

QString X11KeyState::unavailable() const
{
    return m_x->unavailable;
}

quint16 X11KeyState::GetAsyncKeyState(int virtualKey)
{
    Connection &x = *m_x;
    if (!x.unavailable.isEmpty() || keysymsOf(virtualKey)[0] == kNoSymbol)
        return 0;
    std::array<char, 32> keymap{};
    // Its answer comes after every event before it: those presses count now.
    XQueryKeymap(x.display, keymap.data());
    x.takeEvents(XEventsQueued(x.display, QueuedAlready));

    const Keycodes keys = x.keycodesOf(virtualKey);
    quint16 state = 0;
    for (std::size_t k = 0; k < keys.size(); ++k) {
        if (keys[k] && isDown(keymap, int(k)))
            state |= keystate::kDown;
    }
    if ((x.pressedSince & keys).any())
        state |= keystate::kPressedSince;
    x.pressedSince &= ~keys;
    return state;
}

void X11KeyState::ownTypingStarts()
{
    if (!m_x->unavailable.isEmpty())
        return;
    m_x->takeAllEvents(); // another client's presses up to here still count
    m_x->ownTyping = true;
}

void X11KeyState::ownTypingEnded()
{
    if (!m_x->unavailable.isEmpty())
        return;
    // The keyboard's connection has synced: the server sent the raw events of
    // its last key before it answers this one.
    m_x->takeAllEvents();
    m_x->ownTyping = false;
}
