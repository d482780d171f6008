#include "core/language/language.h"
#include "core/mainform/mainform.h"
#include "core/mainform/panel_bar.h"
#include "core/settings/settings.h"
#include "core/settings/settings_tables.h"
#include "platform/ini/ini_file.h"
#include "platform/ports/serial_port.h"
#include "platform/vb/vb_runtime.h"
#include "tests/support/file_bytes.h"
#include "tests/support/helper_process.h"
#include "tests/support/test_app.h"

#include "tests/support/pty_pair.h"

#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Every field of the record as "name=value", so two records compare as lists.
QStringList dump(const SettingsRecord &s)
{
    QStringList out{s.baud,       s.parity,       s.handshake,
                    s.databit,    s.stopbit,      s.portnum,
                    s.tcpip,      s.tcpport,      s.anwendung,
                    s.format,     s.ExcelFile,    s.TextFile,
                    s.AccessFile, s.AccessTable,  s.modus,
                    s.prot,       s.int_modus,    s.anz_mess,
                    s.d_start,    s.d_end,        s.t_start,
                    s.t_end,      s.activ,        s.int_std,
                    s.int_min,    s.int_sek,      s.entlastung,
                    s.stillstand, s.OTG,          s.UTG,
                    s.TRZ,        s.str_len,      s.str_endchar,
                    s.st_kennung, s.anwend,       s.topic,
                    s.befehl,     s.anzeigemodus, QString::number(s.st_dichte)};
    for (qint16 c : {s.mw_start, s.mw_end, s.mw_sign_anf, s.mw_sign_end, s.eh_start, s.eh_end,
                     s.mw_still_anf, s.mw_still_end})
        out << QString::number(c);
    for (int i = 1; i <= 10; ++i)
        out << QString::number(s.ID_anf[i]) << QString::number(s.ID_end[i]);
    for (int i = 0; i <= 7; ++i)
        out << joinHotkeyRow(s.Hotkeys[i]) << joinActionRow(s.Action[i]);
    for (const auto &row : s.AppList)
        out << row[1] + QLatin1Char('|') + row[2];
    return out;
}

// No COM port of the test machine may take part: map the numbers used to nothing.
void isolatePorts(const TestApp &t)
{
    t.writeFile(QStringLiteral("mondrelquist.ini"),
                "[waittime]\r\nm_waittime=2.5\r\n[ports]\r\nCOM1=/nonexistent/ttyA\r\n"
                "COM2=/nonexistent/ttyB\r\n");
}

struct stat statOf(const QString &file)
{
    struct stat st {};
    if (::stat(QFile::encodeName(file).constData(), &st) != 0)
        st.st_ino = 0;
    return st;
}

mode_t modeOf(const QString &file)
{
    return statOf(file).st_mode & 07777;
}

bool setMode(const QString &file, mode_t mode)
{
    return ::chmod(QFile::encodeName(file).constData(), mode) == 0;
}

// Every entry of a folder, hidden ones too (scratch files start with ".").
QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// This binary's helper mode, for what must run as an ordinary user or must die
// half-way: "load FOLDER FILE" loads FILE with FOLDER as program folder; "save
// FOLDER FILE [LIMIT]" loads it, changes baud and saves over it (answering Yes),
// under a file size limit of LIMIT bytes when given, which kills the process in
// the middle of the save as a crash would. Prints "result=", "error=", "status="
// and "messages=" (the message boxes, "|" between them, line breaks as "\n").
int helperMain(const QStringList &args)
{
    ScriptedPrompts prompts;
    SystemClock clock;
    App app(args.at(2), prompts, clock);
    const QString &file = args.at(3);
    Einstellungen_laden(app, file);
    QTextStream out(stdout);
    if (args.at(1) == QLatin1String("save")) {
        app.settings.baud = QStringLiteral("4800");
        if (args.size() > 4) {
            std::signal(SIGXFSZ, SIG_DFL);
            const rlimit limit{args.at(4).toULong(), RLIM_INFINITY};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        QString error;
        const SaveResult result = Einstellungen_speichern(app, file, &error);
        out << "result=" << int(result) << "\nerror=" << error << "\n";
    }
    out << "status=" << app.mainWindow().Status()->panelText(1) << "\n";
    out << "messages=" << prompts.messages().join(QLatin1Char('|')).replace('\n', "\\n") << "\n";
    return 0;
}

const QString kScratchOfWaage = QStringLiteral("^\\.waage\\.cfg\\.mq-save-[A-Za-z0-9]{6}$");

} // namespace

