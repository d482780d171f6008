#include "core/language_texts.h"

const QStringList &LanguageTexts::keys()
{
#define MQ_TEXT_KEY(name) QStringLiteral(#name),
    static const QStringList list{MQ_LANGUAGE_TEXT_KEYS(MQ_TEXT_KEY)};
#undef MQ_TEXT_KEY
    return list;
}
