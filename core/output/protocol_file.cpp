#include "core/output/protocol_file.h"

#include <QFile>

bool appendLine(const QString &file, const QString &text, QString *errorText)
{
    QFile out(file);
    // Unbuffered: the whole line is one write, checked for its full length.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        *errorText = out.errorString();
        return false;
    }
    const QByteArray bytes = (text + QStringLiteral("\r\n")).toUtf8();
    if (out.write(bytes) != bytes.size()) {
        *errorText = out.errorString();
        return false;
    }
    return true;
}

bool writeProtocol(const QString &strTelegramm, const QString &strAusgabe, QString *errorText)
{
    return appendLine(QStringLiteral("protocol.txt"),
                      QStringLiteral("Datenstring: ") + strTelegramm +
                          QStringLiteral("\r\nCommand: ") + strAusgabe,
                      errorText);
}
