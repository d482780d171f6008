#include "platform/office/database.h"

#include "platform/office/cell_number.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <QUuid>
#include <QVariant>
#include <utility>

namespace {

const QLatin1String kOdbcPrefix("odbc:");
const QString kClosed = QStringLiteral("the database is closed");

QString newConnectionName()
{
    return QStringLiteral("mq-db-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QSqlDatabase connectionOf(const QString &name)
{
    return QSqlDatabase::database(name, false);
}

// SQLite's result codes SQLITE_BUSY and SQLITE_LOCKED, as QtSql reports them.
bool isLocked(const QSqlError &error)
{
    return error.nativeErrorCode() == QLatin1String("5") ||
           error.nativeErrorCode() == QLatin1String("6");
}

QString reasonOf(const QSqlError &error)
{
    if (isLocked(error))
        return QStringLiteral("the database is locked by another program");
    const QString text = error.databaseText();
    return text.isEmpty() ? error.text() : text;
}

// Standard SQL quoting, which SQLite and ODBC sources accept; QtSql's own
// escapeIdentifier splits names at "." and passes names in brackets unchanged.
QString quoteIdentifier(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// The "mode=rw" URI makes SQLite refuse a missing file instead of creating it;
// "?", "#" and "%" in the path must then be escaped.
QString sqliteUri(const QString &path)
{
    const QByteArray escaped = QUrl::toPercentEncoding(QFile::encodeName(path), "/");
    return QStringLiteral("file:") + QString::fromLatin1(escaped) + QStringLiteral("?mode=rw");
}

// Debian's ODBC driver for Access files (odbc-mdbtools) only reads them.
bool isAccessFile(const QString &name)
{
    return name.endsWith(QLatin1String(".mdb"), Qt::CaseInsensitive) ||
           name.endsWith(QLatin1String(".accdb"), Qt::CaseInsensitive);
}

bool isSystemTable(const QString &name)
{
    return name.startsWith(QLatin1String("MSys")) ||
           name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive);
}

// SQLite's affinity rules: only TEXT, BLOB and undeclared columns keep text as text.
bool hasNumericAffinity(const QString &declaredType)
{
    const QString type = declaredType.toUpper();
    if (type.contains(QLatin1String("INT")))
        return true;
    for (const char *textual : {"CHAR", "CLOB", "TEXT", "BLOB"}) {
        if (type.contains(QLatin1String(textual)))
            return false;
    }
    return !type.isEmpty();
}

bool isNumericType(QMetaType type)
{
    switch (type.id()) {
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

QVariant fieldValue(const Recordset::Column &column, const QString &text)
{
    if (column.numeric)
        if (const std::optional<double> number = plainNumber(text))
            return *number;
    return text;
}

} // namespace

Database::Database(QString connection, Kind kind)
    : m_connection(std::move(connection))
    , m_kind(kind)
{}

Database::~Database()
{
    Close();
}

void Database::Close()
{
    if (m_connection.isEmpty())
        return;
    connectionOf(m_connection).close();
    QSqlDatabase::removeDatabase(m_connection);
    m_connection.clear();
}

bool Database::tableNames(QStringList *names, QString *error) const
{
    QSqlDatabase db = connectionOf(m_connection);
    if (!db.isOpen()) {
        *error = kClosed;
        return false;
    }
    QStringList all;
    if (m_kind == Kind::Sqlite) {
        // QSqlDatabase::tables() hides a read error (a lock) behind an empty list.
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"))) {
            *error = reasonOf(query.lastError());
            return false;
        }
        while (query.next())
            all << query.value(0).toString();
    } else {
        all = db.tables(QSql::Tables);
    }
    names->clear();
    for (const QString &name : std::as_const(all)) {
        if (!isSystemTable(name))
            names->append(name);
    }
    return true;
}

std::unique_ptr<Recordset> Database::OpenRecordset(const QString &table, QString *error) const
{
    QSqlDatabase db = connectionOf(m_connection);
    if (!db.isOpen()) {
        *error = kClosed;
        return nullptr;
    }
    std::vector<Recordset::Column> columns;
    if (m_kind == Kind::Sqlite) {
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoteIdentifier(table)))) {
            *error = reasonOf(query.lastError());
            return nullptr;
        }
        while (query.next())
            columns.push_back(
                {query.value(1).toString(), hasNumericAffinity(query.value(2).toString())});
    } else {
        const QSqlRecord record = db.record(table);
        for (int i = 0; i < record.count(); ++i)
            columns.push_back({record.fieldName(i), isNumericType(record.field(i).metaType())});
    }
    if (columns.empty()) {
        *error = QStringLiteral("there is no table \"%1\"").arg(table);
        return nullptr;
    }
    return std::unique_ptr<Recordset>(new Recordset(m_connection, table, std::move(columns)));
}

