#include "core/app.h"
#include "core/mainform/control_tag.h"
#include "core/settings/settings.h"
#include "dialogs/actionkey_def.h"
#include "dialogs/format_def.h"
#include "dialogs/getkey_def.h"
#include "dialogs/messwert_def.h"
#include "dialogs/select_accessfile.h"
#include "dialogs/select_ddeparameter.h"
#include "dialogs/select_excelfile.h"
#include "dialogs/select_settings.h"
#include "dialogs/select_textfile.h"
#include "dialogs/timer_def.h"
#include "tests/support/dialog_checks.h"
#include "tests/support/file_bytes.h"
#include "tests/support/test_app.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include <array>

// Every dialog that stores a value the user types checks it against what the
// settings file gives back (199 characters): a value, or a table row as it is
// joined, of 199 characters is stored and comes back whole after a restart; one
// of 200 is refused with a message naming the field, and nothing is stored.

namespace {

using Stored = QString (*)(const SettingsRecord &);

struct Field {
    const char *window;
    const char *box;
    const char *okButton;
    Stored stored;
    int rest;            // characters the rest of the stored row takes beside this field
    QChar fill;          // what the field is filled with ('1' where a number is checked)
    const char *prefix;  // typed before the stored part ("COM" of a port entry)
    bool reopenShows;    // the window shows the stored value when opened again
    const char *german;  // the field's name in the message (the telegram, port and
    const char *english; // file pages have fixed German texts)
};

// Default rows: an Action row stores ",,,<command>,,0", a Hotkeys row ",,,".
const std::array<Field, 18> kFields{{
    {"format_def", "OTG", "OK", [](const SettingsRecord &s) { return s.OTG; }, 0, u'1', "", true,
     "OTG", "Max"},
    {"format_def", "UTG", "OK", [](const SettingsRecord &s) { return s.UTG; }, 0, u'1', "", true,
     "UTG", "Min"},
    {"format_def", "anwendung_set", "OK", [](const SettingsRecord &s) { return s.anwendung; }, 0,
     u'x', "", true, "Ziel", "Target"},
    {"format_def", "ausgabe_string", "OK", [](const SettingsRecord &s) { return s.format; }, 0,
     u'x', "", true, "Datenausgabe", "Data output"},
    {"getkey_def", "Text4(2)", "Command2", [](const SettingsRecord &s) { return s.Action[2][4]; },
     6, u'x', "", true, "Taste 3, Befehl", "Button 3, Command"},
    {"getkey_def", "Combo1(10)", "Command2", [](const SettingsRecord &s) { return s.Action[2][2]; },
     6, u'x', "", true, "Taste 3, 2. Taste", "Button 3, 2nd key"},
    {"actionkey_def", "Combo1(17)", "Command2",
     [](const SettingsRecord &s) { return s.Hotkeys[1][3]; }, 3, u'x', "", true,
     "Taste 2 (T Start), 3. Taste", "Button 2 (T Start), 3rd key"},
    {"select_DDEParameter", "appl", "cmdGoOn", [](const SettingsRecord &s) { return s.anwend; }, 0,
     u'x', "", true, "Anwendung", "Application"},
    {"select_DDEParameter", "befehl", "cmdGoOn", [](const SettingsRecord &s) { return s.befehl; },
     0, u'x', "", true, "Befehl", "Command"},
    {"timer_def", "Stunden", "OK", [](const SettingsRecord &s) { return s.int_std; }, 0, u'1', "",
     true, "Intervall Std.", "Interval h"},
    {"timer_def", "sekunden", "OK", [](const SettingsRecord &s) { return s.int_sek; }, 0, u'1', "",
     true, "Intervall Sek.", "Interval s"},
    {"select_settings", "cboBaud", "cmdGoOn", [](const SettingsRecord &s) { return s.baud; }, 0,
     u'1', "", true, "Baud", "Baud"},
    {"select_settings", "cboCOM", "cmdGoOn", [](const SettingsRecord &s) { return s.portnum; }, 0,
     u'1', "COM", true, "Port", "Port"},
    {"messwert_def", "txt_reclen", "cmdOK", [](const SettingsRecord &s) { return s.str_len; }, 0,
     u'1', "", true, "Anzahl Zeichen", "Anzahl Zeichen"},
    {"messwert_def", "txt_endchar", "cmdOK", [](const SettingsRecord &s) { return s.str_endchar; },
     0, u'1', "", true, "Abschlusszeichen", "Abschlusszeichen"},
    {"select_ExcelFile", "txtExcelFile", "cmdGoOn",
     [](const SettingsRecord &s) { return s.ExcelFile; }, 0, u'x', "", false, "Excel-Datei",
     "Excel-Datei"},
    {"select_TextFile", "txtTextFile", "cmdGoOn",
     [](const SettingsRecord &s) { return s.TextFile; }, 0, u'x', "", false, "Text-Datei",
     "Text-Datei"},
    {"select_AccessFile", "cboTables", "cmdGoOn",
     [](const SettingsRecord &s) { return s.AccessTable; }, 0, u'x', "", false, "Tabelle",
     "Tabelle"},
}};

QString tooLongMessage(const QString &language, const QString &name, int room)
{
    const QString sentence =
        language == QLatin1String("DEUTSCH")
            ? QStringLiteral("Der Eintrag ist zu lang: hier sind höchstens %1 Zeichen möglich.")
            : QStringLiteral("The entry is too long: at most %1 characters are possible here.");
    return name + QStringLiteral(":\n\n") + sentence.arg(room);
}

template <typename W> QDialog *loadShown(App &app)
{
    W &window = app.form<W>();
    window.show();
    return &window;
}

QDialog *openWindow(App &app, const QString &name)
{
    if (name == QLatin1String("select_settings")) {
        // Opened from the menu: Ok stores and closes.
        setTag(&app.form<select_settings>(), QStringLiteral("mainform"));
        return loadShown<select_settings>(app);
    }
    const QList<QPair<QString, QDialog *(*)(App &)>> openers{
        {QStringLiteral("format_def"), &loadShown<format_def>},
        {QStringLiteral("getkey_def"), &loadShown<getkey_def>},
        {QStringLiteral("actionkey_def"), &loadShown<actionkey_def>},
        {QStringLiteral("select_DDEParameter"), &loadShown<select_DDEParameter>},
        {QStringLiteral("timer_def"), &loadShown<timer_def>},
        {QStringLiteral("messwert_def"), &loadShown<messwert_def>},
        {QStringLiteral("select_ExcelFile"), &loadShown<select_ExcelFile>},
        {QStringLiteral("select_TextFile"), &loadShown<select_TextFile>},
        {QStringLiteral("select_AccessFile"), &loadShown<select_AccessFile>},
    };
    for (const auto &[window, open] : openers)
        if (window == name) {
            QDialog *dialog = open(app);
            QApplication::setActiveWindow(dialog);
            return dialog;
        }
    return nullptr;
}

// The port page builds its port list (and shows the stored port) a moment after loading.
bool portListBuilt(QDialog *dialog)
{
    auto *ports = dialog->findChild<QComboBox *>(QStringLiteral("cboCOM"));
    return !ports || ports->count() > 0;
}

QString textOf(QWidget *box)
{
    if (auto *edit = qobject_cast<QLineEdit *>(box))
        return edit->text();
    if (auto *combo = qobject_cast<QComboBox *>(box))
        return combo->currentText();
    return qobject_cast<QPlainTextEdit *>(box)->toPlainText();
}

void setTextOf(QWidget *box, const QString &text)
{
    if (auto *edit = qobject_cast<QLineEdit *>(box))
        edit->setText(text);
    else if (auto *combo = qobject_cast<QComboBox *>(box))
        combo->setEditText(text);
    else
        qobject_cast<QPlainTextEdit *>(box)->setPlainText(text);
}

bool hasFocusIn(QWidget *box)
{
    QWidget *focus = QApplication::focusWidget();
    return focus && (focus == box || box->isAncestorOf(focus));
}

// A program started on the settings file (the defaults while it is missing) with
// a shipped language and no COM port, so the port page lists only TCP/IP.
struct Program {
    TestApp t;
    bool ready = false;

