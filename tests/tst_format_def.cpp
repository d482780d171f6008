#include "core/app.h"
#include "core/mainform/mainform.h"
#include "core/settings/settings.h"
#include "dialogs/format_def.h"
#include "platform/vb/vb_timer.h"
#include "tests/support/dialog_checks.h"
#include "tests/support/test_app.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

namespace {

// The default settings with the language texts named by their keys.
void prepare(TestApp &t)
{
    readSettingsRecord(t.app, QString());
    for (const QString &key : LanguageTexts::keys())
        *t.app.texts.text(key) = key;
}

template <typename W> W *child(QWidget &dialog, const QString &name)
{
    return dialog.findChild<W *>(name);
}

// Which of a group of options is selected: its index, -1 for none.
int selected(QWidget &dialog, const QString &array, int count)
{
    for (int i = 0; i < count; ++i)
        if (child<QRadioButton>(dialog, QStringLiteral("%1(%2)").arg(array).arg(i))->isChecked())
            return i;
    return -1;
}

// The enabled states of the main window's buttons 1 to 3, as "TFF".
QString timerButtons(App &app)
{
    QString states;
    for (int i = 1; i <= 3; ++i)
        states += app.mainWindow().Command5(i)->isEnabled() ? QLatin1Char('T') : QLatin1Char('F');
    return states;
}

void setTimerButtons(App &app, const QString &states)
{
    for (int i = 1; i <= 3; ++i)
        app.mainWindow().Command5(i)->setEnabled(states[i - 1] == QLatin1Char('T'));
}

void clickButton(QWidget &dialog, const QString &name)
{
    QTest::mouseClick(child<QAbstractButton>(dialog, name), Qt::LeftButton);
}

// Replaces a line edit's whole text by typing, as one change per key.
void typeInto(QLineEdit *box, const QString &text)
{
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(box, Qt::Key_Backspace);
    else
        QTest::keyClicks(box, text);
}

void typeTemplate(QWidget &dialog, const QString &text)
{
    auto *box = child<QPlainTextEdit>(dialog, QStringLiteral("ausgabe_string"));
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, text);
}

void typeTarget(QWidget &dialog, const QString &text)
{
    QLineEdit *edit = child<QComboBox>(dialog, QStringLiteral("anwendung_set"))->lineEdit();
    typeInto(edit, text);
}

// Lets the dialog's deferred unloading happen.
void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QString longText(int length)
{
    return QString(length, QLatin1Char('x'));
}

} // namespace

class tst_format_def : public QObject {
    Q_OBJECT
private slots:
    void init();
    void loadingRunsClickHandlers_data();
    void loadingRunsClickHandlers();
    void clicksWriteAtOnceCancelKeeps_data();
    void clicksWriteAtOnceCancelKeeps();
    void okStores_data();
    void okStores();
    void limitCheck_data();
    void limitCheck();
    void templateKeepsToOneStoredLine();
    void targetBoxShowsStoredTarget();
    void menuOpensModalOffline();
    void childWindowsOpenModally_data();
    void childWindowsOpenModally();
    void enterPressesNoButton();
    void textsFit_data();
    void textsFit();
    void accessibleNames();
};

void tst_format_def::init()
{
    QLocale::setDefault(QLocale::c());
}

