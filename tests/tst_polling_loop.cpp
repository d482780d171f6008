#include "core/mainform/mainform.h"
#include "core/mainform/panel_bar.h"
#include "core/settings/settings.h"
#include "platform/vb/vb_datetime.h"
#include "tests/support/file_bytes.h"
#include "tests/support/measurement_road.h"
#include "tests/support/sqlite_cli.h"
#include "tests/support/tcp_instrument.h"
#include "tests/support/test_app.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <cerrno>
#include <cstring>

namespace {} // namespace

class tst_polling_loop : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void printModeSendsEveryTelegram();
    void hotkeyModeSendsOnRequest();
    void pendingSendWithoutReading();
    void rejections_data();
    void rejections();
    void noTelegramKeepsRequest();
    void unwritableFilesAreReported();
    void timerCountSchedule();
    void timerWaitsForStart();
    void unloadingWait();
    void failedWritesOutlastUnloadingWait();
    void highBytesInOutputFiles_data();
    void highBytesInOutputFiles();
    void ticksDoNotOverlap();
    void fieldsWithoutColumnAreNotedAfterTheSend();
};

void tst_polling_loop::printModeSendsEveryTelegram()
{
    TestApp t;
    TcpInstrument instrument;
    QVERIFY(prepareTextFileRoad(t, instrument, QStringLiteral("PRINT")));
    mainform &mw = t.app.mainWindow();

    tickWith(mw, instrument, defaultTelegram('-', "12,50", "g"));
    tickWith(mw, instrument, defaultTelegram('+', "3,25", "kg"));

    QCOMPARE(readFileBytes(t.path(QStringLiteral("werte.txt"))),
             QByteArray("-12,50{TAB}g\r\n3,25{TAB}kg\r\n"));
    QCOMPARE(
        readFileBytes(t.path(QStringLiteral("protocol.txt"))),
        "Datenstring: " + defaultTelegram('-', "12,50", "g") + "\r\nCommand: -12,50{TAB}g\r\n" +
            "Datenstring: " + defaultTelegram('+', "3,25", "kg") + "\r\nCommand: 3,25{TAB}kg\r\n");
    QCOMPARE(mw.DDEValue()->text(), QStringLiteral("3,25"));
    QCOMPARE(mw.DDEUnit()->text(), QStringLiteral("kg"));
    QCOMPARE(mw.DDESTRING()->text(), QStringLiteral("3,25{TAB}kg"));
    QCOMPARE(mw.DDEDirect()->text(), QString::fromLatin1(defaultTelegram('+', "3,25", "kg")));
    QCOMPARE(mw.Status1()->panelText(2), t.path(QStringLiteral("werte.txt")));
    QCOMPARE(mw.Status1()->panelText(3), QStringLiteral("3,25{TAB}kg"));
    QCOMPARE(t.prompts.beeps, 2);
    QVERIFY(!t.app.bSendNow);
}

void tst_polling_loop::hotkeyModeSendsOnRequest()
{
    TestApp t;
    TcpInstrument instrument;
    QVERIFY(prepareTextFileRoad(t, instrument, QStringLiteral("HOTKEY")));
    mainform &mw = t.app.mainWindow();

    tickWith(mw, instrument, defaultTelegram('+', "1,0", "g"));
    QVERIFY(!QFile::exists(t.path(QStringLiteral("werte.txt"))));
    QCOMPARE(mw.MesswertAnzeige()->text(), QStringLiteral("1.0"));

    t.app.bSendNow = true;
    tickWith(mw, instrument, defaultTelegram('+', "2,0", "g"));
    tickWith(mw, instrument, defaultTelegram('+', "3,0", "g"));
    QCOMPARE(readFileBytes(t.path(QStringLiteral("werte.txt"))), QByteArray("2,0{TAB}g\r\n"));
}

void tst_polling_loop::pendingSendWithoutReading()
{
    TestApp t;
    TcpInstrument instrument;
    QVERIFY(prepareTextFileRoad(t, instrument, QStringLiteral("HOTKEY")));
    mainform &mw = t.app.mainWindow();
    mw.Command5_Click(7); // offline: no reading in mode HOTKEY
    QVERIFY(!mw.isOnline());
    t.app.bSendNow = true;
    mw.Timer1_Timer();
    QCOMPARE(readFileBytes(t.path(QStringLiteral("protocol.txt"))),
             QByteArray("Datenstring: \r\nCommand: \r\n"));
    QCOMPARE(readFileBytes(t.path(QStringLiteral("werte.txt"))), QByteArray("\r\n"));
    QVERIFY(!t.app.bSendNow);
}

