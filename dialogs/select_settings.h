#pragma once

#include <QDialog>
#include <QString>
#include <array>

class App;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class VbTimer;

// The port settings page: the COM port or TCP/IP, the serial parameters or the
// instrument's address. It writes the settings record in place and opens no link.
// Its tag names the caller: "mainform" stores and closes on Ok; no tag is the
// set-up wizard, whose next page follows. It unloads itself when it closes.
class select_settings : public QDialog {
    Q_OBJECT
public:
    // Builds the window and runs its loading (Form_Load); the port list follows
    // kPortListDelayMs later.
    explicit select_settings(App &app, QWidget *parent = nullptr);

    // Loads the page, sets its tag to caller unless caller is empty, and shows it modally.
    static void Show(App &app, const QString &caller = {});

    static constexpr int kPortListDelayMs = 100;
    static constexpr int kSerialFields = 5;

private:
    void buildControls();
    void buildLayout();
    void connectControls();

    void Form_Load();
    void Timer1_Timer();
    void cboCOM_Click(int index);
    void cmdGoOn_Click();

    // Shows the serial rows or the TCP/IP rows, hiding the others.
    void showSerialControls(bool serial);
    void fillSerialLists();
    // Whether port (the portnum Ok would store) and the boxes fit the settings
    // file; the message and the focus when not.
    bool fieldValuesFit(const QString &port);
    // The text Ok stores from serial box field.
    QString serialValue(int field) const;
    void storeFieldValues();
    // The wizard's next page, the target page, shown modally once this one closed.
    void goOn();

    App &m_app;
    QLabel *m_lblComport = nullptr;
    QComboBox *m_cboCOM = nullptr;
    // Baud, data bits, parity, stop bits, handshake.
    std::array<QLabel *, kSerialFields> m_serialLabels{};
    std::array<QComboBox *, kSerialFields> m_serialBoxes{};
    QLabel *m_lblIP = nullptr;
    QLineEdit *m_txtIP = nullptr;
    QLabel *m_lblPort = nullptr;
    QLineEdit *m_txtPort = nullptr;
    QPushButton *m_cmdGoOn = nullptr;
    QPushButton *m_cmdCancel = nullptr;
    VbTimer *m_Timer1 = nullptr;
};
