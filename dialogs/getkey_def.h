#pragma once

#include <QDialog>
#include <array>

class App;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct StoredValue;

// The instrument command table: for each of the main window's buttons 9 to 16
// (rows 0..7 of Action) the command text, the button caption (edited through
// getButtonText), up to three key names and the send-result flag. Shown modally;
// unloads itself when it closes. OK stores the rows and shows the captions on the
// main window; Cancel leaves both as they were.
class getkey_def : public QDialog {
    Q_OBJECT
public:
    static constexpr int kRows = 8;

    // Builds the window and runs its loading.
    explicit getkey_def(App &app, QWidget *parent = nullptr);

    // The row buttons, which show the rows' button captions.
    QPushButton *Command1(int index) const { return m_Command1.at(std::size_t(index)); }
    // Gives row button index a new caption (the caption editor's OK).
    void setRowCaption(int index, const QString &caption);

    // The row button whose caption the caption editor edits; set by its click.
    int cmdIndex = 0;

    // Row row of Action as OK stores it, from the row's controls.
    std::array<QString, 7> rowAsStored(int row) const;
    // "Button 3": the row's name in messages and for screen readers.
    QString rowName(int row) const;

private:
    void buildControls();
    void buildLayout();
    void connectControls();
    void Form_Load();
    void showRow(int row);
    void Command1_Click(int Index);
    void Command2_Click();
    // "Button 3, Caption": the row button's caption as a field of the row.
    QString captionName(int row) const;
    // The row as the settings file will hold it (cells from rowAsStored), with its fields.
    StoredValue storedRow(int row, const std::array<QString, 7> &cells) const;
    // The row's text and key boxes, left to right.
    std::array<QWidget *, 4> rowFields(int row) const;

    App &m_app;
    QGroupBox *m_Frame1 = nullptr;
    std::array<QPushButton *, kRows> m_Command1{};
    std::array<QLineEdit *, kRows> m_Text4{};
    std::array<QComboBox *, 3 * kRows> m_Combo1{};
    std::array<QCheckBox *, kRows> m_Check1{};
    QLabel *m_Label1 = nullptr;
    QLabel *m_Label5 = nullptr;
    QLabel *m_Label4 = nullptr;
    QLabel *m_Label2 = nullptr;
    QLabel *m_Label3 = nullptr;
    QLabel *m_Label6 = nullptr;
    QPushButton *m_Command2 = nullptr;
    QPushButton *m_cmdclose = nullptr;
};
