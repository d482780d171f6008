#include "dialogs/dialog_controls.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

QPushButton *dialogButton(const QString &name, const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QLabel *plainLabel(const QString &name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

int titleBarWidth(const QWidget *window)
{
    // Titles are drawn in bold beside an icon and three buttons; openbox's default
    // theme elides a title in less than its width and seven and a half lines.
    QFont bold = window->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    return metrics.horizontalAdvance(window->windowTitle()) + 8 * metrics.height();
}