void tst_format_def::loadingRunsClickHandlers_data()
{
    QTest::addColumn<QString>("entlastung");
    QTest::addColumn<QString>("stillstand");
    QTest::addColumn<QString>("trz");
    QTest::addColumn<QString>("modus");
    QTest::addColumn<bool>("entlastungTicked");
    QTest::addColumn<QString>("entlastungAfter");
    QTest::addColumn<bool>("stillstandTicked");
    QTest::addColumn<QString>("stillstandAfter");
    QTest::addColumn<int>("separator"); // Option1 selected, -1 none
    QTest::addColumn<QString>("trzAfter");
    QTest::addColumn<int>("mode"); // modus selected, -1 none
    QTest::addColumn<QString>("buttons");

    // The main window's buttons start as "FFT", which no mode sets.
    QTest::newRow("True flags, timer")
        << "True"
        << "True"
        << "1"
        << "TIMER" << true << "True" << true << "True" << 1 << "1" << 2 << "FTF";
    QTest::newRow("-1 flags are stored as True")
        << "-1"
        << "-1"
        << "0"
        << "HOTKEY" << true << "True" << true << "True" << 0 << "0" << 0 << "TFF";
    QTest::newRow("1 is not True, but true")
        << "1"
        << "1"
        << ""
        << "PRINT" << false << "1" << true << "True" << 0 << "0" << 1 << "TFF";
    QTest::newRow("false flags, TRZ 2")
        << "False"
        << "0"
        << "2"
        << "PRINT" << false << "False" << false << "0" << 1 << "1" << 1 << "TFF";
    QTest::newRow("unknown mode and TRZ")
        << ""
        << ""
        << "abc"
        << "timer" << false << "" << false << "" << -1 << "abc" << -1 << "FFT";
}

// Loading selects and ticks through the click handlers: the stored mode sets the
// main window's buttons, TRZ and ticked flags are stored again; Cancel keeps that.
void tst_format_def::loadingRunsClickHandlers()
{
    QFETCH(QString, entlastung);
    QFETCH(QString, stillstand);
    QFETCH(QString, trz);
    QFETCH(QString, modus);

    TestApp t;
    prepare(t);
    SettingsRecord &s = t.app.settings;
    s.entlastung = entlastung;
    s.stillstand = stillstand;
    s.TRZ = trz;
    s.modus = modus;
    setTimerButtons(t.app, QStringLiteral("FFT"));

    format_def &dialog = t.app.form<format_def>();
    dialog.show();

    QTEST(child<QCheckBox>(dialog, QStringLiteral("entlastung"))->isChecked(), "entlastungTicked");
    QTEST(child<QCheckBox>(dialog, QStringLiteral("stillstand"))->isChecked(), "stillstandTicked");
    QTEST(selected(dialog, QStringLiteral("Option1"), 2), "separator");
    QTEST(selected(dialog, QStringLiteral("modus"), 3), "mode");

    clickButton(dialog, QStringLiteral("Command3"));
    settle();

    QVERIFY(!t.app.isLoaded<format_def>());
    QTEST(s.entlastung, "entlastungAfter");
    QTEST(s.stillstand, "stillstandAfter");
    QTEST(s.TRZ, "trzAfter");
    QCOMPARE(s.modus, modus);
    QTEST(timerButtons(t.app), "buttons");
    QVERIFY(t.prompts.messages().isEmpty());
}

void tst_format_def::clicksWriteAtOnceCancelKeeps_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("modus");
    QTest::addColumn<QString>("buttons");

    QTest::newRow("hotkey") << 0 << "HOTKEY"
                            << "TFF";
    QTest::newRow("manual") << 1 << "PRINT"
                            << "TFF";
    QTest::newRow("timer") << 2 << "TIMER"
                           << "FTF";
}

