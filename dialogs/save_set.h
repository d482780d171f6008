#pragma once

class App;

// Asks for a file name (starting with CfgPath) and saves the settings record
// there; CfgPath takes the chosen name, with ".cfg" added to a name typed
// without an extension. abbruch is true afterwards when the dialog was
// cancelled or the save failed; a failed save says why in a message, since the
// callers go on as if saved.
void save_set(App &app);