class tst_settings : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void missingFileGivesDefaults();
    void loadsFullFile();
    void keyAliasesAndLimits();
    void splitsKeyRows_data();
    void splitsKeyRows();
    void readsApplicationList_data();
    void readsApplicationList();
    void badFilesLoadAsMissing_data();
    void badFilesLoadAsMissing();
    void roundTrip();
    void newFileHasSectionOrder();
    void overwriteAsksAndReplacesWhole();
    void declinedOverwriteLeavesFile();
    void scratchCopyKeepsForeignKeys();
    void failedSaveKeepsOldFile();
    void comparesFiles();
    void shippedFileIsAsSaved_data();
    void shippedFileIsAsSaved();
    void savingKeepsEncoding_data();
    void savingKeepsEncoding();
    void replacedFileStaysTheSame_data();
    void replacedFileStaysTheSame();
    void refusedValueWritesNothing_data();
    void refusedValueWritesNothing();
    void unreadableFileIsReported_data();
    void unreadableFileIsReported();
    void nulByteEndsItsLine();
    void unreadableWaitTimeFileIsReported();
    void permissionsOfOrdinaryUser_data();
    void permissionsOfOrdinaryUser();
    void crashedSaveIsCleanedUp();
};

void tst_settings::missingFileGivesDefaults()
{
    TestApp t;
    isolatePorts(t);
    t.app.settings.ID_anf[3] = 7;
    Einstellungen_laden(t.app, t.path(QStringLiteral("absent.cfg")));
    const SettingsRecord &s = t.app.settings;

    QCOMPARE(s.baud, QStringLiteral("9600"));
    QCOMPARE(s.parity, QStringLiteral("O"));
    QCOMPARE(s.portnum, QStringLiteral("2"));
    QCOMPARE(s.modus, QStringLiteral("PRINT"));
    QCOMPARE(s.entlastung, QStringLiteral("-1"));
    QCOMPARE(s.str_len, QStringLiteral("22"));
    QCOMPARE(s.str_endchar, QStringLiteral("10"));
    QCOMPARE(s.mw_start, qint16(11));
    QCOMPARE(s.mw_end, qint16(16));
    QCOMPARE(s.mw_sign_anf, qint16(7));
    QCOMPARE(s.eh_start, qint16(18));
    QCOMPARE(s.mw_still_end, qint16(19));
    QCOMPARE(s.ID_anf[3], qint16(7)); // " " is no number: the field keeps its value
    QCOMPARE(s.st_kennung, QStringLiteral(" "));
    QCOMPARE(s.anwend, QStringLiteral("Excel"));
    QCOMPARE(s.topic, QStringLiteral("System"));
    QCOMPARE(s.st_dichte, 1.0);
    QCOMPARE(joinActionRow(s.Action[0]), QStringLiteral(",,,,,0"));
    QCOMPARE(joinHotkeyRow(s.Hotkeys[7]), QStringLiteral(",,,"));
    QCOMPARE(s.AppList.size(), 1);
    QVERIFY(s.AppList[0][1].isEmpty() && s.AppList[0][2].isEmpty());
    QCOMPARE(s.d_start, vb::DateText(QDate::currentDate()));
    QCOMPARE(s.d_end, s.d_start);
    QVERIFY(vb::CTime(s.t_start).has_value());
    QCOMPARE(t.app.m_waittime, 2.5);

    mainform &mw = t.app.mainWindow();
    QCOMPARE(mw.windowTitle(), QStringLiteral("Mondrelquist Version 4.2"));
    QVERIFY(!mw.Command5(2)->isEnabled()); // not mode TIMER
    QCOMPARE(mw.Command5(7)->text(), QStringLiteral("O&ffline"));
    QCOMPARE(mw.Status1()->panelText(2), QString());
}

void tst_settings::loadsFullFile()
{
    TestApp t;
    isolatePorts(t);
    const QString file = QStringLiteral(MQ_SOURCE_DIR "/tests/fixtures/full.cfg");
    Einstellungen_laden(t.app, file);
    const SettingsRecord &s = t.app.settings;

    QCOMPARE(s.baud, QStringLiteral("19200"));
    QCOMPARE(s.anwendung, QStringLiteral("Editor"));
    QCOMPARE(s.format, QStringLiteral("{Messwert}{TAB}{Einheit}{ENTER}"));
    QCOMPARE(s.UTG, QStringLiteral("1,5"));
    QCOMPARE(s.mw_start, qint16(3));
    QCOMPARE(s.mw_still_anf, qint16(1)); // written under "Gauge", read under "gauge"
    QCOMPARE(s.ID_anf[1], qint16(16));
    QCOMPARE(s.ID_end[2], qint16(22));
    QCOMPARE(s.st_dichte, 1.25);
    QCOMPARE(s.Action[0][4], QStringLiteral("ESCT"));
    QCOMPARE(s.Action[0][5], QStringLiteral("Tara"));
    QCOMPARE(s.AppList.size(), 2);
    QCOMPARE(s.AppList[1][2], QStringLiteral("soffice"));
    QCOMPARE(t.app.strAusgabe, s.format);
    mainform &mw = t.app.mainWindow();
    QCOMPARE(mw.Command5(9)->text(), QStringLiteral("Tara"));
    QCOMPARE(mw.Status1()->panelText(2), QStringLiteral("Editor"));
    QCOMPARE(mw.Status1()->panelText(3), s.format);
}

