#include "dialogs/file_page.h"

#include "core/app.h"
#include "dialogs/nested_modal.h"
#include "platform/prompts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

OpenFileDialog::OpenFileDialog(Prompts &prompts, QString title, QString filter, QObject *parent)
    : QObject(parent)
    , m_prompts(prompts)
    , m_title(std::move(title))
    , m_filter(std::move(filter))
{
    setObjectName(QStringLiteral("CmDialog1"));
}

std::optional<QString> OpenFileDialog::ShowOpen(const QString &start) const
{
    return m_prompts.openFileName(m_title, start, m_filter);
}

FilePage::FilePage(App &app, const Design &design, QWidget *parent)
    : WizardPage(app, design.name, design.caption, parent)
{
    m_path = new QLineEdit(this);
    m_path->setObjectName(design.pathBox);
    m_path->setAccessibleName(design.pathLabel);
    m_path->setMinimumWidth(320);

    m_cmdOpen = dialogButton(QStringLiteral("cmdOpen"), QString(), this);
    m_cmdOpen->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    m_cmdOpen->setAccessibleName(QStringLiteral("Datei öffnen"));
    m_cmdOpen->setToolTip(QStringLiteral("Datei öffnen"));

    m_CmDialog1 = new OpenFileDialog(app.prompts(), design.caption, design.filter, this);

    auto *pathRow = new QHBoxLayout;
    pathRow->addWidget(m_path, 1);
    pathRow->addWidget(m_cmdOpen);

    m_body = new QVBoxLayout;
    if (!design.tipps.isEmpty()) {
        m_txtTipps = new QLabel(design.tipps, this);
        m_txtTipps->setObjectName(QStringLiteral("txtTipps"));
        // Plain text keeps the leading blank of the design text.
        m_txtTipps->setTextFormat(Qt::PlainText);
        m_txtTipps->setBuddy(m_path);
        m_body->addWidget(m_txtTipps);
    }
    m_body->addLayout(pathRow);
    setContent(m_body);

    connect(m_cmdOpen, &QPushButton::clicked, this, &FilePage::cmdOpen_Click);
}

QString FilePage::path() const
{
    return m_path->text();
}

void FilePage::cmdOpen_Click()
{
    std::optional<QString> file;
    if (!stillOpenAfter(this, [&] { file = m_CmDialog1->ShowOpen(path()); }) || !file)
        return;
    m_app.abbruch = false;
    m_path->setText(*file);
    fileChosen();
}

QList<StoredValue> FilePage::storedValues() const
{
    return {singleValue(m_path, m_path->accessibleName(), path())};
}

void FilePage::cmdGoOn_Click()
{
    if (!storedValuesFit(m_app, storedValues()))
        return;
    store();
    accept();
}
