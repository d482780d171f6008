#pragma once

#include <QString>
#include <QtGlobal>
#include <chrono>
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
// the Windows calls the keystroke sender is written against, plus one call for
// characters the layout has no key for. Virtual keys are Windows virtual-key
// codes (0x08 Backspace, 0x10 Shift, 0x41 'A', 0x70 F1, 0xBA..0xC0, 0xDB..0xDE
// and 0xE2 the punctuation keys, ...).
class Keyboard {
public:
    virtual ~Keyboard() = default;

    // Whether keys can be sent at all; the error says why not (no display, no
    // XTest extension). Every other call fails with the same text then.
    virtual KeyboardStatus available() const = 0;

    // Presses (flags without KEYEVENTF_KEYUP) or releases (with it) the key of
    // virtualKey. Fails when the keyboard has no key for virtualKey.
    virtual KeyboardStatus keybd_event(quint8 virtualKey, quint8 scanCode, quint32 flags) = 0;

    // The key that types charCode (a Windows-1252 byte) on the current layout:
    // virtual key in the low byte, Shift in bit 8, Ctrl in bit 9, Alt in bit 10;
    // -1 when the layout has no key for it.
    virtual qint16 VkKeyScanA(char charCode) = 0;

    // mapType 0: the scan code of virtual key code; mapType 2: the character
    // its key gives without modifiers (letters in upper case). 0 when there is
    // none, for codes above 0xFF and for other map types.
    virtual quint32 MapVirtualKeyA(quint32 code, quint32 mapType) = 0;

    // Types one character whatever the layout: taps a key that gives exactly
    // this character and nothing else.
    virtual KeyboardStatus typeCharacter(char32_t character) = 0;
};

// The keyboard of an X11 display through XTest, over a connection of its own.
// Virtual keys map to keysyms and then to the keycodes of the current
// keyboard mapping (level 0 is without modifiers, level 1 with Shift;
// characters on AltGr levels count as missing). X has no scan codes or
// extended keys: keybd_event ignores both, and MapVirtualKeyA type 0 gives the
// evdev key code (keycode - 8), which is the PC scan code for the main block.
// typeCharacter maps the character's keysym to a keycode the mapping leaves
// empty, taps it and restores the mapping after settleTime, letting the event
// loop run meanwhile so that the target (even a window of this process) reads
// the key while the mapping still gives the character.
class X11Keyboard final : public Keyboard {
public:
    static constexpr std::chrono::milliseconds kDefaultSettleTime{20};

    // displayName "" is $DISPLAY. A display that cannot be opened, or one
    // without XTest, is not an error here: every call then reports it.
    explicit X11Keyboard(const QString &displayName = {},
                         std::chrono::milliseconds settleTime = kDefaultSettleTime);
    ~X11Keyboard() override;

    KeyboardStatus available() const override;
    KeyboardStatus keybd_event(quint8 virtualKey, quint8 scanCode, quint32 flags) override;
    qint16 VkKeyScanA(char charCode) override;
    quint32 MapVirtualKeyA(quint32 code, quint32 mapType) override;
    KeyboardStatus typeCharacter(char32_t character) override;

private:
    struct Connection;
    std::unique_ptr<Connection> m_x;
};
