#pragma once

#include "core/output/output_files.h"

#include <QString>

// Appends the two lines of one send to protocol.txt in the current directory:
// "Datenstring: " and the telegram, "Command: " and the output string, each
// ended by CR LF. Both lines go out in one write, so a failure leaves no half
// entry.
AppendResult writeProtocol(OutputFiles &files, const QString &strTelegramm,
                           const QString &strAusgabe);

// Appends note as one line of its own to protocol.txt: what a delivery left out,
// after the entry of the send it belongs to.
AppendResult writeProtocolNote(OutputFiles &files, const QString &note);
