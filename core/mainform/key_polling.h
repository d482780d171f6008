#pragma once

class App;

// The button number of a pressed hotkey combination, -1 when none.
int fnCheckHotkeys(App &app);
// The row of a pressed action-key combination, -1 when none.
int fnCheckActionKeys(App &app);
