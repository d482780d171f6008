#pragma once

#include <QString>

class App;

// Asks for a settings file to open. Returns the chosen path; sets abbruch and
// returns "" when the user cancels.
QString load_set(App &app);
