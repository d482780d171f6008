#include "dialogs/anzeige.h"

#include "core/app.h"
#include "core/mainform/program_title.h"
#include "dialogs/dialog_controls.h"
#include "dialogs/nested_modal.h"
#include "platform/prompts.h"
#include "platform/vb/vb_caption.h"
#include "platform/vb/vb_runtime.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

Anzeige::Anzeige(App &app, QWidget *parent)
    : QDialog(parent)
    , m_app(app)
{
    setObjectName(QStringLiteral("Anzeige"));
    setModal(true);
    buildControls();
    buildLayout();
    wireSignals();
    Form_Load();
}

void Anzeige::buildControls()
{
    m_frmAnzeige = new QGroupBox(this);
    m_frmAnzeige->setObjectName(QStringLiteral("frmAnzeige"));
    const std::array<QString, 3> labelNames{QStringLiteral("lblweight"),
                                            QStringLiteral("lblvolume"), QStringLiteral("lblflow")};
    for (int i = 0; i < 3; ++i) {
        m_Option1[i] = new QRadioButton(m_frmAnzeige);
        m_Option1[i]->setObjectName(QStringLiteral("Option1(%1)").arg(i));
        m_modeLabels[i] = new QLabel(m_frmAnzeige);
        m_modeLabels[i]->setObjectName(labelNames[i]);
        m_modeLabels[i]->setBuddy(m_Option1[i]);
    }

    m_dichte = new QLineEdit(this);
    m_dichte->setObjectName(QStringLiteral("dichte"));
    m_dichte->setMinimumWidth(
        m_dichte->fontMetrics().horizontalAdvance(QStringLiteral("0,0000000")));
    m_Label4 = new QLabel(QStringLiteral("g/cm³"), this);
    m_Label4->setObjectName(QStringLiteral("Label4"));
    m_Label4->setBuddy(m_dichte);

    m_cmdOK = dialogButton(QStringLiteral("cmdOK"), QStringLiteral("&OK"), this);
    m_cmdCancel = dialogButton(QStringLiteral("cmdCancel(1)"), QString(), this);
}

void Anzeige::buildLayout()
{
    auto *modes = new QGridLayout(m_frmAnzeige);
    for (int i = 0; i < 3; ++i) {
        modes->addWidget(m_Option1[i], i, 0);
        modes->addWidget(m_modeLabels[i], i, 1);
    }
    modes->setColumnStretch(1, 1);

    auto *density = new QHBoxLayout;
    density->addWidget(m_dichte);
    density->addWidget(m_Label4);
    density->addStretch();

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_cmdCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_frmAnzeige);
    layout->addLayout(density);
    layout->addSpacing(4);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void Anzeige::wireSignals()
{
    // A mode selected by code counts as a click, as in the loading.
    for (int i = 0; i < 3; ++i)
        connect(m_Option1[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                Option1_Click(i);
        });
    connect(m_cmdOK, &QPushButton::clicked, this, &Anzeige::cmdOK_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &Anzeige::cmdCancel_Click);
}

void Anzeige::Form_Load()
{
    const LanguageTexts &t = m_app.texts;
    // The frame's first text, TextAnzeige_DisplayCaption, is replaced at once and never seen.
    m_frmAnzeige->setTitle(t.AnzeigeFrm_frame1);
    const std::array<QString, 3> modeTexts{t.Anzeige_weight, t.Anzeige_volume, t.Anzeige_flow};
    for (int i = 0; i < 3; ++i) {
        vb::setCaption(m_modeLabels[i], modeTexts[i]);
        // The options carry no text of their own.
        m_Option1[i]->setAccessibleName(vb::LabelText(modeTexts[i]));
    }
    setWindowTitle(t.TextCancel_Caption);
    m_cmdCancel->setText(t.TextAC_Caption);

    const SettingsRecord &s = m_app.settings;
    const auto mode = vb::CDbl(s.anzeigemodus);
    for (int i = 0; i < 3; ++i)
        if (mode == double(i))
            m_Option1[i]->setChecked(true);
    m_dichte->setText(vb::CStr(s.st_dichte));
}

void Anzeige::Option1_Click(int Index)
{
    m_app.AnzeigeOption = Index;
}

void Anzeige::cmdOK_Click()
{
    // The runtime divides by the density: only a number above 0 is stored.
    const auto density = vb::CDbl(m_dichte->text());
    if (!density || *density <= 0) {
        if (!stillOpenAfter(this, [this] {
                m_app.prompts().message(m_app.texts.TextBitteZahlGroesser0Eingeben, programTitle());
            }))
            return;
        m_dichte->setFocus(Qt::OtherFocusReason);
        m_dichte->selectAll();
        return;
    }
    SettingsRecord &s = m_app.settings;
    s.anzeigemodus = m_app.AnzeigeOption < 0 ? QString() : QString::number(m_app.AnzeigeOption);
    s.st_dichte = *density;
    unloadWith(Accepted);
}

void Anzeige::cmdCancel_Click()
{
    unloadWith(Rejected);
}

void Anzeige::reject()
{
    cmdCancel_Click();
}

void Anzeige::unloadWith(int result)
{
    done(result);
    m_app.unload<Anzeige>();
}
