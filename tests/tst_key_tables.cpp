#include "core/mainform/mainform.h"
#include "core/settings/settings.h"
#include "core/settings/settings_tables.h"
#include "dialogs/actionkey_def.h"
#include "dialogs/getbuttontext.h"
#include "dialogs/getkey_def.h"
#include "tests/support/dialog_checks.h"
#include "tests/support/test_app.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

using HotkeyTable = decltype(SettingsRecord::Hotkeys);
using ActionTable = decltype(SettingsRecord::Action);

const QStringList kFirstKeys{"CTRL", "ALT", "SHIFT", "ESC", "PRINT", "F1",  "F2",  "F3", "F4",
                             "F5",   "F6",  "F7",    "F8",  "F9",    "F10", "F11", "F12"};
const QStringList kThirdKeys{"F1", "F2", "F3", "F4",  "F5",  "F6",
                             "F7", "F8", "F9", "F10", "F11", "F12"};

// A loaded default settings file, texts as their keys, and marks in the cells
// the windows must not touch (column 0, row 8, the hotkeys' column 4).
struct Fixture {
    TestApp t;
    App &app = t.app;

    Fixture()
    {
        readSettingsRecord(app, QString());
        for (const QString &key : LanguageTexts::keys())
            *app.texts.text(key) = key;
        SettingsRecord &s = app.settings;
        for (int i = 0; i <= 8; ++i) {
            s.Hotkeys[i][0] = s.Action[i][0] = QStringLiteral("col0-%1").arg(i);
            s.Hotkeys[i][4] = QStringLiteral("kept-%1").arg(i);
        }
        for (QString &cell : s.Hotkeys[8])
            cell = QStringLiteral("row8");
        for (QString &cell : s.Action[8])
            cell = QStringLiteral("row8");
    }
};

template <typename T> T *child(QWidget &window, const QString &name)
{
    return window.findChild<T *>(name);
}

QComboBox *keyBox(QWidget &window, int index)
{
    return child<QComboBox>(window, QStringLiteral("Combo1(%1)").arg(index));
}

void click(QWidget &window, const QString &name)
{
    QTest::mouseClick(child<QAbstractButton>(window, name), Qt::LeftButton);
}

QLineEdit *editOf(QWidget *field)
{
    if (auto *edit = qobject_cast<QLineEdit *>(field))
        return edit;
    return qobject_cast<QComboBox *>(field)->lineEdit();
}

// Replaces a box's text by typing, as the user does.
void typeInto(QWidget *field, const QString &text)
{
    QLineEdit *edit = editOf(field);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

bool hasFocusIn(QWidget *field)
{
    QWidget *focus = QApplication::focusWidget();
    return focus && (focus == field || field->isAncestorOf(focus));
}

// Runs act on the modal window named name once it is shown; rejects a window
// still open after 5 s so that a failing test cannot hang.
void whenModal(const QString &name, std::function<void(QWidget &)> act)
{
    auto *timer = new QTimer(qApp);
    const QDeadlineTimer deadline(5000);
    QObject::connect(timer, &QTimer::timeout, [=] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal->objectName() == name) {
            timer->stop();
            timer->deleteLater();
            // Focus checks need the window activated, which the platform does later.
            if (!QTest::qWaitForWindowActive(modal))
                qWarning("%s was not activated", qPrintable(name));
            act(*modal);
        } else if (deadline.hasExpired()) {
            timer->stop();
            timer->deleteLater();
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
        }
    });
    timer->start(10);
}

// Opens W's default instance modally, as format_def does, and acts on it.
template <typename W> int runModal(App &app, const std::function<void(W &)> &act)
{
    whenModal(QString::fromLatin1(W::staticMetaObject.className()),
              [act](QWidget &window) { act(static_cast<W &>(window)); });
    const int result = app.form<W>().exec();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return result;
}

QString accessibleName(QWidget *widget)
{
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

enum class Close { Ok, Cancel, Escape, CloseBox };

// Closes a window the given way; okName and cancelName are its buttons.
void closeWindow(QDialog &window, Close how, const QString &okName, const QString &cancelName)
{
    switch (how) {
    case Close::Ok:
        click(window, okName);
        break;
    case Close::Cancel:
        click(window, cancelName);
        break;
    case Close::Escape:
        QTest::keyClick(&window, Qt::Key_Escape);
        break;
    case Close::CloseBox:
        window.close();
        break;
    }
}

} // namespace

