#pragma once

#include <QString>
#include <QStringList>

// Runs sql on file with the sqlite3 command-line tool; returns its output lines,
// or one line "sqlite3 failed: ..." with its error.
QStringList sqlite(const QString &file, const QString &sql);
