#pragma once

#include <QString>

class App;

// INI access for the whole program: the value of key in section of file, or the
// default; at most 199 characters. Argument order as the stored-file code uses it.
QString GetINI(const QString &key, const QString &defaultValue, const QString &file,
               const QString &section);
// Writes key = value into section of file, creating what is missing.
// Returns false when the file could not be written (it is then left as it was).
bool WriteINI(const QString &key, const QString &value, const QString &file,
              const QString &section);

// Loads the settings file into the record and brings the main window and the
// instrument link into line with it. A missing file gives the defaults.
void Einstellungen_laden(App &app, const QString &file);
// Only the reading part of loading: fills the record (defaults for a missing
// file) and touches neither the windows nor the link.
void readSettingsRecord(App &app, const QString &file);

enum class SaveResult { Saved, Declined, Failed };
// Writes the record into file. An existing file (other than a tmp.cfg scratch
// copy) is replaced whole after the user agrees; a failed write leaves it intact
// and reports why in errorText.
SaveResult Einstellungen_speichern(App &app, const QString &file, QString *errorText = nullptr);

// True when both files can be read and hold the same bytes.
bool fnDateienGleich(const QString &file1, const QString &file2);

// The receive timeout from mondrelquist.ini in the program folder, in seconds.
double readWaitTime(const App &app);
