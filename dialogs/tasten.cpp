#include "dialogs/tasten.h"

#include "core/app.h"
#include "dialogs/dialog_controls.h"
#include "dialogs/format_def.h"
#include "dialogs/nested_modal.h"
#include "dialogs/stored_values.h"
#include "platform/prompts.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <array>
#include <vector>

namespace {

struct KeyToken {
    const char *caption;
    const char *token;
};

// Key_(0)..Key_(33), by index. Their captions are the keys' own names in every language.
constexpr std::array<KeyToken, 34> kKeyTokens{{
    {"F1", "{F1}"},     {"F2", "{F2}"},       {"F3", "{F3}"},     {"F4", "{F4}"},
    {"F5", "{F5}"},     {"F6", "{F6}"},       {"F7", "{F7}"},     {"F8", "{F8}"},
    {"F9", "{F9}"},     {"F10", "{F10}"},     {"F11", "{F11}"},   {"F12", "{F12}"},
    {"TAB", "{TAB}"},   {"ENTER", "{ENTER}"}, {"BACK", "{BS}"},   {"PGUP", "{PGUP}"},
    {"PGDN", "{PGDN}"}, {"DEL", "{DEL}"},     {"HOME", "{HOME}"}, {"END", "{END}"},
    {"UP", "{UP}"},     {"DOWN", "{DOWN}"},   {"LEFT", "{LEFT}"}, {"RIGHT", "{RIGHT}"},
    {"ID_1", "{ID_1}"}, {"ID_2", "{ID_2}"},   {"ID_3", "{ID_3}"}, {"ID_4", "{ID_4}"},
    {"ID_5", "{ID_5}"}, {"ID_6", "{ID_6}"},   {"ID_7", "{ID_7}"}, {"ID_8", "{ID_8}"},
    {"ID_9", "{ID_9}"}, {"ID_10", "{ID_10}"},
}};

// The frame's grid, column by column from the left, each column the Key_ indices
// from the top; an empty column is the gap between two blocks. Navigation keys
// ("?" goes under ENTER and TAB), the ID keys, then odd and even function keys.
const std::vector<std::vector<int>> kKeyColumns{
    {13, 12}, {15, 20, 22, 18, 14}, {16, 21, 23, 19, 17},
    {},       {24, 25, 26, 27, 28}, {29, 30, 31, 32, 33},
    {},       {0, 2, 4, 6, 8, 10},  {1, 3, 5, 7, 9, 11},
};
constexpr int kParameterRow = 2;

// The buttons whose tokens are language texts, in their order along the frame's bottom.
struct TextToken {
    const char *name;
    const char *designCaption;
    QString LanguageTexts::*caption;
    QString LanguageTexts::*token;
};
const std::array<TextToken, 4> kTextTokens{{
    {"einheit", "Einheit", &LanguageTexts::TextFrmTasten_EinheitCaption,
     &LanguageTexts::TextEinheit},
    {"Waagenwert", "Messwert", &LanguageTexts::TextFrmTasten_MesswertCaption,
     &LanguageTexts::TextMesswert},
    {"Datum", "Datum", &LanguageTexts::TextFrmTasten_DatumCaption, &LanguageTexts::TextDatum},
    {"Uhrzeit", "Uhrzeit", &LanguageTexts::TextFrmTasten_UhrzeitCaption,
     &LanguageTexts::TextUhrzeit},
}};

} // namespace

Tasten::Tasten(App &app, QWidget *parent)
    : QDialog(parent)
    , m_app(app)
{
    setObjectName(QStringLiteral("Tasten"));
    setWindowTitle(QStringLiteral("Ausgabe-Definition"));
    setModal(true);
    buildControls();
    buildLayout();
    connectSignals();
    Form_Load();
}

void Tasten::buildControls()
{
    m_ausgabe_string = new QLineEdit(this);
    m_ausgabe_string->setObjectName(QStringLiteral("ausgabe_string"));
    // Refuses a pasted line break (Enter inserts none in a single-line box): the
    // settings file holds one line per value.
    m_ausgabe_string->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[^\\r\\n]*")), m_ausgabe_string));

    m_Frame1 = new QGroupBox(QStringLiteral("Tastenauswahl"), this);
    m_Frame1->setObjectName(QStringLiteral("Frame1"));

    for (size_t i = 0; i < kKeyTokens.size(); ++i)
        m_Key_[i] = dialogButton(QStringLiteral("Key_(%1)").arg(i),
                                 QString::fromLatin1(kKeyTokens[i].caption), this);
    for (size_t i = 0; i < kTextTokens.size(); ++i)
        m_textTokens[i] = dialogButton(QString::fromLatin1(kTextTokens[i].name),
                                       QString::fromUtf8(kTextTokens[i].designCaption), this);
    m_Command2 = dialogButton(QStringLiteral("Command2"), QStringLiteral("?"), this);

    m_del_ausgabe_def =
        dialogButton(QStringLiteral("del_ausgabe_def"), QStringLiteral("&Löschen"), this);
    m_Command1 = dialogButton(QStringLiteral("Command1"), QStringLiteral("&OK"), this);
    m_Command3 = dialogButton(QStringLiteral("Command3"), QStringLiteral("&Abbrechen"), this);
}