void tst_settings::keyAliasesAndLimits()
{
    TestApp t;
    isolatePorts(t);
    const QString file = t.writeFile(
        QStringLiteral("a.cfg"),
        "[anwendung]\nANWENDUNG=Calc\n[Gauge]\nmw_start=2,5\nmw_end=3,5\neh_start=40000\n"
        "eh_end=-7\nst_kennung= S\nstr_len=" +
            QByteArray(250, 'x') + "\n[anzeige]\nst_dichte=abc\n[Mode]\nd_start=kein Datum\n");
    t.app.settings.eh_start = 5;
    t.app.settings.st_dichte = 2.0;
    Einstellungen_laden(t.app, file);
    const SettingsRecord &s = t.app.settings;
    QCOMPARE(s.anwendung, QStringLiteral("Calc"));
    QCOMPARE(s.mw_start, qint16(2)); // halves to even
    QCOMPARE(s.mw_end, qint16(4));
    QCOMPARE(s.eh_start, qint16(5)); // out of range keeps the old value
    QCOMPARE(s.eh_end, qint16(-7));
    QCOMPARE(s.st_kennung, QStringLiteral("S"));
    QCOMPARE(s.str_len.size(), 199);
    QCOMPARE(s.st_dichte, 2.0);
    QCOMPARE(s.d_start, vb::DateText(QDate::currentDate()));
}

void tst_settings::splitsKeyRows_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected"); // columns from 1, "|"-joined; "?" marks a kept column
    QTest::newRow("hotkey full") << "Hotkeys"
                                 << "CTRL,ALT,F1,"
                                 << "CTRL|ALT|F1|";
    QTest::newRow("hotkey no comma") << "Hotkeys"
                                     << "F1"
                                     << "?|?|?|F1";
    QTest::newRow("hotkey two commas") << "Hotkeys"
                                       << "A,B"
                                       << "A|?|A|B";
    QTest::newRow("action letters") << "Action"
                                    << "ABCDEFG"
                                    << "|BCD|FG|||0";
    QTest::newRow("action word") << "Action"
                                 << ",,,,Wort,"
                                 << "||||Wort|0";
    QTest::newRow("action full") << "Action"
                                 << "CTRL,,F3,ESCP,Drucken,1"
                                 << "CTRL||F3|ESCP|Drucken|1";
    QTest::newRow("action negative cut") << "Action"
                                         << "abcdefg,x"
                                         << "abcdefg|?|fg|x|?|x";
}

void tst_settings::splitsKeyRows()
{
    QFETCH(QString, kind);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QStringList columns;
    if (kind == QLatin1String("Hotkeys")) {
        std::array<QString, 5> row{QString(), "?", "?", "?", "?"};
        splitHotkeyRow(value, row);
        columns = QStringList(row.begin() + 1, row.end());
    } else {
        std::array<QString, 7> row{QString(), "?", "?", "?", "?", "?", "?"};
        splitActionRow(value, row);
        columns = QStringList(row.begin() + 1, row.end());
    }
    QCOMPARE(columns.join(QLatin1Char('|')), expected);
}

void tst_settings::readsApplicationList_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("last");
    QTest::newRow("ENDE first") << QByteArray("[applicationList]\nAppList 0=ENDE\n") << 1 << "";
    QByteArray five("[applicationList]\n");
    for (int i = 0; i < 5; ++i)
        five += "AppList " + QByteArray::number(i) + "=T" + QByteArray::number(i) + "\n";
    QTest::newRow("five, no end mark") << five << 5 << "T4";
    QByteArray many("[applicationList]\n");
    for (int i = 0; i < 25; ++i)
        many += "AppList " + QByteArray::number(i) + "=T" + QByteArray::number(i) + "\n";
    QTest::newRow("more than 21") << many << 21 << "T20";
    QTest::newRow("key without blank is another key")
        << QByteArray("[applicationList]\nAppList0=X\n") << 1 << "";
}

void tst_settings::readsApplicationList()
{
    QFETCH(QByteArray, content);
    QFETCH(int, rows);
    QFETCH(QString, last);
    TestApp t;
    const auto list = readAppList(ini::Snapshot(t.writeFile(QStringLiteral("a.cfg"), content)));
    QCOMPARE(list.size(), rows);
    QCOMPARE(list.last()[1], last);
}

