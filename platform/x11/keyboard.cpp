#include "platform/x11/keyboard.h"

#include "platform/vb/cp1252.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <array>
#include <functional>
#include <span>
#include <utility>
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
// their key without modifiers; the generic Shift, Ctrl and Alt come before
// their left and right keys, so that a key found by keysym gets the generic one. The punctuation
// keys (0xBA..0xDE) are named after what they give on a US layout, as Windows names them.
constexpr std::array<VirtualKeySym, 59> kVirtualKeys = {{
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
    {0xDE, XK_apostrophe}, {0xA0, XK_Shift_L},     {0xA1, XK_Shift_R},   {0xA2, XK_Control_L},
    {0xA3, XK_Control_R},  {0xA4, XK_Alt_L},       {0xA5, XK_Alt_R},
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

// Keys whose release changes a lock state (XKB unlocks on the release that
// follows a locking press): never released on the user's behalf.
bool isLockKey(KeySym keysym)
{
    switch (keysym) {
    case XK_Caps_Lock:
    case XK_Shift_Lock:
    case XK_Num_Lock:
    case XK_Scroll_Lock:
    case XK_ISO_Level3_Lock:
    case XK_ISO_Level5_Lock:
        return true;
    default:
        return false;
    }
}

struct XkbDescDeleter {
    void operator()(XkbDescPtr xkb) const { XkbFreeKeyboard(xkb, 0, True); }
};

// Keysyms put on keycodes the mapping leaves empty.
struct SpareKey {
    int keycode;
    KeySym keysym;
};
using SpareKeys = std::vector<SpareKey>;

// One typing, from the outermost beginTyping to its endTyping.
struct Typing {
    int depth = 0;
    unsigned int locks = 0; // the locked modifiers to lock again at its end
    SpareKeys spares;       // virtual keys the layout lacks
};

} // namespace

struct X11Keyboard::Connection {
    Display *display = nullptr;
    QString error;
    std::chrono::milliseconds settleTime;
    int minKeycode = 0;
    int maxKeycode = 0;
    int symsPerKeycode = 0;
    int xkbEventBase = -1;
    int group = 0;               // the active XKB group, which the layout is read in
    std::vector<KeySym> mapping; // the core keyboard mapping, row per keycode, for spare keys
    std::unique_ptr<XkbDescRec, XkbDescDeleter> xkb; // the layout, per group and level
    std::vector<SpareKeys> spares;                   // by nested mapCharacters calls, latest last
    Typing typing;
    std::function<void(bool)> ownTypingHook;

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
        int opcode = 0, xkbError = 0, xkbMajor = XkbMajorVersion, xkbMinor = XkbMinorVersion;
        if (!XkbQueryExtension(display, &opcode, &xkbEventBase, &xkbError, &xkbMajor, &xkbMinor)) {
            error = QStringLiteral("The X display \"%1\" has no XKB extension: the keyboard "
                                   "layout cannot be read.")
                        .arg(shownName);
            return;
        }
        // An XKB-aware Xlib hears of mapping changes only through XKB events,
        // and of layout (group) switches only through state events.
        constexpr unsigned long kChanges = XkbMapNotifyMask | XkbNewKeyboardNotifyMask;
        XkbSelectEvents(display, XkbUseCoreKbd, kChanges, kChanges);
        XkbSelectEventDetails(display, XkbUseCoreKbd, XkbStateNotify, XkbGroupStateMask,
                              XkbGroupStateMask);
        XkbStateRec state{};
        XkbGetState(display, XkbUseCoreKbd, &state);
        group = state.group;
        XDisplayKeycodes(display, &minKeycode, &maxKeycode);
        loadMapping();
    }

    ~Connection()
    {
        xkb.reset();
        if (display)
            XCloseDisplay(display);
    }

    void loadMapping()
    {
        const int count = maxKeycode - minKeycode + 1;
        KeySym *syms = XGetKeyboardMapping(display, KeyCode(minKeycode), count, &symsPerKeycode);
        mapping.assign(syms, syms + std::size_t(count) * std::size_t(symsPerKeycode));
        XFree(syms);
        xkb.reset(XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd));
    }

    // Follows mapping changes and group switches by anyone (a layout switch,
    // our own spare keys) without waiting for the server.
    void followMappingChanges()
    {
        bool changed = false;
        while (XPending(display) > 0) {
            XkbEvent event;
            XNextEvent(display, &event.core);
            if (event.type == MappingNotify) {
                XRefreshKeyboardMapping(&event.core.xmapping);
                changed = true;
            } else if (event.type == xkbEventBase && event.any.xkb_type == XkbStateNotify) {
                group = event.state.group;
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

    bool hasSymbols(int keycode) const { return xkb && XkbKeyNumGroups(xkb.get(), keycode) > 0; }

    // The key's group for the active group, brought into range as the key says.
    int groupOf(int keycode) const
    {
        const int groups = XkbKeyNumGroups(xkb.get(), keycode);
        if (group < groups)
            return group;
        const unsigned char info = XkbKeyGroupInfo(xkb.get(), keycode);
        switch (XkbOutOfRangeGroupAction(info)) {
        case XkbClampIntoRange:
            return groups - 1;
        case XkbRedirectIntoRange:
            return XkbOutOfRangeGroupNumber(info) < groups ? XkbOutOfRangeGroupNumber(info) : 0;
        default:
            return group % groups;
        }
    }

    // Level 0 is without modifiers, level 1 the level Shift alone selects in
    // the active group; NoSymbol when Shift selects no level of its own.
    KeySym symAt(int keycode, int level) const
    {
        if (!hasSymbols(keycode))
            return kNoSymbol;
        const int keyGroup = groupOf(keycode);
        int index = 0;
        if (level == 1) {
            const XkbKeyTypePtr type = XkbKeyKeyType(xkb.get(), keycode, keyGroup);
            const std::span entries(type->map, type->map_count);
            const auto shift = std::find_if(entries.begin(), entries.end(), [](const auto &e) {
                return e.active && e.mods.mask == ShiftMask;
            });
            if (shift == entries.end() || shift->level == 0)
                return kNoSymbol;
            index = shift->level;
        }
        return XkbKeySymEntry(xkb.get(), keycode, index, keyGroup);
    }

    bool isEmpty(int keycode)
    {
        const KeySym *syms = row(keycode);
        return std::all_of(syms, syms + symsPerKeycode, [](KeySym s) { return s == kNoSymbol; });
    }

    // The virtual key of a key: by what it gives without modifiers in the
    // active group, else by what it gives in the first group, so that a key
    // like the German o-umlaut keeps the name of its position (0xBA).
    quint8 virtualKeyOfKeycode(int keycode) const
    {
        if (!hasSymbols(keycode))
            return 0;
        if (const quint8 virtualKey = virtualKeyOfKeysym(symAt(keycode, 0)))
            return virtualKey;
        if (const quint8 virtualKey = virtualKeyOfKeysym(XkbKeySymEntry(xkb.get(), keycode, 0, 0)))
            return virtualKey;
        return keycode == kKeycode102nd ? kVk102nd : 0;
    }

    // The key of a virtual key: the one giving its keysym without modifiers
    // in the active group, else the one virtualKeyOfKeycode names so, else one
    // with the keysym in any group or level (Alt_L shares a key with Meta_L);
    // 0 when there is none.
    int keycodeOfVirtualKey(quint8 virtualKey)
    {
        const KeySym keysym = keysymOfVirtualKey(virtualKey);
        for (int kc = minKeycode; keysym != kNoSymbol && kc <= maxKeycode; ++kc) {
            if (symAt(kc, 0) == keysym)
                return kc;
        }
        for (int kc = minKeycode; kc <= maxKeycode; ++kc) {
            if (virtualKeyOfKeycode(kc) == virtualKey)
                return kc;
        }
        for (int kc = minKeycode; keysym != kNoSymbol && kc <= maxKeycode; ++kc) {
            const KeySym *syms = row(kc);
            if (std::find(syms, syms + symsPerKeycode, keysym) != syms + symsPerKeycode)
                return kc;
        }
        return 0;
    }

    void tap(int keycode)
    {
        XTestFakeKeyEvent(display, unsigned(keycode), True, CurrentTime);
        XTestFakeKeyEvent(display, unsigned(keycode), False, CurrentTime);
        XFlush(display);
    }

    // Empty keycodes from the top, at most count of them.
    std::vector<int> emptyKeycodes(qsizetype count)
    {
        std::vector<int> keycodes;
        for (int kc = maxKeycode; kc >= minKeycode && qsizetype(keycodes.size()) < count; --kc) {
            if (isEmpty(kc))
                keycodes.push_back(kc);
        }
        return keycodes;
    }

    // Gives each key of keys the keysym of its character, or nothing when
    // restoring, in one request: a request changes a run of keycodes, so the
    // keys in use between the spare keys are written back as they are (the
    // server keeps their XKB types and levels then; checked with xkbcomp).
    // One change makes the target reload its keymap once, not once per key.
    void changeRows(const SpareKeys &keys, bool restoring)
    {
        const auto [low, high] =
            std::minmax_element(keys.begin(), keys.end(), [](const SpareKey &a, const SpareKey &b) {
                return a.keycode < b.keycode;
            });
        for (const SpareKey &key : keys) {
            // Every column, so that Shift, Caps Lock or the group cannot change it.
            std::fill_n(row(key.keycode), symsPerKeycode, restoring ? kNoSymbol : key.keysym);
        }
        XChangeKeyboardMapping(display, low->keycode, symsPerKeycode, row(low->keycode),
                               high->keycode - low->keycode + 1);
        XSync(display, False);
    }

    // Lets the event loop run for the settle time: the target reads the
    // mapping change when it gets to the keys, which may be in this process.
    void settle() const
    {
        QEventLoop loop;
        QTimer::singleShot(settleTime, &loop, &QEventLoop::quit);
        loop.exec();
    }

    void giveBack(const SpareKeys &keys)
    {
        settle();
        followMappingChanges();
        changeRows(keys, true);
    }

    // The spare key of a virtual key's keysym for the rest of the typing; 0
    // outside a typing, for no keysym and when no keycode is free.
    int spareKeyOf(KeySym keysym)
    {
        if (typing.depth == 0 || keysym == kNoSymbol)
            return 0;
        const auto spare = std::find_if(typing.spares.begin(), typing.spares.end(),
                                        [&](const SpareKey &k) { return k.keysym == keysym; });
        if (spare != typing.spares.end())
            return spare->keycode;
        const std::vector<int> free = emptyKeycodes(1);
        if (free.empty())
            return 0;
        const SpareKey key{free.front(), keysym};
        changeRows({key}, false);
        typing.spares.push_back(key);
        return key.keycode;
    }

    unsigned int lockedModifiers()
    {
        XkbStateRec state{};
        XkbGetState(display, XkbUseCoreKbd, &state);
        return state.locked_mods;
    }

    // After a lock key of the text: what it locked counts for the end of the
    // typing, and the rest of the text is typed unlocked all the same.
    void moveLocksToTypingEnd()
    {
        const unsigned int locked = lockedModifiers(); // answered after the key is handled
        if (locked == 0)
            return;
        typing.locks ^= locked;
        XkbLockModifiers(display, XkbUseCoreKbd, locked, 0);
    }
};

X11Keyboard::X11Keyboard(const QString &displayName, std::chrono::milliseconds settleTime)
    : m_x(std::make_unique<Connection>(displayName, settleTime))
{}

X11Keyboard::~X11Keyboard() = default;

void X11Keyboard::setOwnTypingHook(std::function<void(bool running)> hook)
{
    m_x->ownTypingHook = std::move(hook);
}

KeyboardStatus X11Keyboard::available() const
{
    return {m_x->error};
}

void X11Keyboard::beginTyping()
{
    Connection &x = *m_x;
    if (!x.error.isEmpty() || x.typing.depth++ > 0)
        return;
    if (x.ownTypingHook)
        x.ownTypingHook(true);
    // VkKeyScanA's levels are those without modifiers and with Shift alone.
    // With Caps Lock on, Shift+a gives "a", a alone "A", and XKB even turns
    // the "ä" of a spare key into "Ä".
    x.typing.locks = x.lockedModifiers();
    if (x.typing.locks != 0)
        XkbLockModifiers(x.display, XkbUseCoreKbd, x.typing.locks, 0);
}

void X11Keyboard::endTyping()
{
    Connection &x = *m_x;
    if (x.typing.depth == 0 || --x.typing.depth > 0)
        return;
    if (!x.typing.spares.empty())
        x.giveBack(std::exchange(x.typing.spares, {}));
    // The state change reaches every client after the keys typed before it,
    // so unlike a mapping change it needs no wait for the target.
    if (x.typing.locks != 0)
        XkbLockModifiers(x.display, XkbUseCoreKbd, x.typing.locks, x.typing.locks);
    XSync(x.display, False);
    if (x.ownTypingHook)
        x.ownTypingHook(false);
}

KeyboardStatus X11Keyboard::keybd_event(quint8 virtualKey, quint8 /*scanCode*/, quint32 flags)
{
    Connection &x = *m_x;
    if (!x.error.isEmpty())
        return {x.error};
    x.followMappingChanges();
    int keycode = x.keycodeOfVirtualKey(virtualKey);
    if (keycode == 0)
        keycode = x.spareKeyOf(keysymOfVirtualKey(virtualKey));
    if (keycode == 0)
        return {QStringLiteral("The keyboard has no key for virtual key 0x%1.")
                    .arg(virtualKey, 2, 16, QLatin1Char('0'))};
    const bool release = (flags & KEYEVENTF_KEYUP) != 0;
    XTestFakeKeyEvent(x.display, unsigned(keycode), release ? False : True, CurrentTime);
    XFlush(x.display);
    if (release && x.typing.depth > 0 && isLockKey(x.symAt(keycode, 0)))
        x.moveLocksToTypingEnd();
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

KeyboardStatus X11Keyboard::releaseModifiers()
{
    if (!m_x->error.isEmpty())
        return {m_x->error};
    m_x->followMappingChanges();
    std::array<char, 32> down{};
    XQueryKeymap(m_x->display, down.data());
    const std::unique_ptr<XModifierKeymap, decltype(&XFreeModifiermap)> modifiers(
        XGetModifierMapping(m_x->display), &XFreeModifiermap);
    if (!modifiers)
        return {QStringLiteral("The keyboard's modifier keys cannot be read.")};
    const std::span keycodes(modifiers->modifiermap, std::size_t(8 * modifiers->max_keypermod));
    for (std::size_t i = 0; i < keycodes.size(); ++i) {
        const int kc = keycodes[i];
        const bool isLockModifier = i / std::size_t(modifiers->max_keypermod) == LockMapIndex;
        const bool isDown = kc != 0 && (down[std::size_t(kc / 8)] & (1 << (kc % 8)));
        if (isDown && !isLockModifier && !isLockKey(m_x->symAt(kc, 0)))
            XTestFakeKeyEvent(m_x->display, unsigned(kc), False, CurrentTime);
    }
    XFlush(m_x->display);
    return {};
}

Keyboard::Mapping X11Keyboard::mapCharacters(const QList<char32_t> &characters)
{
    if (!m_x->error.isEmpty())
        return {{m_x->error}};
    m_x->followMappingChanges();
    const std::vector<int> keycodes = m_x->emptyKeycodes(characters.size());
    if (keycodes.empty())
        return {{QStringLiteral("No free key to type \"%1\": every keycode is in use.")
                     .arg(QString::fromUcs4(characters.constData(), 1))}};
    SpareKeys keys;
    for (std::size_t i = 0; i < keycodes.size(); ++i)
        keys.push_back({keycodes[i], keysymOfCharacter(characters.at(qsizetype(i)))});
    m_x->changeRows(keys, false);
    m_x->spares.push_back(std::move(keys));
    return {{}, qsizetype(keycodes.size())};
}

KeyboardStatus X11Keyboard::typeCharacter(char32_t character)
{
    if (!m_x->error.isEmpty())
        return {m_x->error};
    if (!m_x->spares.empty()) {
        const SpareKeys &keys = m_x->spares.back();
        const KeySym keysym = keysymOfCharacter(character);
        const auto key = std::find_if(keys.begin(), keys.end(),
                                      [&](const SpareKey &k) { return k.keysym == keysym; });
        if (key != keys.end()) {
            m_x->tap(key->keycode);
            return {};
        }
    }
    return {
        QStringLiteral("No key is mapped to type \"%1\".").arg(QString::fromUcs4(&character, 1))};
}

void X11Keyboard::unmapCharacters()
{
    if (m_x->spares.empty())
        return;
    m_x->giveBack(m_x->spares.back());
    m_x->spares.pop_back();
}
