#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <map>
#include <memory>
#include <vector>

// The DAO objects the database target is written against, over QtSql.
//
// A database is named like this:
// - "odbc:SOURCE" is an ODBC data source: SOURCE is a DSN, or a whole connection
//   string when it holds "=" ("odbc:DRIVER={...};DBQ=/data/werte.accdb"). It needs
//   Qt's QODBC driver (package libqt6sql6-odbc);
// - any other text is the path of an SQLite file; an Access file (.mdb, .accdb)
//   named directly is refused, as no driver on this system writes one.
// An SQLite file must exist and be a database: it is never created, and a file
// that is no database is left as it was.
//
// Every error is a short reason in English; the caller names the file and table.

class Recordset;

// An open database with a QtSql connection of its own, removed when the database
// is closed or destroyed.
class Database {
public:
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // The tables a user may write to, in the database's order, without system tables
    // (names beginning "MSys" or "sqlite_"). Returns false with error when the
    // database cannot be read (locked past the busy timeout, closed).
    bool tableNames(QStringList *names, QString *error) const;

    // Opens table for adding records (a dynaset in DAO terms). Returns null with
    // error when there is no such table or the database cannot be read.
    std::unique_ptr<Recordset> OpenRecordset(const QString &table, QString *error) const;

    // Closes the connection; a recordset of it then fails on Update. Idempotent.
    void Close();

private:
    friend class Workspace;
    enum class Kind { Sqlite, Odbc };
    Database(QString connection, Kind kind);

    QString m_connection; // empty once closed
    Kind m_kind;
};

// A table opened for adding records: one record at a time, fields by position.
class Recordset {
public:
    struct Column {
        QString name;
        bool numeric = false; // numeric text is stored as a number
    };

    // The table's columns in order, first 0.
    const std::vector<Column> &columns() const { return m_columns; }

    // Starts a new record with no field set.
    void AddNew();

    // Sets field index (0-based position) of the new record to text. A numeric
    // column gets a number when the text is a plain number in the current locale
    // (platform/office/cell_number.h: "12,50" is 12.5 in German); any other text
    // is kept as text.
    // Returns false with error when the table has no such column.
    bool setField(int index, const QString &text, QString *error);

    // Adds the new record with one INSERT of the fields set (the table's defaults
    // for the others) and starts the next one. Returns false with error when the
    // database refuses it, is locked past the busy timeout or was closed; nothing
    // is written then.
    bool Update(QString *error);

private:
    friend class Database;
    Recordset(QString connection, QString table, std::vector<Column> columns);

    QString m_connection;
    QString m_table;
    std::vector<Column> m_columns;
    std::map<int, QString> m_values; // field position -> text, in column order
};

// The DAO workspace: opens databases with the same bounded wait for locks.
class Workspace {
public:
    // How long an SQLite statement waits for another program's lock before it fails
    // (and the login time-out of an ODBC source); the UI waits with it.
    static constexpr std::chrono::milliseconds kDefaultBusyTimeout{2000};

    explicit Workspace(std::chrono::milliseconds busyTimeout = kDefaultBusyTimeout);

    // Opens the database named (see above) read-write. Returns null with error when
    // the file is missing, is no database, is locked past the busy timeout, or the
    // ODBC driver or data source is not there.
    std::unique_ptr<Database> OpenDatabase(const QString &name, QString *error) const;

private:
    std::chrono::milliseconds m_busyTimeout;
};
