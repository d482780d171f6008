#include "dialogs/select_ddeparameter.h"

#include "core/app.h"
#include "core/mainform/program_title.h"
#include "dialogs/nested_modal.h"
#include "dialogs/stored_values.h"
#include "platform/ini/ini_file.h"
#include "platform/prompts.h"
#include "platform/vb/vb_caption.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kSection = QStringLiteral("DDECONN");
const QString kKeyAnwend = QStringLiteral("anwend");
const QString kKeyTopic = QStringLiteral("topic");
const QString kKeyBefehl = QStringLiteral("befehl");
const QString kDefaultAnwend = QStringLiteral("Excel");
const QString kDefaultTopic = QStringLiteral("System");
// Runs Excel's macro "getdata"; the leading blank is part of the stored default.
const QString kDefaultBefehl = QStringLiteral(" [RUN(\"getdata\")]");
// Wide enough for the default command and a path-like topic.
constexpr int kFieldChars = 40;

QLabel *caption(const QString &name, QLineEdit *field, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    // The buddy gives the field its accessible name.
    label->setBuddy(field);
    return label;
}

QLineEdit *field(const QString &name, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('x')) * kFieldChars);
    return edit;
}

QPushButton *button(const QString &name, QWidget *parent)
{
    auto *push = new QPushButton(parent);
    push->setObjectName(name);
    // Enter in a box must not close the dialog behind the user's back.
    push->setAutoDefault(false);
    return push;
}

void defaultWhenBlank(QString &value, const QString &defaultValue)
{
    if (value.trimmed().isEmpty())
        value = defaultValue;
}

} // namespace

select_DDEParameter::select_DDEParameter(App &app, QWidget *parent)
    : QDialog(parent)
    , m_app(app)
{
    setObjectName(QStringLiteral("select_DDEParameter"));
    setModal(true);
    buildLayout();
    wireSignals();
    Form_Load();
}

void select_DDEParameter::buildLayout()
{
    m_txtTipps = new QLabel(
        QStringLiteral("Bitte geben Sie die DDE-Kommunikationsparameter ein. Die Angaben für "
                       "Anwendung, Topic und Makroname entnehmen Sie bitte der Beschreibung "
                       "Ihrer Zielanwendung."),
        this);
    m_txtTipps->setObjectName(QStringLiteral("txtTipps"));
    m_txtTipps->setWordWrap(true);

    m_appl = field(QStringLiteral("appl"), this);
    m_comtopic = field(QStringLiteral("comtopic"), this);
    m_befehl = field(QStringLiteral("befehl"), this);
    m_appltext = caption(QStringLiteral("appltext"), m_appl, this);
    m_comtopictext = caption(QStringLiteral("comtopictext"), m_comtopic, this);
    m_befehltext = caption(QStringLiteral("befehltext"), m_befehl, this);
    m_cmdGoOn = button(QStringLiteral("cmdGoOn"), this);
    m_cmdCancel = button(QStringLiteral("cmdCancel"), this);

    auto *fields = new QGridLayout;
    fields->addWidget(m_appltext, 0, 0);
    fields->addWidget(m_appl, 0, 1);
    fields->addWidget(m_comtopictext, 1, 0);
    fields->addWidget(m_comtopic, 1, 1);
    fields->addWidget(m_befehltext, 2, 0);
    fields->addWidget(m_befehl, 2, 1);
    fields->setColumnStretch(1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdGoOn);
    buttons->addWidget(m_cmdCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_txtTipps);
    layout->addSpacing(8);
    layout->addLayout(fields);
    layout->addSpacing(8);
    layout->addLayout(buttons);
}

void select_DDEParameter::wireSignals()
{
    connect(m_cmdGoOn, &QPushButton::clicked, this, &select_DDEParameter::cmdGoOn_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &select_DDEParameter::cmdCancel_Click);
    // OK, cancel and the window's close command all end in an unload.
    connect(this, &QDialog::finished, this, &select_DDEParameter::unloadDefaultInstance);
}

void select_DDEParameter::fnSetDDETexte()
{
    const LanguageTexts &t = m_app.texts;
    setWindowTitle(t.TextApplverb);
    m_appltext->setText(t.TextApplverbAnw);
    m_comtopictext->setText(t.TextApplverbTopic);
    m_befehltext->setText(t.TextApplverbBef);
    m_cmdCancel->setText(t.TextCancelAbbrechenButton_Caption);
    m_cmdGoOn->setText(t.TextApplverButton_OK);
}

void select_DDEParameter::Form_Load()
{
    fnSetDDETexte();
    Verbfile_lesen();
    SettingsRecord &s = m_app.settings;
    // The defaults go into the record itself, not only into the boxes.
    defaultWhenBlank(s.anwend, kDefaultAnwend);
    defaultWhenBlank(s.topic, kDefaultTopic);
    defaultWhenBlank(s.befehl, kDefaultBefehl);
    m_appl->setText(s.anwend);
    m_comtopic->setText(s.topic);
    m_befehl->setText(s.befehl);
}

void select_DDEParameter::Verbfile_lesen()
{
    // Reading defaults from no file, or from one that cannot be read, would
    // wipe values that live only in memory.
    if (m_app.CfgPath.isEmpty())
        return;
    const ini::Snapshot file(m_app.CfgPath);
    if (!file.problem().isEmpty())
        return;
    SettingsRecord &s = m_app.settings;
    s.anwend = file.value(kSection, kKeyAnwend, kDefaultAnwend);
    s.topic = file.value(kSection, kKeyTopic, kDefaultTopic);
    s.befehl = file.value(kSection, kKeyBefehl, QString());
}

void select_DDEParameter::Verbfile_schreiben()
{
    if (m_app.CfgPath.isEmpty())
        return;
    const SettingsRecord &s = m_app.settings;
    // All three or none, so the section never holds a half-changed link.
    const QList<ini::Entry> entries{{kSection, kKeyAnwend, s.anwend},
                                    {kSection, kKeyTopic, s.topic},
                                    {kSection, kKeyBefehl, s.befehl}};
    QString error;
    if (!ini::writeValues(m_app.CfgPath, entries, &error))
        m_app.prompts().message(m_app.CfgPath + QStringLiteral(": ") + error, programTitle());
}

void select_DDEParameter::cmdGoOn_Click()
{
    const LanguageTexts &t = m_app.texts;
    const auto value = [](QLineEdit *box, const QString &caption) {
        return singleValue(box, vb::LabelText(caption), box->text());
    };
    if (!storedValuesFit(m_app,
                         {value(m_appl, t.TextApplverbAnw), value(m_comtopic, t.TextApplverbTopic),
                          value(m_befehl, t.TextApplverbBef)}))
        return;
    SettingsRecord &s = m_app.settings;
    s.anwend = m_appl->text();
    s.topic = m_comtopic->text();
    s.befehl = m_befehl->text();
    // Writing may show a message.
    if (stillOpenAfter(this, [this] { Verbfile_schreiben(); }))
        accept();
}

void select_DDEParameter::cmdCancel_Click()
{
    m_app.abbruch = true;
    reject();
}

void select_DDEParameter::unloadDefaultInstance()
{
    if (m_app.isLoaded<select_DDEParameter>() && &m_app.form<select_DDEParameter>() == this)
        m_app.unload<select_DDEParameter>();
}
