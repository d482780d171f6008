#pragma once

class App;

// Asks for a file name (starting with CfgPath) and saves the settings record
// there, ".cfg" added to a name typed without an extension. abbruch is true
// afterwards when the dialog was cancelled, the user declined to replace an
// existing file, or the save failed; CfgPath then keeps its old value. A failed
// save also names the file and the reason in a message, since the callers go on
// as if saved.
void save_set(App &app);
