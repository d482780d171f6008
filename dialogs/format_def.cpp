#include "dialogs/format_def.h"

#include "core/app.h"
#include "core/mainform/control_tag.h"
#include "core/mainform/mainform.h"
#include "core/mainform/program_title.h"
#include "dialogs/actionkey_def.h"
#include "dialogs/dialog_controls.h"
#include "dialogs/getkey_def.h"
#include "dialogs/named_fields.h"
#include "dialogs/nested_modal.h"
#include "dialogs/select_target.h"
#include "dialogs/stored_values.h"
#include "dialogs/tasten.h"
#include "dialogs/timer_def.h"
#include "platform/prompts.h"
#include "platform/vb/vb_caption.h"
#include "platform/vb/vb_runtime.h"
#include "platform/vb/vb_strings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QVBoxLayout>

namespace {

const QStringList kModes{QStringLiteral("HOTKEY"), QStringLiteral("PRINT"),
                         QStringLiteral("TIMER")};

// The target kinds the delivery knows, offered before the application list.
const QStringList kTargetKinds{
    QStringLiteral("*DDE*"),      QStringLiteral("DDE-Kanal"),        QStringLiteral("Excel-Datei"),
    QStringLiteral("Text-Datei"), QStringLiteral("Access-Datenbank"), QStringLiteral("*free*")};

const QRegularExpression &lineBreaks()
{
    static const QRegularExpression breaks(QStringLiteral("[\\r\\n\\x{2028}\\x{2029}]"));
    return breaks;
}

// A template box that never takes a line break: the settings file could not
// store it, and every later save would fail.
class TemplateBox final : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            event->accept();
            return;
        }
        QPlainTextEdit::keyPressEvent(event);
    }

    void insertFromMimeData(const QMimeData *source) override
    {
        if (!source->hasText())
            return;
        QMimeData plain;
        plain.setText(source->text().remove(lineBreaks()));
        QPlainTextEdit::insertFromMimeData(&plain);
    }
};

// A "..." or picture button, named for tools that read the screen.
void describe(QPushButton *b, const QString &caption)
{
    const QString name = QString(caption).remove(QLatin1Char('&'));
    b->setAccessibleName(name);
    b->setToolTip(name);
}

template <typename T> T *control(const QString &name, const QString &caption, QWidget *parent)
{
    auto *c = new T(caption, parent);
    c->setObjectName(name);
    return c;
}

QGroupBox *frame(const QString &name, const QString &caption, QWidget *parent)
{
    return control<QGroupBox>(name, caption, parent);
}

// entlastung is ticked only when it equals True (-1) as a number; "1" is not True.
bool equalsTrue(const QString &flag)
{
    if (const std::optional<double> number = vb::CDbl(flag))
        return *number == -1.0;
    return vb::CBool(flag).value_or(false);
}

} // namespace

format_def::format_def(App &app, QWidget *parent)
    : QDialog(parent)
    , m_app(app)
{
    setObjectName(QStringLiteral("format_def"));
    setWindowTitle(QStringLiteral("Übertragung"));
    setWindowModality(Qt::ApplicationModal);
    buildControls();
    connectSignals();
    Form_Load();
}

void format_def::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildOutputFrame());
    layout->addWidget(buildOptionsFrame());
    layout->addWidget(buildTargetFrame());

    m_cmdBefehle = dialogButton(QStringLiteral("cmdBefehle"), QStringLiteral("&Befehle"), this);
    m_Command3 = dialogButton(QStringLiteral("Command3"), QStringLiteral("Abb&rechen"), this);
    m_OK = dialogButton(QStringLiteral("OK"), QStringLiteral("&OK"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdBefehle);
    buttons->addStretch();
    buttons->addWidget(m_Command3);
    buttons->addWidget(m_OK);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
}

QGroupBox *format_def::buildOutputFrame()
{
    m_Frame4 = frame(QStringLiteral("Frame4"), QStringLiteral("Datenausgabe"), this);
    auto *box = new TemplateBox(m_Frame4);
    box->setObjectName(QStringLiteral("ausgabe_string"));
    box->setTabChangesFocus(true);
    box->setFixedHeight(box->fontMetrics().lineSpacing() * 3 + 12);
    m_ausgabe_string = box;
    m_Ausgabe_def = dialogButton(QStringLiteral("Ausgabe_def"), QString(), m_Frame4);
    m_Ausgabe_def->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));

    auto *row = new QHBoxLayout(m_Frame4);
    row->addWidget(m_ausgabe_string, 1);
    row->addWidget(m_Ausgabe_def, 0, Qt::AlignTop);
    return m_Frame4;
}

