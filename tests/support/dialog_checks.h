#pragma once

#include <QString>
#include <QStringList>

class App;
class QWidget;

// Loads the shipped language texts of language ("DEUTSCH", "ENGLISH") into app,
// as the start-up does with that language chosen. False when that failed.
bool loadShippedLanguage(App &app, const QString &language);

// The labels, buttons and check boxes under root whose text does not fit their
// width at the current font ("objectName: text"), after root was laid out.
// Empty when every text shows whole.
QStringList cutOffTexts(QWidget *root);

// False when window, laid out, is too narrow for a title bar to show its whole
// title: openbox's default theme, with its icon and three buttons, elides a bold
// title in less than the title's width and seven and a half lines.
bool titleFits(QWidget *window);
