#pragma once

#include <QString>

class App;
struct AppendResult;

// Delivers one output string to the target named by settings.anwendung, after
// the beep. A delivery that fails shows why in the status panel; the same text
// is returned (empty when delivered), so the caller can show it again later.
// One delivery at a time: a string handed over while one runs (a message box
// lets events run) is delivered after it, and its own failures are shown then.
QString Wert_senden(App &app, const QString &strAusgabe);

// The program file of the target application (column 2 of AppList at AppIndex),
// "" when AppIndex addresses no entry; the delivery messages name it.
QString appListProgramFile(const App &app);

// Shows a failed write in a message box the first time its file fails, and again
// only after a write to it has succeeded: a full disk gives one box per file,
// not one per value.
void reportWriteFailure(App &app, const AppendResult &result);
