#pragma once

#include <QByteArray>

// What the simulated balance does with one command.
struct CommandAnswer {
    enum class Kind { Reply, Telegram };
    Kind kind = Kind::Reply;
    QByteArray reply; // the reply line without CR LF, for Kind::Reply
};

// P sends a telegram, T and Z are acknowledged, I names the instrument, anything else is
// answered "ES" (the error reply of many balances).
CommandAnswer answerCommand(const QByteArray &command);
