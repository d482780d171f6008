#include "core/mainform/mainform.h"
#include "core/mainform/panel_bar.h"
#include "core/settings/settings.h"
#include "core/settings/settings_tables.h"
#include "platform/ini_file.h"
#include "platform/vb_runtime.h"
#include "tests/support/test_app.h"

#include <QFile>
#include <QPushButton>
#include <QtTest>

namespace {

QByteArray readAll(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

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
    QCOMPARE(readAll(file), content);

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
    QVERIFY(readAll(copy).contains("st_kennung=\" \""));

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
    for (const QByteArray &line : readAll(file).split('\n'))
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
    const QByteArray saved = readAll(file);
    QVERIFY(saved.contains("baud=300"));
    QVERIFY(!saved.contains("hand=added"));
    QVERIFY(!QDir(t.folder.path()).entryList({"standard.cfg.*"}, QDir::Files).size());

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
        QCOMPARE(readAll(file), content);
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
    const QByteArray saved = readAll(file);
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
    QCOMPARE(QDir(t.folder.path()).entryList({"taken.cfg.*"}, QDir::Files).size(), 0);
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

QTEST_MAIN(tst_settings)
#include "tst_settings.moc"
