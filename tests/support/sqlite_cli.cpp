#include "tests/support/sqlite_cli.h"

#include <QProcess>

QStringList sqlite(const QString &file, const QString &sql)
{
    QProcess cli;
    cli.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), file, sql});
    if (!cli.waitForFinished(10'000) || cli.exitCode() != 0)
        return {QStringLiteral("sqlite3 failed: ") + QString::fromUtf8(cli.readAllStandardError())};
    return QString::fromUtf8(cli.readAllStandardOutput())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool LockHolder::hold(const QString &file, const QByteArray &transaction)
{
    m_cli.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), file});
    m_cli.write(transaction + "\n.print locked\n");
    return m_cli.waitForReadyRead(10'000) && m_cli.readAllStandardOutput().startsWith("locked");
}

LockHolder::~LockHolder()
{
    m_cli.write("ROLLBACK;\n");
    m_cli.closeWriteChannel();
    m_cli.waitForFinished(10'000);
}
