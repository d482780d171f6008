#pragma once

#include <QString>

class App;

// Delivers one output string to the target named by settings.anwendung, after
// the beep. A delivery that fails shows why in the status panel.
void Wert_senden(App &app, const QString &strAusgabe);
