#include "dialogs/timer_def.h"

#include "core/app.h"
#include "core/mainform/program_title.h"
#include "dialogs/nested_modal.h"
#include "dialogs/stored_values.h"
#include "platform/prompts.h"
#include "platform/vb/vb_caption.h"
#include "platform/vb/vb_runtime.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>

#include <cmath>
#include <optional>
#include <utility>

namespace {

QGroupBox *frame(const QString &name, QWidget *parent)
{
    auto *box = new QGroupBox(parent);
    box->setObjectName(name);
    return box;
}

QLabel *label(const QString &name, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    return l;
}

// Wide enough for sample, so the boxes stay compact but show a whole value.
QLineEdit *textBox(const QString &name, const QString &sample, QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setMinimumWidth(box->fontMetrics().horizontalAdvance(sample) + 16);
    return box;
}

// Clicks leave the focus where it is, so OK checks the boxes itself and Cancel
// works while a box holds text its check would reject.
QPushButton *button(const QString &name, QWidget *parent)
{
    auto *b = new QPushButton(parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

QString joinedName(const QString &first, const QString &second)
{
    return vb::LabelText(first) + QLatin1Char(' ') + vb::LabelText(second);
}

} // namespace

timer_def::timer_def(App &app, QWidget *parent)
    : QDialog(parent)
    , m_app(app)
{
    setObjectName(QStringLiteral("timer_def"));
    setModal(true);
    buildControls();
    buildLayout();
    wireSignals();
    Form_Load();
}

void timer_def::buildControls()
{
    // Created in the order the Tab key follows.
    m_Frame2 = frame(QStringLiteral("Frame2"), this);
    for (int i = 0; i < 2; ++i) {
        m_TimerModus[i] = new QRadioButton(m_Frame2);
        m_TimerModus[i]->setObjectName(QStringLiteral("TimerModus(%1)").arg(i));
    }
    m_Check1 = new QCheckBox(m_Frame2);
    m_Check1->setObjectName(QStringLiteral("Check1"));

    const QString number = QStringLiteral("00000");
    m_frame1 = frame(QStringLiteral("frame1"), this);
    m_Stunden = textBox(QStringLiteral("Stunden"), number, m_frame1);
    m_Label7 = label(QStringLiteral("Label7"), m_frame1);
    m_minuten = textBox(QStringLiteral("minuten"), number, m_frame1);
    m_Label8 = label(QStringLiteral("Label8"), m_frame1);
    m_sekunden = textBox(QStringLiteral("sekunden"), number, m_frame1);
    m_Label9 = label(QStringLiteral("Label9"), m_frame1);

    const QString date = QStringLiteral("00.00.00000");
    const QString time = QStringLiteral("00:00:000");
    m_Frame3 = frame(QStringLiteral("Frame3"), this);
    m_Label3 = label(QStringLiteral("Label3"), m_Frame3);
    m_Label4 = label(QStringLiteral("Label4"), m_Frame3);
    m_Label1 = label(QStringLiteral("Label1"), m_Frame3);
    m_Startdate = textBox(QStringLiteral("Startdate"), date, m_Frame3);
    m_starttime = textBox(QStringLiteral("starttime"), time, m_Frame3);
    m_Label2 = label(QStringLiteral("Label2"), m_Frame3);
    m_stopdate = textBox(QStringLiteral("stopdate"), date, m_Frame3);
    m_stoptime = textBox(QStringLiteral("stoptime"), time, m_Frame3);

    m_Frame4 = frame(QStringLiteral("Frame4"), this);
    m_anz_messungen = textBox(QStringLiteral("anz_messungen"), QStringLiteral("0000000"), m_Frame4);

    m_OK = button(QStringLiteral("OK"), this);
    m_OK->setText(QStringLiteral("&OK"));
    m_Command1 = button(QStringLiteral("Command1"), this);

    m_checked = {{m_Stunden, Check::Number},  {m_minuten, Check::Number},
                 {m_sekunden, Check::Number}, {m_Startdate, Check::Date},
                 {m_starttime, Check::Time},  {m_stopdate, Check::Date},
                 {m_stoptime, Check::Time},   {m_anz_messungen, Check::Count}};
}

void timer_def::buildLayout()
{
    auto *modes = new QVBoxLayout(m_Frame2);
    modes->addWidget(m_TimerModus[0]);
    modes->addWidget(m_TimerModus[1]);
    modes->addSpacing(4);
    modes->addWidget(m_Check1);

    auto *interval = new QHBoxLayout(m_frame1);
    for (auto [box, unit] : {std::pair{m_Stunden, m_Label7}, std::pair{m_minuten, m_Label8},
                             std::pair{m_sekunden, m_Label9}}) {
        interval->addWidget(box);
        interval->addWidget(unit);
        interval->addSpacing(8);
    }
    interval->addStretch();

    auto *window = new QGridLayout(m_Frame3);
    window->addWidget(m_Label3, 0, 1);
    window->addWidget(m_Label4, 0, 2);
    window->addWidget(m_Label1, 1, 0);
    window->addWidget(m_Startdate, 1, 1);
    window->addWidget(m_starttime, 1, 2);
    window->addWidget(m_Label2, 2, 0);
    window->addWidget(m_stopdate, 2, 1);
    window->addWidget(m_stoptime, 2, 2);
    window->setColumnStretch(3, 1);

    auto *count = new QHBoxLayout(m_Frame4);
    count->addWidget(m_anz_messungen);
    count->addStretch();

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_OK);
    buttons->addWidget(m_Command1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_Frame2);
    layout->addWidget(m_frame1);
    layout->addWidget(m_Frame3);
    layout->addWidget(m_Frame4);
    layout->addSpacing(4);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void timer_def::wireSignals()
{
    // A mode set by code counts as a click too, as the mode checks rely on.
    for (QRadioButton *option : m_TimerModus)
        connect(option, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                TimerModus_Click();
        });
    connect(m_Check1, &QCheckBox::toggled, this, &timer_def::Check1_Click);
    connect(m_OK, &QPushButton::clicked, this, &timer_def::OK_Click);
    connect(m_Command1, &QPushButton::clicked, this, &timer_def::Command1_Click);
    connect(qApp, &QApplication::focusChanged, this, &timer_def::focusChanged);
}

void timer_def::Form_Load()
{
    const LanguageTexts &t = m_app.texts;
    setWindowTitle(t.TextFrmTimerDef_Caption);
    m_Frame2->setTitle(t.TextFrmTimerDef_Frame2Caption);
    m_TimerModus[0]->setText(t.TextFrmTimerDef_TimerModus0Caption);
    m_TimerModus[1]->setText(t.TextFrmTimerDef_TimerModus1Caption);
    m_Check1->setText(t.TextFrmTimerDef_Check1Caption);
    m_frame1->setTitle(t.TextFrmTimerDef_Frame1Caption);
    vb::setCaption(m_Label7, t.TextFrmTimerDef_Label7Caption);
    vb::setCaption(m_Label8, t.TextFrmTimerDef_Label8Caption);
    vb::setCaption(m_Label9, t.TextFrmTimerDef_Label9Caption);
    m_Frame3->setTitle(t.TextFrmTimerDef_Frame3Caption);
    vb::setCaption(m_Label1, t.TextFrmTimerDef_Label1Caption);
    vb::setCaption(m_Label2, t.TextFrmTimerDef_Label2Caption);
    vb::setCaption(m_Label3, t.TextFrmTimerDef_Label3Caption);
    vb::setCaption(m_Label4, t.TextFrmTimerDef_Label4Caption);
    m_Frame4->setTitle(t.TextFrmTimerDef_Frame4Caption);
    m_Command1->setText(t.TextCancelTimerButton_Caption);

    // Each box is named by the labels of its row and column.
    const QString interval = t.TextFrmTimerDef_Frame1Caption;
    m_Stunden->setAccessibleName(joinedName(interval, t.TextFrmTimerDef_Label7Caption));
    m_minuten->setAccessibleName(joinedName(interval, t.TextFrmTimerDef_Label8Caption));
    m_sekunden->setAccessibleName(joinedName(interval, t.TextFrmTimerDef_Label9Caption));
    const QString start = t.TextFrmTimerDef_Label1Caption;
    const QString stop = t.TextFrmTimerDef_Label2Caption;
    m_Startdate->setAccessibleName(joinedName(start, t.TextFrmTimerDef_Label3Caption));
    m_starttime->setAccessibleName(joinedName(start, t.TextFrmTimerDef_Label4Caption));
    m_stopdate->setAccessibleName(joinedName(stop, t.TextFrmTimerDef_Label3Caption));
    m_stoptime->setAccessibleName(joinedName(stop, t.TextFrmTimerDef_Label4Caption));
    m_anz_messungen->setAccessibleName(vb::LabelText(t.TextFrmTimerDef_Frame4Caption));

    const SettingsRecord &s = m_app.settings;
    if (const auto mode = vb::CInt(std::trunc(vb::Val(s.int_modus))))
        fnSetTimerModus(*mode);
    m_Check1->setChecked(int(vb::Val(s.activ)) == 1);
    m_Stunden->setText(s.int_std);
    m_minuten->setText(s.int_min);
    m_sekunden->setText(s.int_sek);
    m_starttime->setText(s.t_start);
    m_Startdate->setText(s.d_start);
    m_stoptime->setText(s.t_end);
    m_stopdate->setText(s.d_end);
    m_anz_messungen->setText(s.anz_mess);
}

void timer_def::fnSetTimerModus(qint16 mode)
{
    m_app.settings.int_modus = QString::number(mode);
    if (mode != 0 && mode != 1)
        return;
    m_Frame3->setEnabled(mode == 0);
    m_Frame4->setEnabled(mode == 1);
    m_TimerModus[mode]->setChecked(true);
}

void timer_def::TimerModus_Click()
{
    if (m_TimerModus[0]->isChecked())
        fnSetTimerModus(0);
    else if (m_TimerModus[1]->isChecked())
        fnSetTimerModus(1);
}

void timer_def::Check1_Click()
{
    m_app.settings.activ = QString::number(m_Check1->isChecked() ? 1 : 0);
}

void timer_def::OK_Click()
{
    if (!boxesFitSettingsFile())
        return;
    // A box that never lost the focus was never checked: check what the timer will use.
    for (const CheckedBox &checked : m_checked)
        if (checked.box->isEnabled() && !LostFocus(checked))
            return;

    SettingsRecord &s = m_app.settings;
    s.d_start = m_Startdate->text();
    s.d_end = m_stopdate->text();
    s.t_start = m_starttime->text();
    s.t_end = m_stoptime->text();
    s.int_std = m_Stunden->text();
    s.int_min = m_minuten->text();
    s.int_sek = m_sekunden->text();
    s.anz_mess = m_anz_messungen->text();
    m_app.dtNaechsteMessung.clear();
    unloadWith(Accepted);
}

// Every box is stored, also one of a frame the mode disables.
bool timer_def::boxesFitSettingsFile()
{
    QList<StoredValue> values;
    for (const CheckedBox &checked : m_checked)
        values.append(singleValue(checked.box, checked.box->accessibleName(), checked.box->text()));
    // Moving the focus to a refused box must not run the check of the box it leaves.
    const QScopedValueRollback guard(m_checking, true);
    return storedValuesFit(m_app, values);
}

void timer_def::Command1_Click()
{
    unloadWith(Rejected);
}

void timer_def::reject()
{
    Command1_Click();
}

void timer_def::unloadWith(int result)
{
    done(result);
    m_app.unload<timer_def>();
}

// Only a move to another control of this window checks the box left: Qt also
// takes the focus away when the window deactivates or a message box opens.
// Cancel does not check, so the user can always leave.
timer_def::~timer_def()
{
    disconnect(qApp, &QApplication::focusChanged, this, &timer_def::focusChanged);
}

void timer_def::focusChanged(QWidget *old, QWidget *now)
{
    if (m_checking || !now || now->window() != this || now == m_Command1)
        return;
    for (const CheckedBox &checked : m_checked)
        if (checked.box == old && old->isEnabled()) {
            LostFocus(checked);
            return;
        }
}

bool timer_def::LostFocus(const CheckedBox &checked)
{
    const std::optional<QString> failure = checkFailure(checked);
    if (!failure)
        return true;
    // Moving the focus back must not check the box it leaves.
    const QScopedValueRollback guard(m_checking, true);
    if (!stillOpenAfter(this, [&] { m_app.prompts().message(*failure, programTitle()); }))
        return false;
    if (checked.check != Check::Count || m_Frame4->isEnabled()) {
        checked.box->setFocus(Qt::OtherFocusReason);
        if (checked.check == Check::Count)
            m_TimerModus[1]->setChecked(true);
    }
    return false;
}

std::optional<QString> timer_def::checkFailure(const CheckedBox &checked)
{
    const LanguageTexts &t = m_app.texts;
    QLineEdit *box = checked.box;
    switch (checked.check) {
    case Check::Number:
        if (!vb::IsNumeric(box->text()))
            return t.TextBitteZahlEingeben;
        break;
    case Check::Count: {
        const auto count = vb::CDbl(box->text().trimmed());
        if (!count)
            return t.TextBitteZahlEingeben;
        if (std::trunc(*count) <= 0)
            return t.TextBitteZahlGroesser0Eingeben;
        break;
    }
    case Check::Date:
        if (!vb::IsDate(box->text()))
            return t.TextBitteDatumEingeben;
        break;
    case Check::Time:
        const auto time = vb::CTime(box->text());
        if (!time)
            return t.TextBitteUhrzeitEingeben;
        box->setText(vb::TimeText(*time));
        break;
    }
    return std::nullopt;
}
