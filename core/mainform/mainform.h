#pragma once

#include "core/mainform/limits.h"
#include "core/mainform/status_text.h"

#include <QList>
#include <QMainWindow>
#include <array>

class App;
class DocumentViewer;
class CommandLink;
class PanelBar;
class QAction;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;
class SerialPort;
class TcpSocket;
class VbTimer;
struct ControlStatus;

// The main window: value display, button bar, two status bars, the main timer
// and the instrument link (serial port or TCP client).
class mainform : public QMainWindow {
    Q_OBJECT
public:
    explicit mainform(App &app, QWidget *parent = nullptr);
    ~mainform() override;

    // Controls (objectNames as these names; buttons "Command5(1)".."Command5(16)").
    QPushButton *Command5(int index) const;
    QLabel *MesswertAnzeige() const { return m_MesswertAnzeige; }
    QLabel *Vorzeichen() const { return m_Vorzeichen; }
    QLabel *einheit() const { return m_einheit; }
    PanelBar *Status() const { return m_Status; }
    PanelBar *Status1() const { return m_Status1; }
    VbTimer &Timer1() const { return *m_Timer1; }
    SerialPort &commport() const { return *m_commport; }
    TcpSocket &Winsock1() const { return *m_Winsock1; }
    // A menu or menu item by its control name ("datei", "load_conf", ...).
    QAction *menuItem(const QString &name) const;
    // The DDE source items: hidden text boxes served under their names.
    QLineEdit *DDEValue() const { return m_DDEValue; }
    QLineEdit *DDESTRING() const { return m_DDESTRING; }
    QLineEdit *DDESign() const { return m_DDESign; }
    QLineEdit *DDEUnit() const { return m_DDEUnit; }
    QLineEdit *DDEDirect() const { return m_DDEDirect; }

    // Start-up: language, settings file, connection, main timer.
    void Form_Load();
    // Shows a status text in panel 1 of Status unless it repeats the last one.
    // The language texts in it follow a change of language (refreshStatus).
    bool fnUpdateStatus(const StatusText &strStatus);
    // Non-zero when a COM port of that number exists.
    int ComPortVorhanden(qint16 port) const;
    // Reopening of the instrument link at every settings load. Returns why the
    // COM port did not open (error 68: device unavailable); success otherwise.
    ControlStatus reopenLink();

    // The online state kept in the tag of the Online button.
    bool isOnline() const;

    // The single entry of the button bar: clicks, hotkeys, action keys and DDE
    // commands all press a button through it.
    void Command5_Click(int Index);

    // One tick of the main loop: keys, one telegram, tests, timer schedule, send.
    void Timer1_Timer();

    // Menu commands; each stops the polling as the menu's table says.
    void load_conf_Click();
    void save_conf_Click();
    void inst_assi_Click();
    // File > Exit (also button 8, a hotkey or DDE command for it): the main timer
    // stops and the window unloads.
    void quit_Click();
    void m_Modus_Click();
    void port_Click();
    void m_KonfigDatenIn_Click();
    void m_KonfigDatenOut_Click();
    void dde_conn_Click();
    void language_Click();
    void showhelp_Click();
    void info_Click();

