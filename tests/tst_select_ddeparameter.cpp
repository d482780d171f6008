#include "core/app.h"
#include "core/mainform/mainform.h"
#include "core/settings/settings.h"
#include "dialogs/select_ddeparameter.h"
#include "platform/ini/ini_file.h"
#include "platform/vb/vb_timer.h"
#include "tests/support/dialog_checks.h"
#include "tests/support/file_bytes.h"
#include "tests/support/recording_key_state.h"
#include "tests/support/test_app.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// A blank, "[RUN(", a double quote, "getdata", a double quote, ")]": 17 characters.
// Stands for a folder in the settings file's place.
const QByteArray kFolder = "<folder>";
const QString kDefaultCommand =
    QStringLiteral(" [RUN(") + QChar(34) + QStringLiteral("getdata") + QChar(34) + ")]";

struct Link {
    QString anwend;
    QString topic;
    QString befehl;
    bool operator==(const Link &) const = default;
};

char *toString(const Link &link)
{
    return QTest::toString(QStringLiteral("{%1|%2|%3}").arg(link.anwend, link.topic, link.befehl));
}

Link recordOf(const App &app)
{
    return {app.settings.anwend, app.settings.topic, app.settings.befehl};
}

void setRecord(App &app, const Link &link)
{
    app.settings.anwend = link.anwend;
    app.settings.topic = link.topic;
    app.settings.befehl = link.befehl;
}

QLineEdit *box(QWidget &dialog, const char *name)
{
    return dialog.findChild<QLineEdit *>(QLatin1String(name));
}

QPushButton *button(QWidget &dialog, const char *name)
{
    return dialog.findChild<QPushButton *>(QLatin1String(name));
}

Link boxesOf(QWidget &dialog)
{
    return {box(dialog, "appl")->text(), box(dialog, "comtopic")->text(),
            box(dialog, "befehl")->text()};
}

// Types into the three boxes as a user would (ASCII only).
void type(QWidget &dialog, const Link &link)
{
    const std::pair<const char *, QString> boxes[] = {
        {"appl", link.anwend}, {"comtopic", link.topic}, {"befehl", link.befehl}};
    for (const auto &[name, text] : boxes) {
        QLineEdit *edit = box(dialog, name);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
}

// The default instance, opened as its callers open it (start-up runs on loading).
select_DDEParameter &open(App &app)
{
    return app.form<select_DDEParameter>();
}

// Lets the unloaded window be deleted, as the event loop would.
void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

enum class Close { Cancel, CloseCommand, Escape };

} // namespace

class SelectDdeParameterTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void texts_data();
    void texts();
    void opening_data();
    void opening();
    void ok_data();
    void ok();
    void okLeavesNothingForExit();
    void closeWritesNothing_data();
    void closeWritesNothing();
    void noSettingsFile_data();
    void noSettingsFile();
    void failedWriteReported_data();
    void failedWriteReported();
    void menuOpensModally();
};

void SelectDdeParameterTest::init()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

void SelectDdeParameterTest::texts_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QStringList>("captions"); // window, appltext, comtopictext, befehltext,
                                               // cmdGoOn, cmdCancel

    QTest::newRow("German") << QStringLiteral("DEUTSCH")
                            << QStringList{"DDE-Verbindung", "Anwendung", "Topic",
                                           "Befehl",         "&OK",       "&Abbrechen"};
    QTest::newRow("English") << QStringLiteral("ENGLISH")
                             << QStringList{"DDE link", "Application", "Topic",
                                            "Command",  "&OK",         "&Cancel"};
}

