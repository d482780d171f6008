#include "core/language/language_texts.h"

#include <QHash>

namespace {

using TextMember = QString LanguageTexts::*;

const QHash<QString, TextMember> &membersByKey()
{
#define MQ_TEXT_MEMBER(name) {QStringLiteral(#name), &LanguageTexts::name},
    static const QHash<QString, TextMember> table{MQ_LANGUAGE_TEXT_KEYS(MQ_TEXT_MEMBER)};
#undef MQ_TEXT_MEMBER
    return table;
}

} // namespace

const QStringList &LanguageTexts::keys()
{
#define MQ_TEXT_KEY(name) QStringLiteral(#name),
    static const QStringList list{MQ_LANGUAGE_TEXT_KEYS(MQ_TEXT_KEY)};
#undef MQ_TEXT_KEY
    return list;
}

QString *LanguageTexts::text(const QString &key)
{
    const auto it = membersByKey().constFind(key);
    return it == membersByKey().constEnd() ? nullptr : &(this->*it.value());
}

const QString *LanguageTexts::text(const QString &key) const
{
    const auto it = membersByKey().constFind(key);
    return it == membersByKey().constEnd() ? nullptr : &(this->*it.value());
}
