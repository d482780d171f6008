#include "dialogs/getkey_def.h"

#include "core/app.h"
#include "core/mainform/mainform.h"
#include "core/mainform/program_title.h"
#include "core/settings/settings_tables.h"
#include "dialogs/getbuttontext.h"
#include "dialogs/key_table_fields.h"
#include "dialogs/named_fields.h"
#include "dialogs/stored_values.h"
#include "platform/prompts.h"
#include "platform/vb/vb_caption.h"
#include "platform/vb/vb_runtime.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <variant>

namespace {

// Design captions of the row buttons; a loaded table replaces them.
const std::array<const char *, getkey_def::kRows> kRowCaptions{
    "Send", "", "", "", "GLP Stop", "GLP Start", "Kalibrieren", "Tarieren"};

// A stored send-result flag as the check box takes it: 0 unchecked, 1 checked,
// 2 greyed, after conversion to a whole number; otherwise the runtime's error text.
std::variant<Qt::CheckState, QString> checkValue(const QString &flag)
{
    // A cell that no settings file filled yet is empty, as Basic's Empty, which is 0.
    if (flag.isEmpty())
        return Qt::Unchecked;
    if (!vb::IsNumeric(flag))
        return QStringLiteral("Type mismatch");
    const auto value = vb::CInt(flag);
    if (!value)
        return QStringLiteral("Overflow");
    switch (*value) {
    case 0:
        return Qt::Unchecked;
    case 1:
        return Qt::Checked;
    case 2:
        return Qt::PartiallyChecked;
    default:
        return QStringLiteral("Invalid property value");
    }
}

QString fieldText(const QWidget *field)
{
    if (const auto *box = qobject_cast<const QComboBox *>(field))
        return box->currentText();
    return qobject_cast<const QLineEdit *>(field)->text();
}

QString flagText(Qt::CheckState state)
{
    switch (state) {
    case Qt::Checked:
        return QStringLiteral("1");
    case Qt::PartiallyChecked:
        return QStringLiteral("2");
    case Qt::Unchecked:
        break;
    }
    return QStringLiteral("0");
}

} // namespace

getkey_def::getkey_def(App &app, QWidget *parent)
    : QDialog(parent)
    , m_app(app)
{
    setObjectName(QStringLiteral("getkey_def"));
    setWindowTitle(QStringLiteral("Datenanforderung/Befehle"));
    setModal(true);
    buildControls();
    buildLayout();
    connectControls();
    Form_Load();
}

void getkey_def::buildControls()
{
    m_Frame1 = new QGroupBox(QStringLiteral("Befehle"), this);
    m_Frame1->setObjectName(QStringLiteral("Frame1"));
    m_Label1 = headingLabel(QStringLiteral("Label1"), QStringLiteral("Taste"), m_Frame1);
    m_Label5 = headingLabel(QStringLiteral("Label5"), QStringLiteral("Befehl"), m_Frame1);
    m_Label4 = headingLabel(QStringLiteral("Label4"), QStringLiteral("1. Taste"), m_Frame1);
    m_Label2 = headingLabel(QStringLiteral("Label2"), QStringLiteral("2. Taste"), m_Frame1);
    m_Label3 = headingLabel(QStringLiteral("Label3"), QStringLiteral("3. Taste"), m_Frame1);
    m_Label6 = headingLabel(QStringLiteral("Label6"), QStringLiteral("Ergebnis senden"), m_Frame1);
    for (int i = 0; i < kRows; ++i) {
        m_Command1[i] = dialogButton(QStringLiteral("Command1(%1)").arg(i),
                                     QString::fromLatin1(kRowCaptions[i]), m_Frame1);
        m_Text4[i] = new QLineEdit(QStringLiteral(" "), m_Frame1);
        m_Text4[i]->setObjectName(QStringLiteral("Text4(%1)").arg(i));
        m_Text4[i]->setMinimumWidth(m_Text4[i]->fontMetrics().averageCharWidth() * 16);
        m_Check1[i] = new QCheckBox(QStringLiteral(" "), m_Frame1);
        m_Check1[i]->setObjectName(QStringLiteral("Check1(%1)").arg(i));
    }
    for (int index = 0; index < 3 * kRows; ++index)
        m_Combo1[index] = keyNameBox(index, m_Frame1);
    m_Command2 = dialogButton(QStringLiteral("Command2"), QStringLiteral("&OK"), this);
    m_cmdclose = dialogButton(QStringLiteral("cmdclose"), QStringLiteral("&Abbrechen"), this);
}

