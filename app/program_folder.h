#pragma once

#include <QString>

// The folder that holds language.ini, mondrelquist.ini, standard.cfg and the
// scratch copy: $MONDRELQUIST_HOME when set, else the executable's folder when
// it is writable, else ~/.local/share/mondrelquist, seeded on first use from the
// installed data files. Returns "" and sets errorText when no folder can be made.
QString findProgramFolder(QString *errorText);
