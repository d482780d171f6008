#pragma once

#include <QDialog>

class App;
class QLabel;
class QPushButton;

// The about box: the program's name and version, and who makes it.
class info_box : public QDialog {
    Q_OBJECT
public:
    // Builds the window and runs its loading (Form_Load).
    explicit info_box(App &app, QWidget *parent = nullptr);

    // Escape and the close button close it like OK.
    void reject() override;

private:
    void Form_Load();
    void Command1_Click();

    App &m_app;
    QLabel *m_Label1 = nullptr;
    QPushButton *m_Command1 = nullptr;
};
