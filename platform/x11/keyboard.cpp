#include "platform/x11/keyboard.h"

#include "platform/vb/cp1252.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <array>
#include <vector>

// X11 last: its macros (None, Bool, Status) break Qt headers.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

struct VirtualKeySym {
    quint8 virtualKey;
    KeySym keysym;
};

// Virtual keys other than letters, digits and the 102nd key, by the keysym of
// their key without modifiers. The punctuation keys (0xBA..0xDE) are named
// after what they give on a US layout, as Windows names them.
constexpr std::array<VirtualKeySym, 53> kVirtualKeys = {{
    {0x08, XK_BackSpace},  {0x09, XK_Tab},         {0x0D, XK_Return},    {0x10, XK_Shift_L},
    {0x11, XK_Control_L},  {0x12, XK_Alt_L},       {0x13, XK_Pause},     {0x14, XK_Caps_Lock},
    {0x1B, XK_Escape},     {0x20, XK_space},       {0x21, XK_Prior},     {0x22, XK_Next},
    {0x23, XK_End},        {0x24, XK_Home},        {0x25, XK_Left},      {0x26, XK_Up},
    {0x27, XK_Right},      {0x28, XK_Down},        {0x2C, XK_Print},     {0x2D, XK_Insert},
    {0x2E, XK_Delete},     {0x2F, XK_Help},        {0x5B, XK_Super_L},   {0x5D, XK_Menu},
    {0x70, XK_F1},         {0x71, XK_F2},          {0x72, XK_F3},        {0x73, XK_F4},
    {0x74, XK_F5},         {0x75, XK_F6},          {0x76, XK_F7},        {0x77, XK_F8},
    {0x78, XK_F9},         {0x79, XK_F10},         {0x7A, XK_F11},       {0x7B, XK_F12},
    {0x7C, XK_F13},        {0x7D, XK_F14},         {0x7E, XK_F15},       {0x7F, XK_F16},
    {0x90, XK_Num_Lock},   {0x91, XK_Scroll_Lock}, {0xBA, XK_semicolon}, {0xBB, XK_equal},
    {0xBC, XK_comma},      {0xBD, XK_minus},       {0xBE, XK_period},    {0xBF, XK_slash},
    {0xC0, XK_grave},      {0xDB, XK_bracketleft}, {0xDC, XK_backslash}, {0xDD, XK_bracketright},
    {0xDE, XK_apostrophe},
}};

// The key between left Shift and Z on 102-key keyboards (evdev KEY_102ND).
constexpr quint8 kVk102nd = 0xE2;
constexpr int kKeycode102nd = 94;

constexpr KeySym kNoSymbol = 0; // Xlib's NoSymbol

KeySym keysymOfVirtualKey(quint8 virtualKey)
{
    if ((virtualKey >= '0' && virtualKey <= '9'))
        return virtualKey;
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        return virtualKey + ('a' - 'A');
    for (const VirtualKeySym &k : kVirtualKeys) {
        if (k.virtualKey == virtualKey)
            return k.keysym;
    }
    return kNoSymbol;
}

quint8 virtualKeyOfKeysym(KeySym keysym)
{
    if ((keysym >= '0' && keysym <= '9'))
        return quint8(keysym);
    if (keysym >= 'a' && keysym <= 'z')
        return quint8(keysym - ('a' - 'A'));
    for (const VirtualKeySym &k : kVirtualKeys) {
        if (k.keysym == keysym)
            return k.virtualKey;
    }
    return 0;
}

// The character a keysym gives, 0 for none. Covers the keysyms that equal
// Latin-1, the Unicode keysyms, the euro sign and the control keys that give
// a character on Windows.
char32_t characterOfKeysym(KeySym keysym)
{
    if ((keysym >= 0x20 && keysym <= 0x7E) || (keysym >= 0xA0 && keysym <= 0xFF))
        return char32_t(keysym);
    if (keysym >= 0x01000100 && keysym <= 0x0110FFFF)
        return char32_t(keysym - 0x01000000);
    switch (keysym) {
    case XK_EuroSign:
        return 0x20AC;
    case XK_BackSpace:
    case XK_Tab:
    case XK_Return:
    case XK_Escape:
        return char32_t(keysym & 0xFF);
    default:
        return 0;
    }
}

// The keysym that stands for a character.
KeySym keysymOfCharacter(char32_t character)
{
    switch (character) {
    case 0x08:
    case 0x09:
    case 0x0A:
    case 0x0D:
    case 0x1B:
        return 0xFF00 | character; // BackSpace, Tab, Linefeed, Return, Escape
    case 0x7F:
        return XK_Delete;
    default:
        break;
    }
    if ((character >= 0x20 && character <= 0x7E) || (character >= 0xA0 && character <= 0xFF))
        return character;
    return 0x01000000 | character;
}

} // namespace

