#pragma once

#include <QDialog>
#include <QString>
#include <array>

class App;
class QGroupBox;
class QLineEdit;
class QPushButton;

// The output-template editor: edits a copy of the transfer settings dialog's
// template box (format_def.ausgabe_string, which it loads hidden when needed)
// and puts the text back there on OK. Each token button appends its token at
// the end of the text. Shown modally by its openers; unloads itself when closed.
class Tasten : public QDialog {
    Q_OBJECT
public:
    // Builds the window and runs its loading (Form_Load).
    explicit Tasten(App &app, QWidget *parent = nullptr);

private:
    void buildControls();
    void buildLayout();
    void connectSignals();
    void Form_Load();
    void setCaptions();

    void appendToken(const QString &token);
    void Command2_Click();
    void del_ausgabe_def_Click();
    void Command1_Click();

    App &m_app;
    QLineEdit *m_ausgabe_string = nullptr;
    QGroupBox *m_Frame1 = nullptr;
    std::array<QPushButton *, 34> m_Key_{};
    // einheit, Waagenwert, Datum, Uhrzeit: their tokens are language texts.
    std::array<QPushButton *, 4> m_textTokens{};
    QPushButton *m_Command2 = nullptr;
    QPushButton *m_del_ausgabe_def = nullptr;
    QPushButton *m_Command1 = nullptr;
    QPushButton *m_Command3 = nullptr;
};
