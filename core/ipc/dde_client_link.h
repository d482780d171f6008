#pragma once

class App;

// The client link for the target "*DDE*": executes the command befehl on the
// application anwend, topic topic (settings section "DDECONN"), waiting at most
// five seconds while the window keeps running. A failure other than the time-out
// shows its description and number and asks whether to end the program.
void DDE_Verbindung(App &app);