void tst_settings::badFilesLoadAsMissing_data()
{
    QTest::addColumn<QByteArray>("content");
    QByteArray garbage(4096, '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 7919) % 256);
    QTest::newRow("binary") << garbage;
    QTest::newRow("no sections") << QByteArray("baud=300\nportnum=5\n");
    QTest::newRow("100 kB line") << QByteArray(100 * 1024, 'q') + "\n[Gauge]\n";
}

void tst_settings::badFilesLoadAsMissing()
{
    QFETCH(QByteArray, content);
    TestApp t;
    isolatePorts(t);
    const QString file = t.writeFile(QStringLiteral("bad.cfg"), content);
    Einstellungen_laden(t.app, file);
    QCOMPARE(t.app.settings.baud, QStringLiteral("9600"));
    QCOMPARE(t.app.settings.portnum, QStringLiteral("2"));
    QCOMPARE(t.app.settings.mw_start, qint16(11));
    QCOMPARE(readFileBytes(file), content);

    // A folder in place of the file is unreadable: defaults as well.
    Einstellungen_laden(t.app, t.folder.path());
    QCOMPARE(t.app.settings.str_len, QStringLiteral("22"));
}

void tst_settings::roundTrip()
{
    TestApp t;
    isolatePorts(t);
    Einstellungen_laden(t.app, QStringLiteral(MQ_SOURCE_DIR "/tests/fixtures/full.cfg"));
    t.app.settings.st_kennung = QStringLiteral(" ");
    t.app.settings.TextFile = QStringLiteral("/tmp/Wägung \"1\".txt");
    const QStringList before = dump(t.app.settings);

    const QString copy = t.path(QStringLiteral("copy.cfg"));
    QCOMPARE(Einstellungen_speichern(t.app, copy), SaveResult::Saved);
    QVERIFY(t.prompts.shown.isEmpty()); // a new file needs no question
    QVERIFY(readFileBytes(copy).contains("st_kennung=\" \""));

    TestApp second;
    isolatePorts(second);
    Einstellungen_laden(second.app, copy);
    QCOMPARE(dump(second.app.settings), before);
}

void tst_settings::newFileHasSectionOrder()
{
    TestApp t;
    isolatePorts(t);
    Einstellungen_laden(t.app, QString());
    const QString file = t.path(QStringLiteral("new.cfg"));
    QCOMPARE(Einstellungen_speichern(t.app, file), SaveResult::Saved);
    QStringList sections;
    for (const QByteArray &line : readFileBytes(file).split('\n'))
        if (line.startsWith('['))
            sections << QString::fromUtf8(line.trimmed());
    QCOMPARE(sections, QStringList({"[Port settings]", "[Anwendung]", "[Mode]", "[Entlastung]",
                                    "[Stillstand]", "[Intervall]", "[Filter]",
                                    "[Dezimaltrennzeichen]", "[Gauge]", "[anzeige]", "[Action]",
                                    "[Hotkeys]", "[applicationList]", "[DDECONN]"}));
}

void tst_settings::overwriteAsksAndReplacesWhole()
{
    TestApp t;
    isolatePorts(t);
    const QString file =
        t.writeFile(QStringLiteral("standard.cfg"), "[Port settings]\nbaud=300\nhand=added\n");
    Einstellungen_laden(t.app, file);
    t.prompts.messageAnswers = {Prompts::Answer::Yes};
    QCOMPARE(Einstellungen_speichern(t.app, file), SaveResult::Saved);
    QCOMPARE(t.prompts.messages(), QStringList{QStringLiteral("Einstellungen überschreiben?")});
    const QByteArray saved = readFileBytes(file);
    QVERIFY(saved.contains("baud=300"));
    QVERIFY(!saved.contains("hand=added"));
    QCOMPARE(entriesOf(t.folder.path()),
             QStringList({QStringLiteral("mondrelquist.ini"), QStringLiteral("standard.cfg")}));

    // Replacing keeps the file's permissions.
    const auto shared = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    QVERIFY(QFile::setPermissions(file, shared));
    t.prompts.messageAnswers = {Prompts::Answer::Yes};
    QCOMPARE(Einstellungen_speichern(t.app, file), SaveResult::Saved);
    QCOMPARE(QFile::permissions(file) & 0x7077, shared & 0x7077); // owner, group, others
}

void tst_settings::declinedOverwriteLeavesFile()
{
    for (const auto answer : {Prompts::Answer::No, Prompts::Answer::Cancel}) {
        TestApp t;
        isolatePorts(t);
        const QByteArray content("[Port settings]\r\nbaud=300\r\n");
        const QString file = t.writeFile(QStringLiteral("standard.cfg"), content);
        t.app.settings.baud = QStringLiteral("1200");
        t.prompts.messageAnswers = {answer};
        QCOMPARE(Einstellungen_speichern(t.app, file), SaveResult::Declined);
        QCOMPARE(readFileBytes(file), content);
        QCOMPARE(t.app.settings.baud, QStringLiteral("1200"));
    }
}

void tst_settings::scratchCopyKeepsForeignKeys()
{
    TestApp t;
    isolatePorts(t);
    const QString file =
        t.writeFile(QStringLiteral("tmp.cfg"), "[Port settings]\r\nbaud=300\r\nhand=added\r\n");
    Einstellungen_laden(t.app, file);
    t.app.settings.baud = QStringLiteral("4800");
    QCOMPARE(Einstellungen_speichern(t.app, file), SaveResult::Saved);
    QVERIFY(t.prompts.shown.isEmpty());
    const QByteArray saved = readFileBytes(file);
    QVERIFY(saved.startsWith("[Port settings]\r\nbaud=4800\r\nhand=added\r\n"));
}

void tst_settings::failedSaveKeepsOldFile()
{
    TestApp t;
    isolatePorts(t);
    QString error;
    const QString inMissingFolder = t.path(QStringLiteral("no/such/folder/x.cfg"));
    QCOMPARE(Einstellungen_speichern(t.app, inMissingFolder, &error), SaveResult::Failed);
    QVERIFY(!error.isEmpty());

    // The target is a folder: the new file cannot be renamed over it.
    QDir(t.folder.path()).mkdir(QStringLiteral("taken.cfg"));
    t.prompts.messageAnswers = {Prompts::Answer::Yes};
    QCOMPARE(Einstellungen_speichern(t.app, t.path(QStringLiteral("taken.cfg")), &error),
             SaveResult::Failed);
    QVERIFY(QFileInfo(t.path(QStringLiteral("taken.cfg"))).isDir());
    QCOMPARE(entriesOf(t.folder.path()),
             QStringList({QStringLiteral("mondrelquist.ini"), QStringLiteral("taken.cfg")}));
}

void tst_settings::comparesFiles()
{
    TestApp t;
    const QString emptyA = t.writeFile(QStringLiteral("a"), {});
    const QString emptyB = t.writeFile(QStringLiteral("b"), {});
    QVERIFY(fnDateienGleich(emptyA, emptyB));

    QByteArray block(4097, 'x');
    const QString c = t.writeFile(QStringLiteral("c"), block);
    block[4096] = 'y';
    const QString d = t.writeFile(QStringLiteral("d"), block);
    QVERIFY(!fnDateienGleich(c, d));
    QVERIFY(fnDateienGleich(c, c));
    QVERIFY(!fnDateienGleich(c, t.writeFile(QStringLiteral("e"), QByteArray(4096, 'x'))));

    const QString missing = t.path(QStringLiteral("missing"));
    QVERIFY(!fnDateienGleich(missing, emptyA));
    QVERIFY(!QFile::exists(missing));
}

// The shipped file must come out of a save unchanged, or the exit asks whether to
// save changes after every start.
void tst_settings::shippedFileIsAsSaved_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany);
    QTest::newRow("C") << QLocale::c();
}