    Program(const QString &language, const QString &settingsFile)
    {
        QByteArray ports = "[ports]\r\n";
        for (int n = 1; n <= 32; ++n)
            ports += "COM" + QByteArray::number(n) + "=/nonexistent/tty\r\n";
        t.writeFile(QStringLiteral("mondrelquist.ini"), ports);
        t.app.CfgPath = settingsFile;
        if (!loadShippedLanguage(t.app, language))
            return;
        const UnreadableFiles unreadable = readSettingsRecord(t.app, settingsFile);
        ready = unreadable.settingsFile.isEmpty() && unreadable.mondrelquistIni.isEmpty();
    }

    // Saves the record into the settings file as the save dialog does (replacing it).
    bool save() { return Einstellungen_speichern(t.app, t.app.CfgPath) == SaveResult::Saved; }
};

void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class tst_stored_values : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); }
    void valueUpToTheLimit_data();
    void valueUpToTheLimit();
};

void tst_stored_values::valueUpToTheLimit_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("storedLength");
    for (int f = 0; f < int(kFields.size()); ++f)
        for (const char *language : {"DEUTSCH", "ENGLISH"})
            for (int length : {199, 200})
                QTest::addRow("%s %s, %d, %s", kFields[f].window, kFields[f].box, length, language)
                    << f << QString::fromLatin1(language) << length;
}

