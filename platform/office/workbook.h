#pragma once

#include "platform/control_status.h"

#include <QString>
#include <memory>

// One worksheet of an .xlsx workbook, opened for reading and writing cells in
// place of Excel automation (Workbooks.Open, Worksheets, Cells, Save, Close).
// A save rewrites the sheet's own entry, asks every reader to recalculate the
// formulas (fullCalcOnLoad) and drops the calculation chain, which Excel rebuilds;
// every other part of the file (other sheets, styles, shared strings, formulas,
// merged cells) stays as it was. Every failure is error 1004, Excel's general
// error, with a text naming the file and the reason.
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

    // True when cell (row, column) holds a formula, whatever its last computed
    // value: other programs save formulas without one.
    bool hasFormula(int row, int column) const;

    // Gives cell (row, column) a new value and keeps its style. A plain number
    // (platform/office/cell_number.h, in the current locale) becomes a numeric cell,
    // any other text a string cell, blanks kept. Fails for a position outside the
    // sheet's limits.
    ControlStatus setCell(int row, int column, const QString &text);

    // True when the file on disk is no longer the one that was opened (another
    // program, or another delivery, saved it meanwhile).
    bool fileChangedSinceOpen() const;

    // Writes the changed sheet into the file and closes the workbook, saved or
    // not. The file is replaced whole (platform/files/file_replace.h: a scratch
    // file beside it, renamed over it, keeping its mode and owner), so it is
    // always either the old or the new workbook. Fails, leaving the file as it
    // was, when the file is read-only (no write bit for anyone, also for root), is
    // open in another program (a LibreOffice ".~lock.NAME#" or Excel "~$NAME" lock
    // file beside it), its folder refuses the scratch file, it changed since it
    // was opened, or the write fails (a full disk, the file-size limit).
    ControlStatus saveAndClose();

    // Closes the workbook; unsaved changes are dropped.
    void close();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
