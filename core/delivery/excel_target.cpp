#include "core/delivery/excel_target.h"

#include "core/delivery/delivery.h"

#include "core/app.h"
#include "core/mainform/mainform.h"
#include "core/mainform/program_title.h"
#include "platform/office/workbook.h"
#include "platform/prompts.h"
#include "platform/vb/vb_strings.h"

namespace {

const QString kSheet = QStringLiteral("Tabelle1");
const QString kFieldEnd = QStringLiteral("{TAB}");
// Another program saving between our open and our save means the row is searched
// and written again on top of its version, a few times at most.
constexpr int kAttempts = 3;

// The file named in the message: the target's program file from AppList, or the
// workbook itself when AppIndex addresses no entry.
QString messageFileName(const App &app)
{
    const QString program = appListProgramFile(app);
    return program.isEmpty() ? app.settings.ExcelFile : program;
}

// Row search: the first row from 1 down whose column A is blank. A formula
// counts as filled even when its last result is blank or was never computed:
// writing there would destroy it. No events run here or below: a delivery
// started meanwhile would take the same blank row.
int targetRow(const Workbook &workbook)
{
    int row = 1;
    while (row <= Workbook::kMaxRow &&
           (!vb::Trim(workbook.cell(row, 1)).isEmpty() || workbook.hasFormula(row, 1)))
        ++row;
    return row;
}

ControlStatus writeFields(Workbook &workbook, int row, const QString &strAusgabe)
{
    int start = 1;
    int column = 1;
    int p = vb::InStr(strAusgabe, kFieldEnd);
    if (p == 0)
        p = int(strAusgabe.size()) + 1;
    do {
        const QString field = strAusgabe.mid(start - 1, p - start);
        if (!field.isEmpty())
            if (ControlStatus written = workbook.setCell(row, column, field); !written)
                return written;
        ++column;
        start = p + int(kFieldEnd.size());
        p = vb::InStr(start, strAusgabe, kFieldEnd);
    } while (p != 0);
    return {};
}

ControlStatus saveRow(const QString &file, const QString &strAusgabe)
{
    for (int attempt = 1;; ++attempt) {
        Workbook workbook;
        if (const ControlStatus opened = workbook.open(file, kSheet); !opened)
            return opened;
        const int row = targetRow(workbook);
        const ControlStatus written =
            row > Workbook::kMaxRow
                ? ControlStatus::failure(Workbook::kError,
                                         file + QStringLiteral(": sheet %1 is full").arg(kSheet))
                : writeFields(workbook, row, strAusgabe);
        if (!written)
            return written;
        if (workbook.fileChangedSinceOpen() && attempt < kAttempts)
            continue;
        return workbook.saveAndClose();
    }
}

} // namespace

QString deliverToExcelFile(App &app, const QString &strAusgabe)
{
    const ControlStatus saved = saveRow(app.settings.ExcelFile, strAusgabe);
    if (saved)
        return {};
    // Excel raises its general error for a workbook it cannot open and for one it
    // cannot save alike; the status panel keeps the actual reason.
    app.mainWindow().fnUpdateStatus(saved.errorText);
    app.prompts().message(QStringLiteral("Datei ") + messageFileName(app) +
                              QStringLiteral(" nicht gefunden, bitte prüfen Sie die "
                                             "Einstellungen für Speicherung in einer Excel-Datei"),
                          programTitle());
    return saved.errorText;
}