class tst_key_tables : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    void keyNameLists_data();
    void keyNameLists();
    void hotkeyLoadShowsEveryCell();
    void hotkeyOkStoresAsTyped_data();
    void hotkeyOkStoresAsTyped();
    void hotkeyClosingLeavesTable_data();
    void hotkeyClosingLeavesTable();
    void commandLoadShowsRows();
    void defaultCommandTableOpensQuietly();
    void storedFlag_data();
    void storedFlag();
    void commandOkStoresRowsAndCaptions();
    void captionEditorOnButtons9To16_data();
    void captionEditorOnButtons9To16();
    void captionEdits_data();
    void captionEdits();
    void commaRefused_data();
    void commaRefused();
    void captionCommaRefused();
    void rowTooLongRefused_data();
    void rowTooLongRefused();
    void captionTooLongForItsRow_data();
    void captionTooLongForItsRow();
    void captionCommaMessageNamesBox_data();
    void captionCommaMessageNamesBox();
    void noTextCutOff_data();
    void noTextCutOff();
    void accessibleNames_data();
    void accessibleNames();
    void rowBoxNamesDistinct_data();
    void rowBoxNamesDistinct();
};

void tst_key_tables::keyNameLists_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("hotkeys") << "actionkey_def";
    QTest::newRow("commands") << "getkey_def";
}

void tst_key_tables::keyNameLists()
{
    QFETCH(QString, window);
    Fixture f;
    QDialog *dialog = window == QLatin1String("actionkey_def")
                          ? static_cast<QDialog *>(&f.app.form<actionkey_def>())
                          : &f.app.form<getkey_def>();
    for (int index = 0; index < 24; ++index) {
        QComboBox *box = keyBox(*dialog, index);
        QVERIFY2(box, qPrintable(QString::number(index)));
        QStringList items;
        for (int n = 0; n < box->count(); ++n)
            items << box->itemText(n);
        QCOMPARE(items, index < 16 ? kFirstKeys : kThirdKeys);
        QVERIFY(box->isEditable());
        QCOMPARE(box->insertPolicy(), QComboBox::NoInsert);
    }
}

void tst_key_tables::hotkeyLoadShowsEveryCell()
{
    Fixture f;
    // Names in and out of the lists, a lower-case one, a first-key name in column 3.
    const QStringList pool{"CTRL", "ctrl", "F12", "", "HOME", "SHIFT", "Alt", "F1"};
    for (int i = 0; i < 8; ++i)
        for (int c = 1; c <= 3; ++c)
            f.app.settings.Hotkeys[i][c] = pool[(i + c * 3) % pool.size()] + QString::number(c);
    f.app.settings.Hotkeys[2][3] = QStringLiteral("CTRL");
    const HotkeyTable before = f.app.settings.Hotkeys;

    QStringList wrong;
    const int result = runModal<actionkey_def>(f.app, [&](actionkey_def &w) {
        for (int i = 0; i < 8; ++i)
            for (int c = 1; c <= 3; ++c) {
                QComboBox *box = keyBox(w, (c - 1) * 8 + i);
                if (box->currentText() != before[i][c] || box->count() != (c < 3 ? 17 : 12))
                    wrong << box->objectName() + QStringLiteral(": ") + box->currentText();
            }
        click(w, QStringLiteral("Command2"));
    });
    QCOMPARE(wrong, QStringList());
    QCOMPARE(result, int(QDialog::Accepted));
    // OK without edits stores every name as it stood, and nothing else.
    QVERIFY(f.app.settings.Hotkeys == before);
    QVERIFY(!f.app.isLoaded<actionkey_def>());
}

enum class Entry { Type, TypeEnter, ArrowDown };

void tst_key_tables::hotkeyOkStoresAsTyped_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stored");
    QTest::newRow("listed name in lower case, Enter") << 0 << int(Entry::TypeEnter) << "ctrl"
                                                      << "ctrl";
    QTest::newRow("name in neither list") << 9 << int(Entry::Type) << "HOME"
                                          << "HOME";
    QTest::newRow("first-key name in column 3") << 16 << int(Entry::Type) << "CTRL"
                                                << "CTRL";
    QTest::newRow("F12 in column 3, Enter") << 23 << int(Entry::TypeEnter) << "F12"
                                            << "F12";
    QTest::newRow("emptied cell") << 13 << int(Entry::Type) << ""
                                  << "";
    QTest::newRow("first entry chosen with the arrow key") << 7 << int(Entry::ArrowDown) << ""
                                                           << "CTRL";
    QTest::newRow("column 3 first entry with the arrow key") << 20 << int(Entry::ArrowDown) << ""
                                                             << "F1";
}