void tst_settings::shippedFileIsAsSaved()
{
    QFETCH(QLocale, locale);
    QLocale::setDefault(locale);
    TestApp t;
    isolatePorts(t);
    const QString shipped = QStringLiteral(MQ_SOURCE_DIR "/data/standard.cfg");
    Einstellungen_laden(t.app, shipped);

    const QString fresh = t.path(QStringLiteral("fresh.cfg"));
    QCOMPARE(Einstellungen_speichern(t.app, fresh), SaveResult::Saved);
    QCOMPARE(readFileBytes(fresh), readFileBytes(shipped));

    // As the exit does it: the file copied to tmp.cfg, the record saved into the copy.
    const QString copy = t.path(QStringLiteral("tmp.cfg"));
    QVERIFY(QFile::copy(shipped, copy));
    QCOMPARE(Einstellungen_speichern(t.app, copy), SaveResult::Saved);
    QVERIFY(fnDateienGleich(copy, shipped));
}

void tst_settings::savingKeepsEncoding_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("before"); // empty: no file yet
    QTest::addColumn<QByteArray>("textFileLine");
    QTest::addColumn<QByteArray>("tableLine");
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::addColumn<bool>("bom");
    const QByteArray utf8 = "TextFile=C:\\W\xC3\xA4gung\\Kl\xC3\xA4ger \xE2\x82\xAC.txt";
    const QByteArray utf8Table = "AccessTable=\xE6\x97\xA5\xE6\x9C\xAC";
    const QByteArray cp1252 = "TextFile=C:\\W\xE4gung\\Kl\xE4ger \x80.txt";
    const QByteArray cp1252Table = "AccessTable=??";
    QTest::newRow("new file: UTF-8")
        << "new.cfg" << QByteArray() << utf8 << utf8Table << QByteArray("\r\n") << false;
    QTest::newRow("Windows-1252 file replaced")
        << "standard.cfg" << QByteArray("[Anwendung]\r\nTextFile=Kl\xE4ger\r\n") << cp1252
        << cp1252Table << QByteArray("\r\n") << false;
    QTest::newRow("Windows-1252 LF file replaced")
        << "standard.cfg" << QByteArray("[Anwendung]\nTextFile=Kl\xE4ger\n") << cp1252
        << cp1252Table << QByteArray("\n") << false;
    QTest::newRow("UTF-8 file with BOM replaced")
        << "standard.cfg" << QByteArray("\xEF\xBB\xBF[Anwendung]\r\nTextFile=Kl\xC3\xA4ger\r\n")
        << utf8 << utf8Table << QByteArray("\r\n") << true;
    QTest::newRow("Windows-1252 tmp.cfg written into")
        << "tmp.cfg" << QByteArray("[Anwendung]\r\nTextFile=Kl\xE4ger\r\n") << cp1252 << cp1252Table
        << QByteArray("\r\n") << false;
}

