#include "core/app.h"
#include "core/settings/settings.h"
#include "dialogs/timer_def.h"
#include "platform/prompts.h"
#include "tests/support/dialog_checks.h"
#include "tests/support/test_app.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

namespace {

const QString kShippedSettings = QStringLiteral(MQ_SOURCE_DIR "/data/standard.cfg");

// The timer settings of a lab that uses the start/stop window.
void setTimerFields(SettingsRecord &s, const QString &mode)
{
    s.int_modus = mode;
    s.activ = QStringLiteral("0");
    s.int_std = QStringLiteral("0");
    s.int_min = QStringLiteral("5");
    s.int_sek = QStringLiteral("30");
    s.d_start = QStringLiteral("01.03.2026");
    s.t_start = QStringLiteral("08:00:00");
    s.d_end = QStringLiteral("31.03.2026");
    s.t_end = QStringLiteral("17:30:00");
    s.anz_mess = QStringLiteral("12");
}

// Loads the default instance and shows it active, as the transfer dialog does.
timer_def *openTimer(App &app)
{
    timer_def &window = app.form<timer_def>();
    window.show();
    return QTest::qWaitForWindowActive(&window) ? &window : nullptr;
}

template <typename W> W *control(QWidget *window, const QString &name)
{
    return window->findChild<W *>(name);
}

// Clicks an option or check box on its indicator (the middle of a wide one is no hit).
void clickIndicator(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

// Clicks into a box and types text over what it held.
void typeInto(QLineEdit *box, const QString &text)
{
    QTest::mouseClick(box, Qt::LeftButton);
    box->clear();
    QTest::keyClicks(box, text);
}

} // namespace

class tst_timer_def : public QObject {
    Q_OBJECT
private slots:
    void init();
    void loadShowsSettings_data();
    void loadShowsSettings();
    void clicksWriteAtOnceCancelKeepsThem();
    void okStoresBoxes();
    void focusLossChecks_data();
    void focusLossChecks();
    void focusLeavingWindowChecksNothing();
    void noCheckWhileMessageShows();
    void realMessageBoxReturnsFocus();
    void leavingWithBadText_data();
    void leavingWithBadText();
    void okChecksWhatTheTimerUses_data();
    void okChecksWhatTheTimerUses();
    void okOnShippedSettings();
    void opensModally();
    void textsFitAndBoxesAreNamed_data();
    void textsFitAndBoxesAreNamed();
};

void tst_timer_def::init()
{
    QLocale::setDefault(QLocale::c());
}

void tst_timer_def::loadShowsSettings_data()
{
    QTest::addColumn<QString>("intModus");
    QTest::addColumn<QString>("activ");
    QTest::addColumn<QString>("storedModus");
    QTest::addColumn<int>("selected"); // -1 none
    QTest::addColumn<bool>("windowFrame");
    QTest::addColumn<bool>("countFrame");
    QTest::addColumn<bool>("ticked");

    QTest::newRow("window") << "0"
                            << "0"
                            << "0" << 0 << true << false << false;
    QTest::newRow("count, active") << "1"
                                   << "1"
                                   << "1" << 1 << false << true << true;
    QTest::newRow("fraction cut") << " 1.7"
                                  << "0"
                                  << "1" << 1 << false << true << false;
    // Hand-edited: no option, the frames as designed, the mode kept as a number.
    QTest::newRow("mode 2") << "2"
                            << "0"
                            << "2" << -1 << true << true << false;
}

// What the window shows when it opens, and the two fields it writes while opening.
void tst_timer_def::loadShowsSettings()
{
    QFETCH(QString, intModus);
    QFETCH(QString, activ);
    QFETCH(QString, storedModus);
    QFETCH(int, selected);
    QFETCH(bool, windowFrame);
    QFETCH(bool, countFrame);
    QFETCH(bool, ticked);

    TestApp t;
    QVERIFY(loadShippedLanguage(t.app, QStringLiteral("DEUTSCH")));
    SettingsRecord &s = t.app.settings;
    setTimerFields(s, intModus);
    s.activ = activ;
    timer_def *w = openTimer(t.app);
    QVERIFY(w);

    QCOMPARE(w->windowTitle(), QStringLiteral("Messtimer"));
    QCOMPARE(control<QGroupBox>(w, "Frame3")->title(), QStringLiteral("Start/Stopp-Zeitraum"));
    QCOMPARE(control<QPushButton>(w, "Command1")->text(), QStringLiteral("&Abbrechen"));
    QCOMPARE(control<QPushButton>(w, "OK")->text(), QStringLiteral("&OK"));
    for (int i = 0; i < 2; ++i)
        QCOMPARE(control<QRadioButton>(w, QStringLiteral("TimerModus(%1)").arg(i))->isChecked(),
                 i == selected);
    QCOMPARE(control<QGroupBox>(w, "Frame3")->isEnabled(), windowFrame);
    QCOMPARE(control<QGroupBox>(w, "Frame4")->isEnabled(), countFrame);
    QCOMPARE(control<QCheckBox>(w, "Check1")->isChecked(), ticked);
    QCOMPARE(s.int_modus, storedModus);
    QCOMPARE(s.activ, activ);

    const QList<std::pair<const char *, QString>> boxes{
        {"Stunden", "0"},          {"minuten", "5"},
        {"sekunden", "30"},        {"Startdate", "01.03.2026"},
        {"starttime", "08:00:00"}, {"stopdate", "31.03.2026"},
        {"stoptime", "17:30:00"},  {"anz_messungen", "12"}};
    for (const auto &[name, text] : boxes)
        QCOMPARE(control<QLineEdit>(w, name)->text(), text);
}

// The mode and the start flag are stored at once and Cancel does not take them
// back; the boxes and the due time stay as they were.
void tst_timer_def::clicksWriteAtOnceCancelKeepsThem()
{
    TestApp t;
    SettingsRecord &s = t.app.settings;
    setTimerFields(s, QStringLiteral("0"));
    s.activ = QStringLiteral("1");
    t.app.dtNaechsteMessung = QStringLiteral("01.03.2026 08:05:30");
    timer_def *w = openTimer(t.app);
    QVERIFY(w);

    clickIndicator(control<QRadioButton>(w, "TimerModus(1)"));
    QCOMPARE(s.int_modus, QStringLiteral("1"));
    QVERIFY(!control<QGroupBox>(w, "Frame3")->isEnabled());
    QVERIFY(control<QGroupBox>(w, "Frame4")->isEnabled());
    clickIndicator(control<QCheckBox>(w, "Check1"));
    QCOMPARE(s.activ, QStringLiteral("0"));
    typeInto(control<QLineEdit>(w, "anz_messungen"), QStringLiteral("99"));

    QTest::mouseClick(control<QPushButton>(w, "Command1"), Qt::LeftButton);

    QVERIFY(!t.app.isLoaded<timer_def>());
    QVERIFY(!w->isVisible());
    QCOMPARE(s.int_modus, QStringLiteral("1"));
    QCOMPARE(s.activ, QStringLiteral("0"));
    QCOMPARE(s.anz_mess, QStringLiteral("12"));
    QCOMPARE(t.app.dtNaechsteMessung, QStringLiteral("01.03.2026 08:05:30"));
    QVERIFY(t.prompts.shown.isEmpty());
}

// OK stores every box as text and clears the due time, so the schedule starts anew.
// A time still in its box when OK is clicked is written out in full like one left.
void tst_timer_def::okStoresBoxes()
{
    TestApp t;
    SettingsRecord &s = t.app.settings;
    setTimerFields(s, QStringLiteral("1"));
    t.app.dtNaechsteMessung = QStringLiteral("01.03.2026 08:05:30");
    timer_def *w = openTimer(t.app);
    QVERIFY(w);

    typeInto(control<QLineEdit>(w, "Stunden"), QStringLiteral("1"));
    typeInto(control<QLineEdit>(w, "sekunden"), QStringLiteral("0"));
    typeInto(control<QLineEdit>(w, "anz_messungen"), QStringLiteral("1.5"));
    clickIndicator(control<QRadioButton>(w, "TimerModus(0)"));
    typeInto(control<QLineEdit>(w, "stopdate"), QStringLiteral("2.4.2026"));
    typeInto(control<QLineEdit>(w, "starttime"), QStringLiteral("14:3"));
    QTest::mouseClick(control<QPushButton>(w, "OK"), Qt::LeftButton);

    QVERIFY(t.prompts.shown.isEmpty());
    QVERIFY(!t.app.isLoaded<timer_def>());
    QCOMPARE(s.int_modus, QStringLiteral("0"));
    QCOMPARE(s.int_std, QStringLiteral("1"));
    QCOMPARE(s.int_min, QStringLiteral("5"));
    QCOMPARE(s.int_sek, QStringLiteral("0"));
    QCOMPARE(s.d_start, QStringLiteral("01.03.2026"));
    QCOMPARE(s.t_start, QStringLiteral("14:03:00"));
    QCOMPARE(s.d_end, QStringLiteral("2.4.2026"));
    QCOMPARE(s.t_end, QStringLiteral("17:30:00"));
    QCOMPARE(s.anz_mess, QStringLiteral("1.5"));
    QCOMPARE(t.app.dtNaechsteMessung, QString());
}

void tst_timer_def::focusLossChecks_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message"); // the language text's key, "" for none
    QTest::addColumn<QString>("shown");   // the box's text afterwards

