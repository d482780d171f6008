#pragma once

#include <QString>

class QLabel;
class QPushButton;
class QWidget;

// Controls every dialog builds the same way.

// A button named name (its control name). Never auto-default: Enter in a text
// box must not press a button behind the user's back.
QPushButton *dialogButton(const QString &name, const QString &caption, QWidget *parent);

// A label named name showing text as plain text, leading blanks kept.
QLabel *plainLabel(const QString &name, const QString &text, QWidget *parent);

// The width at which window's title bar shows its whole title beside the
// window manager's icon and buttons, estimated from window's font: window
// managers do not tell the size of their title bars.
int titleBarWidth(const QWidget *window);
