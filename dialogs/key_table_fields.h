#pragma once

#include "dialogs/dialog_controls.h"

#include <QString>
#include <QStringList>

class App;
class QComboBox;
class QLabel;
class QPushButton;
class QWidget;

// What the key-table windows (actionkey_def, getkey_def) and the caption editor share.

// The key names offered for the first and second key, and for the third key.
QStringList firstKeyNames();
QStringList thirdKeyNames();

// The editable key-name box Combo1(index): indexes 0..15 offer firstKeyNames(),
// 16..23 thirdKeyNames(); any other text may be typed and is kept as typed.
QComboBox *keyNameBox(int index, QWidget *parent);
// Shows a stored key name, also one that is not in the box's list.
void showKeyName(QComboBox *box, const QString &name);

// A label over a column; it shows a caption as a Basic label does ("&" marks a mnemonic).
QLabel *headingLabel(const QString &name, const QString &caption, QWidget *parent);

// The tables are stored one row per line, joined by ",": a "," inside a cell
// would split it into the next cells when the file is read again. Says so for the
// box named boxName, puts the focus back into box and returns true when text
// holds a ",".
bool refuseComma(App &app, QWidget *box, const QString &boxName, const QString &text);

// The name a screen reader gives a box of a table row: "Button 3, 1st key".
QString rowBoxName(const QString &rowName, const QString &columnCaption);
