#pragma once

#include <QString>

class App;

// fnFindeAnwendung: the title of the topmost window whose title contains
// settings.anwendung (exact case; an empty text matches the first titled
// window), or "" when none does. The same text is left in strAnwendungTitel.
QString fnFindeAnwendung(App &app);