// Mode, separator and flags are written at the click (the main window shows the
// mode's buttons while the dialog is open); Cancel keeps them and drops the rest.
void tst_format_def::clicksWriteAtOnceCancelKeeps()
{
    QFETCH(int, mode);
    QFETCH(QString, modus);
    QFETCH(QString, buttons);

    TestApp t;
    prepare(t);
    SettingsRecord &s = t.app.settings;
    s.modus = mode == 2 ? QStringLiteral("PRINT") : QStringLiteral("TIMER");
    s.entlastung = QStringLiteral("-1");
    s.stillstand = QStringLiteral("False");
    s.TRZ = QStringLiteral("0");
    s.OTG = QStringLiteral("10");
    s.format = QStringLiteral("{Messwert}");
    s.anwendung = QStringLiteral("Editor");

    format_def &dialog = t.app.form<format_def>();
    dialog.show();
    clickButton(dialog, QStringLiteral("modus(%1)").arg(mode));
    QCOMPARE(s.modus, modus);
    QCOMPARE(timerButtons(t.app), buttons);
    clickButton(dialog, QStringLiteral("Option1(1)"));
    QCOMPARE(s.TRZ, QStringLiteral("1"));
    clickButton(dialog, QStringLiteral("entlastung"));
    QCOMPARE(s.entlastung, QStringLiteral("False"));
    clickButton(dialog, QStringLiteral("stillstand"));
    QCOMPARE(s.stillstand, QStringLiteral("True"));
    typeInto(child<QLineEdit>(dialog, QStringLiteral("OTG")), QStringLiteral("99"));
    typeTemplate(dialog, QStringLiteral("{Einheit}"));
    typeTarget(dialog, QStringLiteral("Rechner"));

    clickButton(dialog, QStringLiteral("Command3"));
    settle();

    QVERIFY(!t.app.isLoaded<format_def>());
    QCOMPARE(s.modus, modus);
    QCOMPARE(timerButtons(t.app), buttons);
    QCOMPARE(s.TRZ, QStringLiteral("1"));
    QCOMPARE(s.entlastung, QStringLiteral("False"));
    QCOMPARE(s.stillstand, QStringLiteral("True"));
    QCOMPARE(s.OTG, QStringLiteral("10"));
    QCOMPARE(s.format, QStringLiteral("{Messwert}"));
    QCOMPARE(s.anwendung, QStringLiteral("Editor"));
}

void tst_format_def::okStores_data()
{
    QTest::addColumn<QString>("otg");
    QTest::addColumn<QString>("utg");
    QTest::addColumn<QString>("typedTemplate");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("appIndex"); // 7 before OK

    QTest::newRow("angle brackets become braces") << "100"
                                                  << "-5"
                                                  << "<Messwert><TAB><Einheit>"
                                                  << "{Messwert}{TAB}{Einheit}"
                                                  << "Excel" << 1;
    QTest::newRow("free text too, limits as typed") << "abc"
                                                    << "1,5"
                                                    << "a<b>c"
                                                    << "a{b}c"
                                                    << "Notepad" << 2;
    QTest::newRow("no title holds the target") << "0"
                                               << "0"
                                               << "{ENTER}"
                                               << "{ENTER}"
                                               << "Word" << 7;
    QTest::newRow("empty target: last non-empty title") << "0"
                                                        << "0"
                                                        << ""
                                                        << ""
                                                        << "" << 2;
    QTest::newRow("case counts") << "0"
                                 << "0"
                                 << "x"
                                 << "x"
                                 << "excel" << 7;
}

// OK stores limits, target and template; AppIndex is the last row whose title
// holds the target.
void tst_format_def::okStores()
{
    QFETCH(QString, otg);
    QFETCH(QString, utg);
    QFETCH(QString, typedTemplate);
    QFETCH(QString, target);

    TestApp t;
    prepare(t);
    SettingsRecord &s = t.app.settings;
    s.AppList = {{QString(), QStringLiteral("Microsoft Excel"), QStringLiteral("excel.exe")},
                 {QString(), QStringLiteral("Excel Viewer"), QStringLiteral("xlview.exe")},
                 {QString(), QStringLiteral("Notepad"), QStringLiteral("notepad.exe")},
                 {QString(), QString(), QString()}};
    t.app.AppIndex = 7;

    format_def &dialog = t.app.form<format_def>();
    dialog.show();
    typeInto(child<QLineEdit>(dialog, QStringLiteral("OTG")), otg);
    typeInto(child<QLineEdit>(dialog, QStringLiteral("UTG")), utg);
    typeTemplate(dialog, typedTemplate);
    typeTarget(dialog, target);
    clickButton(dialog, QStringLiteral("OK"));
    settle();

    QVERIFY(!t.app.isLoaded<format_def>());
    QCOMPARE(s.OTG, otg);
    QCOMPARE(s.UTG, utg);
    QTEST(s.format, "format");
    QCOMPARE(s.anwendung, target);
    QTEST(t.app.AppIndex, "appIndex");
}

