#pragma once

#include <QByteArray>

// What the simulated balance does with one command.
struct CommandAnswer {
    enum class Kind { Reply, Telegram, Silent };
    Kind kind = Kind::Reply;
    QByteArray reply;            // the reply line without its line end, for Kind::Reply
    QByteArray lineEnd = "\r\n"; // what ends the reply line
};

// P sends a telegram, T and Z are acknowledged, I names the instrument, K (a setting) is
// taken without a reply, C is acknowledged with a line ended by CR alone (as balances set
// to CR line ends send); anything else is answered "ES" (the error reply of many balances).
CommandAnswer answerCommand(const QByteArray &command);