void tst_settings::savingKeepsEncoding()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, textFileLine);
    QFETCH(QByteArray, tableLine);
    QFETCH(QByteArray, lineEnd);
    QFETCH(bool, bom);
    TestApp t;
    isolatePorts(t);
    Einstellungen_laden(t.app, t.path(QStringLiteral("absent.cfg")));
    const QString file = before.isEmpty() ? t.path(name) : t.writeFile(name, before);
    t.app.settings.TextFile = QString::fromUtf8("C:\\Wägung\\Kläger €.txt");
    t.app.settings.AccessTable = QString::fromUtf8("日本"); // not in Windows-1252: "?"

    QString error;
    QCOMPARE(Einstellungen_speichern(t.app, file, &error), SaveResult::Saved);
    const QByteArray saved = readFileBytes(file);
    QVERIFY2(saved.contains('\n' + textFileLine + lineEnd), saved.constData());
    QVERIFY2(saved.contains('\n' + tableLine + lineEnd), saved.constData());
    QCOMPARE(saved.startsWith("\xEF\xBB\xBF"), bom);
    QCOMPARE(saved.count("\n"), saved.count(lineEnd));
    QCOMPARE(saved.endsWith(lineEnd), true);
}

void tst_settings::replacedFileStaysTheSame_data()
{
    QTest::addColumn<QString>("name"); // standard.cfg is replaced, tmp.cfg written into
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("otherOwner");
    QTest::addColumn<QString>("link"); // "": the file itself; else the link's text
    for (const char *name : {"standard.cfg", "tmp.cfg"}) {
        const auto row = [name](const char *what) -> QTestData & {
            return QTest::addRow("%s, %s", name, what) << QString::fromLatin1(name);
        };
        row("read-only 0444") << 0444 << false << QString();
        row("0640 of another owner") << 0640 << true << QString();
        row("0604 through a relative link") << 0604 << false << QStringLiteral("store/real.cfg");
        row("0600 through a chain of links") << 0600 << false << QStringLiteral("hop.cfg");
    }
}

void tst_settings::replacedFileStaysTheSame()
{
    QFETCH(QString, name);
    QFETCH(int, mode);
    QFETCH(bool, otherOwner);
    QFETCH(QString, link);
    if (otherOwner && ::geteuid() != 0)
        QSKIP("giving a file to another owner needs root");
    TestApp t;
    isolatePorts(t);
    QVERIFY(QDir(t.folder.path()).mkdir(QStringLiteral("store")));
    const QString real = link.isEmpty() ? t.path(name) : t.path(QStringLiteral("store/real.cfg"));
    t.writeFile(QDir(t.folder.path()).relativeFilePath(real), "[Port settings]\r\nbaud=300\r\n");
    if (!link.isEmpty()) {
        if (link == QLatin1String("hop.cfg"))
            QVERIFY(QFile::link(QStringLiteral("store/real.cfg"), t.path(link)));
        QVERIFY(QFile::link(link, t.path(name)));
    }
    constexpr uid_t kNobody = 65534;
    if (otherOwner)
        QCOMPARE(::chown(QFile::encodeName(real).constData(), kNobody, kNobody), 0);
    QVERIFY(setMode(real, mode_t(mode)));
    const struct stat before = statOf(real);
    const QStringList entriesBefore = entriesOf(t.folder.path());

    Einstellungen_laden(t.app, t.path(name));
    t.app.settings.baud = QStringLiteral("4800");
    QString error;
    QCOMPARE(Einstellungen_speichern(t.app, t.path(name), &error), SaveResult::Saved);

    QVERIFY(readFileBytes(real).contains("baud=4800"));
    QCOMPARE(modeOf(real), mode_t(mode));
    QCOMPARE(statOf(real).st_uid, before.st_uid);
    QCOMPARE(statOf(real).st_gid, before.st_gid);
    if (!link.isEmpty())
        QCOMPARE(QFile::symLinkTarget(t.path(name)), QFileInfo(t.path(link)).absoluteFilePath());
    QCOMPARE(entriesOf(t.folder.path()), entriesBefore);
    QCOMPARE(entriesOf(t.path(QStringLiteral("store"))),
             link.isEmpty() ? QStringList() : QStringList{QStringLiteral("real.cfg")});
}

// A value the file cannot hold must not leave a file without that key behind.
void tst_settings::refusedValueWritesNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("before"); // empty: no file yet
    QTest::addColumn<QString>("format");
    QTest::newRow("new file, line break") << "new.cfg" << QByteArray() << "{Messwert}\r\n{ENTER}";
    QTest::newRow("tmp.cfg, line break")
        << "tmp.cfg" << QByteArray("[Port settings]\r\nbaud=300\r\nhand=added\r\n")
        << "{Messwert}\n";
    QTest::newRow("replaced file, NUL")
        << "standard.cfg" << QByteArray("[Port settings]\r\nbaud=300\r\n")
        << QStringLiteral("{Messwert}") + QChar(u'\0');
    QTest::newRow("new tmp.cfg, NUL") << "tmp.cfg" << QByteArray() << QString(1, QChar(u'\0'));
}