void getkey_def::buildLayout()
{
    auto *table = new QGridLayout(m_Frame1);
    table->setHorizontalSpacing(8);
    const std::array<QLabel *, 6> headings{m_Label1, m_Label5, m_Label4,
                                           m_Label2, m_Label3, m_Label6};
    for (int column = 0; column < int(headings.size()); ++column)
        table->addWidget(headings[column], 0, column);
    for (int i = 0; i < kRows; ++i) {
        table->addWidget(m_Command1[i], i + 1, 0);
        const auto fields = rowFields(i);
        for (int column = 0; column < int(fields.size()); ++column)
            table->addWidget(fields[column], i + 1, column + 1);
        table->addWidget(m_Check1[i], i + 1, 5, Qt::AlignHCenter);
    }

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdclose);
    buttons->addWidget(m_Command2);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_Frame1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void getkey_def::connectControls()
{
    for (int i = 0; i < kRows; ++i)
        connect(m_Command1[i], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
    connect(m_Command2, &QPushButton::clicked, this, &getkey_def::Command2_Click);
    connect(m_cmdclose, &QPushButton::clicked, this, &QDialog::reject);
    // OK, Cancel, Escape and the close box all unload the window.
    connect(this, &QDialog::finished, this, [this] { m_app.unload<getkey_def>(); });
}

std::array<QWidget *, 4> getkey_def::rowFields(int row) const
{
    return {m_Text4[row], m_Combo1[row], m_Combo1[row + kRows], m_Combo1[row + 2 * kRows]};
}

QString getkey_def::rowName(int row) const
{
    return vb::LabelText(m_app.texts.TextFrmGetKeyDef_Label1Caption) +
           QStringLiteral(" %1").arg(row + 1);
}

void getkey_def::setRowCaption(int index, const QString &caption)
{
    QPushButton *button = m_Command1.at(std::size_t(index));
    button->setText(caption);
    // The caption alone may be empty or repeat another row's.
    button->setAccessibleName(caption.isEmpty()
                                  ? rowName(index)
                                  : rowName(index) + QStringLiteral(": ") + vb::LabelText(caption));
}

void getkey_def::Form_Load()
{
    const LanguageTexts &t = m_app.texts;
    setWindowTitle(t.TextFrmGetKeyDef_Caption);
    m_Frame1->setTitle(QString());
    vb::setCaption(m_Label1, t.TextFrmGetKeyDef_Label1Caption);
    const std::array<QString, 4> fieldCaptions{
        t.TextFrmGetKeyDef_Label5Caption, t.TextFrmGetKeyDef_Label4Caption,
        t.TextFrmGetKeyDef_Label2Caption, t.TextFrmGetKeyDef_Label3Caption};
    vb::setCaption(m_Label5, fieldCaptions[0]);
    vb::setCaption(m_Label4, fieldCaptions[1]);
    vb::setCaption(m_Label2, fieldCaptions[2]);
    vb::setCaption(m_Label3, fieldCaptions[3]);
    vb::setCaption(m_Label6, t.TextFrmGetKeyDef_Label6Caption);
    m_cmdclose->setText(t.TextFrmGetKey_cmdcloseCaption);

    for (int i = 0; i < kRows; ++i) {
        const auto fields = rowFields(i);
        for (std::size_t f = 0; f < fields.size(); ++f)
            setFieldName(fields[f], rowBoxName(rowName(i), fieldCaptions[f]));
        m_Check1[i]->setAccessibleName(rowBoxName(rowName(i), t.TextFrmGetKeyDef_Label6Caption));
        showRow(i);
    }
}

void getkey_def::showRow(int row)
{
    const auto &cells = m_app.settings.Action[row];
    for (int c = 0; c < 3; ++c)
        showKeyName(m_Combo1[c * kRows + row], cells[c + 1]);
    m_Text4[row]->setText(cells[4]);
    setRowCaption(row, cells[5]);
    const auto value = checkValue(cells[6]);
    if (const auto *state = std::get_if<Qt::CheckState>(&value))
        m_Check1[row]->setCheckState(*state);
    else
        m_app.prompts().message(std::get<QString>(value), programTitle());
}

void getkey_def::Command1_Click(int Index)
{
    cmdIndex = Index;
    getButtonText &editor = m_app.form<getButtonText>();
    editor.Text()->setText(m_Command1[Index]->text());
    editor.exec();
}

std::array<QString, 7> getkey_def::rowAsStored(int row) const
{
    std::array<QString, 7> cells = m_app.settings.Action[row];
    for (int c = 0; c < 3; ++c)
        cells[c + 1] = m_Combo1[c * kRows + row]->currentText();
    cells[4] = m_Text4[row]->text();
    cells[5] = m_Command1[row]->text();
    cells[6] = flagText(m_Check1[row]->checkState());
    return cells;
}

QString getkey_def::captionName(int row) const
{
    return rowBoxName(rowName(row), m_app.texts.TextFrmGetButtonText_Label1Caption);
}

StoredValue getkey_def::storedRow(int row, const std::array<QString, 7> &cells) const
{
    QList<StoredField> fields;
    for (QWidget *field : rowFields(row))
        fields.append({field, field->accessibleName(), fieldText(field)});
    fields.append({m_Command1[row], captionName(row), cells[5]});
    return {joinActionRow(cells), rowName(row), fields};
}

void getkey_def::Command2_Click()
{
    for (int i = 0; i < kRows; ++i)
        for (QWidget *field : rowFields(i))
            if (refuseComma(m_app, field, field->accessibleName(), fieldText(field)))
                return;
    std::array<std::array<QString, 7>, kRows> rows;
    QList<StoredValue> stored;
    for (int i = 0; i < kRows; ++i) {
        rows[i] = rowAsStored(i);
        stored.append(storedRow(i, rows[i]));
    }
    if (!storedValuesFit(m_app, stored))
        return;
    mainform &main = m_app.mainWindow();
    for (int i = 0; i < kRows; ++i) {
        m_app.settings.Action[i] = rows[i];
        main.Command5(i + 9)->setText(rows[i][5]);
    }
    accept();
}