void tst_stored_values::valueUpToTheLimit()
{
    QFETCH(int, field);
    QFETCH(QString, language);
    QFETCH(int, storedLength);
    const Field &f = kFields[field];
    const QString window = QString::fromLatin1(f.window);
    const QString value(storedLength - f.rest, f.fill);
    const QString typed = QString::fromLatin1(f.prefix) + value;

    QTemporaryDir folder;
    const QString settingsFile = folder.filePath(QStringLiteral("mq.cfg"));
    Program program(language, settingsFile);
    QVERIFY(program.ready);
    App &app = program.t.app;
    QPointer<QDialog> dialog = openWindow(app, window);
    QVERIFY(dialog);
    QTRY_VERIFY(portListBuilt(dialog));
    // What loading the window stored (the DDE defaults, flags set again) is the baseline.
    QVERIFY(program.save());
    const QByteArray before = readFileBytes(settingsFile);
    const QString storedBefore = f.stored(app.settings);
    program.t.prompts.shown.clear();

    auto *box = dialog->findChild<QWidget *>(QString::fromLatin1(f.box));
    QVERIFY(box);
    setTextOf(box, typed);
    QTest::mouseClick(dialog->findChild<QAbstractButton *>(QString::fromLatin1(f.okButton)),
                      Qt::LeftButton);
    settle();

    if (storedLength > 199) {
        const QString name =
            QString::fromUtf8(language == QLatin1String("DEUTSCH") ? f.german : f.english);
        QCOMPARE(program.t.prompts.messages(),
                 QStringList{tooLongMessage(language, name, 199 - f.rest)});
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(hasFocusIn(box));
        QCOMPARE(f.stored(app.settings), storedBefore);
        // The DDE dialog writes the file itself at OK.
        QCOMPARE(readFileBytes(settingsFile), before);
        dialog->reject();
        settle();
        QVERIFY(program.save());
        QCOMPARE(readFileBytes(settingsFile), before);
        return;
    }

    QCOMPARE(program.t.prompts.messages(), QStringList());
    QVERIFY(!dialog);
    QCOMPARE(f.stored(app.settings), value);
    QVERIFY(program.save());

    Program restarted(language, settingsFile);
    QVERIFY(restarted.ready);
    QCOMPARE(f.stored(restarted.t.app.settings), value);
    if (!f.reopenShows)
        return;
    QDialog *reopened = openWindow(restarted.t.app, window);
    QTRY_VERIFY(portListBuilt(reopened));
    QCOMPARE(textOf(reopened->findChild<QWidget *>(QString::fromLatin1(f.box))), typed);
    QCOMPARE(restarted.t.prompts.messages(), QStringList());
}

QTEST_MAIN(tst_stored_values)
#include "tst_stored_values.moc"
