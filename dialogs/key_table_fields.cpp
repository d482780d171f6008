#include "dialogs/key_table_fields.h"

#include "dialogs/named_fields.h"
#include "dialogs/stored_values.h"
#include "platform/vb/vb_caption.h"

#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// The third key column polls only function keys (the key-name vocabulary).
constexpr int kFirstThirdKeyBox = 16;

QStringList functionKeyNames()
{
    QStringList names;
    for (int n = 1; n <= 12; ++n)
        names << QStringLiteral("F%1").arg(n);
    return names;
}

} // namespace

QStringList firstKeyNames()
{
    return QStringList{QStringLiteral("CTRL"), QStringLiteral("ALT"), QStringLiteral("SHIFT"),
                       QStringLiteral("ESC"), QStringLiteral("PRINT")} +
           functionKeyNames();
}

QStringList thirdKeyNames()
{
    return functionKeyNames();
}

QComboBox *keyNameBox(int index, QWidget *parent)
{
    auto *box = new NamedComboBox(parent);
    box->setObjectName(QStringLiteral("Combo1(%1)").arg(index));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMinimumContentsLength(6);
    box->addItems(index < kFirstThirdKeyBox ? firstKeyNames() : thirdKeyNames());
    // Key names are compared exactly: "ctrl" must neither complete nor turn into "CTRL".
    box->completer()->setCaseSensitivity(Qt::CaseSensitive);
    showKeyName(box, QString());
    return box;
}

void showKeyName(QComboBox *box, const QString &name)
{
    // Filling an editable box overwrites its text: the list is filled before.
    box->setCurrentIndex(-1);
    box->setEditText(name);
}

QLabel *headingLabel(const QString &name, const QString &caption, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    vb::setCaption(label, caption);
    return label;
}

bool refuseComma(App &app, QWidget *box, const QString &boxName, const QString &text)
{
    if (!text.contains(QLatin1Char(',')))
        return false;
    if (!refuseField(
            app, box, boxName,
            QStringLiteral("Ein Komma (\",\") ist hier nicht möglich: es trennt die Felder der "
                           "gespeicherten Tabelle.\n") +
                QStringLiteral(
                    "A comma (\",\") is not possible here: it separates the fields of the "
                    "stored table.")))
        return true;
    if (auto *edit = qobject_cast<QLineEdit *>(box))
        edit->selectAll();
    else if (auto *combo = qobject_cast<QComboBox *>(box); combo && combo->lineEdit())
        combo->lineEdit()->selectAll();
    return true;
}

QString rowBoxName(const QString &rowName, const QString &columnCaption)
{
    return rowName + QStringLiteral(", ") + vb::LabelText(columnCaption);
}