struct X11Keyboard::Connection {
    Display *display = nullptr;
    QString error;
    std::chrono::milliseconds settleTime;
    int minKeycode = 0;
    int maxKeycode = 0;
    int symsPerKeycode = 0;
    int xkbEventBase = -1;
    std::vector<KeySym> mapping; // the core keyboard mapping, row per keycode

    Connection(const QString &displayName, std::chrono::milliseconds settle)
        : settleTime(settle)
    {
        const QByteArray name = displayName.toLocal8Bit();
        display = XOpenDisplay(name.isEmpty() ? nullptr : name.constData());
        const QString shownName =
            displayName.isEmpty() ? qEnvironmentVariable("DISPLAY") : displayName;
        if (!display) {
            error = QStringLiteral("Cannot open the X display \"%1\" to send keys.").arg(shownName);
            return;
        }
        int event = 0, errorBase = 0, major = 0, minor = 0;
        if (!XTestQueryExtension(display, &event, &errorBase, &major, &minor)) {
            error = QStringLiteral("The X display \"%1\" has no XTest extension: keys cannot be "
                                   "sent.")
                        .arg(shownName);
            return;
        }
        // An XKB-aware Xlib hears of mapping changes only through XKB events.
        int opcode = 0, xkbError = 0, xkbMajor = XkbMajorVersion, xkbMinor = XkbMinorVersion;
        if (XkbQueryExtension(display, &opcode, &xkbEventBase, &xkbError, &xkbMajor, &xkbMinor)) {
            constexpr unsigned long kChanges = XkbMapNotifyMask | XkbNewKeyboardNotifyMask;
            XkbSelectEvents(display, XkbUseCoreKbd, kChanges, kChanges);
        }
        XDisplayKeycodes(display, &minKeycode, &maxKeycode);
        loadMapping();
    }

    ~Connection()
    {
        if (display)
            XCloseDisplay(display);
    }

    void loadMapping()
    {
        const int count = maxKeycode - minKeycode + 1;
        KeySym *syms = XGetKeyboardMapping(display, KeyCode(minKeycode), count, &symsPerKeycode);
        mapping.assign(syms, syms + std::size_t(count) * std::size_t(symsPerKeycode));
        XFree(syms);
    }

    // Reloads the mapping after anyone (a layout switch, our own spare key)
    // changed it, without waiting for the server.
    void followMappingChanges()
    {
        bool changed = false;
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MappingNotify) {
                XRefreshKeyboardMapping(&event.xmapping);
                changed = true;
            } else if (event.type == xkbEventBase) {
                changed = true;
            }
        }
        if (changed)
            loadMapping();
    }

    KeySym *row(int keycode)
    {
        return mapping.data() + std::size_t(keycode - minKeycode) * std::size_t(symsPerKeycode);
    }

    // Level 0 is without modifiers, level 1 with Shift; a lone letter keysym
    // stands for both cases, as the core protocol defines.
    KeySym symAt(int keycode, int level)
    {
        const KeySym *syms = row(keycode);
        if (level == 0 || symsPerKeycode < 2)
            return level == 0 ? syms[0] : kNoSymbol;
        if (syms[1] != kNoSymbol)
            return syms[1];
        KeySym lower = 0, upper = 0;
        XConvertCase(syms[0], &lower, &upper);
        return upper != lower ? upper : kNoSymbol;
    }

    bool isEmpty(int keycode)
    {
        const KeySym *syms = row(keycode);
        return std::all_of(syms, syms + symsPerKeycode, [](KeySym s) { return s == kNoSymbol; });
    }

    // The keycode whose key gives keysym without modifiers, else with any; 0
    // when the mapping has none.
    int keycodeOf(KeySym keysym)
    {
        for (int column : {0, -1}) {
            for (int kc = minKeycode; kc <= maxKeycode; ++kc) {
                const KeySym *syms = row(kc);
                if (column == 0
                        ? syms[0] == keysym
                        : std::find(syms, syms + symsPerKeycode, keysym) != syms + symsPerKeycode)
                    return kc;
            }
        }
        return 0;
    }

    int keycodeOfVirtualKey(quint8 virtualKey)
    {
        if (virtualKey == kVk102nd)
            return kKeycode102nd >= minKeycode && kKeycode102nd <= maxKeycode &&
                           !isEmpty(kKeycode102nd)
                       ? kKeycode102nd
                       : 0;
        const KeySym keysym = keysymOfVirtualKey(virtualKey);
        return keysym == kNoSymbol ? 0 : keycodeOf(keysym);
    }

    quint8 virtualKeyOfKeycode(int keycode)
    {
        const quint8 virtualKey = virtualKeyOfKeysym(symAt(keycode, 0));
        return virtualKey == 0 && keycode == kKeycode102nd ? kVk102nd : virtualKey;
    }

    void tap(int keycode)
    {
        XTestFakeKeyEvent(display, unsigned(keycode), True, CurrentTime);
        XTestFakeKeyEvent(display, unsigned(keycode), False, CurrentTime);
        XSync(display, False);
    }

    void setRow(int keycode, const std::vector<KeySym> &syms)
    {
        std::copy(syms.begin(), syms.end(), row(keycode));
        XChangeKeyboardMapping(display, keycode, symsPerKeycode, const_cast<KeySym *>(syms.data()),
                               1);
        XSync(display, False);
    }

    // Lets the event loop run for the settle time: the target reads the
    // mapping change when it gets to the key, which may be in this process.
    void settle() const
    {
        QEventLoop loop;
        QTimer::singleShot(settleTime, &loop, &QEventLoop::quit);
        loop.exec();
    }
};