void tst_key_tables::hotkeyOkStoresAsTyped()
{
    QFETCH(int, index);
    QFETCH(int, entry);
    QFETCH(QString, text);
    QFETCH(QString, stored);
    Fixture f;
    const int row = index % 8;
    const int column = index / 8 + 1;
    for (int i = 0; i < 8; ++i)
        f.app.settings.Hotkeys[i][1] = QStringLiteral("ALT");
    f.app.settings.Hotkeys[5][2] = QStringLiteral("F9");
    HotkeyTable expected = f.app.settings.Hotkeys;
    expected[row][column] = stored;

    const int result = runModal<actionkey_def>(f.app, [&](actionkey_def &w) {
        QComboBox *box = keyBox(w, index);
        if (Entry(entry) == Entry::ArrowDown) {
            typeInto(box, QString());
            QTest::keyClick(box, Qt::Key_Down);
        } else {
            typeInto(box, text);
            if (Entry(entry) == Entry::TypeEnter)
                QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        }
        click(w, QStringLiteral("Command2"));
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(f.app.settings.Hotkeys[row][column], stored);
    QVERIFY(f.app.settings.Hotkeys == expected);
    QVERIFY(f.t.prompts.shown.isEmpty());
    QVERIFY(!f.app.isLoaded<actionkey_def>());
}

void tst_key_tables::hotkeyClosingLeavesTable_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("cancel button") << int(Close::Cancel);
    QTest::newRow("Escape") << int(Close::Escape);
    QTest::newRow("close box") << int(Close::CloseBox);
}

void tst_key_tables::hotkeyClosingLeavesTable()
{
    QFETCH(int, how);
    Fixture f;
    f.app.settings.Hotkeys[0][1] = QStringLiteral("CTRL");
    f.app.settings.Hotkeys[0][3] = QStringLiteral("F5");
    const HotkeyTable before = f.app.settings.Hotkeys;

    const int result = runModal<actionkey_def>(f.app, [&](actionkey_def &w) {
        typeInto(keyBox(w, 0), QStringLiteral("ALT"));
        typeInto(keyBox(w, 16), QString());
        typeInto(keyBox(w, 12), QStringLiteral("F7"));
        closeWindow(w, Close(how), QStringLiteral("Command2"), QStringLiteral("cmdAbbrechen"));
    });
    QCOMPARE(result, int(QDialog::Rejected));
    QVERIFY(f.app.settings.Hotkeys == before);
    QVERIFY(!f.app.isLoaded<actionkey_def>());

    // Opened again, it shows the stored names, not the discarded edits.
    actionkey_def &again = f.app.form<actionkey_def>();
    QCOMPARE(keyBox(again, 0)->currentText(), QStringLiteral("CTRL"));
    QCOMPARE(keyBox(again, 16)->currentText(), QStringLiteral("F5"));
    QCOMPARE(keyBox(again, 12)->currentText(), QString());
}

void tst_key_tables::commandLoadShowsRows()
{
    Fixture f;
    ActionTable &a = f.app.settings.Action;
    for (int i = 0; i < 8; ++i) {
        a[i][1] = QStringLiteral("K1-%1").arg(i);
        a[i][2] = i == 3 ? QStringLiteral("F4") : QStringLiteral("K2-%1").arg(i);
        a[i][3] = i == 3 ? QStringLiteral("SHIFT") : QStringLiteral("K3-%1").arg(i);
        a[i][4] = QStringLiteral("  SI%1  ").arg(i);
        a[i][5] = QStringLiteral("Caption %1").arg(i);
        a[i][6] = QString::number(i % 3);
    }
    const std::array<Qt::CheckState, 3> states{Qt::Unchecked, Qt::Checked, Qt::PartiallyChecked};

    getkey_def &w = f.app.form<getkey_def>();
    for (int i = 0; i < 8; ++i) {
        for (int c = 1; c <= 3; ++c)
            QCOMPARE(keyBox(w, (c - 1) * 8 + i)->currentText(), a[i][c]);
        QCOMPARE(child<QLineEdit>(w, QStringLiteral("Text4(%1)").arg(i))->text(), a[i][4]);
        QCOMPARE(w.Command1(i)->text(), a[i][5]);
        QCOMPARE(child<QCheckBox>(w, QStringLiteral("Check1(%1)").arg(i))->checkState(),
                 states[i % 3]);
    }
    QCOMPARE(keyBox(w, 16)->count(), 12);
    QVERIFY(f.t.prompts.shown.isEmpty());
}

void tst_key_tables::defaultCommandTableOpensQuietly()
{
    Fixture f;
    getkey_def &w = f.app.form<getkey_def>();
    QVERIFY(f.t.prompts.shown.isEmpty());
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(w.Command1(i)->text(), QString());
        QCOMPARE(child<QLineEdit>(w, QStringLiteral("Text4(%1)").arg(i))->text(), QString());
        QCOMPARE(child<QCheckBox>(w, QStringLiteral("Check1(%1)").arg(i))->checkState(),
                 Qt::Unchecked);
    }
    for (int index = 0; index < 24; ++index)
        QCOMPARE(keyBox(w, index)->currentText(), QString());
}

void tst_key_tables::storedFlag_data()
{
    QTest::addColumn<QString>("flag");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("state");
    QTest::newRow("0") << "0"
                       << "" << int(Qt::Unchecked);
    QTest::newRow("1") << "1"
                       << "" << int(Qt::Checked);
    QTest::newRow("2 is greyed") << "2"
                                 << "" << int(Qt::PartiallyChecked);
    QTest::newRow("1.6 rounds to 2") << "1.6"
                                     << "" << int(Qt::PartiallyChecked);
    QTest::newRow("not a number") << "ja"
                                  << "Type mismatch" << int(Qt::Unchecked);
    QTest::newRow("3") << "3"
                       << "Invalid property value" << int(Qt::Unchecked);
    QTest::newRow("-1") << "-1"
                        << "Invalid property value" << int(Qt::Unchecked);
    QTest::newRow("beyond 16 bits") << "40000"
                                    << "Overflow" << int(Qt::Unchecked);
}

