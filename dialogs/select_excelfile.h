#pragma once

#include "dialogs/file_page.h"

// "Excel-Datei auswählen": Ok stores txtExcelFile as ExcelFile.
class select_ExcelFile : public FilePage {
    Q_OBJECT
public:
    explicit select_ExcelFile(App &app, QWidget *parent = nullptr);

private:
    void store() override;
    void unloadSelf() override;
};
