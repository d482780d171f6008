#pragma once

#include <QString>
#include <QStringList>
#include <cstddef>

class App;
class Workspace;

// The fields of a record or row: the texts each closed by "{TAB}"; text after the
// last "{TAB}" belongs to no field. Empty fields stay in the list, so positions hold.
QStringList tabFields(const QString &text);

// The outcome of adding one record.
struct AccessRecordResult {
    QString error;               // why no record was added; "" when one was (or none was due)
    int fieldsWithoutColumn = 0; // fields with text left out of the added record
    size_t columns = 0;          // the table's columns, once it was opened
};

// Adds one record holding the fields of text to table of database (see
// platform/office/database.h for how a database is named): field k goes to column
// k, an empty field leaves its column to the table's default. A text without
// "{TAB}" adds nothing. A field with text beyond the table's last column is left
// out and counted; the record goes in with the fields that have a column.
AccessRecordResult addAccessRecord(const Workspace &workspace, const QString &database,
                                   const QString &table, const QString &text);

// The "Access-Datenbank" target of Wert_senden: adds the output string as a record
// to settings.AccessTable of settings.AccessFile. A failure, or a record added
// without some of its fields, is shown in the main window's status panel with
// file, table and reason, and returned ("" when delivered whole); fields left out
// are also noted in protocol.txt.
QString toAccessDatabase(App &app, const QString &strAusgabe);
