#pragma once

#include "dialogs/wizard_page.h"

class QLabel;
class QListWidget;
class QPushButton;

// The application picker "Zielanwendung auswählen": the titles of the shown,
// bordered, titled top-level windows, topmost first (equal titles all kept);
// Ok stores the chosen title as anwendung, an empty one when none is chosen.
class select_application : public WizardPage {
    Q_OBJECT
public:
    explicit select_application(App &app, QWidget *parent = nullptr);

private:
    void connectSignals();
    // Loading, and cmdRefresh: the list anew, with nothing chosen.
    void Form_Load();
    void cmdGoOn_Click() override;
    void unloadSelf() override;

    QLabel *m_Label1 = nullptr;
    QListWidget *m_lstApplications = nullptr;
    QPushButton *m_cmdRefresh = nullptr;
};
