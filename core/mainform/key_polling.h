#pragma once

class App;

// Poll the key tables of the settings record through App::keyState(). Both
// match by level: a combination held down matches at every call.

// The button (1..8) of the highest Hotkeys row whose combination is pressed, -1 when none.
int fnCheckHotkeys(App &app);
// The highest Action row (0..7) whose combination is pressed, -1 when none.
int fnCheckActionKeys(App &app);