// Captions come from the language texts, the hint is fixed; nothing is cut off,
// every box has an accessible name, and Enter presses no button.
void SelectDdeParameterTest::texts()
{
    QFETCH(QString, language);
    QFETCH(QStringList, captions);

    TestApp t;
    QVERIFY(loadShippedLanguage(t.app, language));
    select_DDEParameter &dialog = open(t.app);

    const QStringList shown{
        dialog.windowTitle(),
        dialog.findChild<QLabel *>(QStringLiteral("appltext"))->text(),
        dialog.findChild<QLabel *>(QStringLiteral("comtopictext"))->text(),
        dialog.findChild<QLabel *>(QStringLiteral("befehltext"))->text(),
        button(dialog, "cmdGoOn")->text(),
        button(dialog, "cmdCancel")->text(),
    };
    QCOMPARE(shown, captions);
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("txtTipps"))->text(),
             QStringLiteral("Bitte geben Sie die DDE-Kommunikationsparameter ein. Die Angaben für "
                            "Anwendung, Topic und Makroname entnehmen Sie bitte der Beschreibung "
                            "Ihrer Zielanwendung."));
    QCOMPARE(cutOffTexts(&dialog), QStringList());
    QVERIFY(dialog.isModal());

    const QStringList names{captions[1], captions[2], captions[3]};
    const char *boxes[] = {"appl", "comtopic", "befehl"};
    for (int i = 0; i < 3; ++i) {
        QAccessibleInterface *accessible =
            QAccessible::queryAccessibleInterface(box(dialog, boxes[i]));
        QVERIFY(accessible);
        QCOMPARE(accessible->text(QAccessible::Name), names[i]);
    }
    for (const char *name : {"cmdGoOn", "cmdCancel"}) {
        QVERIFY2(!button(dialog, name)->autoDefault(), name);
        QVERIFY2(!button(dialog, name)->isDefault(), name);
    }
    // The default command shows whole in its box.
    QLineEdit *command = box(dialog, "befehl");
    QVERIFY(command->width() > command->fontMetrics().horizontalAdvance(kDefaultCommand));
}

void SelectDdeParameterTest::opening_data()
{
    QTest::addColumn<QByteArray>("content"); // null: the settings file is missing
    QTest::addColumn<Link>("shown");

    const Link defaults{QStringLiteral("Excel"), QStringLiteral("System"), kDefaultCommand};
    QTest::newRow("values from the file")
        << QByteArray("[DDECONN]\r\nanwend=WinWord\r\ntopic=Dokument1\r\n"
                      "befehl=[RUN(\"makro\")]\r\n")
        << Link{"WinWord", "Dokument1", "[RUN(\"makro\")]"};
    QTest::newRow("no section") << QByteArray("[Port settings]\r\nbaud=9600\r\n") << defaults;
    QTest::newRow("empty and blank values")
        << QByteArray("[ddeconn]\r\nANWEND=\r\ntopic=\" \"\r\nbefehl=   \r\n") << defaults;
    QTest::newRow("one value blank")
        << QByteArray("[DDECONN]\r\nanwend=WinWord\r\ntopic=Dokument1\r\n")
        << Link{"WinWord", "Dokument1", kDefaultCommand};
    QTest::newRow("file missing") << QByteArray() << defaults;
    QTest::newRow("NUL ends a value")
        << QByteArray("[DDECONN]\r\nanwend=Fremd") + '\0' + "x\r\ntopic=Mappe\r\n"
        << Link{"Fremd", "Mappe", kDefaultCommand};
    // A file that cannot be read must not reset what is in memory to the defaults.
    QTest::newRow("a folder") << kFolder << Link{"Word", "Memory", "[memory]"};
}

// Opening re-reads the file, replacing the record; blanks become the start
// defaults in the record too; the file is not touched.
void SelectDdeParameterTest::opening()
{
    QFETCH(QByteArray, content);
    QFETCH(Link, shown);

    TestApp t;
    t.app.CfgPath = t.path(QStringLiteral("mine.cfg"));
    if (content == kFolder)
        QVERIFY(QDir().mkdir(t.app.CfgPath));
    else if (!content.isNull())
        t.writeFile(QStringLiteral("mine.cfg"), content);
    setRecord(t.app, {"Word", "Memory", "[memory]"});

    select_DDEParameter &dialog = open(t.app);

    QCOMPARE(boxesOf(dialog), shown);
    QCOMPARE(recordOf(t.app), shown);
    QCOMPARE(QFile::exists(t.app.CfgPath), !content.isNull());
    if (!content.isNull() && content != kFolder)
        QCOMPARE(readFileBytes(t.app.CfgPath), content);
    QVERIFY(t.prompts.shown.isEmpty());
}

