#pragma once

#include <QString>

class App;

// The "Excel-Datei" target of Wert_senden: writes the fields of strAusgabe, each
// closed by "{TAB}" (a string without one is a single field), into the first row
// of sheet "Tabelle1" of settings.ExcelFile whose column A is blank, from column A
// on, and saves the workbook. No events run meanwhile, so no other delivery can
// take the same row. Any failure (a workbook that cannot be opened, is read-only,
// open in another program or cannot be saved) leaves the file as it was, shows
// its reason in the status panel and one message box. Returns that reason,
// empty when the row was saved.
QString deliverToExcelFile(App &app, const QString &strAusgabe);
