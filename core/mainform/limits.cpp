#include "core/mainform/limits.h"

#include "core/reception/telegram_fields.h"
#include "platform/vb/vb_runtime.h"
#include "platform/vb/vb_strings.h"

#include <QStringList>
#include <utility>

namespace {

// The notice for one limit, "" when its text reads or was reported already.
QString noticeFor(const QString &text, QString &reported, const QString &name, const char *which)
{
    if (!readLimit(text).ignored) {
        reported.clear();
        return QString();
    }
    if (text == reported)
        return QString();
    reported = text;
    return QStringLiteral("%1 \"%2\" is no number: no %3 limit")
        .arg(name, text, QLatin1String(which));
}

} // namespace

LimitReading readLimit(const QString &text)
{
    if (vb::Trim(text).isEmpty())
        return {};
    if (const auto value = vb::CDbl(text))
        return {*value, false};
    if (const auto value = plainNumber(text))
        return {*value, false};
    return {0.0, true};
}

double limitValue(const QString &text)
{
    return readLimit(text).value;
}

void IgnoredLimits::note(const QString &otg, const QString &utg)
{
    QStringList notices;
    for (const QString &notice : {noticeFor(otg, m_reportedOtg, QStringLiteral("OTG"), "upper"),
                                  noticeFor(utg, m_reportedUtg, QStringLiteral("UTG"), "lower")}) {
        if (!notice.isEmpty())
            notices << notice;
    }
    if (!notices.isEmpty())
        m_due = notices.join(QStringLiteral("; "));
}

QString IgnoredLimits::takeNotice()
{
    return std::exchange(m_due, QString());
}
