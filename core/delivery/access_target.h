#pragma once

#include <QString>
#include <QStringList>

class App;
class Workspace;

// The fields of a record or row: the texts each closed by "{TAB}"; text after the
// last "{TAB}" belongs to no field. Empty fields stay in the list, so positions hold.
QStringList tabFields(const QString &text);

// Adds one record holding the fields of text to table of database (see
// platform/office/database.h for how a database is named): field k goes to column
// k, an empty field leaves its column to the table's default. A text without
// "{TAB}" adds nothing. Returns "" when all went in, else why not: then no record
// was added (also when a field with text has no column: all fields or none).
QString addAccessRecord(const Workspace &workspace, const QString &database, const QString &table,
                        const QString &text);

// The "Access-Datenbank" target of Wert_senden: adds the output string as a record
// to settings.AccessTable of settings.AccessFile. A failure is shown in the main
// window's status panel with file, table and reason, and returned ("" when delivered).
QString toAccessDatabase(App &app, const QString &strAusgabe);
