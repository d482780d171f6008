#pragma once

#include "dialogs/file_page.h"

// "Text-Datei auswählen": Ok stores txtTextFile as TextFile.
class select_TextFile : public FilePage {
    Q_OBJECT
public:
    explicit select_TextFile(App &app, QWidget *parent = nullptr);

private:
    void store() override;
    void unloadSelf() override;
};
