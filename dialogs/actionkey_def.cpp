#include "dialogs/actionkey_def.h"

#include "core/app.h"
#include "core/settings/settings_tables.h"
#include "dialogs/key_table_fields.h"
#include "dialogs/named_fields.h"
#include "dialogs/stored_values.h"
#include "platform/vb/vb_caption.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The rows' captions name the main-window button each row presses.
const std::array<const char *, actionkey_def::kRows> kRowCaptions{
    "Send", "T Start", "T Stop", "", "", "", "Offline", "Exit"};

} // namespace

actionkey_def::actionkey_def(App &app, QWidget *parent)
    : QDialog(parent)
    , m_app(app)
{
    setObjectName(QStringLiteral("actionkey_def"));
    setWindowTitle(QStringLiteral("Tastenbelegung"));
    setModal(true);
    buildControls();
    buildLayout();
    connectControls();
    Form_Load();
}

void actionkey_def::buildControls()
{
    m_Label1 = headingLabel(QStringLiteral("Label1"), QStringLiteral("Taste"), this);
    m_Label5 = headingLabel(QStringLiteral("Label5"), QStringLiteral("1.Taste"), this);
    m_Label3 = headingLabel(QStringLiteral("Label3"), QStringLiteral("2.Taste"), this);
    m_Label4 = headingLabel(QStringLiteral("Label4"), QStringLiteral("3.Taste"), this);
    for (int i = 0; i < kRows; ++i) {
        // A caption only: the row's label, with no action of its own.
        m_Command1[i] = dialogButton(QStringLiteral("Command1(%1)").arg(i),
                                     QString::fromLatin1(kRowCaptions[i]), this);
        m_Command1[i]->setFocusPolicy(Qt::NoFocus);
    }
    for (int index = 0; index < 3 * kRows; ++index)
        m_Combo1[index] = keyNameBox(index, this);
    m_Command2 = dialogButton(QStringLiteral("Command2"), QStringLiteral("&OK"), this);
    m_cmdAbbrechen =
        dialogButton(QStringLiteral("cmdAbbrechen"), QStringLiteral("&Abbrechen"), this);
}

void actionkey_def::buildLayout()
{
    auto *table = new QGridLayout;
    table->setHorizontalSpacing(8);
    table->addWidget(m_Label1, 0, 0);
    const std::array<QLabel *, 3> headings{m_Label5, m_Label3, m_Label4};
    for (int c = 0; c < 3; ++c)
        table->addWidget(headings[c], 0, c + 1);
    for (int i = 0; i < kRows; ++i) {
        table->addWidget(m_Command1[i], i + 1, 0);
        for (int c = 0; c < 3; ++c)
            table->addWidget(m_Combo1[c * kRows + i], i + 1, c + 1);
    }

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdAbbrechen);
    buttons->addWidget(m_Command2);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(table);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void actionkey_def::connectControls()
{
    connect(m_Command2, &QPushButton::clicked, this, &actionkey_def::Command2_Click);
    connect(m_cmdAbbrechen, &QPushButton::clicked, this, &QDialog::reject);
    // OK, Cancel, Escape and the close box all unload the window.
    connect(this, &QDialog::finished, this, [this] { m_app.unload<actionkey_def>(); });
}

QString actionkey_def::rowName(int row) const
{
    QString name = vb::LabelText(m_app.texts.TextFrmActionKeyDef_Label1Caption) +
                   QStringLiteral(" %1").arg(row + 1);
    if (const QString caption = m_Command1[row]->text(); !caption.isEmpty())
        name += QStringLiteral(" (") + vb::LabelText(caption) + QLatin1Char(')');
    return name;
}

void actionkey_def::Form_Load()
{
    const LanguageTexts &t = m_app.texts;
    setWindowTitle(t.TextFrmActionKeyDef_Caption);
    vb::setCaption(m_Label1, t.TextFrmActionKeyDef_Label1Caption);
    const std::array<QString, 3> headings{t.TextFrmActionKeyDef_Label6Caption,
                                          t.TextFrmActionKeyDef_Label2Caption,
                                          t.TextFrmActionKeyDef_Label3Caption};
    vb::setCaption(m_Label5, headings[0]);
    vb::setCaption(m_Label3, headings[1]);
    vb::setCaption(m_Label4, headings[2]);
    m_cmdAbbrechen->setText(t.TextactionKeyAbbrechenButton_Caption);

    for (int i = 0; i < kRows; ++i) {
        m_Command1[i]->setAccessibleName(rowName(i));
        for (int c = 0; c < 3; ++c) {
            QComboBox *box = m_Combo1[c * kRows + i];
            showKeyName(box, m_app.settings.Hotkeys[i][c + 1]);
            setFieldName(box, rowBoxName(rowName(i), headings[c]));
        }
    }
}

std::array<QString, 5> actionkey_def::rowAsStored(int row) const
{
    std::array<QString, 5> cells = m_app.settings.Hotkeys[row];
    for (int c = 0; c < 3; ++c)
        cells[c + 1] = m_Combo1[c * kRows + row]->currentText();
    return cells;
}

void actionkey_def::Command2_Click()
{
    for (QComboBox *box : m_Combo1)
        if (refuseComma(m_app, box, box->accessibleName(), box->currentText()))
            return;
    std::array<std::array<QString, 5>, kRows> rows;
    QList<StoredValue> stored;
    for (int i = 0; i < kRows; ++i) {
        rows[i] = rowAsStored(i);
        QList<StoredField> fields;
        for (int c = 0; c < 3; ++c) {
            QComboBox *box = m_Combo1[c * kRows + i];
            fields.append({box, box->accessibleName(), rows[i][c + 1]});
        }
        stored.append({joinHotkeyRow(rows[i]), rowName(i), fields});
    }
    if (!storedValuesFit(m_app, stored))
        return;
    for (int i = 0; i < kRows; ++i)
        m_app.settings.Hotkeys[i] = rows[i];
    accept();
}
