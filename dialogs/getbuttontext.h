#pragma once

#include <QDialog>

class App;
class QLabel;
class QLineEdit;
class QPushButton;

// The caption editor of getkey_def's row buttons: OK gives the row button
// cmdIndex the text as typed; Cancel changes nothing. Shown modally; unloads
// itself when it closes.
class getButtonText : public QDialog {
    Q_OBJECT
public:
    // Builds the window and runs its loading.
    explicit getButtonText(App &app, QWidget *parent = nullptr);

    QLineEdit *Text() const { return m_Text; }

private:
    void buildLayout();
    void connectControls();
    void Form_Load();
    void Command1_Click();

    App &m_app;
    QLabel *m_Label1 = nullptr;
    QLineEdit *m_Text = nullptr;
    QPushButton *m_Command1 = nullptr;
    QPushButton *m_Command2 = nullptr;
};