    QTest::newRow("time completed") << "C"
                                    << "0"
                                    << "starttime"
                                    << "14:3"
                                    << ""
                                    << "14:03:00";
    QTest::newRow("time 8:5") << "de_DE"
                              << "0"
                              << "stoptime"
                              << "8:5"
                              << ""
                              << "08:05:00";
    QTest::newRow("time 25:00") << "C"
                                << "0"
                                << "starttime"
                                << "25:00"
                                << "TextBitteUhrzeitEingeben"
                                << "25:00";
    QTest::newRow("date 31.02.") << "de_DE"
                                 << "0"
                                 << "Startdate"
                                 << "31.02.2026"
                                 << "TextBitteDatumEingeben"
                                 << "31.02.2026";
    QTest::newRow("date") << "C"
                          << "0"
                          << "stopdate"
                          << "1.4.2026"
                          << ""
                          << "1.4.2026";
    QTest::newRow("hours abc") << "C"
                               << "0"
                               << "Stunden"
                               << "abc"
                               << "TextBitteZahlEingeben"
                               << "abc";
    QTest::newRow("seconds 7") << "C"
                               << "1"
                               << "sekunden"
                               << "7"
                               << ""
                               << "7";
    QTest::newRow("count 0") << "C"
                             << "1"
                             << "anz_messungen"
                             << "0"
                             << "TextBitteZahlGroesser0Eingeben"
                             << "0";
    QTest::newRow("count -3") << "C"
                              << "1"
                              << "anz_messungen"
                              << "-3"
                              << "TextBitteZahlGroesser0Eingeben"
                              << "-3";
    QTest::newRow("count abc") << "C"
                               << "1"
                               << "anz_messungen"
                               << "abc"
                               << "TextBitteZahlEingeben"
                               << "abc";
    QTest::newRow("count 1.5 C") << "C"
                                 << "1"
                                 << "anz_messungen"
                                 << "1.5"
                                 << ""
                                 << "1.5";
    QTest::newRow("count 1.5 English") << "en_US"
                                       << "1"
                                       << "anz_messungen"
                                       << "1.5"
                                       << ""
                                       << "1.5";
    QTest::newRow("count 1.5 German") << "de_DE"
                                      << "1"
                                      << "anz_messungen"
                                      << "1.5"
                                      << "TextBitteZahlEingeben"
                                      << "1.5";
    QTest::newRow("count 0,5 German") << "de_DE"
                                      << "1"
                                      << "anz_messungen"
                                      << "0,5"
                                      << "TextBitteZahlGroesser0Eingeben"
                                      << "0,5";
}