void tst_polling_loop::rejections_data()
{
    QTest::addColumn<QString>("otg");
    QTest::addColumn<QString>("utg");
    QTest::addColumn<QString>("stillstand");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("unit");
    QTest::addColumn<QString>("status"); // "" when the value is sent

    QTest::newRow("no limits") << "0"
                               << "0"
                               << "False" << QByteArray("999") << QByteArray("g") << "";
    QTest::newRow("at upper limit") << "100"
                                    << "0"
                                    << "False" << QByteArray("100") << QByteArray("g") << "";
    QTest::newRow("above upper") << "100"
                                 << "0"
                                 << "False" << QByteArray("100,1") << QByteArray("g")
                                 << "TextMesswertGroesserMaximum";
    QTest::newRow("below lower") << "0"
                                 << "10"
                                 << "False" << QByteArray("9,99") << QByteArray("g")
                                 << "TextMesswertKleinerMinimum";
    // Both limits read the same way: "5,5" is 5.5 in both boxes.
    QTest::newRow("lower with comma")
        << "0"
        << "5,5"
        << "False" << QByteArray("5,2") << QByteArray("g") << "TextMesswertKleinerMinimum";
    QTest::newRow("lower with point") << "0"
                                      << "5.5"
                                      << "False" << QByteArray("5,7") << QByteArray("g") << "";
    QTest::newRow("upper with comma")
        << "5,5"
        << "0"
        << "False" << QByteArray("5,7") << QByteArray("g") << "TextMesswertGroesserMaximum";
    QTest::newRow("limit no number") << "abc"
                                     << "xyz"
                                     << "False" << QByteArray("5") << QByteArray("g") << "";
    QTest::newRow("unstable") << "0"
                              << "0"
                              << "True" << QByteArray("5") << QByteArray("")
                              << "TextKeinStillstand";
    QTest::newRow("stable") << "0"
                            << "0"
                            << "-1" << QByteArray("5") << QByteArray("g") << "";
    QTest::newRow("value no number")
        << "0"
        << "0"
        << "False" << QByteArray("--x--") << QByteArray("g") << "TextFehlerhafteDefinition";
}

void tst_polling_loop::rejections()
{
    QFETCH(QString, otg);
    QFETCH(QString, utg);
    QFETCH(QString, stillstand);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, unit);
    QFETCH(QString, status);

    TestApp t;
    TcpInstrument instrument;
    QVERIFY(prepareTextFileRoad(t, instrument, QStringLiteral("HOTKEY")));
    t.app.settings.OTG = otg;
    t.app.settings.UTG = utg;
    t.app.settings.stillstand = stillstand;
    t.app.bSendNow = true;
    mainform &mw = t.app.mainWindow();
    tickWith(mw, instrument, defaultTelegram('+', value, unit));

    const bool sent = QFile::exists(t.path(QStringLiteral("werte.txt")));
    QCOMPARE(sent, status.isEmpty());
    QVERIFY(!t.app.bSendNow);
    if (!status.isEmpty())
        QCOMPARE(mw.Status()->panelText(1), status);
}

void tst_polling_loop::noTelegramKeepsRequest()
{
    TestApp t;
    TcpInstrument instrument;
    QVERIFY(prepareTextFileRoad(t, instrument, QStringLiteral("HOTKEY")));
    t.app.m_waittime = 0.1;
    t.app.bSendNow = true;
    t.app.mainWindow().Timer1_Timer();
    QVERIFY(t.app.bSendNow);
    QVERIFY(!QFile::exists(t.path(QStringLiteral("protocol.txt"))));
}

void tst_polling_loop::unwritableFilesAreReported()
{
    TestApp t;
    TcpInstrument instrument;
    QVERIFY(prepareTextFileRoad(t, instrument, QStringLiteral("PRINT")));
    const QString badFile = t.path(QStringLiteral("no/such/folder/werte.txt"));
    t.app.settings.TextFile = badFile;
    mainform &mw = t.app.mainWindow();
    tickWith(mw, instrument, defaultTelegram('+', "1,5", "g"));
    QVERIFY2(mw.Status()->panelText(1).startsWith(badFile + QStringLiteral(": ")),
             qPrintable(mw.Status()->panelText(1)));
    QVERIFY(readFileBytes(t.path(QStringLiteral("protocol.txt"))).contains("Command: 1,5{TAB}g"));

    QFile::remove(t.path(QStringLiteral("protocol.txt")));
    QDir(t.folder.path()).mkdir(QStringLiteral("protocol.txt")); // a folder in its place
    t.app.settings.TextFile = t.path(QStringLiteral("werte.txt"));
    tickWith(mw, instrument, defaultTelegram('+', "2,5", "g"));
    QVERIFY(mw.Status()->panelText(1).startsWith(QStringLiteral("protocol.txt: ")));
    QCOMPARE(readFileBytes(t.path(QStringLiteral("werte.txt"))), QByteArray("2,5{TAB}g\r\n"));
}