void tst_format_def::limitCheck_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed"); // "" deletes the whole text
    QTest::addColumn<bool>("pasted");   // one change instead of one per key
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("messages");

    QTest::newRow("lone minus at once") << "C"
                                        << "OTG"
                                        << "-" << false << "-" << 1;
    QTest::newRow("minus, then a number") << "C"
                                          << "UTG"
                                          << "-3" << false << "-3" << 1;
    QTest::newRow("deleted text becomes 0") << "C"
                                            << "OTG"
                                            << "" << false << "0" << 0;
    QTest::newRow("each letter") << "C"
                                 << "UTG"
                                 << "ab" << false << "ab" << 2;
    QTest::newRow("German comma") << "de_DE"
                                  << "OTG"
                                  << "2,5" << true << "2,5" << 0;
    QTest::newRow("point in German") << "de_DE"
                                     << "UTG"
                                     << "2.5" << true << "2.5" << 1;
}

// Every change of a limit box is checked: an empty box becomes "0", a text the
// locale does not read as a number is told at once and the focus goes back.
void tst_format_def::limitCheck()
{
    QFETCH(QString, locale);
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(bool, pasted);
    QFETCH(int, messages);
    QLocale::setDefault(QLocale(locale));

    TestApp t;
    prepare(t);
    format_def &dialog = t.app.form<format_def>();
    dialog.show();
    auto *field = child<QLineEdit>(dialog, box);
    QLineEdit *other = child<QLineEdit>(dialog, box == QLatin1String("OTG") ? "UTG" : "OTG");
    // The focus leaves the box while a message is open.
    t.prompts.onMessage = [other](const QString &) {
        other->setFocus();
    };

    if (pasted) {
        field->selectAll();
        field->insert(typed);
    } else {
        typeInto(field, typed);
    }

    QTEST(field->text(), "shown");
    QCOMPARE(t.prompts.messages(), QStringList(messages, QStringLiteral("TextBitteZahlEingeben")));
    for (const auto &shown : std::as_const(t.prompts.shown))
        QCOMPARE(shown.title, QStringLiteral("Mondrelquist"));
    if (messages > 0)
        QCOMPARE(dialog.focusWidget(), field);
    QCOMPARE(t.app.settings.OTG, QStringLiteral("0")); // the check stores nothing
    QCOMPARE(t.app.settings.UTG, QStringLiteral("0"));
    dialog.reject();
}

// The settings file holds one line per value and gives back 199 characters: the
// template box takes no line break and OK refuses a longer text, saying so once,
// so a later save and load give the template back whole.
void tst_format_def::templateKeepsToOneStoredLine()
{
    TestApp t;
    prepare(t);
    format_def &dialog = t.app.form<format_def>();
    dialog.show();
    auto *box = child<QPlainTextEdit>(dialog, QStringLiteral("ausgabe_string"));

    typeTemplate(dialog, QStringLiteral("{Messwert}"));
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClick(box, Qt::Key_Enter);
    QTest::keyClicks(box, QStringLiteral("{TAB}"));
    QCOMPARE(box->toPlainText(), QStringLiteral("{Messwert}{TAB}"));
    QVERIFY(dialog.isVisible());

    // Pasted or set by the template editor.
    box->setPlainText(QStringLiteral("{Messwert}\n{TAB}\r\n{Einheit}"));
    QCOMPARE(box->toPlainText(), QStringLiteral("{Messwert}{TAB}{Einheit}"));
    QVERIFY(t.prompts.messages().isEmpty());

    box->setPlainText(longText(198));
    box->moveCursor(QTextCursor::End);
    QTest::keyClicks(box, QStringLiteral("xxx"));
    // Typing is not interrupted.
    QVERIFY(t.prompts.messages().isEmpty());

    clickButton(dialog, QStringLiteral("OK"));
    settle();
    QVERIFY(t.app.isLoaded<format_def>());
    // The texts are their keys here: the field is named even without a translation.
    QCOMPARE(t.prompts.messages(),
             QStringList{QStringLiteral("TextFrmFormatDef_AusgabeCaption:\n\nTextEintragZuLang")});
    QCOMPARE(dialog.focusWidget(), box);
    QCOMPARE(t.app.settings.format, QString());

    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClick(box, Qt::Key_Backspace);
    clickButton(dialog, QStringLiteral("OK"));
    settle();
    QVERIFY(!t.app.isLoaded<format_def>());
    QCOMPARE(t.app.settings.format, longText(199));

    const QString file = t.path(QStringLiteral("saved.cfg"));
    QCOMPARE(Einstellungen_speichern(t.app, file), SaveResult::Saved);
    t.app.settings.format.clear();
    readSettingsRecord(t.app, file);
    QCOMPARE(t.app.settings.format, longText(199));
}

