#include "dialogs/info_box.h"

#include "core/app.h"

#include "dialogs/dialog_controls.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The program's version information.
const QString kCompanyName = QStringLiteral("The Mondrelquist developers");
const QString kProductName = QStringLiteral("Mondrelquist");
constexpr int kMajor = 4;
constexpr int kMinor = 2;
constexpr int kRevision = 0;

} // namespace

info_box::info_box(App &app, QWidget *parent)
    : QDialog(parent)
    , m_app(app)
{
    setObjectName(QStringLiteral("info_box"));
    setModal(true);

    m_Label1 = plainLabel(QStringLiteral("Label1"), QString(), this);
    QFont title = m_Label1->font();
    title.setBold(true);
    m_Label1->setFont(title);
    auto *label2 = plainLabel(QStringLiteral("Label2"),
                              QStringLiteral("Data acquisition for laboratory balances"), this);
    auto *label3 = plainLabel(QStringLiteral("Label3"), kCompanyName, this);
    auto *label4 = plainLabel(QStringLiteral("Label4"),
                              QStringLiteral("Built with Qt %1").arg(qVersion()), this);

    m_Command1 = new QPushButton(QStringLiteral("&OK"), this);
    m_Command1->setObjectName(QStringLiteral("Command1"));
    m_Command1->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_Command1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 16, 20, 12);
    layout->addWidget(m_Label1);
    layout->addSpacing(8);
    layout->addWidget(label2);
    layout->addWidget(label3);
    layout->addWidget(label4);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_Command1, &QPushButton::clicked, this, &info_box::Command1_Click);

    Form_Load();
}

void info_box::Form_Load()
{
    setWindowTitle(kCompanyName);
    // Name and version on two lines.
    m_Label1->setText(kProductName + QLatin1Char('\n') +
                      QStringLiteral("Version %1.%2.%3").arg(kMajor).arg(kMinor).arg(kRevision));
}

void info_box::Command1_Click()
{
    done(Accepted);
    m_app.unload<info_box>();
}

void info_box::reject()
{
    Command1_Click();
}
