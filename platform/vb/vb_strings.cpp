#include "platform/vb/vb_strings.h"

namespace vb {

std::optional<QString> Mid(const QString &text, int start, int length)
{
    if (start < 1 || length < 0)
        return std::nullopt;
    if (start > text.size())
        return QString();
    return text.mid(start - 1, length);
}

std::optional<QString> Mid(const QString &text, int start)
{
    if (start < 1)
        return std::nullopt;
    if (start > text.size())
        return QString();
    return text.mid(start - 1);
}

int InStr(int start, const QString &text, const QString &what)
{
    if (start < 1 || start > text.size())
        return 0;
    const qsizetype at = text.indexOf(what, start - 1);
    return at < 0 ? 0 : int(at + 1);
}

QString Trim(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == QLatin1Char(' '))
        ++begin;
    while (end > begin && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace vb