X11Keyboard::X11Keyboard(const QString &displayName, std::chrono::milliseconds settleTime)
    : m_x(std::make_unique<Connection>(displayName, settleTime))
{}

X11Keyboard::~X11Keyboard() = default;

KeyboardStatus X11Keyboard::available() const
{
    return {m_x->error};
}

KeyboardStatus X11Keyboard::keybd_event(quint8 virtualKey, quint8 /*scanCode*/, quint32 flags)
{
    if (!m_x->error.isEmpty())
        return {m_x->error};
    m_x->followMappingChanges();
    const int keycode = m_x->keycodeOfVirtualKey(virtualKey);
    if (keycode == 0)
        return {QStringLiteral("The keyboard has no key for virtual key 0x%1.")
                    .arg(virtualKey, 2, 16, QLatin1Char('0'))};
    XTestFakeKeyEvent(m_x->display, unsigned(keycode), (flags & KEYEVENTF_KEYUP) ? False : True,
                      CurrentTime);
    XFlush(m_x->display);
    return {};
}

qint16 X11Keyboard::VkKeyScanA(char charCode)
{
    if (!m_x->error.isEmpty())
        return -1;
    m_x->followMappingChanges();
    const char32_t character = cp1252::decode(QByteArrayView(&charCode, 1)).at(0).unicode();
    for (int level : {0, 1}) {
        for (int kc = m_x->minKeycode; kc <= m_x->maxKeycode; ++kc) {
            if (characterOfKeysym(m_x->symAt(kc, level)) != character)
                continue;
            if (const quint8 virtualKey = m_x->virtualKeyOfKeycode(kc))
                return qint16(virtualKey | (level << 8));
        }
    }
    return -1;
}

quint32 X11Keyboard::MapVirtualKeyA(quint32 code, quint32 mapType)
{
    if (!m_x->error.isEmpty() || code > 0xFF || (mapType != 0 && mapType != 2))
        return 0;
    m_x->followMappingChanges();
    const int keycode = m_x->keycodeOfVirtualKey(quint8(code));
    if (keycode == 0)
        return 0;
    if (mapType == 0)
        return quint32(keycode - 8);
    const char32_t character = characterOfKeysym(m_x->symAt(keycode, 0));
    return character >= 'a' && character <= 'z' ? character - ('a' - 'A') : character;
}

KeyboardStatus X11Keyboard::typeCharacter(char32_t character)
{
    if (!m_x->error.isEmpty())
        return {m_x->error};
    m_x->followMappingChanges();
    // The highest empty keycode: one a nested call (from the event loop run
    // while settling) has not taken.
    int spare = m_x->maxKeycode;
    while (spare >= m_x->minKeycode && !m_x->isEmpty(spare))
        --spare;
    if (spare < m_x->minKeycode)
        return {QStringLiteral("No free key to type \"%1\": every keycode is in use.")
                    .arg(QString::fromUcs4(&character, 1))};

    const std::vector<KeySym> empty(std::size_t(m_x->symsPerKeycode), kNoSymbol);
    // Every column, so that Shift or Caps Lock cannot change the case.
    m_x->setRow(spare, std::vector<KeySym>(empty.size(), keysymOfCharacter(character)));
    m_x->tap(spare);
    // Restoring before the target has read the key would type the wrong character.
    m_x->settle();
    m_x->setRow(spare, empty);
    return {};
}
