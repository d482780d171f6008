#pragma once

#include <QComboBox>
#include <QString>

class QWidget;

// Fields a screen reader announces by their name: the label or column heading
// they stand under, built from the language texts the dialog shows.

// A combo box announced by its accessible name and then its text. Qt's own
// interface names an editable combo box by its text on Linux, so a filled key
// box read "CTRL" instead of which key of which row it is.
class NamedComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit NamedComboBox(QWidget *parent = nullptr);
};

// Gives field its accessible name; an editable combo box's edit line, which
// takes the focus for it and is read on its own, gets the same name.
void setFieldName(QWidget *field, const QString &name);

// A name without the colon that ends a label ("UTG:" gives "UTG") and without
// outer blanks.
QString withoutColon(const QString &name);

// A label's caption as the name of its field: without the mnemonic "&" and
// without the colon that ends a label ("Bezeichnung:" names "Bezeichnung").
QString fieldName(const QString &caption);
