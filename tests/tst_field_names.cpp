#include "dialogs/named_fields.h"
#include "tests/support/dialog_checks.h"
#include "tests/support/filled_dialogs.h"
#include "tests/support/set_windows.h"
#include "tests/support/test_app.h"

#include <QAccessible>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QSet>
#include <QtTest>

namespace {

QString accessibleName(QWidget *widget)
{
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

// The edit line of a combo box carries its box's name.
bool editLineOfBox(const QWidget *field)
{
    const auto *box = qobject_cast<const QComboBox *>(field->parentWidget());
    return box && box->lineEdit() == field;
}

} // namespace

class tst_field_names : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); }
    void everyBoxNamed_data();
    void everyBoxNamed();
    void keyBoxNamedByRowAndColumn_data();
    void keyBoxNamedByRowAndColumn();
    void labelCaptionAsName_data();
    void labelCaptionAsName();
};

void tst_field_names::everyBoxNamed_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("language");
    for (const QString &window : dialogWindows())
        for (const char *language : {"DEUTSCH", "ENGLISH"})
            QTest::addRow("%s %s", qPrintable(window), language) << window << language;
}

// With every box filled, each one is named, not by what it holds, and no two
// boxes of a window share a name.
void tst_field_names::everyBoxNamed()
{
    QFETCH(QString, window);
    QFETCH(QString, language);
    TestApp t;
    fillSettings(t.app);
    QVERIFY(loadShippedLanguage(t.app, language));
    auto windows = std::make_unique<SetWindows>();
    windows->windows = {shownWindow(1, QStringLiteral("Rechner"))};
    t.app.installWindows(std::move(windows));
    QDialog *dialog = loadDialog(t.app, window);
    fillEmptyFields(dialog);

    const QList<QWidget *> fields = editableFields(dialog);
    QVERIFY(!fields.isEmpty());
    QSet<QString> names;
    for (QWidget *field : fields) {
        const QString name = accessibleName(field);
        const QString content = fieldContent(field);
        const QString what = field->objectName() + QStringLiteral(": ") + name;
        QVERIFY2(!content.isEmpty(), qPrintable(what));
        QVERIFY2(!name.trimmed().isEmpty(), qPrintable(what));
        QVERIFY2(name != content, qPrintable(what));
        if (editLineOfBox(field))
            continue;
        QVERIFY2(!names.contains(name), qPrintable(what));
        names.insert(name);
    }
}

void tst_field_names::keyBoxNamedByRowAndColumn_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("name");
    QTest::newRow("hotkey row 1, key 1") << "actionkey_def"
                                         << "Combo1(0)"
                                         << "DEUTSCH"
                                         << "Taste 1 (Send), 1. Taste";
    QTest::newRow("hotkey row 8, key 3") << "actionkey_def"
                                         << "Combo1(23)"
                                         << "ENGLISH"
                                         << "Button 8 (Exit), 3rd key";
    QTest::newRow("command row 5, key 2") << "getkey_def"
                                          << "Combo1(12)"
                                          << "DEUTSCH"
                                          << "Taste 5, 2. Taste";
    QTest::newRow("transfer target") << "format_def"
                                     << "anwendung_set"
                                     << "DEUTSCH"
                                     << "Ziel";
}

// A filled key box (and its edit line, which has the focus) is announced by its
// row and column, as the labels over the table read in the chosen language.
void tst_field_names::keyBoxNamedByRowAndColumn()
{
    QFETCH(QString, window);
    QFETCH(QString, box);
    QFETCH(QString, language);
    QFETCH(QString, name);
    TestApp t;
    fillSettings(t.app);
    QVERIFY(loadShippedLanguage(t.app, language));
    auto *combo = loadDialog(t.app, window)->findChild<QComboBox *>(box);
    QVERIFY(combo);
    QVERIFY(!combo->currentText().isEmpty());
    QCOMPARE(accessibleName(combo), name);
    QCOMPARE(accessibleName(combo->lineEdit()), name);
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(combo);
    QCOMPARE(accessible->text(QAccessible::Value), combo->currentText());
    QCOMPARE(accessible->role(), QAccessible::ComboBox);
    QCOMPARE(accessible->focusChild(), QAccessible::queryAccessibleInterface(combo->lineEdit()));
}

void tst_field_names::labelCaptionAsName_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("name");
    QTest::newRow("colon") << "Bezeichnung:"
                           << "Bezeichnung";
    QTest::newRow("mnemonic and blank") << "&Caption: "
                                        << "Caption";
    QTest::newRow("doubled ampersand") << "A && B"
                                       << "A & B";
    QTest::newRow("no colon") << "1. Taste"
                              << "1. Taste";
}

void tst_field_names::labelCaptionAsName()
{
    QFETCH(QString, caption);
    QFETCH(QString, name);
    QCOMPARE(fieldName(caption), name);
}

QTEST_MAIN(tst_field_names)
#include "tst_field_names.moc"
