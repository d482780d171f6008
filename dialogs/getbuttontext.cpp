#include "dialogs/getbuttontext.h"

#include "core/app.h"
#include "core/settings/settings_tables.h"
#include "dialogs/getkey_def.h"
#include "dialogs/key_table_fields.h"
#include "dialogs/named_fields.h"
#include "dialogs/stored_values.h"
#include "platform/vb/vb_caption.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

getButtonText::getButtonText(App &app, QWidget *parent)
    : QDialog(parent)
    , m_app(app)
{
    setObjectName(QStringLiteral("getButtonText"));
    setWindowTitle(QStringLiteral("Button Text"));
    setModal(true);

    m_Label1 = new QLabel(this);
    m_Label1->setObjectName(QStringLiteral("Label1"));
    m_Label1->setTextFormat(Qt::PlainText);
    vb::setCaption(m_Label1, QStringLiteral("Bezeichnung:"));
    m_Text = new QLineEdit(this);
    m_Text->setObjectName(QStringLiteral("Text"));
    m_Text->setMinimumWidth(m_Text->fontMetrics().averageCharWidth() * 24);
    // The label names the box for screen readers.
    m_Label1->setBuddy(m_Text);
    m_Command1 = dialogButton(QStringLiteral("Command1"), QStringLiteral("&OK"), this);
    // One box only: Enter confirms the caption.
    m_Command1->setDefault(true);
    m_Command2 = dialogButton(QStringLiteral("Command2"), QStringLiteral("&Abbrechen"), this);

    buildLayout();
    connectControls();
    Form_Load();
}

void getButtonText::buildLayout()
{
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_Command2);
    buttons->addWidget(m_Command1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_Label1);
    layout->addWidget(m_Text);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void getButtonText::connectControls()
{
    connect(m_Command1, &QPushButton::clicked, this, &getButtonText::Command1_Click);
    connect(m_Command2, &QPushButton::clicked, this, &QDialog::reject);
    // OK, Cancel, Escape and the close box all unload the window.
    connect(this, &QDialog::finished, this, [this] { m_app.unload<getButtonText>(); });
}

void getButtonText::Form_Load()
{
    vb::setCaption(m_Label1, m_app.texts.TextFrmGetButtonText_Label1Caption);
    m_Command2->setText(m_app.texts.TextFrmGetButtonText_CancelCaption);
}

void getButtonText::Command1_Click()
{
    const QString caption = m_Text->text();
    const QString name = fieldName(m_app.texts.TextFrmGetButtonText_Label1Caption);
    if (refuseComma(m_app, m_Text, name, caption))
        return;
    if (m_app.isLoaded<getkey_def>()) {
        getkey_def &table = m_app.form<getkey_def>();
        // The caption is stored as a cell of its row, which must fit as a whole.
        std::array<QString, 7> row = table.rowAsStored(table.cmdIndex);
        row[5] = caption;
        if (!storedValuesFit(
                m_app,
                {{joinActionRow(row), table.rowName(table.cmdIndex), {{m_Text, name, caption}}}}))
            return;
        table.setRowCaption(table.cmdIndex, caption);
    }
    accept();
}