void tst_polling_loop::timerCountSchedule()
{
    TimedTestApp t;
    TcpInstrument instrument;
    QVERIFY(prepareTextFileRoad(t, instrument, QStringLiteral("TIMER")));
    SettingsRecord &s = t.app.settings;
    const QDateTime start = t.clock.now();
    s.int_modus = QStringLiteral("1");
    s.anz_mess = QStringLiteral("3");
    s.int_sek = QStringLiteral("10");
    s.d_start = vb::DateText(start.date());
    s.t_start = vb::TimeText(start.time());
    mainform &mw = t.app.mainWindow();
    mw.Command5_Click(2);
    QVERIFY(t.app.bTimerAktiv);

    const QString file = t.path(QStringLiteral("werte.txt"));
    for (int second = 0; second <= 40; second += 5) {
        tickWith(mw, instrument, defaultTelegram('+', QByteArray::number(second) + ",5", "g"));
        t.clock.advanceMs(5000);
    }
    // Values at 0 s, 10 s and 20 s; the next accepted telegram stops the timer.
    QCOMPARE(readFileBytes(file), QByteArray("0,5{TAB}g\r\n10,5{TAB}g\r\n20,5{TAB}g\r\n"));
    QVERIFY(!t.app.bTimerAktiv);
    QCOMPARE(t.app.lMesswertZaehler, 3);
}

void tst_polling_loop::timerWaitsForStart()
{
    TimedTestApp t;
    TcpInstrument instrument;
    QVERIFY(prepareTextFileRoad(t, instrument, QStringLiteral("TIMER")));
    SettingsRecord &s = t.app.settings;
    const QDateTime start = t.clock.now().addSecs(3600);
    s.int_modus = QStringLiteral("0");
    s.d_start = vb::DateText(start.date());
    s.t_start = vb::TimeText(start.time());
    s.d_end = s.d_start;
    s.t_end = vb::TimeText(start.time().addSecs(60));
    mainform &mw = t.app.mainWindow();
    mw.Command5_Click(2);
    tickWith(mw, instrument, defaultTelegram('+', "1", "g"));
    QCOMPARE(mw.Status()->panelText(1),
             QStringLiteral("TextTimerAktivStart") + vb::DateTimeText(start));
    QVERIFY(!QFile::exists(t.path(QStringLiteral("werte.txt"))));

    t.clock.setNow(start.addSecs(1));
    tickWith(mw, instrument, defaultTelegram('+', "2,5", "g"));
    QCOMPARE(readFileBytes(t.path(QStringLiteral("werte.txt"))), QByteArray("2,5{TAB}g\r\n"));
    QCOMPARE(t.app.dtNaechsteMessung, vb::DateTimeText(start.addSecs(1))); // interval 0
}

void tst_polling_loop::unloadingWait()
{
    TestApp t;
    TcpInstrument instrument;
    QVERIFY(prepareTextFileRoad(t, instrument, QStringLiteral("PRINT")));
    t.app.settings.entlastung = QStringLiteral("True");
    t.app.settings.UTG = QStringLiteral("5");
    mainform &mw = t.app.mainWindow();
    // The first value is sent; 7 and 6 are still on the pan; 0,2 ends the wait.
    instrument.sendLater(defaultTelegram('+', "8,5", "g"), 20);
    instrument.sendLater(defaultTelegram('+', "7", "g"), 120);
    instrument.sendLater(defaultTelegram('+', "6", "g"), 220);
    instrument.sendLater(defaultTelegram('+', "0,2", "g"), 320);
    int linesDuringWait = 0;
    QString statusDuringWait;
    QTimer::singleShot(260, &mw, [&] {
        linesDuringWait = int(readFileBytes(t.path(QStringLiteral("werte.txt"))).count('\n'));
        statusDuringWait = mw.Status()->panelText(1);
    });
    mw.Timer1_Timer();
    QCOMPARE(linesDuringWait, 1);
    QCOMPARE(statusDuringWait, QStringLiteral("TextWarteAufEntlastung"));
    QCOMPARE(readFileBytes(t.path(QStringLiteral("werte.txt"))), QByteArray("8,5{TAB}g\r\n"));
    QCOMPARE(mw.DDEValue()->text(), QStringLiteral("0,2"));
}

