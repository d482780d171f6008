#pragma once

#include "dialogs/stored_values.h"
#include "dialogs/wizard_page.h"

#include <QObject>
#include <optional>

class Prompts;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

// The common file dialog control of a file page (CmDialog1): its presets, and
// the open dialog shown through the program's prompts.
class OpenFileDialog : public QObject {
    Q_OBJECT
public:
    OpenFileDialog(Prompts &prompts, QString title, QString filter, QObject *parent);

    const QString &filter() const { return m_filter; }
    // The open dialog, starting at start (a file or folder); nullopt when cancelled.
    std::optional<QString> ShowOpen(const QString &start) const;

private:
    Prompts &m_prompts;
    QString m_title;
    QString m_filter;
};

// What the three file pages share: an optional hint (txtTipps), the path box
// with cmdOpen beside it, and the file dialog. Open shows the chosen file in
// the path box and clears abbruch; a cancelled file dialog changes nothing, so
// the page stays as it was. Ok stores and closes, unless a text is too long for
// the settings file, and leaves abbruch as it is.
class FilePage : public WizardPage {
    Q_OBJECT
protected:
    struct Design {
        QString name;      // window
        QString caption;   // window title
        QString tipps;     // txtTipps, "" for none
        QString pathBox;   // objectName of the path box
        QString pathLabel; // accessible name of the path box
        QString filter;    // file dialog patterns
    };

    FilePage(App &app, const Design &design, QWidget *parent);

    QString path() const;
    // The page's rows above the buttons, for controls a page adds.
    QVBoxLayout *body() const { return m_body; }

    // Runs after a file was chosen and shown in the path box.
    virtual void fileChosen() {}
    // The settings Ok writes, as the settings file will hold them: the path box's text.
    virtual QList<StoredValue> storedValues() const;
    // Ok: writes the page's settings.
    virtual void store() = 0;

private:
    void cmdOpen_Click();
    void cmdGoOn_Click() override;

    QLabel *m_txtTipps = nullptr;
    QLineEdit *m_path = nullptr;
    QPushButton *m_cmdOpen = nullptr;
    OpenFileDialog *m_CmDialog1 = nullptr;
    QVBoxLayout *m_body = nullptr;
};