void SelectDdeParameterTest::ok_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<Link>("typed");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<Link>("reopened");

    QTest::newRow("section appended, keys in order")
        << QByteArray("[Port settings]\r\nbaud=9600\r\n") << Link{"WinWord", "Doc1", "[Makro1]"}
        << QByteArray("[Port settings]\r\nbaud=9600\r\n[DDECONN]\r\nanwend=WinWord\r\n"
                      "topic=Doc1\r\nbefehl=[Makro1]\r\n")
        << Link{"WinWord", "Doc1", "[Makro1]"};
    QTest::newRow("values replaced in place, command empty")
        << QByteArray("[DDECONN]\r\nanwend=Excel\r\ntopic=System\r\nbefehl=[alt]\r\n"
                      "[Gauge]\r\nstr_len=12\r\n")
        << Link{"Excel", "Mappe1.xlsx", ""}
        << QByteArray("[DDECONN]\r\nanwend=Excel\r\ntopic=Mappe1.xlsx\r\nbefehl=\r\n"
                      "[Gauge]\r\nstr_len=12\r\n")
        << Link{"Excel", "Mappe1.xlsx", kDefaultCommand};
    QTest::newRow("blanks stored as they stand")
        << QByteArray("[DDECONN]\n") << Link{"  ", " Doc1 ", "x"}
        << QByteArray("[DDECONN]\nanwend=  \ntopic= Doc1 \nbefehl=x\n")
        << Link{"Excel", "Doc1", "x"};
    const QByteArray nul = QByteArray("; ") + '\0' + "\r\n";
    QTest::newRow("NUL line kept")
        << "[DDECONN]\r\nanwend=Excel\r\n" + nul << Link{"Excel", "T", "B"}
        << "[DDECONN]\r\nanwend=Excel\r\ntopic=T\r\nbefehl=B\r\n" + nul << Link{"Excel", "T", "B"};
    QTest::newRow("new file") << QByteArray() << Link{"Excel", "System", "[RUN(\"go\")]"}
                              << QByteArray("[DDECONN]\r\nanwend=Excel\r\ntopic=System\r\n"
                                            "befehl=[RUN(\"go\")]\r\n")
                              << Link{"Excel", "System", "[RUN(\"go\")]"};
}

// OK takes the boxes as they stand into the record, writes section DDECONN into
// the settings file at once, leaves abbruch alone and unloads the dialog; the
// next opening reads the file back.
void SelectDdeParameterTest::ok()
{
    QFETCH(QByteArray, before);
    QFETCH(Link, typed);
    QFETCH(QByteArray, after);
    QFETCH(Link, reopened);

    TestApp t;
    t.app.CfgPath = t.path(QStringLiteral("mine.cfg"));
    if (!before.isNull())
        t.writeFile(QStringLiteral("mine.cfg"), before);
    t.app.abbruch = true;

    select_DDEParameter &dialog = open(t.app);
    type(dialog, typed);
    button(dialog, "cmdGoOn")->click();

    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(recordOf(t.app), typed);
    QCOMPARE(readFileBytes(t.app.CfgPath), after);
    QVERIFY(t.app.abbruch);
    QVERIFY(!t.app.isLoaded<select_DDEParameter>());
    QVERIFY(t.prompts.shown.isEmpty());
    settle();

    QCOMPARE(boxesOf(open(t.app)), reopened);
}

// What OK writes is what saving the settings writes, so exit finds the settings
// file unchanged and asks nothing.
void SelectDdeParameterTest::okLeavesNothingForExit()
{
    TestApp t;
    const QString file = t.path(QStringLiteral("mine.cfg"));
    QCOMPARE(Einstellungen_speichern(t.app, file), SaveResult::Saved);
    t.app.CfgPath = file;

    select_DDEParameter &dialog = open(t.app);
    box(dialog, "comtopic")->setText(QStringLiteral("Mappe 1.xlsx"));
    button(dialog, "cmdGoOn")->click();
    QCOMPARE(t.app.settings.befehl, kDefaultCommand);

    const QString scratch = t.path(QStringLiteral("tmp.cfg"));
    QVERIFY(QFile::copy(file, scratch));
    QCOMPARE(Einstellungen_speichern(t.app, scratch), SaveResult::Saved);
    QVERIFY(fnDateienGleich(scratch, file));
}

