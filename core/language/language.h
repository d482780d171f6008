#pragma once

class App;

// Settles the current language (asking with the language dialog when language.ini
// names none) and loads every language text of it into app.texts. Returns false
// only when no language was chosen: the abort message has been shown and
// app.endProgram() called, so the caller must stop its start-up at once.
bool Sprache_laden(App &app);

// Shows the language dialog modally, with no owner window, and returns when it
// has closed. The choice is found only in language.ini afterwards.
void fnSpracheWaehlen(App &app);