void tst_settings::refusedValueWritesNothing()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, before);
    QFETCH(QString, format);
    TestApp t;
    isolatePorts(t);
    Einstellungen_laden(t.app, t.path(QStringLiteral("absent.cfg")));
    const QString file = before.isEmpty() ? t.path(name) : t.writeFile(name, before);
    const QStringList entriesBefore = entriesOf(t.folder.path());
    t.app.settings.baud = QStringLiteral("4800");
    t.app.settings.format = format;

    QString error;
    QCOMPARE(Einstellungen_speichern(t.app, file, &error), SaveResult::Failed);
    QVERIFY2(error.contains(QLatin1String("Format")), qPrintable(error));
    QCOMPARE(QFileInfo::exists(file), !before.isEmpty());
    QCOMPARE(readFileBytes(file), before);
    QCOMPARE(entriesOf(t.folder.path()), entriesBefore);
}

// Defaults from a file that could not be read must not pass for the user's
// settings: a message in the program's language and the status say so, also
// after the link status of loading and start-up.
void tst_settings::unreadableFileIsReported_data()
{
    QTest::addColumn<bool>("missing"); // else a folder in the file's place
    QTest::addColumn<QString>("language");
    QTest::addColumn<bool>("startUp");
    for (const bool startUp : {false, true}) {
        const char *how = startUp ? "start-up" : "load";
        QTest::addRow("folder, English, %s", how) << false << "ENGLISH" << startUp;
        QTest::addRow("folder, German, %s", how) << false << "DEUTSCH" << startUp;
    }
    // A missing file asks for another at start-up; loading it stays silent.
    QTest::newRow("missing, load") << true << "ENGLISH" << false;
}

void tst_settings::unreadableFileIsReported()
{
    QFETCH(bool, missing);
    QFETCH(QString, language);
    QFETCH(bool, startUp);
    TestApp t;
    // COM2, the default port, is a pty: loading opens it and shows the link status.
    PtyPair pty(t.folder.path());
    QVERIFY(pty.start());
    t.writeFile(QStringLiteral("mondrelquist.ini"),
                "[waittime]\r\nm_waittime=1\r\n[ports]\r\nCOM2=" + pty.a.toUtf8() + "\r\n");
    t.writeFile(QStringLiteral("language.ini"),
                "[SPRACHE]\r\naktuell=" + language.toUtf8() + "\r\n");
    const QString file = t.path(QStringLiteral("waage.cfg"));
    if (!missing)
        QVERIFY(QDir(t.folder.path()).mkdir(QStringLiteral("waage.cfg")));

    mainform &mw = t.app.mainWindow();
    if (startUp) {
        t.app.commandLine = file;
        mw.Form_Load();
    } else {
        QVERIFY(Sprache_laden(t.app));
        Einstellungen_laden(t.app, file);
    }
    QVERIFY(mw.commport().portOpen());
    QCOMPARE(t.app.settings.baud, QStringLiteral("9600"));
    if (missing) {
        QVERIFY2(!mw.Status()->panelText(1).contains(file), qPrintable(mw.Status()->panelText(1)));
        QCOMPARE(t.prompts.messages(), QStringList());
        return;
    }
    const QString problem = file + QStringLiteral(": not a regular file");
    QCOMPARE(mw.Status()->panelText(1), problem);
    const QString lead =
        language == QLatin1String("DEUTSCH")
            ? QStringLiteral("Die Einstellungsdatei kann nicht gelesen werden; es gelten die "
                             "Standardeinstellungen.")
            : QStringLiteral("The settings file cannot be read; the default settings apply.");
    QCOMPARE(t.prompts.messages(), QStringList{lead + QStringLiteral("\n\n") + problem});
}

// A NUL byte ends the value of its line; the file is no less a settings file.
void tst_settings::nulByteEndsItsLine()
{
    TestApp t;
    isolatePorts(t);
    const QString file = t.writeFile(QStringLiteral("waage.cfg"),
                                     QByteArray("[Port settings]\r\nbaud=300\0\x01\r\n"
                                                "portnum=5\r\n[Gauge]\r\nmw_start=3\r\n",
                                                61));
    QCOMPARE(Einstellungen_laden(t.app, file), QString());
    QCOMPARE(t.app.settings.baud, QStringLiteral("300"));
    QCOMPARE(t.app.settings.portnum, QStringLiteral("5"));
    QCOMPARE(t.app.settings.mw_start, qint16(3));
    QCOMPARE(t.prompts.messages(), QStringList());
}

// Without mondrelquist.ini's ports the COM numbers name other devices: say so.
void tst_settings::unreadableWaitTimeFileIsReported()
{
    TestApp t;
    QVERIFY(QDir(t.folder.path()).mkdir(QStringLiteral("mondrelquist.ini")));
    const QString file =
        t.writeFile(QStringLiteral("waage.cfg"), "[Port settings]\r\nportnum=TCP/IP\r\n");
    t.app.m_waittime = 7;

    const QString problem = t.path(QStringLiteral("mondrelquist.ini: not a regular file"));
    QCOMPARE(Einstellungen_laden(t.app, file), problem);
    QCOMPARE(t.app.m_waittime, 1.0);
    QCOMPARE(t.app.mainWindow().Status()->panelText(1), problem);
    QCOMPARE(t.prompts.messages(),
             QStringList{QStringLiteral("mondrelquist.ini cannot be read; a receive timeout of 1 "
                                        "second and the usual COM port devices apply.\n\n") +
                         problem});
}

