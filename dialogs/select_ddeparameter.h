#pragma once

#include <QDialog>

class App;
class QLabel;
class QLineEdit;
class QPushButton;

// The DDE link parameters: application, topic and command of the client link
// (anwend, topic, befehl of the settings record), written straight into section
// DDECONN of the current settings file on OK. Open it modally as the default
// instance, app.form<select_DDEParameter>().exec(); it unloads itself when it
// closes. Cancel sets abbruch; OK and the window's close command leave it alone.
class select_DDEParameter : public QDialog {
    Q_OBJECT
public:
    // Builds the window and runs its start-up (Form_Load).
    explicit select_DDEParameter(App &app, QWidget *parent = nullptr);

    // Reads anwend, topic and befehl from section DDECONN of the current settings
    // file (defaults "Excel", "System", ""). Without a current settings file, or
    // with one that exists but cannot be read, the values in memory stay.
    void Verbfile_lesen();
    // Writes anwend, topic and befehl into section DDECONN of the current settings
    // file, all three or none; a failed write is reported in a message box.
    // Without a current settings file the values stay in memory only.
    void Verbfile_schreiben();

private:
    void buildLayout();
    void wireSignals();
    void fnSetDDETexte();
    void Form_Load();
    void cmdGoOn_Click();
    void cmdCancel_Click();
    void unloadDefaultInstance();

    App &m_app;
    QLabel *m_txtTipps = nullptr;
    QLabel *m_appltext = nullptr;
    QLabel *m_comtopictext = nullptr;
    QLabel *m_befehltext = nullptr;
    QLineEdit *m_appl = nullptr;
    QLineEdit *m_comtopic = nullptr;
    QLineEdit *m_befehl = nullptr;
    QPushButton *m_cmdGoOn = nullptr;
    QPushButton *m_cmdCancel = nullptr;
};
