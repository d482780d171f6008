#pragma once

#include "dialogs/dialog_controls.h"

#include <QDialog>
#include <QString>

class App;
class QLayout;
class QPushButton;

// A page of the set-up wizard's target step: a modal window with "Ok"
// (cmdGoOn) and "Abbrechen" (cmdCancel) at its bottom right. Abbrechen sets
// abbruch and closes; the window's close button and Esc close without touching
// it. Every way of closing unloads the page's default instance, which is
// deleted once control is back in the event loop, so a page may close itself
// first and then go on to the next page from its own handler.
class WizardPage : public QDialog {
    Q_OBJECT
public:
    void done(int result) override;

protected:
    WizardPage(App &app, const QString &name, const QString &caption, QWidget *parent);

    // Puts content above the button row.
    void setContent(QLayout *content);

    virtual void cmdGoOn_Click() = 0;
    // App::unload of the concrete window type.
    virtual void unloadSelf() = 0;

    App &m_app;

private:
    void cmdCancel_Click();

    QPushButton *m_cmdGoOn = nullptr;
    QPushButton *m_cmdCancel = nullptr;
};