// Leaving a box with Tab checks it: a failure shows its message with the
// program's title and puts the focus back; a time is written out in full.
void tst_timer_def::focusLossChecks()
{
    QFETCH(QString, locale);
    QFETCH(QString, mode);
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QLocale::setDefault(QLocale(locale));

    TestApp t;
    QVERIFY(loadShippedLanguage(t.app, QStringLiteral("ENGLISH")));
    setTimerFields(t.app.settings, mode);
    timer_def *w = openTimer(t.app);
    QVERIFY(w);
    QLineEdit *edit = control<QLineEdit>(w, box);
    typeInto(edit, typed);

    QTest::keyClick(edit, Qt::Key_Tab);

    const QStringList expected =
        message.isEmpty() ? QStringList() : QStringList{*t.app.texts.text(message)};
    QCOMPARE(t.prompts.messages(), expected);
    if (!expected.isEmpty())
        QCOMPARE(t.prompts.shown[0].title, QStringLiteral("Mondrelquist"));
    QCOMPARE(edit->text(), shown);
    QCOMPARE(QApplication::focusWidget() == edit, !message.isEmpty());
    // A count that failed selects the count mode again.
    if (box == QLatin1String("anz_messungen") && !message.isEmpty())
        QVERIFY(control<QRadioButton>(w, "TimerModus(1)")->isChecked());
}

