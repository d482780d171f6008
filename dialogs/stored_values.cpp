#include "dialogs/stored_values.h"

#include "core/app.h"
#include "core/mainform/program_title.h"
#include "dialogs/named_fields.h"
#include "dialogs/nested_modal.h"
#include "platform/ini/ini_file.h"
#include "platform/prompts.h"

#include <QWidget>

#include <algorithm>

namespace {

void reportTooLong(App &app, const StoredValue &value)
{
    Q_ASSERT(!value.fields.isEmpty());
    const auto longest = std::max_element(
        value.fields.cbegin(), value.fields.cend(),
        [](const StoredField &a, const StoredField &b) { return a.text.size() < b.text.size(); });
    // What the rest of the value leaves for that field.
    const qsizetype room = ini::kMaxValueLength - (value.text.size() - longest->text.size());
    const bool fieldAloneCanFit = room > 0;
    const QString &name = fieldAloneCanFit ? longest->name : value.name;
    const qsizetype limit = fieldAloneCanFit ? room : ini::kMaxValueLength;
    // Replaced rather than arg(): a language file of its own may word the text without "%1".
    const QString message =
        QString(app.texts.TextEintragZuLang).replace(QStringLiteral("%1"), QString::number(limit));
    // Refused either way; a window closed meanwhile is left alone.
    (void)refuseField(app, longest->box, name, message);
}

} // namespace

StoredValue singleValue(QWidget *box, const QString &name, const QString &text)
{
    return {text, name, {{box, name, text}}};
}

bool storedValuesFit(App &app, const QList<StoredValue> &values)
{
    const auto tooLong = std::find_if(values.cbegin(), values.cend(), [](const StoredValue &value) {
        return value.text.size() > ini::kMaxValueLength;
    });
    if (tooLong == values.cend())
        return true;
    reportTooLong(app, *tooLong);
    return false;
}

bool refuseField(App &app, QWidget *box, const QString &name, const QString &message)
{
    // Labels such as "UTG:" end in a colon already; the message puts its own after the name.
    const QString text = withoutColon(name) + QStringLiteral(":\n\n") + message;
    if (!stillOpenAfter(box->window(), [&] { app.prompts().message(text, programTitle()); }))
        return false;
    box->setFocus();
    return true;
}
