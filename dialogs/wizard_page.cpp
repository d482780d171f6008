#include "dialogs/wizard_page.h"

#include "core/app.h"

#include "dialogs/dialog_controls.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

WizardPage::WizardPage(App &app, const QString &name, const QString &caption, QWidget *parent)
    : QDialog(parent)
    , m_app(app)
    , m_cmdGoOn(dialogButton(QStringLiteral("cmdGoOn"), QStringLiteral("Ok"), this))
    , m_cmdCancel(dialogButton(QStringLiteral("cmdCancel"), QStringLiteral("Abbrechen"), this))
{
    setObjectName(name);
    setWindowTitle(caption);
    setModal(true);
    connect(m_cmdGoOn, &QPushButton::clicked, this, [this] { cmdGoOn_Click(); });
    connect(m_cmdCancel, &QPushButton::clicked, this, &WizardPage::cmdCancel_Click);
}

void WizardPage::setContent(QLayout *content)
{
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdGoOn);
    buttons->addWidget(m_cmdCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(content);
    layout->addSpacing(8);
    layout->addLayout(buttons);
}

void WizardPage::done(int result)
{
    QDialog::done(result);
    unloadSelf();
}

void WizardPage::cmdCancel_Click()
{
    m_app.abbruch = true;
    reject();
}
