#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The whole content of a file; empty when it cannot be read.
inline QByteArray readFileBytes(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
