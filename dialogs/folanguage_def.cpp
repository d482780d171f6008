#include "dialogs/folanguage_def.h"

#include "core/app.h"
#include "core/mainform/program_title.h"
#include "dialogs/dialog_controls.h"
#include "dialogs/named_fields.h"
#include "dialogs/nested_modal.h"
#include "platform/ini/ini_file.h"
#include "platform/prompts.h"

#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kSectionCurrent = QStringLiteral("SPRACHE");
const QString kKeyCurrent = QStringLiteral("aktuell");
const QString kSectionLanguages = QStringLiteral("SPRACHEN");

} // namespace

foLanguage_def::foLanguage_def(App &app, QWidget *parent)
    : QDialog(parent)
    , m_app(app)
{
    setObjectName(QStringLiteral("foLanguage_def"));
    setWindowTitle(QStringLiteral("Sprachauswahl"));
    setModal(true);

    m_lblsprache1 = plainLabel(
        QStringLiteral("lblsprache1"),
        QString(25, QLatin1Char(' ')) + QStringLiteral("Please choice the Language "), this);
    m_lblsprache = plainLabel(
        QStringLiteral("lblsprache"),
        QString(27, QLatin1Char(' ')) + QStringLiteral("Bitte Sprache auswählen "), this);

    m_cboLanguage = new NamedComboBox(this);
    m_cboLanguage->setObjectName(QStringLiteral("cboLanguage"));
    m_cboLanguage->setEditable(true);
    // Both labels ask for the language; the German one names the box.
    setFieldName(m_cboLanguage, m_lblsprache->text().trimmed());
    m_cboLanguage->setInsertPolicy(QComboBox::NoInsert);
    m_cboLanguage->setMinimumContentsLength(20);

    m_cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdOK);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(8);
    layout->addWidget(m_lblsprache1);
    layout->addWidget(m_lblsprache);
    layout->addSpacing(4);
    layout->addWidget(m_cboLanguage);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_cmdOK, &QPushButton::clicked, this, &foLanguage_def::cmdOK_Click);
    connect(m_cboLanguage, &QComboBox::editTextChanged, this, &foLanguage_def::enableOk);

    Form_Load();
}

QString foLanguage_def::languageFile() const
{
    return m_app.programFile(QStringLiteral("language.ini"));
}

QString foLanguage_def::workingHelpFile() const
{
    return m_app.programFile(QStringLiteral("mq36.hlp"));
}

void foLanguage_def::Form_Load()
{
    strSprache.clear();
    const QString file = languageFile();
    const QString current =
        ini::readValue(file, kSectionCurrent, kKeyCurrent, QStringLiteral("ENGLISH"));

    // The list ends at the first number without a key, or whose value is the number itself.
    for (int n = 1;; ++n) {
        const QString key = QString::number(n);
        const QString value = ini::readValue(file, kSectionLanguages, key, key);
        if (value == key)
            break;
        m_cboLanguage->addItem(value);
    }

    // Adding items overwrites an editable combo's text: show the current language
    // afterwards, even when it is not in the list.
    m_cboLanguage->setCurrentIndex(-1);
    m_cboLanguage->setEditText(current);
    enableOk(current);
}

// A blank name stored as the current language would end the program at the next
// language load, losing unsaved settings: OK waits for a name.
void foLanguage_def::enableOk(const QString &language)
{
    m_cmdOK->setEnabled(!language.trimmed().isEmpty());
}

void foLanguage_def::cmdOK_Click()
{
    // The help file steps are skipped when they fail; the dialog closes in any case.
    strSprache = m_cboLanguage->currentText();
    QString error;
    if (!ini::writeValue(languageFile(), kSectionCurrent, kKeyCurrent, strSprache, &error)) {
        // Stored, the name would read back without its outer blanks.
        m_unsavedLanguage = strSprache.trimmed();
        // No language's texts are loaded yet at the first start: both languages.
        const QString message =
            QStringLiteral("Die Sprache kann nicht gespeichert werden; sie gilt bis zum "
                           "Programmende.\nThe language cannot be stored; it applies until the "
                           "program ends.\n\n") +
            error;
        if (!stillOpenAfter(this, [&] { m_app.prompts().message(message, programTitle()); }))
            return;
    }
    QFile::remove(workingHelpFile());
    fnSetHelpFile();
    accept();
}

void foLanguage_def::fnSetHelpFile()
{
    const QString file = languageFile();
    QFile::remove(workingHelpFile());
    strSprache = m_unsavedLanguage.isEmpty()
                     ? ini::readValue(file, kSectionCurrent, kKeyCurrent, QString())
                     : m_unsavedLanguage;
    QString name =
        ini::readValue(file, strSprache, QStringLiteral("helpfile"), QStringLiteral("\\mq36e.hlp"));

    // Stored names are relative to the program folder and begin with a Windows separator.
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (name.startsWith(QLatin1Char('/')))
        name.remove(0, 1);
    if (name.isEmpty())
        return;
    QFile::copy(m_app.programFile(name), workingHelpFile());
}