// The focus leaves a box also when another window is activated; that is no
// move inside the dialog and checks nothing, nor does coming back.
void tst_timer_def::focusLeavingWindowChecksNothing()
{
    TestApp t;
    setTimerFields(t.app.settings, QStringLiteral("0"));
    timer_def *w = openTimer(t.app);
    QVERIFY(w);
    QLineEdit *hours = control<QLineEdit>(w, "Stunden");
    typeInto(hours, QStringLiteral("abc"));

    QLineEdit other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(!hours->hasFocus());
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    QTRY_COMPARE(QApplication::focusWidget(), hours);

    QVERIFY(t.prompts.shown.isEmpty());
}

// While a check's message shows, a focus move inside the window starts no
// second check; the focus ends in the box that failed. No language is loaded:
// an empty message text still means a failed check.
void tst_timer_def::noCheckWhileMessageShows()
{
    TestApp t;
    setTimerFields(t.app.settings, QStringLiteral("0"));
    timer_def *w = openTimer(t.app);
    QVERIFY(w);
    QLineEdit *hours = control<QLineEdit>(w, "Stunden");
    QLineEdit *minutes = control<QLineEdit>(w, "minuten");
    QLineEdit *seconds = control<QLineEdit>(w, "sekunden");
    minutes->setText(QStringLiteral("xyz"));
    typeInto(hours, QStringLiteral("abc"));
    t.prompts.onMessage = [&](const QString &) {
        seconds->setFocus(Qt::MouseFocusReason);
    };

    QTest::keyClick(hours, Qt::Key_Tab);

    QCOMPARE(t.prompts.messages().size(), 1);
    QCOMPARE(QApplication::focusWidget(), hours);
}

// With the real message box: one message, and the focus is back in the box
// when the box is answered, though the focus went to the message box meanwhile.
void tst_timer_def::realMessageBoxReturnsFocus()
{
    QTemporaryDir folder;
    WidgetPrompts prompts;
    SystemClock clock;
    App app(folder.path(), prompts, clock);
    setTimerFields(app.settings, QStringLiteral("0"));
    timer_def *w = openTimer(app);
    QVERIFY(w);
    QLineEdit *hours = control<QLineEdit>(w, "Stunden");
    QLineEdit *minutes = control<QLineEdit>(w, "minuten");
    minutes->setText(QStringLiteral("xyz"));
    typeInto(hours, QStringLiteral("abc"));

    int boxes = 0;
    QTimer answer;
    connect(&answer, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            ++boxes;
            box->button(QMessageBox::Ok)->click();
        }
    });
    answer.start(20);
    QTest::keyClick(hours, Qt::Key_Tab);
    QTRY_COMPARE(boxes, 1);
    // The offscreen platform has no window manager to give the activation back.
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    QTRY_COMPARE(QApplication::focusWidget(), hours);
    QTest::qWait(200);

    QCOMPARE(boxes, 1);
    QCOMPARE(QApplication::focusWidget(), hours);
    QVERIFY(app.isLoaded<timer_def>());
}

