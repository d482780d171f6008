#pragma once

#include "dialogs/file_page.h"

class QComboBox;

// "Access-Datei auswählen": Open lists the tables of the chosen database in
// cboTables (only that database's: the list is emptied first); a file that is
// no database sets abbruch. Ok stores AccessFile and AccessTable.
class select_AccessFile : public FilePage {
    Q_OBJECT
public:
    explicit select_AccessFile(App &app, QWidget *parent = nullptr);

private:
    void fileChosen() override;
    QList<StoredValue> storedValues() const override;
    void store() override;
    void unloadSelf() override;

    QComboBox *m_cboTables = nullptr;
};
