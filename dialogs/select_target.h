#pragma once

#include "dialogs/wizard_page.h"

class QComboBox;

// The wizard's target page "Ziel auswählen": the kind of target in cboTarget,
// then on Ok the page for its details; anwendung is written before that page
// opens. Its tag is the caller: "format_def" (the transfer dialog's target
// button) only stores the target.
class select_target : public WizardPage {
    Q_OBJECT
public:
    explicit select_target(App &app, QWidget *parent = nullptr);

private:
    void cmdGoOn_Click() override;
    void unloadSelf() override;
    // cboTarget's entry, -1 when the user typed a text.
    int chosenIndex() const;

    QComboBox *m_cboTarget = nullptr;
};
