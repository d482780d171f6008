#include "core/mainform/control_tag.h"
#include "core/settings/settings.h"
#include "dialogs/actionkey_def.h"
#include "dialogs/anzeige.h"
#include "dialogs/format_def.h"
#include "dialogs/getbuttontext.h"
#include "dialogs/getkey_def.h"
#include "dialogs/messwert_def.h"
#include "dialogs/select_ddeparameter.h"
#include "dialogs/select_excelfile.h"
#include "dialogs/select_target.h"
#include "dialogs/tasten.h"
#include "dialogs/timer_def.h"
#include "tests/support/file_bytes.h"
#include "tests/support/modal_script.h"
#include "tests/support/test_app.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QtTest>

#include <functional>

// A window closed from outside (a screen reader's "close" on the accessibility
// bus) while a modal window or box it opened runs, and then that child closed.
namespace {

// How long the child stays open after its opener was closed: long enough for
// its nested loop to carry out everything the closing posted.
constexpr int kChildLingersMs = 50;

using Action = std::function<void(QWidget &window)>;

struct Step {
    const char *window; // objectName of the modal window the step acts on
    Action action;
};

struct Case {
    const char *name;
    std::function<void(App &)> open; // shows the first window modally
    QList<Step> path;                // ends with the step that opens the child
    const char *opener;              // the window closed while the child runs
    const char *child;               // the child window; nullptr for a prompt
    QStringList prompts;             // kinds of the prompts shown, in order; without a child
                                     // the opener is closed under the first
};

template <typename W> std::function<void(App &)> showModal()
{
    return [](App &app) {
        app.form<W>().exec();
    };
}

Action click(const QString &button)
{
    return [button](QWidget &w) {
        w.findChild<QAbstractButton *>(button)->click();
    };
}

// Sets a box's text and then clicks a button.
Action typeAndClick(const QString &box, const QString &text, const QString &button)
{
    return [=](QWidget &w) {
        if (auto *combo = w.findChild<QComboBox *>(box))
            combo->setEditText(text);
        else
            w.findChild<QLineEdit *>(box)->setText(text);
        click(button)(w);
    };
}

Action type(const QString &box, const QString &text)
{
    return [=](QWidget &w) {
        QTest::keyClicks(w.findChild<QLineEdit *>(box), text);
    };
}

const QList<Case> &cases()
{
    static const QList<Case> all{
        {"transfer dialog, template editor",
         showModal<format_def>(),
         {{"format_def", click("Ausgabe_def")}},
         "format_def",
         "Tasten",
         {}},
        {"transfer dialog, command table",
         showModal<format_def>(),
         {{"format_def", click("cmdBefehle")}},
         "format_def",
         "getkey_def",
         {}},
        {"transfer dialog, hotkey table",
         showModal<format_def>(),
         {{"format_def", click("cmdHotkey")}},
         "format_def",
         "actionkey_def",
         {}},
        {"transfer dialog, timer",
         showModal<format_def>(),
         {{"format_def",
           [](QWidget &w) {
               click("modus(2)")(w);
               click("Command2")(w);
           }}},
         "format_def",
         "timer_def",
         {}},
        {"transfer dialog, target page",
         showModal<format_def>(),
         {{"format_def", click("Command1")}},
         "format_def",
         "select_target",
         {}},
        {"transfer dialog, target detail page",
         showModal<format_def>(),
         {{"format_def", click("Command1")},
          {"select_target",
           [](QWidget &w) {
               w.findChild<QComboBox *>("cboTarget")->setCurrentIndex(2);
               click("cmdGoOn")(w);
           }}},
         "format_def",
         "select_ExcelFile",
         {}},
        {"transfer dialog, limit message",
         showModal<format_def>(),
         {{"format_def", type("UTG", "x")}},
         "format_def",
         nullptr,
         {"message"}},
        {"transfer dialog OK, long template message",
         showModal<format_def>(),
         {{"format_def",
           [](QWidget &w) {
               w.findChild<QPlainTextEdit *>("ausgabe_string")->setPlainText(QString(200, 'x'));
               click("OK")(w);
           }}},
         "format_def",
         nullptr,
         {"message"}},
        {"wizard transfer dialog, template editor",
         [](App &app) { app.form<select_target>().exec(); },
         {{"select_target",
           [](QWidget &w) {
               w.findChild<QComboBox *>("cboTarget")->setCurrentIndex(2);
               click("cmdGoOn")(w);
           }},
          {"select_ExcelFile", click("cmdGoOn")},
          {"messwert_def", click("cmdCancel")},
          {"format_def", click("Ausgabe_def")}},
         "format_def",
         "Tasten",
         {"save"}},
        {"wizard telegram dialog OK, transfer dialog's limit message",
         [](App &app) {
             app.settings.OTG = QStringLiteral("viel");
             messwert_def &telegram = app.form<messwert_def>();
             setTag(&telegram, QStringLiteral("select_target"));
             telegram.exec();
         },
         {{"messwert_def", click("cmdOK")}},
         "messwert_def",
         nullptr,
         {"message"}},
        {"command table, caption editor",
         showModal<getkey_def>(),
         {{"getkey_def", click("Command1(2)")}},
         "getkey_def",
         "getButtonText",
         {}},
        {"command table, comma message",
         showModal<getkey_def>(),
         {{"getkey_def", typeAndClick("Text4(1)", "S,T", "Command2")}},
         "getkey_def",
         nullptr,
         {"message"}},
        {"hotkey table, comma message",
         showModal<actionkey_def>(),
         {{"actionkey_def", typeAndClick("Combo1(3)", "CTRL,ALT", "Command2")}},
         "actionkey_def",
         nullptr,
         {"message"}},
        {"caption editor, comma message",
         showModal<getButtonText>(),
         {{"getButtonText", typeAndClick("Text", "Tara, netto", "Command1")}},
         "getButtonText",
         nullptr,
         {"message"}},
        {"template editor, parameter input",
         showModal<Tasten>(),
         {{"Tasten", click("Command2")}},
         "Tasten",
         nullptr,
         {"input"}},
        {"template editor OK, long template message",
         showModal<Tasten>(),
         {{"Tasten",
           [](QWidget &w) {
               w.findChild<QLineEdit *>("ausgabe_string")->setText(QString(200, 'x'));
               click("Command1")(w);
           }}},
         "Tasten",
         nullptr,
         {"message"}},
        {"timer, check message",
         showModal<timer_def>(),
         {{"timer_def", typeAndClick("Stunden", "x", "OK")}},
         "timer_def",
         nullptr,
         {"message"}},
        {"display mode, density message",
         showModal<Anzeige>(),
         {{"Anzeige", typeAndClick("dichte", "0", "cmdOK")}},
         "Anzeige",
         nullptr,
         {"message"}},
        {"Excel page, file dialog",
         showModal<select_ExcelFile>(),
         {{"select_ExcelFile", click("cmdOpen")}},
         "select_ExcelFile",
         nullptr,
         {"open"}},
        {"DDE page, write message",
         showModal<select_DDEParameter>(),
         {{"select_DDEParameter", click("cmdGoOn")}},
         "select_DDEParameter",
         nullptr,
         {"message"}},
    };
    return all;
}

// Closes opener as a screen reader would: from an event handled in the nested
// loop of the window or box it opened. What the settings hold then is written
// into file.
bool closeFromOutside(App &app, const QPointer<QWidget> &opener, const QString &file)
{
    const bool saved = Einstellungen_speichern(app, file) == SaveResult::Saved;
    QTimer::singleShot(0, [opener] {
        if (auto *dialog = qobject_cast<QDialog *>(opener.data()))
            dialog->reject();
    });
    return saved;
}

} // namespace

