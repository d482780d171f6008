#include "core/delivery/access_target.h"

#include "core/app.h"
#include "core/delivery/delivery.h"
#include "core/mainform/mainform.h"
#include "core/output/protocol_file.h"
#include "platform/office/database.h"

namespace {

const QString kTab = QStringLiteral("{TAB}");

// "1 field", "2 fields".
QString counted(qsizetype n, const QString &noun)
{
    return QStringLiteral("%1 %2%3").arg(QString::number(n), noun,
                                         n == 1 ? QString() : QStringLiteral("s"));
}

QString fieldsLeftOutText(const AccessRecordResult &added)
{
    return QStringLiteral("record added, %1 found no column (the table has %2)")
        .arg(counted(added.fieldsWithoutColumn, QStringLiteral("field")),
             counted(qsizetype(added.columns), QStringLiteral("column")));
}

} // namespace

QStringList tabFields(const QString &text)
{
    QStringList fields = text.split(kTab);
    fields.removeLast();
    return fields;
}

AccessRecordResult addAccessRecord(const Workspace &workspace, const QString &database,
                                   const QString &table, const QString &text)
{
    if (!text.contains(kTab))
        return {};
    AccessRecordResult result;
    const std::unique_ptr<Database> db = workspace.OpenDatabase(database, &result.error);
    if (!db)
        return result;
    const std::unique_ptr<Recordset> records = db->OpenRecordset(table, &result.error);
    if (!records)
        return result;
    result.columns = records->columns().size();
    const QStringList fields = tabFields(text);
    records->AddNew();
    // Only a field beyond the last column fails here; the fields after it still go in.
    QString noColumn;
    for (int k = 0; k < fields.size(); ++k)
        if (!fields[k].isEmpty() && !records->setField(k, fields[k], &noColumn))
            ++result.fieldsWithoutColumn;
    if (!records->Update(&result.error))
        result.fieldsWithoutColumn = 0;
    return result;
}

QString toAccessDatabase(App &app, const QString &strAusgabe)
{
    const QString &file = app.settings.AccessFile;
    const QString &table = app.settings.AccessTable;
    const AccessRecordResult added = addAccessRecord(Workspace(), file, table, strAusgabe);
    const bool fieldsLeftOut = added.error.isEmpty() && added.fieldsWithoutColumn > 0;
    if (added.error.isEmpty() && !fieldsLeftOut)
        return {};
    const QString failure =
        QStringLiteral("Access-Datenbank %1, table %2: %3")
            .arg(file, table, fieldsLeftOut ? fieldsLeftOutText(added) : added.error);
    app.mainWindow().fnUpdateStatus(failure);
    // The record itself does not show what is missing from it.
    if (fieldsLeftOut)
        reportWriteFailure(app, writeProtocolNote(app.outputFiles, failure));
    return failure;
}
