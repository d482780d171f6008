#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>

// Bits of a key state as GetAsyncKeyState gives them.
namespace keystate {
constexpr quint16 kDown = 0x8000;         // the key is down now
constexpr quint16 kPressedSince = 0x0001; // pressed since the previous query of that key
} // namespace keystate

// The system-wide state of the keyboard, whichever window has the focus, as
// the hotkey polling reads it. Virtual keys are Windows virtual-key codes.
class KeyState {
public:
    virtual ~KeyState() = default;

    // Why key states cannot be read (no display, no XInput2), "" when they can.
    // While it is not empty every query gives 0.
    virtual QString unavailable() const = 0;

    // GetAsyncKeyState: kDown while the key is down, kPressedSince when it was
    // pressed since the previous query of that key; the query clears
    // kPressedSince. 0 for virtual keys the layer does not know.
    virtual quint16 GetAsyncKeyState(int virtualKey) = 0;

    // This program's own typing starts, and has ended with the server done
    // with its every key: keys it injects meanwhile are no user's presses, so
    // that a typed "{F2}" never fires an F2 hotkey.
    virtual void ownTypingStarts() = 0;
    virtual void ownTypingEnded() = 0;
};

// The keys of an X11 display, over a connection of its own. Knows the keys
// the key tables name: Shift 16, Ctrl 17, Alt 18 (each the left or the right
// key), Esc 27, Print 44 and F1..F12 (112..123). "Down" comes from the
// server's key map, "pressed since" from XInput2 raw key presses. Keys other
// clients inject through XTest (on-screen keyboards, VNC and remote-desktop
// servers, test tools) count as the keyboard's do. The server does not say
// which client injected a key, so while this program's own typing runs every
// XTest press is taken for its own and dropped; a keyboard's still counts.
class X11KeyState final : public KeyState {
public:
    // displayName "" is $DISPLAY. A display that cannot be opened, or one
    // without XInput2, is not an error here: unavailable() says why.
    explicit X11KeyState(const QString &displayName = {});
    ~X11KeyState() override;

    QString unavailable() const override;
    quint16 GetAsyncKeyState(int virtualKey) override;
    void ownTypingStarts() override;
    void ownTypingEnded() override;

private:
    struct Connection;
    std::unique_ptr<Connection> m_x;
};
