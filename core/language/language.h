#pragma once

#include <QString>

class App;

// Start-up: settles the current language (asking with the language dialog when
// language.ini names none) and loads every language text of it into app.texts,
// and Qt's own texts in that language. Returns false when the program has been
// ended: no language was chosen, or language.ini exists but cannot be read (the
// message names the file and why); the caller must stop its start-up at once.
bool Sprache_laden(App &app);

// The language menu: the language dialog, then the texts of the language now
// current. Returns false, leaving the texts as they were, when language.ini
// cannot be read (the message says why) or names no language.
bool changeLanguage(App &app);

// Shows the language dialog modally, with no owner window, and returns when it
// has closed. The choice is found in language.ini afterwards; only when the file
// could not store it (the dialog said so) is the confirmed name returned, to be
// used until the program ends. Returns "" otherwise.
QString fnSpracheWaehlen(App &app);

// The program's own fixed messages: german while its language is German,
// english in every other language.
QString inProgramLanguage(const App &app, const QString &german, const QString &english);
