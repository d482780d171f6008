#pragma once

#include <QDialog>
#include <QString>

class App;
class QComboBox;
class QLabel;
class QPushButton;

// The language choice: offers the languages of language.ini, writes the chosen
// one as the current language and copies its help file over the working help
// file. Its texts are fixed, since it runs before any language is known.
class foLanguage_def : public QDialog {
    Q_OBJECT
public:
    // Builds the window and runs its start-up (Form_Load).
    explicit foLanguage_def(App &app, QWidget *parent = nullptr);

    // Makes the working help file a copy of the current language's help file.
    void fnSetHelpFile();

    // The language name being set.
    QString strSprache;

    // The name confirmed with OK when language.ini could not store it, for use
    // until the program ends; "" when it was stored or OK was not pressed.
    QString unsavedLanguage() const { return m_unsavedLanguage; }

private:
    void Form_Load();
    void cmdOK_Click();
    void enableOk(const QString &language);

    QString languageFile() const;
    QString workingHelpFile() const;

    App &m_app;
    QLabel *m_lblsprache1 = nullptr;
    QLabel *m_lblsprache = nullptr;
    QComboBox *m_cboLanguage = nullptr;
    QPushButton *m_cmdOK = nullptr;
    QString m_unsavedLanguage;
};
