#pragma once

#include <QDialog>
#include <array>

class App;
class QComboBox;
class QLabel;
class QPushButton;

// The hotkey table: up to three key names for each of the main window's buttons
// 1 to 8 (rows 0..7 of Hotkeys, columns 1..3). Shown modally; unloads itself when
// it closes. OK stores the names as typed; Cancel leaves the table as it was.
class actionkey_def : public QDialog {
    Q_OBJECT
public:
    static constexpr int kRows = 8;

    // Builds the window and runs its loading.
    explicit actionkey_def(App &app, QWidget *parent = nullptr);

    // The key of column c (1..3) and row i is Combo1((c - 1) * 8 + i).
    QComboBox *Combo1(int index) const { return m_Combo1.at(std::size_t(index)); }

private:
    void buildControls();
    void buildLayout();
    void connectControls();
    void Form_Load();
    // Row row of Hotkeys as OK stores it: the boxes' names, column 4 as it was.
    std::array<QString, 5> rowAsStored(int row) const;
    void Command2_Click();
    // "Button 1 (Send)": how a screen reader tells the rows apart.
    QString rowName(int row) const;

    App &m_app;
    std::array<QPushButton *, kRows> m_Command1{};
    std::array<QComboBox *, 3 * kRows> m_Combo1{};
    QLabel *m_Label1 = nullptr;
    QLabel *m_Label5 = nullptr;
    QLabel *m_Label3 = nullptr;
    QLabel *m_Label4 = nullptr;
    QPushButton *m_Command2 = nullptr;
    QPushButton *m_cmdAbbrechen = nullptr;
};
