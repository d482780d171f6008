#include "dialogs/select_target.h"

#include "core/app.h"
#include "core/mainform/control_tag.h"
#include "dialogs/format_def.h"
#include "dialogs/messwert_def.h"
#include "dialogs/named_fields.h"
#include "dialogs/save_set.h"
#include "dialogs/select_accessfile.h"
#include "dialogs/select_application.h"
#include "dialogs/select_ddeparameter.h"
#include "dialogs/select_excelfile.h"
#include "dialogs/select_textfile.h"

#include <QComboBox>
#include <QVBoxLayout>

namespace {

enum Target { kActiveApplication, kDdeChannel, kExcelFile, kTextFile, kAccessDatabase };

// Shows W's default instance modally; the page unloads itself when it closes.
template <typename W> void showModal(App &app)
{
    app.form<W>().exec();
}

// anwendung is written first, so a cancelled detail page leaves it set.
void openTargetPage(App &app, int target)
{
    QString &anwendung = app.settings.anwendung;
    switch (target) {
    case kDdeChannel:
        anwendung = QStringLiteral("*DDE*");
        showModal<select_DDEParameter>(app);
        break;
    case kExcelFile:
        anwendung = QStringLiteral("Excel-Datei");
        showModal<select_ExcelFile>(app);
        break;
    case kTextFile:
        anwendung = QStringLiteral("Text-Datei");
        showModal<select_TextFile>(app);
        break;
    case kAccessDatabase:
        anwendung = QStringLiteral("Access-Datenbank");
        showModal<select_AccessFile>(app);
        break;
    default:
        showModal<select_application>(app);
        break;
    }
}

// Telegram template (whose Ok leads on to the template editor), transfer
// settings, then the save dialog. The transfer dialog shown is the instance the
// template editor loaded hidden, which holds the edited template.
void runRestOfWizard(App &app)
{
    messwert_def &telegram = app.form<messwert_def>();
    setTag(&telegram, QStringLiteral("select_target"));
    telegram.exec();
    format_def &transfer = app.form<format_def>();
    setTag(&transfer, QStringLiteral("select_target"));
    transfer.exec();
    save_set(app);
}

} // namespace

select_target::select_target(App &app, QWidget *parent)
    : WizardPage(app, QStringLiteral("select_target"), QStringLiteral("Ziel auswählen"), parent)
{
    m_cboTarget = new NamedComboBox(this);
    m_cboTarget->setObjectName(QStringLiteral("cboTarget"));
    m_cboTarget->setEditable(true);
    setFieldName(m_cboTarget, QStringLiteral("Ziel"));
    m_cboTarget->setInsertPolicy(QComboBox::NoInsert);
    m_cboTarget->addItems({QStringLiteral("aktive Anwendung"), QStringLiteral("DDE-Kanal"),
                           QStringLiteral("Excel-Datei"), QStringLiteral("Text-Datei"),
                           QStringLiteral("Access-Datenbank")});
    m_cboTarget->setCurrentIndex(kActiveApplication);
    m_cboTarget->setMinimumContentsLength(24);

    auto *content = new QVBoxLayout;
    content->addWidget(m_cboTarget);
    setContent(content);
}

void select_target::unloadSelf()
{
    m_app.unload<select_target>();
}

int select_target::chosenIndex() const
{
    // Typing keeps Qt's current index; the typed text is no entry (VB's ListIndex -1).
    const int index = m_cboTarget->currentIndex();
    return index >= 0 && m_cboTarget->itemText(index) == m_cboTarget->currentText() ? index : -1;
}

void select_target::cmdGoOn_Click()
{
    // This page is unloaded before the next one shows: keep what is needed on the stack.
    App &app = m_app;
    app.abbruch = false;
    const QString caller = tagOf(this);
    const int target = chosenIndex();
    accept();

    openTargetPage(app, target);
    if (!app.abbruch && caller != QLatin1String("format_def"))
        runRestOfWizard(app);
}
