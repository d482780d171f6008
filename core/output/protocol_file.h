#pragma once

#include <QString>

// Appends the two lines of one send to protocol.txt in the current directory:
// "Datenstring: " and the telegram, "Command: " and the output string, each
// ended by CR LF. Both lines go out in one write, so a failure leaves no half
// entry. Returns false with errorText when the file could not be written.
bool writeProtocol(const QString &strTelegramm, const QString &strAusgabe, QString *errorText);

// Appends text as one line ended by CR LF to file (created when missing), in one
// write. Returns false with errorText when the file could not be written.
bool appendLine(const QString &file, const QString &text, QString *errorText);
