#pragma once

#include <QList>
#include <QString>

class App;
class QWidget;

// What dialogs check before they store: the settings file gives a value back only
// up to ini::kMaxValueLength characters, so a longer one would return cut after
// the next start (a table row cut short even splits into the wrong cells).

// A box whose text goes into a stored value: the box, the name a message gives
// it, and the text as it will be stored.
struct StoredField {
    QWidget *box = nullptr;
    QString name;
    QString text;
};

// A value as the settings file will hold it, made of its fields (a table row
// joins its cells with ","); name names the whole value.
struct StoredValue {
    QString text;
    QString name;
    QList<StoredField> fields;
};

// A value that is one box's text.
StoredValue singleValue(QWidget *box, const QString &name, const QString &text);

// True when every value fits the settings file. Otherwise the first that does not
// is reported and false returned: a message in the program's language names its
// longest field and how many characters that field may hold beside the rest of
// the value (the whole value and the limit, when that field alone cannot make it
// fit), and the focus goes to that field, its text left as it is to be shortened.
bool storedValuesFit(App &app, const QList<StoredValue> &values);

// Shows message about the box named name ("name:" above it), then puts the focus
// back into box. False when box's window was closed while the message showed:
// the caller must then touch nothing of that window.
[[nodiscard]] bool refuseField(App &app, QWidget *box, const QString &name, const QString &message);
