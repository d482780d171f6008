#pragma once

#include "platform/x11/keyboard.h"

#include <QString>

// SendKeysEx: types text into whichever window has the keyboard focus, at
// once and without waiting for the target. "{NAME}" tokens (case-blind:
// {ENTER}, {TAB}, {F1}..{F16}, ...) press special keys; "+", "%" and "^" tap
// Shift, Alt and Ctrl alone. Characters the layout has no key for are typed
// all the same. Typing stops at the first key that cannot be sent, after
// releasing any modifier it pressed; the status says why (empty when the
// whole text went out).
KeyboardStatus SendKeysEx(Keyboard &keyboard, const QString &text);