void tst_key_tables::storedFlag()
{
    QFETCH(QString, flag);
    QFETCH(QString, message);
    QFETCH(int, state);
    Fixture f;
    f.app.settings.Action[3][6] = flag;
    f.app.settings.Action[7][6] = QStringLiteral("1");
    f.app.settings.Action[7][4] = QStringLiteral("after");

    getkey_def &w = f.app.form<getkey_def>();
    QCOMPARE(f.t.prompts.messages(), message.isEmpty() ? QStringList() : QStringList{message});
    if (!message.isEmpty())
        QCOMPARE(f.t.prompts.shown.first().title, QStringLiteral("Mondrelquist"));
    QCOMPARE(int(child<QCheckBox>(w, QStringLiteral("Check1(3)"))->checkState()), state);
    // Loading went on with the rows after the faulty one.
    QCOMPARE(child<QCheckBox>(w, QStringLiteral("Check1(7)"))->checkState(), Qt::Checked);
    QCOMPARE(child<QLineEdit>(w, QStringLiteral("Text4(7)"))->text(), QStringLiteral("after"));
}

void tst_key_tables::commandOkStoresRowsAndCaptions()
{
    Fixture f;
    ActionTable &a = f.app.settings.Action;
    a[4][5] = QStringLiteral("GLP Stop");
    a[4][6] = QStringLiteral("2");
    a[6][5] = QStringLiteral("Kalibrieren");
    a[6][6] = QStringLiteral("1");
    mainform &main = f.app.mainWindow();
    main.Command5(11)->setText(QStringLiteral("stale"));
    ActionTable expected = a;
    expected[2][1] = QStringLiteral("CTRL");
    expected[2][2] = QStringLiteral("F3");
    expected[2][3] = QStringLiteral("F4");
    expected[2][4] = QStringLiteral("  SIR  ");
    expected[2][6] = QStringLiteral("1");
    expected[6][6] = QStringLiteral("0");

    const int result = runModal<getkey_def>(f.app, [&](getkey_def &w) {
        typeInto(child<QLineEdit>(w, QStringLiteral("Text4(2)")), QStringLiteral("  SIR  "));
        typeInto(keyBox(w, 2), QStringLiteral("CTRL"));
        typeInto(keyBox(w, 10), QStringLiteral("F3"));
        typeInto(keyBox(w, 18), QStringLiteral("F4"));
        click(w, QStringLiteral("Check1(2)"));
        click(w, QStringLiteral("Check1(6)"));
        click(w, QStringLiteral("Command2"));
    });
    QCOMPARE(result, int(QDialog::Accepted));
    for (int i = 0; i <= 8; ++i)
        for (int c = 0; c <= 6; ++c)
            QCOMPARE(a[i][c], expected[i][c]);
    // Every row's caption goes to its button, an empty one included.
    for (int i = 0; i < 8; ++i)
        QCOMPARE(main.Command5(i + 9)->text(), expected[i][5]);
    QVERIFY(f.t.prompts.shown.isEmpty());
    QVERIFY(!f.app.isLoaded<getkey_def>());
}

void tst_key_tables::captionEditorOnButtons9To16_data()
{
    QTest::addColumn<int>("row");
    for (int row = 0; row < 8; ++row)
        QTest::addRow("Command5(%d)", row + 9) << row;
}

void tst_key_tables::captionEditorOnButtons9To16()
{
    QFETCH(int, row);
    Fixture f;
    ActionTable &a = f.app.settings.Action;
    for (int i = 0; i < 8; ++i)
        a[i][5] = QStringLiteral("Old %1").arg(i);
    mainform &main = f.app.mainWindow();
    const QString caption = QStringLiteral("Tara &net");

    QString offered;
    int editedIndex = -1;
    QString rowCaption;
    runModal<getkey_def>(f.app, [&](getkey_def &w) {
        whenModal(QStringLiteral("getButtonText"), [&](QWidget &editor) {
            auto *text = child<QLineEdit>(editor, QStringLiteral("Text"));
            offered = text->text();
            editedIndex = f.app.form<getkey_def>().cmdIndex;
            typeInto(text, caption);
            click(editor, QStringLiteral("Command1"));
        });
        click(w, QStringLiteral("Command1(%1)").arg(row));
        rowCaption = w.Command1(row)->text();
        click(w, QStringLiteral("Command2"));
    });
    QCOMPARE(offered, QStringLiteral("Old %1").arg(row));
    QCOMPARE(editedIndex, row);
    QCOMPARE(rowCaption, caption);
    QVERIFY(!f.app.isLoaded<getButtonText>());
    for (int i = 0; i < 8; ++i) {
        const QString want = i == row ? caption : QStringLiteral("Old %1").arg(i);
        QCOMPARE(a[i][5], want);
        QCOMPARE(main.Command5(i + 9)->text(), want);
    }
}

