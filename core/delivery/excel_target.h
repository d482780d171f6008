#pragma once

#include <QString>

class App;

// The "Excel-Datei" target of Wert_senden: writes the fields of strAusgabe, each
// closed by "{TAB}" (a string without one is a single field), into the first row
// of sheet "Tabelle1" of settings.ExcelFile whose column A is blank, from column A
// on, and saves the workbook. No events run meanwhile, so no other delivery can
// take the same row. A workbook that cannot be opened gives one message box; any
// failure shows its reason in the status panel and leaves the file as it was.
// Returns that reason, empty when the row was saved.
QString deliverToExcelFile(App &app, const QString &strAusgabe);