void tst_timer_def::leavingWithBadText_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel clicked") << "click";
    QTest::newRow("Tab to Cancel, Space") << "tab";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("close button") << "close";
}

// A box holding text its check rejects never keeps the user in the window.
void tst_timer_def::leavingWithBadText()
{
    QFETCH(QString, how);
    TestApp t;
    setTimerFields(t.app.settings, QStringLiteral("1"));
    timer_def *w = openTimer(t.app);
    QVERIFY(w);
    QLineEdit *count = control<QLineEdit>(w, "anz_messungen");
    typeInto(count, QStringLiteral("abc"));
    QPushButton *cancel = control<QPushButton>(w, "Command1");

    if (how == QLatin1String("click")) {
        QTest::mouseClick(cancel, Qt::LeftButton);
    } else if (how == QLatin1String("tab")) {
        QTest::keyClick(count, Qt::Key_Tab); // to OK, which checks
        QCOMPARE(t.prompts.messages().size(), 1);
        t.prompts.shown.clear();
        cancel->setFocus(Qt::TabFocusReason);
        QTest::keyClick(cancel, Qt::Key_Space);
    } else if (how == QLatin1String("escape")) {
        QTest::keyClick(count, Qt::Key_Escape);
    } else {
        QVERIFY(w->close());
    }

    QVERIFY(t.prompts.shown.isEmpty());
    QVERIFY(!t.app.isLoaded<timer_def>());
    QVERIFY(!w->isVisible());
    QCOMPARE(t.app.settings.anz_mess, QStringLiteral("12"));
}

void tst_timer_def::okChecksWhatTheTimerUses_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message"); // "" when OK stores and closes

    QTest::newRow("hours") << "0"
                           << "Stunden"
                           << "abc"
                           << "TextBitteZahlEingeben";
    QTest::newRow("seconds, count mode") << "1"
                                         << "sekunden"
                                         << ""
                                         << "TextBitteZahlEingeben";
    QTest::newRow("start date") << "0"
                                << "Startdate"
                                << "morgen"
                                << "TextBitteDatumEingeben";
    QTest::newRow("stop time") << "0"
                               << "stoptime"
                               << "25:00"
                               << "TextBitteUhrzeitEingeben";
    QTest::newRow("count") << "1"
                           << "anz_messungen"
                           << "0"
                           << "TextBitteZahlGroesser0Eingeben";
    // The frame not in use is not checked.
    QTest::newRow("count, window mode") << "0"
                                        << "anz_messungen"
                                        << "0"
                                        << "";
    QTest::newRow("start date, count mode") << "1"
                                            << "Startdate"
                                            << "morgen"
                                            << "";
}

// A box that never lost the focus holds unchecked text; OK checks the interval
// and the frame in use, and on the first failure stays open with its message.
void tst_timer_def::okChecksWhatTheTimerUses()
{
    QFETCH(QString, mode);
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, message);

    TestApp t;
    QVERIFY(loadShippedLanguage(t.app, QStringLiteral("DEUTSCH")));
    SettingsRecord &s = t.app.settings;
    setTimerFields(s, mode);
    // A box of the frame not in use is filled while its mode is chosen, then the
    // row's mode is chosen again (its check's message, if any, is not counted).
    timer_def *w = openTimer(t.app);
    QVERIFY(w);
    const bool countBox = box == QLatin1String("anz_messungen");
    const bool windowBox =
        box.contains(QLatin1String("date")) || box.contains(QLatin1String("time"));
    const bool otherFrame =
        (countBox && mode == QLatin1String("0")) || (windowBox && mode == QLatin1String("1"));
    QLineEdit *edit = control<QLineEdit>(w, box);
    if (otherFrame)
        clickIndicator(control<QRadioButton>(
            w, QStringLiteral("TimerModus(%1)").arg(mode == QLatin1String("1") ? 0 : 1)));
    typeInto(edit, typed);
    if (otherFrame) {
        clickIndicator(control<QRadioButton>(w, QStringLiteral("TimerModus(%1)").arg(mode)));
        t.prompts.shown.clear();
    } else {
        QCOMPARE(QApplication::focusWidget(), edit);
    }

    QTest::mouseClick(control<QPushButton>(w, "OK"), Qt::LeftButton);

    if (message.isEmpty()) {
        QVERIFY(t.prompts.shown.isEmpty());
        QVERIFY(!t.app.isLoaded<timer_def>());
        QCOMPARE(countBox ? s.anz_mess : s.d_start, typed);
        return;
    }
    QCOMPARE(t.prompts.messages(), QStringList{*t.app.texts.text(message)});
    QVERIFY(t.app.isLoaded<timer_def>());
    QVERIFY(w->isVisible());
    QCOMPARE(QApplication::focusWidget(), edit);
    QCOMPARE(s.int_std, QStringLiteral("0"));
    QCOMPARE(s.d_start, QStringLiteral("01.03.2026"));
    QCOMPARE(s.t_end, QStringLiteral("17:30:00"));
    QCOMPARE(s.anz_mess, QStringLiteral("12"));
}

