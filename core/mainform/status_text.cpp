#include "core/mainform/status_text.h"

StatusText::StatusText(const QString &fixed)
    : m_parts{fixed}
{}

StatusText::StatusText(Text text)
    : m_parts{text}
{}

StatusText &StatusText::operator+=(const StatusText &more)
{
    m_parts.insert(m_parts.end(), more.m_parts.begin(), more.m_parts.end());
    return *this;
}

QString StatusText::in(const LanguageTexts &texts) const
{
    QString shown;
    for (const auto &part : m_parts)
        shown += std::holds_alternative<QString>(part) ? std::get<QString>(part)
                                                       : texts.*std::get<Text>(part);
    return shown;
}