QGroupBox *format_def::buildOptionsFrame()
{
    m_Frame6 = frame(QStringLiteral("Frame6"), QStringLiteral("Optionen"), this);
    auto *grid = new QGridLayout(m_Frame6);
    grid->addWidget(buildModeFrame(), 0, 0);
    grid->addWidget(buildLimitsFrame(), 0, 1);
    grid->addWidget(buildTakeOverFrame(), 1, 0);
    grid->addWidget(buildSeparatorFrame(), 1, 1);
    return m_Frame6;
}

QGroupBox *format_def::buildModeFrame()
{
    m_mode = frame(QStringLiteral("mode"), QStringLiteral("Mode"), m_Frame6);
    const std::array<const char *, 3> captions{"Hotkey/Taste", "manuell", "Timer"};
    auto *grid = new QGridLayout(m_mode);
    for (int i = 0; i < 3; ++i) {
        m_modus[i] = control<QRadioButton>(QStringLiteral("modus(%1)").arg(i),
                                           QString::fromUtf8(captions[i]), m_mode);
        grid->addWidget(m_modus[i], i, 0);
    }
    m_cmdHotkey = dialogButton(QStringLiteral("cmdHotkey"), QStringLiteral("..."), m_mode);
    m_Command2 = dialogButton(QStringLiteral("Command2"), QStringLiteral("..."), m_mode);
    grid->addWidget(m_cmdHotkey, 0, 1);
    grid->addWidget(m_Command2, 2, 1);
    grid->setColumnStretch(0, 1);
    return m_mode;
}

QGroupBox *format_def::buildLimitsFrame()
{
    m_Frame1 = frame(QStringLiteral("Frame1"), QStringLiteral("Messwerttoleranzen"), m_Frame6);
    m_Label2 = control<QLabel>(QStringLiteral("Label2"), QStringLiteral("UTG:"), m_Frame1);
    m_Label3 = control<QLabel>(QStringLiteral("Label3"), QStringLiteral("OTG"), m_Frame1);
    m_UTG = new QLineEdit(m_Frame1);
    m_UTG->setObjectName(QStringLiteral("UTG"));
    m_OTG = new QLineEdit(m_Frame1);
    m_OTG->setObjectName(QStringLiteral("OTG"));
    m_Label2->setBuddy(m_UTG);
    m_Label3->setBuddy(m_OTG);

    auto *grid = new QGridLayout(m_Frame1);
    grid->addWidget(m_Label2, 0, 0);
    grid->addWidget(m_UTG, 0, 1);
    grid->addWidget(m_Label3, 1, 0);
    grid->addWidget(m_OTG, 1, 1);
    return m_Frame1;
}

QGroupBox *format_def::buildTakeOverFrame()
{
    m_Frame3 = frame(QStringLiteral("Frame3"), QStringLiteral("Datenübernahme"), m_Frame6);
    m_entlastung = control<QCheckBox>(QStringLiteral("entlastung"),
                                      QStringLiteral("nach Entlastung"), m_Frame3);
    m_stillstand = control<QCheckBox>(QStringLiteral("stillstand"),
                                      QStringLiteral("bei Stillstand"), m_Frame3);
    auto *column = new QVBoxLayout(m_Frame3);
    column->addWidget(m_entlastung);
    column->addWidget(m_stillstand);
    return m_Frame3;
}

QGroupBox *format_def::buildSeparatorFrame()
{
    m_Frame2 = frame(QStringLiteral("Frame2"), QStringLiteral("Dezimalzeichen"), m_Frame6);
    const std::array<const char *, 2> captions{"Komma", "Punkt"};
    auto *column = new QVBoxLayout(m_Frame2);
    for (int i = 0; i < 2; ++i) {
        m_Option1[i] = control<QRadioButton>(QStringLiteral("Option1(%1)").arg(i),
                                             QString::fromUtf8(captions[i]), m_Frame2);
        column->addWidget(m_Option1[i]);
    }
    return m_Frame2;
}

QGroupBox *format_def::buildTargetFrame()
{
    m_Frame5 = frame(QStringLiteral("Frame5"), QStringLiteral("Ziel"), this);
    m_anwendung_set = new NamedComboBox(m_Frame5);
    m_anwendung_set->setObjectName(QStringLiteral("anwendung_set"));
    m_anwendung_set->setEditable(true);
    m_anwendung_set->setInsertPolicy(QComboBox::NoInsert);
    // Inline completion would turn a typed part of a window title into a list entry.
    m_anwendung_set->setCompleter(nullptr);
    m_anwendung_set->setMinimumContentsLength(24);
    m_Command1 = dialogButton(QStringLiteral("Command1"), QStringLiteral("..."), m_Frame5);

    auto *row = new QHBoxLayout(m_Frame5);
    row->addWidget(m_anwendung_set, 1);
    row->addWidget(m_Command1);
    return m_Frame5;
}