// The target box shows the stored target as its text, also one outside its list
// (the target kinds, then the application list), and again when shown.
void tst_format_def::targetBoxShowsStoredTarget()
{
    TestApp t;
    prepare(t);
    t.app.settings.anwendung = QStringLiteral("Mein Fenster");
    t.app.settings.AppList = {{QString(), QStringLiteral("Notepad"), QStringLiteral("n.exe")},
                              {QString(), QStringLiteral("Text-Datei"), QString()}};

    format_def &dialog = t.app.form<format_def>();
    auto *target = child<QComboBox>(dialog, QStringLiteral("anwendung_set"));
    QCOMPARE(target->currentText(), QStringLiteral("Mein Fenster"));
    QStringList items;
    for (int i = 0; i < target->count(); ++i)
        items << target->itemText(i);
    QCOMPARE(items, QStringList({"*DDE*", "DDE-Kanal", "Excel-Datei", "Text-Datei",
                                 "Access-Datenbank", "*free*", "Notepad"}));

    // Loaded hidden (by the template editor); the target changed before it is shown.
    t.app.settings.anwendung = QStringLiteral("Excel-Datei");
    dialog.show();
    QCOMPARE(target->currentText(), QStringLiteral("Excel-Datei"));
    dialog.reject();
}

// The menu stops the polling, shows the offline display and opens the dialog
// modally; Cancel closes and unloads it.
void tst_format_def::menuOpensModalOffline()
{
    TestApp t;
    prepare(t);
    mainform &mw = t.app.mainWindow();
    mw.Timer1().setInterval(10);
    mw.MesswertAnzeige()->setText(QStringLiteral("12.5"));

    bool shownOffline = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog || dialog->objectName() != QLatin1String("format_def"))
            return;
        driver.stop();
        shownOffline = !mw.Timer1().isRunning() && mw.MesswertAnzeige()->text() == "Offline";
        clickButton(*dialog, QStringLiteral("Command3"));
    });
    driver.start(10);
    mw.menuItem(QStringLiteral("m_KonfigDatenOut"))->trigger();
    settle();

    QVERIFY(shownOffline);
    QVERIFY(!t.app.isLoaded<format_def>());
}

void tst_format_def::childWindowsOpenModally_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("modus");
    QTest::addColumn<QString>("window");

    QTest::newRow("hotkeys, hotkey mode") << "cmdHotkey"
                                          << "HOTKEY"
                                          << "actionkey_def";
    QTest::newRow("hotkeys, manual mode") << "cmdHotkey"
                                          << "PRINT"
                                          << "actionkey_def";
    QTest::newRow("hotkeys, timer mode") << "cmdHotkey"
                                         << "TIMER"
                                         << "actionkey_def";
    QTest::newRow("commands") << "cmdBefehle"
                              << "PRINT"
                              << "getkey_def";
    QTest::newRow("template editor") << "Ausgabe_def"
                                     << "PRINT"
                                     << "Tasten";
    QTest::newRow("timer, timer mode") << "Command2"
                                       << "TIMER"
                                       << "timer_def";
    QTest::newRow("timer, other mode: nothing") << "Command2"
                                                << "HOTKEY"
                                                << "";
}

