#include "core/delivery/access_target.h"

#include "core/app.h"
#include "core/mainform/mainform.h"
#include "platform/office/database.h"

namespace {

const QString kTab = QStringLiteral("{TAB}");

// The fields, counted from 1 and quoted, that hold text but have no column.
QString fieldsWithoutColumn(const QStringList &fields, size_t columns)
{
    QStringList lost;
    for (qsizetype k = qsizetype(columns); k < fields.size(); ++k)
        if (!fields[k].isEmpty())
            lost << QStringLiteral("%1 (\"%2\")").arg(QString::number(k + 1), fields[k]);
    return lost.join(QStringLiteral(", "));
}

} // namespace

QStringList tabFields(const QString &text)
{
    QStringList fields = text.split(kTab);
    fields.removeLast();
    return fields;
}

QString addAccessRecord(const Workspace &workspace, const QString &database, const QString &table,
                        const QString &text)
{
    if (!text.contains(kTab))
        return {};
    QString error;
    const std::unique_ptr<Database> db = workspace.OpenDatabase(database, &error);
    if (!db)
        return error;
    const std::unique_ptr<Recordset> records = db->OpenRecordset(table, &error);
    if (!records)
        return error;
    const QStringList fields = tabFields(text);
    // All or nothing: a record without some of its values would pass for complete.
    if (const QString lost = fieldsWithoutColumn(fields, records->columns().size());
        !lost.isEmpty())
        return QStringLiteral("no record added: the table has %1 columns, no column for field %2")
            .arg(QString::number(records->columns().size()), lost);
    records->AddNew();
    for (int k = 0; k < fields.size(); ++k)
        if (!fields[k].isEmpty() && !records->setField(k, fields[k], &error))
            return error;
    return records->Update(&error) ? QString() : error;
}

QString toAccessDatabase(App &app, const QString &strAusgabe)
{
    const QString &file = app.settings.AccessFile;
    const QString &table = app.settings.AccessTable;
    const QString reason = addAccessRecord(Workspace(), file, table, strAusgabe);
    if (reason.isEmpty())
        return {};
    const QString failure =
        QStringLiteral("Access-Datenbank %1, table %2: %3").arg(file, table, reason);
    app.mainWindow().fnUpdateStatus(failure);
    return failure;
}
