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
// instrument link into line with it. A missing file gives the defaults; so does
// one that cannot be read, and so does mondrelquist.ini for the receive timeout:
// then a message box and the last status of loading say which file and why;
// that status text is returned ("" when the files were read or are missing).
// A COM port that is there but will not open (device unavailable) shows the
// port settings page modally first, and loading goes on after it.
QString Einstellungen_laden(App &app, const QString &file);

// Why files that exist could not be read ("<file>: <cause>"); "" for a file
// that was read or is missing.
struct UnreadableFiles {
    QString settingsFile;
    QString mondrelquistIni;
};
// Only the reading part of loading: fills the record (defaults for a missing
// file) and touches neither the windows nor the link.
UnreadableFiles readSettingsRecord(App &app, const QString &file);

enum class SaveResult { Saved, Declined, Failed };
// Writes the record into file. An existing file (other than a tmp.cfg scratch
// copy) is replaced whole after the user agrees, keeping its encoding, owner,
// mode and symbolic link. All or nothing: a failed write (also a value the file
// cannot hold) leaves the file as it was, or not created, and reports why in
// errorText. A file that could only be rewritten in place is saved with a
// warning in the main window's status.
SaveResult Einstellungen_speichern(App &app, const QString &file, QString *errorText = nullptr);

// True when both files can be read and hold the same bytes.
bool fnDateienGleich(const QString &file1, const QString &file2);

// The receive timeout from mondrelquist.ini in the program folder, in seconds;
// problem (optional) says why the file exists but could not be read.
double readWaitTime(const App &app, QString *problem = nullptr);
