#include "core/delivery/access_target.h"

#include "core/app.h"
#include "core/mainform/mainform.h"
#include "platform/office/database.h"

namespace {

const QString kTab = QStringLiteral("{TAB}");

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
    records->AddNew();
    // A field without a column is reported but does not cost the record its other fields.
    QStringList unplaced;
    const QStringList fields = tabFields(text);
    for (int k = 0; k < fields.size(); ++k) {
        if (!fields[k].isEmpty() && !records->setField(k, fields[k], &error))
            unplaced << QStringLiteral("\"%1\"").arg(fields[k]);
    }
    if (!records->Update(&error))
        return error;
    if (unplaced.isEmpty())
        return {};
    return QStringLiteral("%1 not written: the table has only %2 columns")
        .arg(unplaced.join(QStringLiteral(", ")), QString::number(records->columns().size()));
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