Recordset::Recordset(QString connection, QString table, std::vector<Column> columns)
    : m_connection(std::move(connection))
    , m_table(std::move(table))
    , m_columns(std::move(columns))
{}

void Recordset::AddNew()
{
    m_values.clear();
}

bool Recordset::setField(int index, const QString &text, QString *error)
{
    if (index < 0 || index >= int(m_columns.size())) {
        *error = QStringLiteral("field %1 has no column: the table has %2")
                     .arg(index)
                     .arg(m_columns.size());
        return false;
    }
    m_values[index] = text;
    return true;
}

bool Recordset::Update(QString *error)
{
    QSqlDatabase db = connectionOf(m_connection);
    if (!db.isOpen()) {
        *error = kClosed;
        return false;
    }
    QStringList names;
    QStringList marks;
    for (const auto &[index, text] : m_values) {
        names << quoteIdentifier(m_columns[index].name);
        marks << QStringLiteral("?");
    }
    const QString table = quoteIdentifier(m_table);
    const QString sql = names.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
                                        : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                              .arg(table, names.join(QLatin1Char(',')),
                                                   marks.join(QLatin1Char(',')));
    QSqlQuery query(db);
    if (!query.prepare(sql)) {
        *error = reasonOf(query.lastError());
        return false;
    }
    for (const auto &[index, text] : m_values)
        query.addBindValue(fieldValue(m_columns[index], text));
    if (!query.exec()) {
        *error = reasonOf(query.lastError());
        return false;
    }
    m_values.clear();
    return true;
}

Workspace::Workspace(std::chrono::milliseconds busyTimeout)
    : m_busyTimeout(busyTimeout)
{}

std::unique_ptr<Database> Workspace::OpenDatabase(const QString &name, QString *error) const
{
    const bool odbc = name.startsWith(kOdbcPrefix, Qt::CaseInsensitive);
    if (!odbc && isAccessFile(name)) {
        *error = QStringLiteral("Access files (.mdb, .accdb) cannot be written on this system: "
                                "an SQLite file, or an ODBC data source (\"odbc:NAME\") with a "
                                "driver that can write, is needed");
        return nullptr;
    }
    const QString driver = odbc ? QStringLiteral("QODBC") : QStringLiteral("QSQLITE");
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        *error = odbc ? QStringLiteral("ODBC is not available: Qt's QODBC driver is not installed "
                                       "(package libqt6sql6-odbc)")
                      : QStringLiteral("Qt's SQLite driver is not installed");
        return nullptr;
    }
    QString connectOptions;
    QString databaseName;
    if (odbc) {
        const auto seconds = std::chrono::ceil<std::chrono::seconds>(m_busyTimeout).count();
        connectOptions = QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(seconds);
        databaseName = name.mid(kOdbcPrefix.size());
    } else {
        const QFileInfo file(name);
        if (!file.exists() || !file.isFile()) {
            *error = file.exists() ? QStringLiteral("this is not a file")
                                   : QStringLiteral("the file does not exist");
            return nullptr;
        }
        connectOptions =
            QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeout.count());
        databaseName = sqliteUri(file.absoluteFilePath());
    }
    const QString connection = newConnectionName();
    // Owns the connection from here on, so every failure below removes it again.
    std::unique_ptr<Database> database(
        new Database(connection, odbc ? Database::Kind::Odbc : Database::Kind::Sqlite));
    QSqlDatabase db = QSqlDatabase::addDatabase(driver, connection);
    db.setDatabaseName(databaseName);
    db.setConnectOptions(connectOptions);
    if (!db.open()) {
        *error = reasonOf(db.lastError());
        return nullptr;
    }
    if (!odbc) {
        // SQLite reads the file only at the first statement: a text file or a
        // locked database shows here, not at open().
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
            *error = reasonOf(probe.lastError());
            return nullptr;
        }
    }
    return database;
}
