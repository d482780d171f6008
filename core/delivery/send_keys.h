#pragma once

#include "platform/x11/keyboard.h"

#include <QString>

// SendKeysEx: types text into whichever window has the keyboard focus,
// without waiting for the target. "{NAME}" tokens (case-blind: {ENTER},
// {TAB}, {F1}..{F16}, ...) press special keys; "+", "%" and "^" tap Shift, Alt
// and Ctrl alone. Modifiers the user still holds (the hotkey that started the
// send) are released first and not pressed again. The whole text is one
// typing of the keyboard (Keyboard::beginTyping): letters arrive as written
// whatever Caps Lock says. Characters the layout has no key for are typed in
// their place all the same, through spare keys mapped for a whole run of the
// text; only giving those keys back waits until the target has read them. A
// key that cannot be sent is skipped, after releasing any modifier pressed
// for it, and the rest of the text is typed; the status names the first such
// key (empty when the whole text went out).
KeyboardStatus SendKeysEx(Keyboard &keyboard, const QString &text);
