#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>
#include <chrono>
#include <functional>
#include <memory>

// Outcome of a keyboard call: an empty error is success; otherwise the error
// says, in words for the user, why no key went out.
struct KeyboardStatus {
    QString error;

    bool ok() const { return error.isEmpty(); }
    explicit operator bool() const { return ok(); }
};

// Flags of keybd_event.
constexpr quint32 KEYEVENTF_EXTENDEDKEY = 1;
constexpr quint32 KEYEVENTF_KEYUP = 2;

// Synthetic key events into whichever window has the keyboard focus, through
// the Windows calls the keystroke sender is written against, plus calls for
// held modifiers and for characters the layout has no key for. Virtual keys are Windows virtual-key
// codes (0x08 Backspace, 0x10 Shift, 0x41 'A', 0x70 F1, 0xBA..0xC0, 0xDB..0xDE
// and 0xE2 the punctuation keys, ...).
class Keyboard {
public:
    virtual ~Keyboard() = default;

    // Whether keys can be sent at all; the error says why not (no display, no
    // XTest extension). Every other call fails with the same text then.
    virtual KeyboardStatus available() const = 0;

    // Starts the typing of one text; every other call of the typing comes
    // before endTyping. Clears the locked modifiers (Caps Lock, Num Lock), so
    // that each key gives the level VkKeyScanA names whatever the user locked.
    // Calls nest: only the outermost pair acts.
    virtual void beginTyping() = 0;

    // Ends the typing: gives back the spare keys of virtual keys (waiting, as
    // unmapCharacters does, until the target has read them), then locks the
    // modifiers that were locked at beginTyping, each toggled once more for
    // every tap of its lock key in the text.
    virtual void endTyping() = 0;

    // Presses (flags without KEYEVENTF_KEYUP) or releases (with it) the key of
    // virtualKey. While typing runs, a virtual key the layout has no key for
    // goes on a spare key until endTyping, and a lock key toggles the lock
    // that endTyping leaves behind instead of the one the text is typed with.
    // Fails when the keyboard has no key for virtualKey and none can be made.
    virtual KeyboardStatus keybd_event(quint8 virtualKey, quint8 scanCode, quint32 flags) = 0;

    // The key that types charCode (a Windows-1252 byte) on the current layout:
    // virtual key in the low byte, Shift in bit 8, Ctrl in bit 9, Alt in bit 10;
    // -1 when the layout has no key for it.
    virtual qint16 VkKeyScanA(char charCode) = 0;

    // mapType 0: the scan code of virtual key code; mapType 2: the character
    // its key gives without modifiers (letters in upper case). 0 when there is
    // none, for codes above 0xFF and for other map types.
    virtual quint32 MapVirtualKeyA(quint32 code, quint32 mapType) = 0;

    // Releases every modifier key the user still holds (Shift, Ctrl, Alt,
    // AltGr, Super; not the lock keys), so that a held hotkey does not turn
    // "1" into Ctrl+1. They are not pressed again afterwards: a modifier
    // pressed by us while the user has let go of it would stay stuck down.
    virtual KeyboardStatus releaseModifiers() = 0;

    // Puts characters the layout has no key for on spare keys, in one change
    // of the keyboard mapping, so that typeCharacter can type them. Maps as
    // many as there are spare keys, from the front; mapped says how many.
    // Fails when not even one can be mapped. Calls nest: each
    // unmapCharacters undoes the latest mapCharacters.
    struct Mapping {
        KeyboardStatus status;
        qsizetype mapped = 0;
    };
    virtual Mapping mapCharacters(const QList<char32_t> &characters) = 0;

    // Taps the spare key of a character mapCharacters mapped.
    virtual KeyboardStatus typeCharacter(char32_t character) = 0;

    // Waits until the target has read the keys typed since the latest
    // mapCharacters, then gives their spare keys back their former (empty)
    // meaning in one change. Restoring earlier would type the wrong characters.
    virtual void unmapCharacters() = 0;
};

// The keyboard of an X11 display through XTest, over a connection of its own.
// Virtual keys map to keysyms and then to the keycodes of the current XKB
// group of the keyboard (level 0 is without modifiers, level 1 the Shift
// level; characters on AltGr levels count as missing). X has no scan codes or
// extended keys: keybd_event ignores both, and MapVirtualKeyA type 0 gives the
// evdev key code (keycode - 8), which is the PC scan code for the main block.
// mapCharacters, and keybd_event for a virtual key whose keysym (F13..F16 on
// a PC layout) the layout lacks, use keycodes the mapping leaves empty;
// unmapCharacters and endTyping wait settleTime with the event loop running,
// so that the target (even a window of this process) reads the keys while the
// mapping still gives them.
class X11Keyboard final : public Keyboard {
public:
    // A Qt target in another process lost the spare keys now and then when
    // they were given back within 5 ms, never at 10 ms or more; 30 ms leaves
    // room for a busier target.
    static constexpr std::chrono::milliseconds kDefaultSettleTime{30};

    // displayName "" is $DISPLAY. A display that cannot be opened, or one
    // without XTest, is not an error here: every call then reports it.
    explicit X11Keyboard(const QString &displayName = {},
                         std::chrono::milliseconds settleTime = kDefaultSettleTime);
    ~X11Keyboard() override;

    // Called with true when a typing starts, before its first key, and with
    // false when it has ended and the server has handled its every key: the
    // key state tells this program's own keys from other clients' by it.
    void setOwnTypingHook(std::function<void(bool running)> hook);

    KeyboardStatus available() const override;
    void beginTyping() override;
    void endTyping() override;
    KeyboardStatus keybd_event(quint8 virtualKey, quint8 scanCode, quint32 flags) override;
    qint16 VkKeyScanA(char charCode) override;
    quint32 MapVirtualKeyA(quint32 code, quint32 mapType) override;
    KeyboardStatus releaseModifiers() override;
    Mapping mapCharacters(const QList<char32_t> &characters) override;
    KeyboardStatus typeCharacter(char32_t character) override;
    void unmapCharacters() override;

private:
    struct Connection;
    std::unique_ptr<Connection> m_x;
};
