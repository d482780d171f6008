#include "dialogs/named_fields.h"

#include "platform/vb/vb_caption.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QLineEdit>

namespace {

// What Qt's combo box interface offers (its list and edit line as children, the
// popup as action), with the accessible name as the name.
class NamedComboBoxInterface final : public QAccessibleWidget {
public:
    explicit NamedComboBoxInterface(QComboBox *box)
        : QAccessibleWidget(box, QAccessible::ComboBox)
    {}

    int childCount() const override { return box()->isEditable() ? 2 : 1; }

    QAccessibleInterface *child(int index) const override
    {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(box()->view());
        if (index == 1 && box()->isEditable())
            return QAccessible::queryAccessibleInterface(box()->lineEdit());
        return nullptr;
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (child->object() == box()->view())
            return 0;
        if (box()->isEditable() && child->object() == box()->lineEdit())
            return 1;
        return -1;
    }

    // The edit line has the keyboard focus of an editable box.
    QAccessibleInterface *focusChild() const override
    {
        return box()->isEditable() ? child(1) : nullptr;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return box()->currentText();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = box()->view()->isVisible();
        s.editable = box()->isEditable();
        return s;
    }

    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }

    void doAction(const QString &action) override
    {
        if (action != showMenuAction() && action != pressAction())
            return;
        if (box()->view()->isVisible())
            box()->hidePopup();
        else
            box()->showPopup();
    }

    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QComboBox *box() const { return static_cast<QComboBox *>(widget()); }
};

QAccessibleInterface *namedComboBoxInterface(const QString &className, QObject *object)
{
    if (className != QLatin1String(NamedComboBox::staticMetaObject.className()))
        return nullptr;
    return new NamedComboBoxInterface(static_cast<NamedComboBox *>(object));
}

} // namespace

NamedComboBox::NamedComboBox(QWidget *parent)
    : QComboBox(parent)
{
    // Installing the same factory again does nothing.
    QAccessible::installFactory(namedComboBoxInterface);
}

void setFieldName(QWidget *field, const QString &name)
{
    field->setAccessibleName(name);
    if (auto *box = qobject_cast<QComboBox *>(field); box && box->lineEdit())
        box->lineEdit()->setAccessibleName(name);
}

QString withoutColon(const QString &name)
{
    QString bare = name.trimmed();
    if (bare.endsWith(QLatin1Char(':')))
        bare.chop(1);
    return bare.trimmed();
}

QString fieldName(const QString &caption)
{
    return withoutColon(vb::LabelText(caption));
}
