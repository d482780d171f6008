#include "dialogs/select_accessfile.h"

#include "core/app.h"
#include "dialogs/named_fields.h"
#include "platform/office/database.h"

#include <QComboBox>
#include <QVBoxLayout>

select_AccessFile::select_AccessFile(App &app, QWidget *parent)
    : FilePage(app,
               {QStringLiteral("select_AccessFile"), QStringLiteral("Access-Datei auswählen"),
                QStringLiteral("Bitte wählen Sie die Access-Datenbank und Tabelle aus"),
                QStringLiteral("txtAccessFile"), QStringLiteral("Datenbank"),
                QStringLiteral("Datenbanken (*.db *.sqlite *.mdb);;Alle Dateien (*)")},
               parent)
{
    m_cboTables = new NamedComboBox(this);
    m_cboTables->setObjectName(QStringLiteral("cboTables"));
    // A table of an ODBC source named in the path box can be typed.
    m_cboTables->setEditable(true);
    m_cboTables->setInsertPolicy(QComboBox::NoInsert);
    setFieldName(m_cboTables, QStringLiteral("Tabelle"));
    body()->addWidget(m_cboTables);
}

void select_AccessFile::fileChosen()
{
    m_cboTables->clear();
    QString error;
    QStringList tables;
    const std::unique_ptr<Database> db = Workspace().OpenDatabase(path(), &error);
    if (!db || !db->tableNames(&tables, &error)) {
        m_app.abbruch = true;
        return;
    }
    // The first table shows at once, so Ok without a choice names a table of this file.
    m_cboTables->addItems(tables);
}

QList<StoredValue> select_AccessFile::storedValues() const
{
    return FilePage::storedValues()
           << singleValue(m_cboTables, m_cboTables->accessibleName(), m_cboTables->currentText());
}

void select_AccessFile::store()
{
    m_app.settings.AccessFile = path();
    m_app.settings.AccessTable = m_cboTables->currentText();
}

void select_AccessFile::unloadSelf()
{
    m_app.unload<select_AccessFile>();
}
