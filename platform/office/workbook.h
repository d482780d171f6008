#pragma once

#include "platform/control_status.h"

#include <QString>
#include <memory>

// One worksheet of an .xlsx workbook, opened for reading and writing cells in
// place of Excel automation (Workbooks.Open, Worksheets, Cells, Save, Close).
// Only the sheet's own entry is rewritten on save; every other part of the file
// (other sheets, styles, shared strings, formulas, merged cells) stays as it was.
// Every failure is error 1004, Excel's general error, with a text naming the file
// and the reason.
class Workbook {
public:
    static constexpr int kError = 1004;
    static constexpr int kMaxRow = 1048576;
    static constexpr int kMaxColumn = 16384;

    Workbook();
    ~Workbook();
    Workbook(const Workbook &) = delete;
    Workbook &operator=(const Workbook &) = delete;

    // Opens file and its sheet named sheet (names match without regard to case,
    // as Excel's do). Fails when the file is missing, is no workbook, or has no
    // such sheet; the workbook then stays closed.
    ControlStatus open(const QString &file, const QString &sheet);
    bool isOpen() const;

    // The value of cell (row, column), both 1-based, as text: strings as written,
    // numbers in their stored C form ("12.5"), booleans "TRUE"/"FALSE", formulas
    // their last computed value; "" for an empty or absent cell.
    QString cell(int row, int column) const;

    // Gives cell (row, column) a new value and keeps its style. A plain number
    // (platform/office/cell_number.h, in the current locale) becomes a numeric cell,
    // any other text a string cell, blanks kept. Fails for a position outside the
    // sheet's limits.
    ControlStatus setCell(int row, int column, const QString &text);

    // True when the file on disk is no longer the one that was opened (another
    // program, or another delivery, saved it meanwhile).
    bool fileChangedSinceOpen() const;

    // Writes the changed sheet into the file (through a temporary file renamed
    // over it, keeping the file's mode) and closes the workbook. Fails, leaving
    // the file as it was and the workbook open, when the file is read-only (no
    // write bit for anyone, also for root), is open in another program (a
    // LibreOffice ".~lock.NAME#" or Excel "~$NAME" lock file beside it), its folder
    // refuses the temporary file, it changed since it was opened, or the write fails.
    ControlStatus saveAndClose();

    // Closes the workbook; unsaved changes are dropped.
    void close();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
