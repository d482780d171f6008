#include "core/output/protocol_file.h"

namespace {

const QString kProtocolFile = QStringLiteral("protocol.txt");

} // namespace

AppendResult writeProtocol(OutputFiles &files, const QString &strTelegramm,
                           const QString &strAusgabe)
{
    return files.appendLine(kProtocolFile, QStringLiteral("Datenstring: ") + strTelegramm +
                                               QStringLiteral("\r\nCommand: ") + strAusgabe);
}

AppendResult writeProtocolNote(OutputFiles &files, const QString &note)
{
    return files.appendLine(kProtocolFile, note);
}