    // Button 6: minimises the window and, where a notification area is there,
    // hides it behind the tray icon, whose activation brings it back.
    void hideToTray();
    // Unloads the window once no wait or modal dialog is on the stack: Form_Unload
    // runs from the application's own loop, then the window is destroyed. The
    // polling and the key polling stop at once.
    void Unload();
    // True from the first Unload on: the exit has begun and ends the program.
    bool exitBegun() const { return m_unloadRequested; }
    // Exit: compares the settings with the settings file through the scratch copy
    // tmp.cfg, asks whether to save, and ends the program.
    void Form_Unload();
    void Form_Activate();
    // The tray icon's callback path (mouse moves, clicks).
    void Form_MouseMove(qint16 Button, qint16 Shift, float X, float Y);

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    void connectMenus();
    // Offline captions with empty status, unit and sign; the link stays open.
    void showOfflineDisplay();
    void createSysTray();
    void closeSocketForExit();
    void setMenuCaptions();
    // The status last shown by fnUpdateStatus, in the language now loaded,
    // unless another text has replaced it on the panel since.
    void refreshStatus();
    void openConnection();
    void prepareMode();
    QString portSettingsText() const;
    QString applyPortSettings();
    ControlStatus openComPort(const QString &refusedSettings);
    // Starts connecting to tcpip:tcpport, closing a failed or ended link first and
    // leaving one that is up or being made alone; connectTcp also lets pending
    // events run once.
    ControlStatus startTcpConnect();
    ControlStatus connectTcp();
    void resetConnection();
    // The reset's reopening of the link; false, with the window offline and the
    // reason shown, when it did not open.
    bool reopenComPort(QString &refusedSettings);
    bool reconnectTcp();
    void toggleOnline();
    // Buttons 9 to 16: the command of an Action row, one command at a time.
    void instrumentCommand(int row);
    void runInstrumentCommand(int row);
    bool reconnectForCommand(CommandLink &link);
    void deliverReply();
    void showCommandError(const ControlStatus &status);
    // Button 7's way offline: main timer stopped, offline display, link closed.
    void goOffline();
    void startMeasurementTimer();
    void showOnline();
    void showOffline(const StatusText &status);
    void showLinkError(const QString &error);
    // A link that did not open or broke: the window offline, with the reason.
    void showLinkDown(const QString &reason);
    // "COM3: reason", the status text of a COM port's failure.
    QString comLinkText(const QString &reason) const;
    void showTcpStatus(const QString &stateText);
    bool readAndTest(QString &strTelegramm, QString &strEinheit, double &value);
    void runTimerEndTests();
    void runTriggers(double value, double &dblDelta, double &dblSekunden);
    void showFlow(double value, double &dblDelta, double &dblSekunden);
    void sendValue(QString &strTelegramm, QString &strEinheit, double value, double dblDelta,
                   double &dblSekunden);
    void waitForUnloading(QString &strTelegramm, QString &strEinheit);
    void updateTimerCaption();
    // Step 1 of the tick: a pressed hotkey or action-key combination presses its button.
    void pollKeys();
    // The keys are also polled while the main timer is stopped or slow.
    void startKeyPolling();
    void pollKeysWhileIdle();
    void Winsock1_DataArrival();
    void Winsock1_Error(int number, const QString &description);
    void Winsock1_Close();
    // "TCP/IP host:port: reason", the status text of a TCP link's failure.
    QString tcpLinkText(const QString &reason) const;

    App &m_app;
    std::array<QPushButton *, 17> m_Command5{}; // 1..16 used
    QLabel *m_MesswertAnzeige = nullptr;
    QLabel *m_Vorzeichen = nullptr;
    QLabel *m_einheit = nullptr;
    QLabel *m_Image1 = nullptr;
    QLineEdit *m_DDEValue = nullptr;
    QLineEdit *m_DDESTRING = nullptr;
    QLineEdit *m_DDESign = nullptr;
    QLineEdit *m_DDEUnit = nullptr;
    QLineEdit *m_DDEDirect = nullptr;
    PanelBar *m_Status = nullptr;
    PanelBar *m_Status1 = nullptr;
    VbTimer *m_Timer1 = nullptr;
    SerialPort *m_commport = nullptr;
    TcpSocket *m_Winsock1 = nullptr;
    DocumentViewer *m_helpViewer = nullptr;
    bool m_unloadRequested = false;
    QString strLetzterStatus;
    StatusText m_status; // what strLetzterStatus was made of
    QString m_lastSocketError;
    bool m_commandRunning = false; // an instrument command is being sent or answered
    QList<int> m_pendingCommands;  // Action rows pressed meanwhile, oldest first

    // Kept from one tick to the next.
    bool m_tickRunning = false;
    int m_lastKeyButton = -1; // the button the last key poll found pressed, -1 for none
    QTimer *m_keyPoll = nullptr;
    Qt::WindowStates varLetzterFensterzustand = Qt::WindowNoState;
    QString strLetzterPanelText;
    double m_dblTickValue = 0.0; // value and time of the previous flow measurement
    qint64 m_dblTickMs = 0;
    IgnoredLimits m_ignoredLimits;
};