void SelectDdeParameterTest::closeWritesNothing_data()
{
    QTest::addColumn<int>("how");
    QTest::addColumn<bool>("abbruch");

    QTest::newRow("cancel") << int(Close::Cancel) << true;
    QTest::newRow("window's close command") << int(Close::CloseCommand) << false;
    QTest::newRow("Escape") << int(Close::Escape) << false;
}

// Cancel sets abbruch, the close command leaves it; neither writes, and the start
// defaults stay in the record.
void SelectDdeParameterTest::closeWritesNothing()
{
    QFETCH(int, how);
    QFETCH(bool, abbruch);

    TestApp t;
    const QByteArray content = "[DDECONN]\r\nanwend=  \r\ntopic=Doc1\r\nbefehl=[M]\r\n";
    t.app.CfgPath = t.writeFile(QStringLiteral("mine.cfg"), content);
    t.app.abbruch = false;

    select_DDEParameter &dialog = open(t.app);
    dialog.show();
    QCOMPARE(box(dialog, "appl")->text(), QStringLiteral("Excel"));
    type(dialog, {"Changed", "Changed", "Changed"});
    switch (Close(how)) {
    case Close::Cancel:
        button(dialog, "cmdCancel")->click();
        break;
    case Close::CloseCommand:
        dialog.close();
        break;
    case Close::Escape:
        QTest::keyClick(box(dialog, "befehl"), Qt::Key_Escape);
        break;
    }

    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(t.app.abbruch, abbruch);
    QCOMPARE(recordOf(t.app), (Link{"Excel", "Doc1", "[M]"}));
    QCOMPARE(readFileBytes(t.app.CfgPath), content);
    QVERIFY(!t.app.isLoaded<select_DDEParameter>());
    settle();
}

void SelectDdeParameterTest::noSettingsFile_data()
{
    QTest::addColumn<Link>("memory");
    QTest::addColumn<Link>("shown");

    QTest::newRow("values in memory kept")
        << Link{"WinWord", "Doc1", "[M]"} << Link{"WinWord", "Doc1", "[M]"};
    QTest::newRow("blank values get the defaults")
        << Link{"", " ", ""} << Link{"Excel", "System", kDefaultCommand};
}

// Without a current settings file the dialog works on the record alone: nothing
// is read over it, nothing is written anywhere, and the next opening shows what
// OK stored.
void SelectDdeParameterTest::noSettingsFile()
{
    QFETCH(Link, memory);
    QFETCH(Link, shown);

    TestApp t;
    t.app.CfgPath.clear();
    setRecord(t.app, memory);
    const QStringList filesBefore = QDir(t.folder.path()).entryList(QDir::Files);

    select_DDEParameter &dialog = open(t.app);
    QCOMPARE(boxesOf(dialog), shown);
    QCOMPARE(recordOf(t.app), shown);

    const Link typed{"Calc", "Tabelle1", "[Hole]"};
    type(dialog, typed);
    button(dialog, "cmdGoOn")->click();
    QCOMPARE(recordOf(t.app), typed);
    settle();
    QCOMPARE(boxesOf(open(t.app)), typed);

    QCOMPARE(QDir(t.folder.path()).entryList(QDir::Files), filesBefore);
    QVERIFY(t.prompts.shown.isEmpty());
}

void SelectDdeParameterTest::failedWriteReported_data()
{
    QTest::addColumn<QString>("kind"); // what stands at the settings file's path
    QTest::addColumn<QString>("command");

    QTest::newRow("line break in the command") << "file"
                                               << "[A]\n[B]";
    QTest::newRow("folder of the file missing") << "no folder"
                                                << "[A]";
    QTest::newRow("a folder") << "folder"
                              << "[A]";
}