void tst_key_tables::captionEdits_data()
{
    QTest::addColumn<int>("editorClose");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("tableClose");
    QTest::addColumn<QString>("stored");
    const QString old = QStringLiteral("GLP Stop");
    QTest::newRow("editor OK, table OK")
        << int(Close::Ok) << "Wiegen" << int(Close::Ok) << "Wiegen";
    QTest::newRow("empty caption") << int(Close::Ok) << "" << int(Close::Ok) << "";
    QTest::newRow("editor cancelled") << int(Close::Cancel) << "Wiegen" << int(Close::Ok) << old;
    QTest::newRow("editor Escape") << int(Close::Escape) << "Wiegen" << int(Close::Ok) << old;
    QTest::newRow("table cancelled") << int(Close::Ok) << "Wiegen" << int(Close::Cancel) << old;
    QTest::newRow("table closed") << int(Close::Ok) << "Wiegen" << int(Close::CloseBox) << old;
}

void tst_key_tables::captionEdits()
{
    QFETCH(int, editorClose);
    QFETCH(QString, typed);
    QFETCH(int, tableClose);
    QFETCH(QString, stored);
    Fixture f;
    f.app.settings.Action[4][5] = QStringLiteral("GLP Stop");
    mainform &main = f.app.mainWindow();
    main.Command5(13)->setText(QStringLiteral("GLP Stop"));

    runModal<getkey_def>(f.app, [&](getkey_def &w) {
        whenModal(QStringLiteral("getButtonText"), [&](QWidget &editor) {
            typeInto(child<QLineEdit>(editor, QStringLiteral("Text")), typed);
            closeWindow(static_cast<QDialog &>(editor), Close(editorClose),
                        QStringLiteral("Command1"), QStringLiteral("Command2"));
        });
        click(w, QStringLiteral("Command1(4)"));
        closeWindow(w, Close(tableClose), QStringLiteral("Command2"), QStringLiteral("cmdclose"));
    });
    QCOMPARE(f.app.settings.Action[4][5], stored);
    QCOMPARE(main.Command5(13)->text(), stored);
    QVERIFY(!f.app.isLoaded<getButtonText>());
    QVERIFY(!f.app.isLoaded<getkey_def>());
    // Reopened, the row button shows the stored caption.
    QCOMPARE(f.app.form<getkey_def>().Command1(4)->text(), stored);
}

void tst_key_tables::commaRefused_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("withComma");
    QTest::addColumn<QString>("boxName");
    QTest::newRow("hotkey, second key") << "actionkey_def"
                                        << "Combo1(9)"
                                        << "CTRL,ALT"
                                        << "TextFrmActionKeyDef_Label1Caption 2 (T Start), "
                                           "TextFrmActionKeyDef_Label2Caption";
    QTest::newRow("hotkey, third key") << "actionkey_def"
                                       << "Combo1(23)"
                                       << ","
                                       << "TextFrmActionKeyDef_Label1Caption 8 (Exit), "
                                          "TextFrmActionKeyDef_Label3Caption";
    QTest::newRow("command text") << "getkey_def"
                                  << "Text4(5)"
                                  << "S,T"
                                  << "TextFrmGetKeyDef_Label1Caption 6, "
                                     "TextFrmGetKeyDef_Label5Caption";
    QTest::newRow("command key") << "getkey_def"
                                 << "Combo1(12)"
                                 << "F1,"
                                 << "TextFrmGetKeyDef_Label1Caption 5, "
                                    "TextFrmGetKeyDef_Label2Caption";
}

void tst_key_tables::commaRefused()
{
    QFETCH(QString, window);
    QFETCH(QString, box);
    QFETCH(QString, withComma);
    QFETCH(QString, boxName);
    Fixture f;
    const HotkeyTable hotkeys = f.app.settings.Hotkeys;
    const ActionTable actions = f.app.settings.Action;

    bool stayedOpen = false;
    bool focusBack = false;
    bool tablesKept = false;
    const auto act = [&](QDialog &w) {
        QWidget *field = child<QWidget>(w, box);
        typeInto(field, withComma);
        field->clearFocus();
        click(w, QStringLiteral("Command2"));
        stayedOpen = w.isVisible() && QApplication::activeModalWidget() == &w;
        focusBack = hasFocusIn(field) && editOf(field)->selectedText() == withComma;
        tablesKept = f.app.settings.Hotkeys == hotkeys && f.app.settings.Action == actions;
        typeInto(field, QString(withComma).remove(QLatin1Char(',')));
        click(w, QStringLiteral("Command2"));
    };
    const int result = window == QLatin1String("actionkey_def")
                           ? runModal<actionkey_def>(f.app, act)
                           : runModal<getkey_def>(f.app, act);
    QVERIFY(stayedOpen);
    QVERIFY(focusBack);
    QVERIFY(tablesKept);
    QCOMPARE(f.t.prompts.messages().size(), 1);
    const QString message = f.t.prompts.messages().first();
    QVERIFY2(message.startsWith(boxName + QLatin1Char(':')), qPrintable(message));
    QVERIFY(message.contains(QStringLiteral("Komma")));
    QVERIFY(message.contains(QStringLiteral("comma")));
    // The corrected text was stored; no cell holds a comma.
    QCOMPARE(result, int(QDialog::Accepted));
    for (const auto &row : f.app.settings.Hotkeys)
        for (const QString &cell : row)
            QVERIFY(!cell.contains(QLatin1Char(',')));
    for (const auto &row : f.app.settings.Action)
        for (const QString &cell : row)
            QVERIFY(!cell.contains(QLatin1Char(',')));
}