// Both files fail while the unloading wait is on (as in the shipped settings):
// each gets one message box, and the status shows both after the wait.
void tst_polling_loop::failedWritesOutlastUnloadingWait()
{
    TestApp t;
    TcpInstrument instrument;
    QVERIFY(prepareTextFileRoad(t, instrument, QStringLiteral("PRINT")));
    t.app.settings.entlastung = QStringLiteral("True");
    t.app.settings.UTG = QStringLiteral("5");
    const QString badFile = t.path(QStringLiteral("no/such/folder/werte.txt"));
    t.app.settings.TextFile = badFile;
    QVERIFY(QDir(t.folder.path()).mkdir(QStringLiteral("protocol.txt"))); // a folder in its place
    mainform &mw = t.app.mainWindow();
    const QString textFailure = badFile + QStringLiteral(": ") + strerror(ENOENT);
    const QString protocolFailure = QStringLiteral("protocol.txt: ") + strerror(EISDIR);

    for (const QByteArray &value : {QByteArray("8,5"), QByteArray("9")}) {
        instrument.sendLater(defaultTelegram('+', value, "g"), 20);
        instrument.sendLater(defaultTelegram('+', "0,2", "g"), 120);
        mw.Timer1_Timer();
        QCOMPARE(mw.Status()->panelText(1), textFailure + QStringLiteral("; ") + protocolFailure);
    }
    // One box per failing file, not one per value.
    QCOMPARE(t.prompts.messages(), QStringList({textFailure, protocolFailure}));
}

void tst_polling_loop::highBytesInOutputFiles_data()
{
    QTest::addColumn<QByteArray>("before"); // both files; empty: they do not exist yet
    QTest::addColumn<QByteArray>("micro");  // how "µ" must be written

    QTest::newRow("new files: UTF-8") << QByteArray() << QByteArray("\xC2\xB5");
    QTest::newRow("Windows-1252 files") << QByteArray("\xE4\r\n") << QByteArray("\xB5");
}

// The unit "µg" comes from the telegram byte 0xB5; each file keeps its encoding.
void tst_polling_loop::highBytesInOutputFiles()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, micro);
    TestApp t;
    TcpInstrument instrument;
    QVERIFY(prepareTextFileRoad(t, instrument, QStringLiteral("PRINT")));
    const QString text = t.path(QStringLiteral("werte.txt"));
    const QString protocol = t.path(QStringLiteral("protocol.txt"));
    if (!before.isEmpty()) {
        t.writeFile(QStringLiteral("werte.txt"), before);
        t.writeFile(QStringLiteral("protocol.txt"), before);
    }
    const QByteArray telegram = defaultTelegram('+', "1,5", "\xB5g");
    tickWith(t.app.mainWindow(), instrument, telegram);

    QCOMPARE(readFileBytes(text), before + "1,5{TAB}" + micro + "g\r\n");
    QCOMPARE(readFileBytes(protocol),
             before + "Datenstring: " + QByteArray(telegram).replace("\xB5", micro) +
                 "\r\nCommand: 1,5{TAB}" + micro + "g\r\n");
}

void tst_polling_loop::ticksDoNotOverlap()
{
    TestApp t;
    TcpInstrument instrument;
    QVERIFY(prepareTextFileRoad(t, instrument, QStringLiteral("PRINT")));
    mainform &mw = t.app.mainWindow();
    // A second tick while the first one waits for its telegram returns at once.
    QTimer::singleShot(5, &mw, [&] { mw.Timer1_Timer(); });
    tickWith(mw, instrument, defaultTelegram('+', "4,5", "g"));
    QCOMPARE(readFileBytes(t.path(QStringLiteral("werte.txt"))), QByteArray("4,5{TAB}g\r\n"));
}

// A record with more fields than the table has columns: the protocol notes it
// right after the entry of its send, and the status says it once.
void tst_polling_loop::fieldsWithoutColumnAreNotedAfterTheSend()
{
    TestApp t;
    TcpInstrument instrument;
    QVERIFY(prepareTextFileRoad(t, instrument, QStringLiteral("PRINT")));
    const QString db = t.path(QStringLiteral("werte.db"));
    QCOMPARE(sqlite(db, QStringLiteral("CREATE TABLE Werte(wert TEXT)")), QStringList());
    SettingsRecord &s = t.app.settings;
    s.anwendung = QStringLiteral("Access-Datenbank");
    s.AccessFile = db;
    s.AccessTable = QStringLiteral("Werte");
    s.format = QStringLiteral("{Messwert}{TAB}{Einheit}{TAB}");
    mainform &mw = t.app.mainWindow();

    const QByteArray telegram = defaultTelegram('+', "1,5", "g");
    tickWith(mw, instrument, telegram);

    QCOMPARE(sqlite(db, QStringLiteral("SELECT wert FROM Werte")), QStringList{"1,5"});
    const QString note = QStringLiteral("Access-Datenbank %1, table Werte: record added, 1 field "
                                        "found no column (the table has 1 column)")
                             .arg(db);
    QCOMPARE(readFileBytes(t.path(QStringLiteral("protocol.txt"))),
             "Datenstring: " + telegram + "\r\nCommand: 1,5{TAB}g{TAB}\r\n" + note.toUtf8() +
                 "\r\n");
    QCOMPARE(mw.Status()->panelText(1), note);
    QVERIFY(t.prompts.shown.isEmpty());
}

QTEST_MAIN(tst_polling_loop)
#include "tst_polling_loop.moc"
