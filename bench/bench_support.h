#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// What the benchmarks that drive the built program through the simulator share.

inline const QString kSimulator = QStringLiteral(MQ_BINARY_DIR "/tools/mq_instrument_sim");
inline const QString kProgram = QStringLiteral(MQ_BINARY_DIR "/mondrelquist");

inline void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(content);
}

inline qint64 fileLines(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().count('\n') : 0;
}
