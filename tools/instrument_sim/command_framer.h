#pragma once

#include <QByteArray>
#include <QList>

// Cuts instrument commands out of received bytes. A command is ESC, its text and CR LF;
// the ESC is optional and a lone CR or LF also ends a command, as lenient balances accept.
class CommandFramer {
public:
    // Appends bytes and returns the texts of the commands they complete (without ESC and
    // line end); empty lines are skipped.
    QList<QByteArray> feed(const QByteArray &bytes);

private:
    QByteArray m_pending;
};
