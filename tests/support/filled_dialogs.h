#pragma once

#include <QList>
#include <QStringList>

class App;
class QDialog;
class QWidget;

// The program's dialog windows with their boxes filled, for checks that go over
// every box: key names in the hotkey and command tables, commands, captions, a
// template, limits, a target, timer values and the link settings.

// Fills the settings record so that every dialog's boxes show a text.
void fillSettings(App &app);

// objectNames of the dialog windows the user types into or picks from.
QStringList dialogWindows();

// Loads the default instance of the dialog window named (one of dialogWindows()).
QDialog *loadDialog(App &app, const QString &window);

// The boxes under window the user types into or picks from: line edits (also
// the edit line of a combo box), combo boxes, text edits and list widgets.
QList<QWidget *> editableFields(QWidget *window);

// What a box shows: its text, a combo box's current text, a list's current entry.
QString fieldContent(const QWidget *field);

// Gives every box of editableFields(window) that shows nothing a text (a list
// its first entry), as a user would have typed or picked one.
void fillEmptyFields(QWidget *window);
