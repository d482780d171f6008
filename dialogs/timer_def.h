#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <array>
#include <optional>

class App;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The measurement timer of the trigger mode "TIMER": start/stop window or fixed
// count, the interval, and whether the timer starts with the program. The mode
// and the start flag are stored at once; the boxes only by OK, after the same
// checks the boxes make when the focus leaves them.
class timer_def : public QDialog {
    Q_OBJECT
public:
    // Builds the window and runs its loading (Form_Load).
    explicit timer_def(App &app, QWidget *parent = nullptr);
    // Stops the focus watch first: the dialog's destructor hides it, which moves
    // the focus while this part of the window is already gone.
    ~timer_def() override;

    // Escape and the close button cancel.
    void reject() override;

private:
    enum class Check { Number, Count, Date, Time };
    struct CheckedBox {
        QLineEdit *box;
        Check check;
    };

    void buildControls();
    void buildLayout();
    void wireSignals();
    void Form_Load();

    void fnSetTimerModus(qint16 mode);
    void TimerModus_Click();
    void Check1_Click();
    void OK_Click();
    // The length check of every box OK stores: false after its message.
    bool boxesFitSettingsFile();
    void Command1_Click();

    void focusChanged(QWidget *old, QWidget *now);
    // The check of a box (what its LostFocus does): false after its message.
    bool LostFocus(const CheckedBox &checked);
    // The message a box's text gets, nullopt when it passes; a time is written out in full.
    std::optional<QString> checkFailure(const CheckedBox &checked);
    void unloadWith(int result);

    App &m_app;
    bool m_checking = false; // a check's message is showing or its focus moving back

    QGroupBox *m_Frame2 = nullptr;
    std::array<QRadioButton *, 2> m_TimerModus{};
    QCheckBox *m_Check1 = nullptr;
    QGroupBox *m_frame1 = nullptr;
    QLineEdit *m_Stunden = nullptr;
    QLineEdit *m_minuten = nullptr;
    QLineEdit *m_sekunden = nullptr;
    QLabel *m_Label7 = nullptr;
    QLabel *m_Label8 = nullptr;
    QLabel *m_Label9 = nullptr;
    QGroupBox *m_Frame3 = nullptr;
    QLineEdit *m_Startdate = nullptr;
    QLineEdit *m_starttime = nullptr;
    QLineEdit *m_stopdate = nullptr;
    QLineEdit *m_stoptime = nullptr;
    QLabel *m_Label1 = nullptr;
    QLabel *m_Label2 = nullptr;
    QLabel *m_Label3 = nullptr;
    QLabel *m_Label4 = nullptr;
    QGroupBox *m_Frame4 = nullptr;
    QLineEdit *m_anz_messungen = nullptr;
    QPushButton *m_OK = nullptr;
    QPushButton *m_Command1 = nullptr;

    // In the order OK checks them.
    QList<CheckedBox> m_checked;
};
