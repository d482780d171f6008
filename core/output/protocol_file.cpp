#include "core/output/protocol_file.h"

AppendResult writeProtocol(OutputFiles &files, const QString &strTelegramm,
                           const QString &strAusgabe)
{
    return files.appendLine(QStringLiteral("protocol.txt"),
                            QStringLiteral("Datenstring: ") + strTelegramm +
                                QStringLiteral("\r\nCommand: ") + strAusgabe);
}