// A fresh install (window mode, count 0) must not block OK.
void tst_timer_def::okOnShippedSettings()
{
    TestApp t;
    QCOMPARE(readSettingsRecord(t.app, kShippedSettings).settingsFile, QString());
    QCOMPARE(t.app.settings.anz_mess, QStringLiteral("0"));
    timer_def *w = openTimer(t.app);
    QVERIFY(w);

    QTest::mouseClick(control<QPushButton>(w, "OK"), Qt::LeftButton);

    QVERIFY(t.prompts.shown.isEmpty());
    QVERIFY(!t.app.isLoaded<timer_def>());
    QCOMPARE(t.app.settings.anz_mess, QStringLiteral("0"));
    QCOMPARE(t.app.settings.t_start, QStringLiteral("00:00:00"));
}

// The transfer dialog opens the default instance modally; OK ends that loop.
void tst_timer_def::opensModally()
{
    TestApp t;
    setTimerFields(t.app.settings, QStringLiteral("0"));
    bool sawWindow = false;
    QTimer driver;
    connect(&driver, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != QLatin1String("timer_def"))
            return;
        sawWindow = true;
        control<QPushButton>(modal, "OK")->click();
    });
    driver.start(20);

    const int result = t.app.form<timer_def>().exec();

    QVERIFY(sawWindow);
    QCOMPARE(result, int(QDialog::Accepted));
    QVERIFY(!t.app.isLoaded<timer_def>());
    QCOMPARE(t.app.settings.int_min, QStringLiteral("5"));
}

void tst_timer_def::textsFitAndBoxesAreNamed_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("startDateName");
    QTest::newRow("German") << "DEUTSCH"
                            << "Start: Datum";
    QTest::newRow("English") << "ENGLISH"
                             << "Start: Date";
}

// Every caption shows whole at the default font, and every box has a name
// for screen readers from the labels around it.
void tst_timer_def::textsFitAndBoxesAreNamed()
{
    QFETCH(QString, language);
    QFETCH(QString, startDateName);
    TestApp t;
    QVERIFY(loadShippedLanguage(t.app, language));
    setTimerFields(t.app.settings, QStringLiteral("0"));
    timer_def *w = openTimer(t.app);
    QVERIFY(w);

    QCOMPARE(cutOffTexts(w), QStringList());
    for (QLineEdit *box : w->findChildren<QLineEdit *>()) {
        const QString name = QAccessible::queryAccessibleInterface(box)->text(QAccessible::Name);
        QVERIFY2(!name.trimmed().isEmpty(), qPrintable(box->objectName()));
    }
    QCOMPARE(QAccessible::queryAccessibleInterface(control<QLineEdit>(w, "Startdate"))
                 ->text(QAccessible::Name),
             startDateName);
    for (QPushButton *button : w->findChildren<QPushButton *>())
        QVERIFY2(!button->autoDefault(), qPrintable(button->objectName()));
}

QTEST_MAIN(tst_timer_def)
#include "tst_timer_def.moc"