// Root may read and write anything: these cases run as nobody.
void tst_settings::permissionsOfOrdinaryUser_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<int>("fileMode");
    QTest::addColumn<int>("iniMode");    // of mondrelquist.ini
    QTest::addColumn<QString>("result"); // SaveResult as a number; empty for loading
    QTest::addColumn<bool>("written");
    QTest::addColumn<QStringList>("said"); // in the status panel, the error or a message
    QTest::newRow("unreadable file loads as defaults with a message")
        << "load" << 0755 << 0000 << 0644 << QString() << false
        << QStringList{"messages=The settings file cannot be read; the default settings "
                       "apply.\\n\\n",
                       "waage.cfg: Permission denied"};
    QTest::newRow("unreadable mondrelquist.ini is reported")
        << "load" << 0755 << 0644 << 0000 << QString() << false
        << QStringList{"mondrelquist.ini: Permission denied",
                       "messages=mondrelquist.ini cannot be read; a receive timeout of 1 "
                       "second and the usual COM port devices apply.\\n\\n"};
    QTest::newRow("folder refuses new files: written in place")
        << "save" << 0555 << 0666 << 0644 << "0" << true << QStringList{"not atomically"};
    QTest::newRow("read-only file is not replaced")
        << "save" << 0777 << 0444 << 0644 << "2" << false << QStringList{"Permission denied"};
}

void tst_settings::permissionsOfOrdinaryUser()
{
    QFETCH(QString, command);
    QFETCH(int, folderMode);
    QFETCH(int, fileMode);
    QFETCH(int, iniMode);
    QFETCH(QString, result);
    QFETCH(bool, written);
    QFETCH(QStringList, said);
    if (!canRunAsUser())
        QSKIP("setpriv is needed to drop root");
    TestApp t;
    const QString program = t.path(QStringLiteral("program"));
    QVERIFY(QDir(t.folder.path()).mkdir(QStringLiteral("program")));
    const QString ini = t.writeFile(QStringLiteral("program/mondrelquist.ini"),
                                    "[ports]\r\nCOM2=/nonexistent/ttyB\r\n");
    QVERIFY(setMode(ini, mode_t(iniMode)));
    const QByteArray before = "[Port settings]\r\nbaud=300\r\n";
    const QString file = t.writeFile(QStringLiteral("waage.cfg"), before);
    const ino_t inode = statOf(file).st_ino;
    QVERIFY(setMode(file, mode_t(fileMode)));
    QVERIFY(setMode(t.folder.path(), mode_t(folderMode)));
    const HelperRun run = runHelper({command, program, file}, true);
    QVERIFY(setMode(t.folder.path(), 0755));

    QVERIFY(run.finished && !run.crashed);
    QCOMPARE(run.output.value(QStringLiteral("result")), result);
    QString output;
    for (auto line = run.output.cbegin(); line != run.output.cend(); ++line)
        output += line.key() + QLatin1Char('=') + line.value() + QLatin1Char('\n');
    for (const QString &part : said)
        QVERIFY2(output.contains(part), qPrintable(output));
    QVERIFY(setMode(file, 0644));
    QCOMPARE(readFileBytes(file).contains("baud=4800"), written);
    if (!written)
        QCOMPARE(readFileBytes(file), before);
    QCOMPARE(statOf(file).st_ino, inode);
    QCOMPARE(entriesOf(t.folder.path()),
             QStringList({QStringLiteral("program"), QStringLiteral("waage.cfg")}));
}

// A save that dies half-way leaves the old file and one scratch file that is
// recognisably ours; the next save of that file removes it.
void tst_settings::crashedSaveIsCleanedUp()
{
    TestApp t;
    isolatePorts(t);
    const QByteArray before = "[Port settings]\r\nbaud=300\r\n";
    const QString file = t.writeFile(QStringLiteral("waage.cfg"), before);
    const HelperRun run =
        runHelper({QStringLiteral("save"), t.folder.path(), file, QStringLiteral("512")}, false);
    QVERIFY(run.finished);
    QVERIFY(run.crashed);
    QCOMPARE(readFileBytes(file), before);
    const QStringList left = entriesOf(t.folder.path()).filter(QRegularExpression(kScratchOfWaage));
    QCOMPARE(left.size(), 1);
    QCOMPARE(entriesOf(t.folder.path()).size(), 3); // with mondrelquist.ini

    Einstellungen_laden(t.app, file);
    t.app.settings.baud = QStringLiteral("4800");
    QCOMPARE(Einstellungen_speichern(t.app, file), SaveResult::Saved);
    QVERIFY(readFileBytes(file).contains("baud=4800"));
    QCOMPARE(entriesOf(t.folder.path()),
             QStringList({QStringLiteral("mondrelquist.ini"), QStringLiteral("waage.cfg")}));
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], kHelperFlag) == 0)
        return helperMain(app.arguments().mid(1));
    app.setAttribute(Qt::AA_Use96Dpi, true);
    tst_settings test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settings.moc"