// A write that fails leaves the file as it was and says why in a message box;
// the record still holds the values typed, so a later save can keep them.
void SelectDdeParameterTest::failedWriteReported()
{
    QFETCH(QString, kind);
    QFETCH(QString, command);

    TestApp t;
    QByteArray content;
    if (kind == QLatin1String("file")) {
        content = "[DDECONN]\r\nanwend=Excel\r\n";
        t.app.CfgPath = t.writeFile(QStringLiteral("mine.cfg"), content);
    } else if (kind == QLatin1String("folder")) {
        t.app.CfgPath = t.path(QStringLiteral("mine.cfg"));
        QVERIFY(QDir().mkdir(t.app.CfgPath));
    } else {
        t.app.CfgPath = t.path(QStringLiteral("gone/mine.cfg"));
    }

    select_DDEParameter &dialog = open(t.app);
    box(dialog, "appl")->setText(QStringLiteral("WinWord"));
    box(dialog, "befehl")->setText(command);
    button(dialog, "cmdGoOn")->click();

    QCOMPARE(t.prompts.shown.size(), 1);
    QVERIFY2(t.prompts.shown[0].text.startsWith(t.app.CfgPath + QStringLiteral(": ")),
             qPrintable(t.prompts.shown[0].text));
    QCOMPARE(t.app.settings.anwend, QStringLiteral("WinWord"));
    QCOMPARE(t.app.settings.befehl, command);
    if (!content.isEmpty())
        QCOMPARE(readFileBytes(t.app.CfgPath), content);
    else
        QVERIFY(!QFileInfo(t.app.CfgPath).isFile());
    QVERIFY(!t.app.isLoaded<select_DDEParameter>());
    settle();
}

// The DDE menu item shows the dialog modally with the main timer disabled; the
// key states are read only after it closed, so keys pressed meanwhile press no
// button; then the timer runs again.
void SelectDdeParameterTest::menuOpensModally()
{
    TestApp t;
    auto keys = std::make_unique<RecordingKeyState>();
    RecordingKeyState &keyState = *keys;
    t.app.installKeyState(std::move(keys));
    t.app.settings.Hotkeys[0] = {QString(), QStringLiteral("CTRL"), QStringLiteral("F5")};
    t.app.settings.Action[0] = {QString(), QStringLiteral("ALT"), QStringLiteral("F6")};
    t.app.CfgPath = t.writeFile(QStringLiteral("mine.cfg"), "[DDECONN]\r\n");
    mainform &mw = t.app.mainWindow();
    mw.Timer1().setInterval(10);

    bool shown = false;
    bool timerStopped = false;
    qsizetype queriesWhileOpen = -1;
    QTimer driver;
    driver.setInterval(10);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog || dialog->objectName() != QLatin1String("select_DDEParameter"))
            return;
        driver.stop();
        shown = true;
        timerStopped = !mw.Timer1().isRunning();
        queriesWhileOpen = keyState.queries.size();
        keyState.press({17, 116, 18, 117});
        keyState.releaseAll();
        box(*dialog, "appl")->setText(QStringLiteral("WinWord"));
        button(*dialog, "cmdGoOn")->click();
    });
    driver.start();
    mw.menuItem(QStringLiteral("dde_conn"))->trigger();

    QVERIFY(shown);
    QVERIFY(timerStopped);
    QCOMPARE(queriesWhileOpen, 0);
    QCOMPARE(keyState.queries, (QList<int>{17, 116, 18, 117}));
    QVERIFY(keyState.pressedSince.isEmpty());
    QVERIFY(mw.Timer1().isRunning());
    QCOMPARE(t.app.settings.anwend, QStringLiteral("WinWord"));
    QCOMPARE(ini::readValue(t.app.CfgPath, QStringLiteral("DDECONN"), QStringLiteral("anwend"),
                            QString()),
             QStringLiteral("WinWord"));
    QVERIFY(!t.app.isLoaded<select_DDEParameter>());
    settle();
}

QTEST_MAIN(SelectDdeParameterTest)
#include "tst_select_ddeparameter.moc"
