#include "dialogs/select_excelfile.h"

#include "core/app.h"

select_ExcelFile::select_ExcelFile(App &app, QWidget *parent)
    : FilePage(app,
               {QStringLiteral("select_ExcelFile"), QStringLiteral("Excel-Datei auswählen"),
                QStringLiteral(" Bitte wählen Sie eine Excel-Mappe aus..."),
                QStringLiteral("txtExcelFile"), QStringLiteral("Excel-Datei"),
                QStringLiteral("Excel-Mappen (*.xl*);;Alle Dateien (*)")},
               parent)
{}

void select_ExcelFile::store()
{
    m_app.settings.ExcelFile = path();
}

void select_ExcelFile::unloadSelf()
{
    m_app.unload<select_ExcelFile>();
}