class tst_nested_modal : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); }
    void openerClosedUnderChild_data();
    void openerClosedUnderChild();
};

void tst_nested_modal::openerClosedUnderChild_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < cases().size(); ++i)
        QTest::newRow(cases()[i].name) << i;
}

// Nothing runs on the closed window afterwards: no crash (the sanitizer build
// sees any use of it), no further prompt, the settings as they stood when the
// window was closed, and the window deleted in the end.
void tst_nested_modal::openerClosedUnderChild()
{
    QFETCH(int, index);
    const Case &c = cases()[index];
    TestApp t;
    readSettingsRecord(t.app, QString());
    for (const QString &key : LanguageTexts::keys())
        *t.app.texts.text(key) = key;
    // A folder cannot take the DDE page's settings section: its OK says so.
    t.app.CfgPath = t.folder.path();
    if (c.prompts == QStringList{"open"})
        t.prompts.fileAnswers = {t.path("chosen.xlsx")};

    QPointer<QWidget> opener;
    bool savedBefore = false;
    ModalScript script;
    for (const Step &step : c.path)
        script.then(QString::fromLatin1(step.window), [&, step](QWidget *window) {
            if (window->objectName() == QLatin1String(c.opener))
                opener = window;
            step.action(*window);
        });
    if (c.child) {
        script.then(QString::fromLatin1(c.child), [&](QWidget *child) {
            savedBefore = closeFromOutside(t.app, opener, t.path("before.cfg"));
            QTimer::singleShot(kChildLingersMs, child, &QWidget::close);
        });
    } else {
        t.prompts.onPrompt = [&](const ScriptedPrompts::Shown &) {
            if (!opener || t.prompts.shown.size() != 1)
                return;
            // The box's own loop.
            QEventLoop loop;
            savedBefore = closeFromOutside(t.app, opener, t.path("before.cfg"));
            QTimer::singleShot(kChildLingersMs, &loop, &QEventLoop::quit);
            loop.exec();
        };
    }

    c.open(t.app);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    QCOMPARE(script.faults, QStringList());
    QVERIFY(script.allStepsDone());
    QVERIFY(savedBefore);
    QVERIFY2(opener.isNull(), "the closed window was never deleted");
    QCOMPARE(t.prompts.kinds(), c.prompts);
    QVERIFY(Einstellungen_speichern(t.app, t.path("after.cfg")) == SaveResult::Saved);
    QCOMPARE(readFileBytes(t.path("after.cfg")), readFileBytes(t.path("before.cfg")));
}

QTEST_MAIN(tst_nested_modal)
#include "tst_nested_modal.moc"