void format_def::connectSignals()
{
    for (int i = 0; i < 3; ++i)
        connect(m_modus[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                modus_Click(i);
        });
    for (int i = 0; i < 2; ++i)
        connect(m_Option1[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                Option1_Click(i);
        });
    connect(m_entlastung, &QCheckBox::toggled, this, &format_def::entlastung_Click);
    connect(m_stillstand, &QCheckBox::toggled, this, &format_def::stillstand_Click);
    for (QLineEdit *box : {m_OTG, m_UTG})
        connect(box, &QLineEdit::textChanged, this, [this, box] { checkLimit(box); });
    connect(m_ausgabe_string, &QPlainTextEdit::textChanged, this,
            &format_def::ausgabe_string_Change);
    connect(m_Ausgabe_def, &QPushButton::clicked, this, &format_def::showChild<Tasten>);
    connect(m_Command2, &QPushButton::clicked, this, [this] {
        if (m_modus[2]->isChecked())
            showChild<timer_def>();
    });
    connect(m_cmdHotkey, &QPushButton::clicked, this, &format_def::showChild<actionkey_def>);
    connect(m_cmdBefehle, &QPushButton::clicked, this, &format_def::showChild<getkey_def>);
    connect(m_Command1, &QPushButton::clicked, this, &format_def::Command1_Click);
    connect(m_OK, &QPushButton::clicked, this, &format_def::OK_Click);
    connect(m_Command3, &QPushButton::clicked, this, &format_def::reject);
}

void format_def::setCaptions()
{
    const LanguageTexts &x = m_app.texts;
    setWindowTitle(x.TextFrmFormatDef_Caption);
    m_Frame4->setTitle(x.TextFrmFormatDef_AusgabeCaption);
    m_Frame6->setTitle(x.TextFrmFormatdef_OptionenCaption);
    m_mode->setTitle(QString());
    m_modus[0]->setText(x.TextFrmFormatDef_Modus0Caption);
    m_modus[1]->setText(x.TextFrmFormatDef_Modus1Caption);
    m_modus[2]->setText(x.TextFrmFormatDef_Modus2Caption);
    m_Frame1->setTitle(x.TextFrmFormatDef_Frame1Caption);
    m_Label2->setText(x.TextFrmFormatDef_Label2Caption);
    m_Label3->setText(x.TextFrmFormatDef_Label3Caption);
    m_Frame3->setTitle(x.TextFrmFormatDef_Frame3Caption);
    m_entlastung->setText(x.TextFrmFormatDef_EntlastungCaption);
    m_stillstand->setText(x.TextFrmFormatDef_StillstandCaption);
    m_Frame2->setTitle(x.TextFrmFormatDef_Frame2Caption);
    m_Option1[0]->setText(x.TextFrmFormatDef_Option0Caption);
    m_Option1[1]->setText(x.TextFrmFormatDef_Option1Caption);
    m_Frame5->setTitle(x.TextFrmFormatDef_Label1Caption);
    m_cmdBefehle->setText(x.TextCommandButton_Caption);
    m_Command3->setText(x.TextCancelFormatButton_Caption);

    // Fields without a label of their own are named by their frame.
    setFieldName(m_ausgabe_string, fieldName(x.TextFrmFormatDef_AusgabeCaption));
    setFieldName(m_anwendung_set, fieldName(x.TextFrmFormatDef_Label1Caption));
    describe(m_Ausgabe_def, x.TextFrmFormatDef_AusgabeDefCaption);
    describe(m_cmdHotkey, x.TextFrmFormatDef_Modus0Caption);
    describe(m_Command2, x.TextFrmFormatDef_Modus2Caption);
    describe(m_Command1, x.TextFrmFormatDef_Command1Caption);
}

void format_def::fillTargetList()
{
    QStringList targets = kTargetKinds;
    for (const auto &row : m_app.settings.AppList) {
        if (!row[1].isEmpty() && !targets.contains(row[1]))
            targets << row[1];
    }
    m_anwendung_set->addItems(targets);
}