void tst_key_tables::captionCommaRefused()
{
    Fixture f;
    f.app.settings.Action[3][4] = QStringLiteral("T");
    f.app.settings.Action[3][5] = QStringLiteral("Tara");

    bool editorStayedOpen = false;
    bool focusBack = false;
    QString captionMeanwhile;
    runModal<getkey_def>(f.app, [&](getkey_def &w) {
        whenModal(QStringLiteral("getButtonText"), [&](QWidget &editor) {
            auto *text = child<QLineEdit>(editor, QStringLiteral("Text"));
            typeInto(text, QStringLiteral("Tara, netto"));
            text->clearFocus();
            click(editor, QStringLiteral("Command1"));
            editorStayedOpen = QApplication::activeModalWidget() == &editor;
            focusBack = hasFocusIn(text);
            captionMeanwhile = w.Command1(3)->text();
            typeInto(text, QStringLiteral("Tara netto"));
            QTest::keyClick(text, Qt::Key_Return);
        });
        click(w, QStringLiteral("Command1(3)"));
        click(w, QStringLiteral("Command2"));
    });
    QVERIFY(editorStayedOpen);
    QVERIFY(focusBack);
    QCOMPARE(captionMeanwhile, QStringLiteral("Tara"));
    QCOMPARE(f.t.prompts.messages().size(), 1);
    QVERIFY(f.t.prompts.messages().first().startsWith(
        QStringLiteral("TextFrmGetButtonText_Label1Caption:")));
    // Enter confirmed the corrected caption; the row reloads as it was written.
    QCOMPARE(f.app.settings.Action[3][5], QStringLiteral("Tara netto"));
    std::array<QString, 7> reloaded;
    splitActionRow(joinActionRow(f.app.settings.Action[3]), reloaded);
    QCOMPARE(reloaded[4], QStringLiteral("T"));
    QCOMPARE(reloaded[5], QStringLiteral("Tara netto"));
}

using Cells = QList<QPair<QString, int>>; // box objectName, characters typed

// A row is stored as one line joined by ",": the joined row must fit the 199
// characters the settings file gives back. The message names the longest box
// and the room the rest of the row leaves it, or the whole row when that box
// alone cannot make room; cells the window does not edit count as well.
void tst_key_tables::rowTooLongRefused_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("storedCaption"); // Action column 5, from the file
    QTest::addColumn<Cells>("typed");
    QTest::addColumn<QString>("focused");
    QTest::addColumn<QString>("message");

    const QString command = QStringLiteral("TextFrmGetKeyDef_Label1Caption %1, "
                                           "TextFrmGetKeyDef_Label5Caption:\n\nmax %2");
    // ",,," and ",0" around the command, the two keys: 201 characters.
    QTest::newRow("command and key")
        << "getkey_def" << 0 << QString() << Cells{{"Text4(0)", 100}, {"Combo1(0)", 95}}
        << "Text4(0)" << command.arg(1).arg(98);
    QTest::newRow("command beside a stored caption")
        << "getkey_def" << 2 << QString(90, QLatin1Char('c')) << Cells{{"Text4(2)", 104}}
        << "Text4(2)" << command.arg(3).arg(103);
    QTest::newRow("stored caption the longest")
        << "getkey_def" << 3 << QString(150, QLatin1Char('c')) << Cells{{"Text4(3)", 44}}
        << "Command1(3)"
        << "TextFrmGetKeyDef_Label1Caption 4, TextFrmGetButtonText_Label1Caption:\n\nmax 149";
    QTest::newRow("no box alone can make room")
        << "getkey_def" << 1 << QString()
        << Cells{{"Text4(1)", 70}, {"Combo1(1)", 70}, {"Combo1(9)", 70}, {"Combo1(17)", 70}}
        << "Text4(1)"
        << "TextFrmGetKeyDef_Label1Caption 2:\n\nmax 199";
    // Column 4 keeps "kept-2" from the file.
    QTest::newRow("hotkeys beside the kept column")
        << "actionkey_def" << 2 << QString() << Cells{{"Combo1(2)", 98}, {"Combo1(10)", 99}}
        << "Combo1(10)"
        << "TextFrmActionKeyDef_Label1Caption 3 (T Stop), "
           "TextFrmActionKeyDef_Label2Caption:\n\nmax 92";
}

