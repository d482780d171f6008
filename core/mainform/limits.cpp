#include "core/mainform/limits.h"

#include "platform/vb_runtime.h"

#include <QLocale>

double limitValue(const QString &text)
{
    if (const auto value = vb::CDbl(text))
        return *value;
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    return ok ? value : 0.0;
}