// The buttons open their windows modally (the timer only in timer mode); when one closes, the
// target box shows the stored target in place of text typed and not confirmed.
void tst_format_def::childWindowsOpenModally()
{
    QFETCH(QString, button);
    QFETCH(QString, modus);
    QFETCH(QString, window);

    TestApp t;
    prepare(t);
    t.app.settings.modus = modus;
    t.app.settings.anwendung = QStringLiteral("Editor");
    format_def &dialog = t.app.form<format_def>();
    dialog.show();
    typeTarget(dialog, QStringLiteral("Getippt"));

    QString opened;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == &dialog)
            return;
        driver.stop();
        opened = modal->objectName();
        modal->close();
    });
    driver.start(10);
    clickButton(dialog, button);
    settle();

    QCOMPARE(opened, window);
    QCOMPARE(child<QComboBox>(dialog, QStringLiteral("anwendung_set"))->currentText(),
             window.isEmpty() ? QStringLiteral("Getippt") : QStringLiteral("Editor"));
    QVERIFY(t.app.isLoaded<format_def>());
    dialog.reject();
}

// No button is pressed by Enter in a text box.
void tst_format_def::enterPressesNoButton()
{
    TestApp t;
    prepare(t);
    format_def &dialog = t.app.form<format_def>();
    dialog.show();
    for (QPushButton *button : dialog.findChildren<QPushButton *>())
        QVERIFY2(!button->autoDefault() && !button->isDefault(), qPrintable(button->objectName()));
    auto *otg = child<QLineEdit>(dialog, QStringLiteral("OTG"));
    typeInto(otg, QStringLiteral("5"));
    QTest::keyClick(otg, Qt::Key_Return);
    QTest::keyClick(child<QComboBox>(dialog, QStringLiteral("anwendung_set")), Qt::Key_Return);
    settle();
    QVERIFY(t.app.isLoaded<format_def>());
    QCOMPARE(t.app.settings.OTG, QStringLiteral("0"));
    dialog.reject();
}

void tst_format_def::textsFit_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("commands");

    QTest::newRow("German") << "DEUTSCH"
                            << "Übertragung"
                            << "&Befehle";
    QTest::newRow("English") << "ENGLISH"
                             << "Transfer"
                             << "&Commands";
}

// The language's captions replace the design captions and none is cut off.
void tst_format_def::textsFit()
{
    QFETCH(QString, language);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

    TestApp t;
    readSettingsRecord(t.app, QString());
    QVERIFY(loadShippedLanguage(t.app, language));
    format_def &dialog = t.app.form<format_def>();
    dialog.show();

    QTEST(dialog.windowTitle(), "title");
    QTEST(child<QPushButton>(dialog, QStringLiteral("cmdBefehle"))->text(), "commands");
    QCOMPARE(child<QRadioButton>(dialog, QStringLiteral("modus(1)"))->text(),
             t.app.texts.TextFrmFormatDef_Modus1Caption);
    QCOMPARE(child<QGroupBox>(dialog, QStringLiteral("mode"))->title(), QString());
    QCOMPARE(cutOffTexts(&dialog), QStringList());
    dialog.reject();
}

// Fields and buttons without a text of their own carry a name for screen readers.
void tst_format_def::accessibleNames()
{
    TestApp t;
    readSettingsRecord(t.app, QString());
    QVERIFY(loadShippedLanguage(t.app, QStringLiteral("ENGLISH")));
    format_def &dialog = t.app.form<format_def>();
    dialog.show();

    const QList<std::pair<QString, QString>> expected{{"ausgabe_string", "Data output"},
                                                      {"UTG", "Min:"},
                                                      {"OTG", "Max:"},
                                                      {"anwendung_set", "Target"},
                                                      {"Ausgabe_def", ""},
                                                      {"cmdHotkey", ""},
                                                      {"Command2", ""},
                                                      {"Command1", "Select"}};
    for (const auto &[name, text] : expected) {
        auto *widget = child<QWidget>(dialog, name);
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        QVERIFY2(accessible, qPrintable(name));
        const QString accessibleName = accessible->text(QAccessible::Name);
        QVERIFY2(!accessibleName.isEmpty() && accessibleName != QLatin1String("..."),
                 qPrintable(name));
        if (!text.isEmpty())
            QCOMPARE(accessibleName, text);
    }
    dialog.reject();
}

QTEST_MAIN(tst_format_def)
#include "tst_format_def.moc"