void tst_key_tables::rowTooLongRefused()
{
    QFETCH(QString, window);
    QFETCH(int, row);
    QFETCH(QString, storedCaption);
    QFETCH(Cells, typed);
    QFETCH(QString, focused);
    QFETCH(QString, message);
    Fixture f;
    f.app.texts.TextEintragZuLang = QStringLiteral("max %1");
    f.app.settings.Action[row][5] = storedCaption;
    const HotkeyTable hotkeys = f.app.settings.Hotkeys;
    const ActionTable actions = f.app.settings.Action;

    bool stayedOpen = false;
    bool focusThere = false;
    bool tablesKept = false;
    const auto act = [&](QDialog &w) {
        for (const auto &[box, length] : typed)
            typeInto(child<QWidget>(w, box), QString(length, QLatin1Char('x')));
        click(w, QStringLiteral("Command2"));
        stayedOpen = QApplication::activeModalWidget() == &w;
        focusThere = hasFocusIn(child<QWidget>(w, focused));
        tablesKept = f.app.settings.Hotkeys == hotkeys && f.app.settings.Action == actions;
        w.reject();
    };
    if (window == QLatin1String("actionkey_def"))
        runModal<actionkey_def>(f.app, act);
    else
        runModal<getkey_def>(f.app, act);
    QVERIFY(stayedOpen);
    QVERIFY(focusThere);
    QVERIFY(tablesKept);
    QCOMPARE(f.t.prompts.messages(), QStringList{message});
    QCOMPARE(f.app.mainWindow().Command5(row + 9)->text(), QString());
}

// The caption editor refuses a caption its row has no room for, before the
// command table shows it.
void tst_key_tables::captionTooLongForItsRow_data()
{
    QTest::addColumn<int>("captionLength");
    QTest::addColumn<bool>("refused");
    // ",,," + command of 100 + "," + caption + ",0".
    QTest::newRow("row of 199") << 93 << false;
    QTest::newRow("row of 200") << 94 << true;
}

void tst_key_tables::captionTooLongForItsRow()
{
    QFETCH(int, captionLength);
    QFETCH(bool, refused);
    Fixture f;
    f.app.texts.TextEintragZuLang = QStringLiteral("max %1");
    const QString command(100, QLatin1Char('x'));
    const QString caption(captionLength, QLatin1Char('c'));

    bool editorOpenAfterOk = false;
    bool focusBack = false;
    QString rowCaption;
    runModal<getkey_def>(f.app, [&](getkey_def &w) {
        typeInto(child<QLineEdit>(w, QStringLiteral("Text4(5)")), command);
        whenModal(QStringLiteral("getButtonText"), [&](QWidget &editor) {
            auto *text = child<QLineEdit>(editor, QStringLiteral("Text"));
            text->setText(caption);
            click(editor, QStringLiteral("Command1"));
            editorOpenAfterOk = QApplication::activeModalWidget() == &editor;
            focusBack = hasFocusIn(text);
            if (editorOpenAfterOk)
                click(editor, QStringLiteral("Command2"));
        });
        click(w, QStringLiteral("Command1(5)"));
        rowCaption = w.Command1(5)->text();
        click(w, QStringLiteral("Command2"));
    });
    QCOMPARE(editorOpenAfterOk, refused);
    QCOMPARE(focusBack, refused);
    QCOMPARE(f.t.prompts.messages(),
             refused ? QStringList{QStringLiteral("TextFrmGetButtonText_Label1Caption:\n\nmax 93")}
                     : QStringList());
    const QString stored = refused ? QString() : caption;
    QCOMPARE(rowCaption, stored);
    QCOMPARE(f.app.settings.Action[5][4], command);
    QCOMPARE(f.app.settings.Action[5][5], stored);
    // Saved and read again, the row comes back whole.
    const QString file = f.t.path(QStringLiteral("saved.cfg"));
    QCOMPARE(Einstellungen_speichern(f.app, file), SaveResult::Saved);
    readSettingsRecord(f.app, file);
    QCOMPARE(f.app.settings.Action[5][4], command);
    QCOMPARE(f.app.settings.Action[5][5], stored);
}

void tst_key_tables::captionCommaMessageNamesBox_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("firstLine");
    QTest::newRow("German") << "DEUTSCH"
                            << "Bezeichnung:";
    QTest::newRow("English") << "ENGLISH"
                             << "Caption:";
}

