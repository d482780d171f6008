#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// Runs sql on file with the sqlite3 command-line tool; returns its output lines,
// or one line "sqlite3 failed: ..." with its error.
QStringList sqlite(const QString &file, const QString &sql);

// A sqlite3 process that holds a transaction on a database until it is destroyed.
class LockHolder {
public:
    bool hold(const QString &file, const QByteArray &transaction);
    ~LockHolder();

private:
    QProcess m_cli;
};