// Each step sets its controls the way a click would, so the click handlers store
// the values again and the main window's buttons follow the stored mode.
void format_def::Form_Load()
{
    const SettingsRecord &s = m_app.settings;
    setCaptions();
    if (equalsTrue(s.entlastung))
        m_entlastung->setChecked(true);
    if (vb::CBool(s.stillstand).value_or(false))
        m_stillstand->setChecked(true);
    // An empty TRZ counts as 0; a text that is no number selects neither option.
    const std::optional<double> trz =
        vb::Trim(s.TRZ).isEmpty() ? std::optional<double>(0.0) : vb::CDbl(s.TRZ);
    if (trz)
        m_Option1[*trz == 0.0 ? 0 : 1]->setChecked(true);
    m_OTG->setText(s.OTG);
    m_UTG->setText(s.UTG);
    if (const qsizetype mode = kModes.indexOf(s.modus); mode >= 0)
        m_modus[mode]->setChecked(true);
    fillTargetList();
    Form_Activate();
    m_ausgabe_string->setPlainText(s.format);
}

void format_def::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    Form_Activate();
}

void format_def::Form_Activate()
{
    // The edit text, not a list entry: a stored target outside the list shows too.
    m_anwendung_set->setCurrentIndex(-1);
    m_anwendung_set->setEditText(m_app.settings.anwendung);
}

template <typename W> void format_def::showChild()
{
    if (stillOpenAfter(this, [this] { m_app.form<W>().exec(); }))
        Form_Activate();
}

void format_def::modus_Click(int Index)
{
    m_app.settings.modus = kModes[Index];
    const bool timer = m_app.settings.modus == QLatin1String("TIMER");
    mainform &mw = m_app.mainWindow();
    mw.Command5(1)->setEnabled(!timer);
    mw.Command5(2)->setEnabled(timer);
    mw.Command5(3)->setEnabled(false);
}

void format_def::Option1_Click(int Index)
{
    m_app.settings.TRZ = QString::number(Index);
}

void format_def::entlastung_Click()
{
    m_app.settings.entlastung = vb::BoolText(m_entlastung->isChecked());
}

void format_def::stillstand_Click()
{
    m_app.settings.stillstand = vb::BoolText(m_stillstand->isChecked());
}

void format_def::checkLimit(QLineEdit *box)
{
    if (box->text().isEmpty())
        box->setText(QStringLiteral("0"));
    if (vb::IsNumeric(box->text()))
        return;
    if (stillOpenAfter(this, [this] {
            m_app.prompts().message(m_app.texts.TextBitteZahlEingeben, programTitle());
        }))
        box->setFocus();
}

void format_def::ausgabe_string_Change()
{
    // Line breaks set from outside (the template editor) are taken out as well.
    if (const QString text = m_ausgabe_string->toPlainText(); text.contains(lineBreaks()))
        m_ausgabe_string->setPlainText(QString(text).remove(lineBreaks()));
}

void format_def::Command1_Click()
{
    mainform &mw = m_app.mainWindow();
    vb::setCaption(mw.MesswertAnzeige(), QStringLiteral("Offline"));
    mw.fnUpdateStatus(QString());
    vb::setCaption(mw.einheit(), QString());
    vb::setCaption(mw.Vorzeichen(), QString());
    select_target &page = m_app.form<select_target>();
    setTag(&page, QStringLiteral("format_def"));
    if (stillOpenAfter(this, [&page] { page.exec(); }))
        Form_Activate();
}

bool format_def::valuesFit(const QString &format)
{
    const LanguageTexts &x = m_app.texts;
    const auto value = [](QWidget *box, const QString &caption, const QString &text) {
        return singleValue(box, vb::LabelText(caption), text);
    };
    return storedValuesFit(
        m_app,
        {value(m_OTG, x.TextFrmFormatDef_Label3Caption, m_OTG->text()),
         value(m_UTG, x.TextFrmFormatDef_Label2Caption, m_UTG->text()),
         value(m_anwendung_set, x.TextFrmFormatDef_Label1Caption, m_anwendung_set->currentText()),
         value(m_ausgabe_string, x.TextFrmFormatDef_AusgabeCaption, format)});
}

void format_def::OK_Click()
{
    const QString format = m_ausgabe_string->toPlainText()
                               .replace(QLatin1Char('<'), QLatin1Char('{'))
                               .replace(QLatin1Char('>'), QLatin1Char('}'));
    if (!valuesFit(format))
        return;
    SettingsRecord &s = m_app.settings;
    s.OTG = m_OTG->text();
    s.UTG = m_UTG->text();
    s.anwendung = m_anwendung_set->currentText();
    for (qsizetype k = 0; k < s.AppList.size(); ++k) {
        if (vb::InStr(s.AppList[k][1], s.anwendung) > 0)
            m_app.AppIndex = int(k);
    }
    s.format = format;
    unloadSelf();
    accept();
}

void format_def::reject()
{
    unloadSelf();
    QDialog::reject();
}

void format_def::unloadSelf()
{
    if (m_app.isLoaded<format_def>() && &m_app.form<format_def>() == this)
        m_app.unload<format_def>();
}
