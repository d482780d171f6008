#pragma once

#include <QDialog>
#include <array>

class App;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The display mode of the measured value (weight, volume, flow) and the density
// the volume is computed with; both are stored only by OK.
class Anzeige : public QDialog {
    Q_OBJECT
public:
    // Builds the window and runs its loading (Form_Load).
    explicit Anzeige(App &app, QWidget *parent = nullptr);

    // Escape and the close button cancel.
    void reject() override;

private:
    void buildControls();
    void buildLayout();
    void wireSignals();
    void Form_Load();

    void Option1_Click(int Index);
    void cmdOK_Click();
    void cmdCancel_Click();
    void unloadWith(int result);

    App &m_app;
    QGroupBox *m_frmAnzeige = nullptr;
    std::array<QRadioButton *, 3> m_Option1{};
    std::array<QLabel *, 3> m_modeLabels{}; // lblweight, lblvolume, lblflow
    QLineEdit *m_dichte = nullptr;
    QLabel *m_Label4 = nullptr;
    QPushButton *m_cmdOK = nullptr;
    QPushButton *m_cmdCancel = nullptr; // cmdCancel(1)
};