void Tasten::buildLayout()
{
    // Tab goes the way the eye reads: down each column, then along the rows below.
    QList<QWidget *> tabOrder{m_ausgabe_string};
    auto *keys = new QGridLayout;
    for (int column = 0; column < int(kKeyColumns.size()); ++column) {
        const std::vector<int> &indices = kKeyColumns[column];
        for (int row = 0; row < int(indices.size()); ++row) {
            keys->addWidget(m_Key_[indices[row]], row, column);
            tabOrder << m_Key_[indices[row]];
        }
        if (column == 0) {
            keys->addWidget(m_Command2, kParameterRow, 0);
            tabOrder << m_Command2;
        }
        if (indices.empty()) {
            keys->setColumnMinimumWidth(column, 12);
            keys->setColumnStretch(column, 1);
        }
    }

    auto *textTokens = new QHBoxLayout;
    for (QPushButton *button : m_textTokens)
        textTokens->addWidget(button);
    textTokens->addStretch();

    auto *frame = new QVBoxLayout(m_Frame1);
    frame->addLayout(keys);
    frame->addSpacing(6);
    frame->addLayout(textTokens);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_del_ausgabe_def);
    bottom->addStretch();
    bottom->addWidget(m_Command3);
    bottom->addWidget(m_Command1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_ausgabe_string);
    layout->addWidget(m_Frame1);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (QPushButton *button : m_textTokens)
        tabOrder << button;
    tabOrder << m_del_ausgabe_def << m_Command3 << m_Command1;
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void Tasten::connectSignals()
{
    for (size_t i = 0; i < m_Key_.size(); ++i)
        connect(m_Key_[i], &QPushButton::clicked, this,
                [this, i] { appendToken(QString::fromLatin1(kKeyTokens[i].token)); });
    for (size_t i = 0; i < m_textTokens.size(); ++i)
        connect(m_textTokens[i], &QPushButton::clicked, this, [this, i] {
            // The current language's word: the template expands only under this language.
            appendToken(QLatin1Char('{') + m_app.texts.*kTextTokens[i].token + QLatin1Char('}'));
        });
    connect(m_Command2, &QPushButton::clicked, this, &Tasten::Command2_Click);
    connect(m_del_ausgabe_def, &QPushButton::clicked, this, &Tasten::del_ausgabe_def_Click);
    connect(m_Command1, &QPushButton::clicked, this, &Tasten::Command1_Click);
    connect(m_Command3, &QPushButton::clicked, this, &QDialog::reject);
    // OK, cancel, Escape and the close button all unload the editor.
    connect(this, &QDialog::finished, this, [this] { m_app.unload<Tasten>(); });
}

void Tasten::setCaptions()
{
    const LanguageTexts &t = m_app.texts;
    setWindowTitle(t.TextFrmTasten_Caption);
    m_Frame1->setTitle(t.TextFrmTasten_Frame1Caption);
    for (size_t i = 0; i < m_textTokens.size(); ++i)
        m_textTokens[i]->setText(t.*kTextTokens[i].caption);
    m_del_ausgabe_def->setText(t.TextFrmTasten_DelAusgabeDefCaption);
    m_Command1->setText(t.TextFrmTasten_OKCaption);
    m_Command3->setText(t.TextFrmTastencmdClose_Caption);
    // The box has no label and "?" says little to a screen reader.
    m_ausgabe_string->setAccessibleName(t.TextFrmTasten_Caption);
    m_Command2->setAccessibleName(t.TextParametertextCaption);
}

void Tasten::Form_Load()
{
    setCaptions();
    // Touching the transfer dialog's box loads that dialog hidden when needed.
    m_ausgabe_string->setText(m_app.form<format_def>().ausgabe_string()->toPlainText());
}

void Tasten::appendToken(const QString &token)
{
    m_ausgabe_string->setText(m_ausgabe_string->text() + token);
}

void Tasten::Command2_Click()
{
    std::optional<QString> name;
    if (!stillOpenAfter(this, [&] {
            name = m_app.prompts().input(m_app.texts.TextBitteParameterbezEingeben,
                                         m_app.texts.TextParametertextCaption);
        }))
        return;
    // Cancelled or empty, the token still goes in, with an empty name.
    appendToken(QStringLiteral("{?") + name.value_or(QString()) + QLatin1Char('}'));
}

void Tasten::del_ausgabe_def_Click()
{
    m_ausgabe_string->clear();
}

void Tasten::Command1_Click()
{
    // Said here, where the template is edited, rather than later by the transfer dialog.
    const QString text = m_ausgabe_string->text();
    if (!storedValuesFit(m_app,
                         {singleValue(m_ausgabe_string, m_app.texts.TextFrmTasten_Caption, text)}))
        return;
    m_app.form<format_def>().ausgabe_string()->setPlainText(text);
    accept();
}