// The refusal names the box as its label does, the label's own colon not doubled.
void tst_key_tables::captionCommaMessageNamesBox()
{
    QFETCH(QString, language);
    QFETCH(QString, firstLine);
    Fixture f;
    QVERIFY(loadShippedLanguage(f.app, language));
    getButtonText &editor = f.app.form<getButtonText>();
    editor.Text()->setText(QStringLiteral("Tara, netto"));
    click(editor, QStringLiteral("Command1"));
    QCOMPARE(f.t.prompts.messages().size(), 1);
    QCOMPARE(f.t.prompts.messages().first().section(QLatin1Char('\n'), 0, 0), firstLine);
}

void tst_key_tables::noTextCutOff_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("language");
    for (const char *window : {"actionkey_def", "getkey_def", "getButtonText"})
        for (const char *language : {"DEUTSCH", "ENGLISH"})
            QTest::addRow("%s %s", window, language) << window << language;
}

void tst_key_tables::noTextCutOff()
{
    QFETCH(QString, window);
    QFETCH(QString, language);
    Fixture f;
    QVERIFY(loadShippedLanguage(f.app, language));
    const std::array<const char *, 8> captions{"Send",     "Tarieren",  "Nullstellen", "",
                                               "GLP Stop", "GLP Start", "Kalibrieren", "&Drucken"};
    for (int i = 0; i < 8; ++i)
        f.app.settings.Action[i][5] = QString::fromLatin1(captions[i]);
    QWidget *w = nullptr;
    if (window == QLatin1String("actionkey_def"))
        w = &f.app.form<actionkey_def>();
    else if (window == QLatin1String("getkey_def"))
        w = &f.app.form<getkey_def>();
    else
        w = &f.app.form<getButtonText>();
    w->show();
    QCOMPARE(cutOffTexts(w), QStringList());
}

void tst_key_tables::accessibleNames_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::newRow("hotkey row 3, key 2") << "actionkey_def"
                                         << "Combo1(10)"
                                         << "Button 3 (T Stop), 2nd key";
    QTest::newRow("hotkey row 5, key 3") << "actionkey_def"
                                         << "Combo1(20)"
                                         << "Button 5, 3rd key";
    QTest::newRow("hotkey row without caption") << "actionkey_def"
                                                << "Command1(3)"
                                                << "Button 4";
    QTest::newRow("command row 1 text") << "getkey_def"
                                        << "Text4(0)"
                                        << "Button 1, Command";
    QTest::newRow("command row 3, key 3") << "getkey_def"
                                          << "Combo1(18)"
                                          << "Button 3, 3rd key";
    QTest::newRow("command row 8 flag") << "getkey_def"
                                        << "Check1(7)"
                                        << "Button 8, Send result";
    QTest::newRow("command row button") << "getkey_def"
                                        << "Command1(6)"
                                        << "Button 7: Kalibrieren";
    QTest::newRow("command row button without caption") << "getkey_def"
                                                        << "Command1(1)"
                                                        << "Button 2";
    QTest::newRow("caption box") << "getButtonText"
                                 << "Text"
                                 << "Caption:";
}

void tst_key_tables::accessibleNames()
{
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QString, name);
    Fixture f;
    QVERIFY(loadShippedLanguage(f.app, QStringLiteral("ENGLISH")));
    f.app.settings.Action[6][5] = QStringLiteral("Kalibrieren");
    QWidget *w = nullptr;
    if (window == QLatin1String("actionkey_def"))
        w = &f.app.form<actionkey_def>();
    else if (window == QLatin1String("getkey_def"))
        w = &f.app.form<getkey_def>();
    else
        w = &f.app.form<getButtonText>();
    QCOMPARE(accessibleName(child<QWidget>(*w, control)), name);
}

void tst_key_tables::rowBoxNamesDistinct_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("German") << "DEUTSCH";
    QTest::newRow("English") << "ENGLISH";
}

void tst_key_tables::rowBoxNamesDistinct()
{
    QFETCH(QString, language);
    Fixture f;
    QVERIFY(loadShippedLanguage(f.app, language));
    for (QWidget *w : std::initializer_list<QWidget *>{&f.app.form<actionkey_def>(),
                                                       &f.app.form<getkey_def>()}) {
        QSet<QString> names;
        int fields = 0;
        for (QWidget *field : w->findChildren<QWidget *>()) {
            const bool rowBox = field->objectName().contains(QLatin1Char('(')) &&
                                !field->objectName().startsWith(QLatin1String("Command1"));
            if (!rowBox)
                continue;
            ++fields;
            const QString name = accessibleName(field);
            QVERIFY2(!name.isEmpty(), qPrintable(field->objectName()));
            QVERIFY2(!names.contains(name), qPrintable(name));
            names.insert(name);
        }
        // actionkey_def: 24 key boxes; getkey_def: 24 key boxes, 8 texts, 8 flags.
        QCOMPARE(fields, w->objectName() == QLatin1String("actionkey_def") ? 24 : 40);
    }
}

QTEST_MAIN(tst_key_tables)
#include "tst_key_tables.moc"
