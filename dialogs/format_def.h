#pragma once

#include <QDialog>
#include <array>

class App;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

// The transfer settings: trigger mode, limits, take-over conditions, decimal
// separator, output template and target. Mode, separator and the two conditions
// are written into the settings record at the click, the rest on OK; Cancel
// leaves what was written at once. Also the door to the template editor, the
// hotkey table, the instrument command table and the measurement timer.
class format_def : public QDialog {
    Q_OBJECT
public:
    // Builds the window and runs its loading, which re-applies the stored mode to
    // the main window's buttons and stores the ticked flags and TRZ again.
    explicit format_def(App &app, QWidget *parent = nullptr);

    // The output template box; the template editor reads and writes it.
    QPlainTextEdit *ausgabe_string() const { return m_ausgabe_string; }

    // Cancel, Escape and the window's close button: unload, nothing more written.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    QGroupBox *buildOutputFrame();
    QGroupBox *buildOptionsFrame();
    QGroupBox *buildModeFrame();
    QGroupBox *buildLimitsFrame();
    QGroupBox *buildTakeOverFrame();
    QGroupBox *buildSeparatorFrame();
    QGroupBox *buildTargetFrame();
    void connectSignals();
    void Form_Load();
    void setCaptions();
    void fillTargetList();

    void modus_Click(int Index);
    void Option1_Click(int Index);
    void entlastung_Click();
    void stillstand_Click();
    // The limit check of OTG and UTG, at every change of the box.
    void checkLimit(QLineEdit *box);
    void ausgabe_string_Change();
    // The target box shows the stored target again (the dialog became active).
    void Form_Activate();
    // Shows the child window W modally; the target box shows the stored target again.
    template <typename W> void showChild();

    // The target picker: the page stores only the target, which the box then shows.
    void Command1_Click();
    // Whether the typed values OK stores, with format as the template, fit the
    // settings file; the message and the focus when not.
    bool valuesFit(const QString &format);
    void OK_Click();
    void unloadSelf();

    App &m_app;
    QGroupBox *m_Frame4 = nullptr;
    QPlainTextEdit *m_ausgabe_string = nullptr;
    QPushButton *m_Ausgabe_def = nullptr;
    QGroupBox *m_Frame6 = nullptr;
    QGroupBox *m_mode = nullptr;
    std::array<QRadioButton *, 3> m_modus{};
    QPushButton *m_cmdHotkey = nullptr;
    QPushButton *m_Command2 = nullptr;
    QGroupBox *m_Frame1 = nullptr;
    QLabel *m_Label2 = nullptr;
    QLineEdit *m_UTG = nullptr;
    QLabel *m_Label3 = nullptr;
    QLineEdit *m_OTG = nullptr;
    QGroupBox *m_Frame3 = nullptr;
    QCheckBox *m_entlastung = nullptr;
    QCheckBox *m_stillstand = nullptr;
    QGroupBox *m_Frame2 = nullptr;
    std::array<QRadioButton *, 2> m_Option1{};
    QGroupBox *m_Frame5 = nullptr;
    QComboBox *m_anwendung_set = nullptr;
    QPushButton *m_Command1 = nullptr;
    QPushButton *m_cmdBefehle = nullptr;
    QPushButton *m_Command3 = nullptr;
    QPushButton *m_OK = nullptr;
};
