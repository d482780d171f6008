#include "command_table.h"

CommandAnswer answerCommand(const QByteArray &command)
{
    const QByteArray text = command.trimmed();
    if (text == "P")
        return {CommandAnswer::Kind::Telegram, {}};
    if (text == "T")
        return {CommandAnswer::Kind::Reply, "T OK"};
    if (text == "Z")
        return {CommandAnswer::Kind::Reply, "Z OK"};
    if (text == "I")
        return {CommandAnswer::Kind::Reply, "I MQ-SIM,1.0"};
    if (text == "K")
        return {CommandAnswer::Kind::Silent, {}};
    if (text == "C")
        return {CommandAnswer::Kind::Reply, "C OK", "\r"};
    return {CommandAnswer::Kind::Reply, "ES"};
}
