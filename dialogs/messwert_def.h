#pragma once

#include <QDialog>
#include <QString>
#include <array>

class App;
class QLabel;
class QLineEdit;
class QPushButton;
class SerialPort;
class TcpSocket;
class VbTimer;
class mainform;
struct SettingsRecord;

// The telegram-template dialog ("Dateneingang"): opens its own link to the
// instrument with the current port settings, shows what it receives raw in a
// fixed-pitch box (one byte per column, CR and NUL kept: one telegram per Start
// on a serial port, everything as it arrives over TCP) and lets the user mark
// the value, sign, unit, stable-flag and ID columns, which go into the settings
// record at once; OK stores the column, length and end-character boxes. Opening
// it takes the main window offline. Its tag is the caller: "select_target" (the
// wizard) continues with the output-template editor on OK. Closing it in any way
// releases its link and unloads it.
class messwert_def : public QDialog {
    Q_OBJECT
public:
    // Builds the window and runs its loading (Form_Load).
    explicit messwert_def(App &app, QWidget *parent = nullptr);
    ~messwert_def() override;

    // The dialog's own link to the instrument.
    SerialPort &commport() const { return *m_commport; }
    TcpSocket &Winsock1() const { return *m_Winsock1; }

    // Most characters the box shows: far beyond any balance telegram, so a link
    // that never pauses cannot grow it without end (over TCP it shows the newest).
    static constexpr int kMaxTelegram = 1024;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The four fields with a button of their own, as the settings record keeps them.
    struct Field {
        QPushButton *button = nullptr;
        QLineEdit *preview = nullptr;
        QLineEdit *start = nullptr;
        QLineEdit *end = nullptr;
        qint16 SettingsRecord::*first = nullptr;
        qint16 SettingsRecord::*last = nullptr;
    };
    struct IdField {
        QPushButton *button = nullptr;
        QLineEdit *preview = nullptr;
        QLineEdit *start = nullptr;
        QLineEdit *end = nullptr;
    };

    void buildControls();
    void buildLayout();
    void connectSignals();

    void Form_Load();
    void takeMainWindowOffline(mainform &window, bool portClosed);
    bool overTcp() const;
    void openLink();
    void connectTcp();

    void cmdStart_Click();
    void cmdStop_Click();
    void updateStartStop();
    void commport_OnComm();
    bool pauseRead(quint64 session);
    void Winsock1_DataArrival();
    void Timer1_Timer();
    void showPreviews();

    void markField(const Field &field);
    void cmdID_Click(int Index);
    void CmdLength_Click();
    void cmdEndChar_Click();
    void cmdOK_Click();
    void storeBoxes();
    // Closing in any way: the link is released and the window unloaded.
    void Form_Unload();

    App &m_app;
    QLabel *m_Label3 = nullptr;
    QLineEdit *m_txtScaleInput = nullptr;
    QPushButton *m_cmdStart = nullptr;
    QPushButton *m_cmdStop = nullptr;
    std::array<Field, 4> m_fields{};
    std::array<IdField, 10> m_ids{};
    QPushButton *m_CmdLength = nullptr;
    QLineEdit *m_txt_reclen = nullptr;
    QPushButton *m_cmdEndChar = nullptr;
    QLineEdit *m_txt_endchar = nullptr;
    QPushButton *m_cmdOK = nullptr;
    QPushButton *m_cmdCancel = nullptr;
    SerialPort *m_commport = nullptr;
    TcpSocket *m_Winsock1 = nullptr;
    VbTimer *m_Timer1 = nullptr;

    bool m_receiving = false; // between Start and Stop
    bool m_reading = false;   // a serial telegram read is waiting
    quint64 m_session = 0;    // counts closings, so a read that waits sees its window close
};
