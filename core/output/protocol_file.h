#pragma once

#include "core/output/output_files.h"

#include <QString>

// Appends the two lines of one send to protocol.txt in the current directory:
// "Datenstring: " and the telegram, "Command: " and the output string, each
// ended by CR LF. Both lines go out in one write, so a failure leaves no half
// entry.
AppendResult writeProtocol(OutputFiles &files, const QString &strTelegramm,
                           const QString &strAusgabe);
