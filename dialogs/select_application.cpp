#include "dialogs/select_application.h"

#include "core/app.h"
#include "platform/x11/window_list.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

select_application::select_application(App &app, QWidget *parent)
    : WizardPage(app, QStringLiteral("select_application"),
                 QStringLiteral("Zielanwendung auswählen"), parent)
{
    m_Label1 = new QLabel(QStringLiteral("Bitte starten Sie Ihre Anwendung..."), this);
    m_Label1->setObjectName(QStringLiteral("Label1"));
    m_Label1->setTextFormat(Qt::PlainText);
    m_Label1->setFont(QFont(QStringLiteral("Arial")));

    m_lstApplications = new QListWidget(this);
    m_lstApplications->setObjectName(QStringLiteral("lstApplications"));
    m_lstApplications->setAccessibleName(QStringLiteral("Anwendungen"));
    m_lstApplications->setSelectionMode(QAbstractItemView::SingleSelection);
    m_Label1->setBuddy(m_lstApplications);

    m_cmdRefresh =
        dialogButton(QStringLiteral("cmdRefresh"), QStringLiteral("Liste aktualisieren"), this);

    auto *content = new QVBoxLayout;
    content->addWidget(m_Label1);
    content->addWidget(m_lstApplications);
    content->addWidget(m_cmdRefresh, 0, Qt::AlignLeft);
    setContent(content);
    resize(420, 320);

    connectSignals();
    Form_Load();
}

void select_application::connectSignals()
{
    connect(m_cmdRefresh, &QPushButton::clicked, this, &select_application::Form_Load);
}

void select_application::Form_Load()
{
    m_lstApplications->clear();
    for (const TopLevelWindow &window : m_app.windows().topLevelWindows())
        if (window.viewable && window.bordered && !window.title.isEmpty())
            m_lstApplications->addItem(window.title);
}

void select_application::cmdGoOn_Click()
{
    const QList<QListWidgetItem *> chosen = m_lstApplications->selectedItems();
    m_app.settings.anwendung = chosen.isEmpty() ? QString() : chosen.first()->text();
    accept();
}

void select_application::unloadSelf()
{
    m_app.unload<select_application>();
}
