#include "core/mainform/control_tag.h"
#include "core/mainform/key_polling.h"
#include "core/mainform/mainform.h"
#include "core/mainform/panel_bar.h"
#include "core/settings/settings.h"
#include "platform/ports/tcp_socket.h"
#include "platform/vb/vb_runtime.h"
#include "platform/vb/vb_timer.h"
#include "tests/support/file_bytes.h"
#include "tests/support/measurement_road.h"
#include "tests/support/recording_key_state.h"
#include "tests/support/tcp_instrument.h"
#include "tests/support/test_app.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace {

constexpr int kShift = 16, kCtrl = 17, kAlt = 18, kEsc = 27, kPrint = 44;
constexpr int kF1 = 112, kF2 = 113, kF3 = 114, kF5 = 116, kF7 = 118, kF9 = 120, kF12 = 123;

RecordingKeyState &installKeys(App &app)
{
    auto keys = std::make_unique<RecordingKeyState>();
    RecordingKeyState &result = *keys;
    app.installKeyState(std::move(keys));
    return result;
}

// "row:first,second,third" into columns 1..3 of that row of a key table.
template <std::size_t Columns>
void setRow(std::array<std::array<QString, Columns>, 9> &table, const QString &row)
{
    const QStringList parts = row.split(QLatin1Char(':'));
    const QStringList names = parts.value(1).split(QLatin1Char(','));
    auto &cells = table[std::size_t(parts.value(0).toInt())];
    for (int column = 1; column <= 3; ++column)
        cells[std::size_t(column)] = names.value(column - 1);
}

// The program online in mode HOTKEY over TCP to an instrument this test holds,
// which reads the commands of the action buttons.
struct CommandRoad {
    TestApp t;
    RecordingKeyState &keys = installKeys(t.app);
    QTcpServer server;
    std::unique_ptr<QTcpSocket> instrument;

    bool start()
    {
        readSettingsRecord(t.app, QString());
        SettingsRecord &s = t.app.settings;
        s.modus = QStringLiteral("HOTKEY");
        s.portnum = QStringLiteral("TCP/IP");
        s.tcpip = QStringLiteral("127.0.0.1");
        t.app.m_waittime = 0.05; // the ticks read no telegrams
        if (!server.listen(QHostAddress::LocalHost))
            return false;
        s.tcpport = QString::number(server.serverPort());
        TcpSocket &socket = t.app.mainWindow().Winsock1();
        socket.setRemoteHost(s.tcpip);
        socket.setRemotePort(server.serverPort());
        socket.Connect();
        if (!QTest::qWaitFor([&] { return server.hasPendingConnections(); }))
            return false;
        instrument.reset(server.nextPendingConnection());
        return QTest::qWaitFor([&] { return socket.State() == 7; });
    }

    // An Action row with a caption and the command "ESC" + letter.
    void setAction(const QString &row, char letter)
    {
        setRow(t.app.settings.Action, row);
        auto &cells =
            t.app.settings.Action[std::size_t(row.section(QLatin1Char(':'), 0, 0).toInt())];
        cells[4] = QStringLiteral("ESC") + QLatin1Char(letter);
        cells[5] = QString(QLatin1Char(letter));
        cells[6] = QStringLiteral("0");
    }

    // What reached the instrument within a while after ticks.
    QByteArray received()
    {
        instrument->waitForReadyRead(200);
        return instrument->readAll();
    }
};

void tickTimes(mainform &mw, int ticks)
{
    for (int i = 0; i < ticks; ++i)
        mw.Timer1_Timer();
}

} // namespace

class tst_key_polling : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void matching_data();
    void matching();
    void actionRowPressesItsButton();
    void hotkeysComeFirst();
    void heldHotkeySendsOnce();
    void heldActionKeySendsOnce();
    void heldHotkeyKeepsActionKeysUnread();
    void onlineOfflineComboWorksBothWays();
    void unavailableKeysAreSaidOnce();
    void noKeysPolledOnceExitBegun_data();
    void noKeysPolledOnceExitBegun();
};

// The same rows stand in both tables; each function reads a fresh key state.
void tst_key_polling::matching_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QList<int>>("down");
    QTest::addColumn<QList<int>>("pressed"); // since the last query, maybe released again
    QTest::addColumn<int>("hotkey");
    QTest::addColumn<int>("action");
    QTest::addColumn<QList<int>>("queries");
    using L = QList<int>;
    QStringList ctrlAltShift{QStringLiteral("0:CTRL,ALT,SHIFT")};
    QStringList threeKeys{QStringLiteral("4:CTRL,SHIFT,F12")};
    QStringList ctrlF2{QStringLiteral("1:CTRL,F2,")};

    QTest::newRow("no rows") << QStringList() << L{kF5} << L{kF5} << -1 << -1 << L{};
    QTest::newRow("one key down") << QStringList{"0:F5,,"} << L{kF5} << L{} << 1 << 0 << L{kF5};
    QTest::newRow("one key tapped since the last poll")
        << QStringList{"3:ESC,,"} << L{} << L{kEsc} << 4 << 3 << L{kEsc};
    QTest::newRow("one key up") << QStringList{"0:F5,,"} << L{} << L{} << -1 << -1 << L{kF5};
    QTest::newRow("only a second key") << QStringList{"0:,F5,"} << L{kF5} << L{} << -1 << -1 << L{};
    QTest::newRow("only a third key") << QStringList{"0:,,F5"} << L{kF5} << L{} << -1 << -1 << L{};
    QTest::newRow("first and third key")
        << QStringList{"0:CTRL,,F5"} << L{kCtrl, kF5} << L{} << -1 << -1 << L{};
    QTest::newRow("lower-case name")
        << QStringList{"0:ctrl,,"} << L{kCtrl} << L{} << -1 << -1 << L{};
    QTest::newRow("name with a blank")
        << QStringList{"0:CTRL ,,"} << L{kCtrl} << L{} << -1 << -1 << L{};
    QTest::newRow("no F13") << QStringList{"0:F13,,"} << L{} << L{} << -1 << -1 << L{};
    QTest::newRow("third key not F: code 3")
        << ctrlAltShift << L{kCtrl, kAlt, kShift} << L{} << -1 << -1 << L{kCtrl, kAlt, 3};
    QTest::newRow("third key code 3 down")
        << ctrlAltShift << L{kCtrl, kAlt, 3} << L{} << 1 << 0 << L{kCtrl, kAlt, 3};
    QTest::newRow("three keys down")
        << threeKeys << L{kCtrl, kShift, kF12} << L{} << 5 << 4 << L{kCtrl, kShift, kF12};
    QTest::newRow("three keys, third up")
        << threeKeys << L{kCtrl, kShift} << L{} << -1 << -1 << L{kCtrl, kShift, kF12};
    QTest::newRow("highest row wins") << QStringList{"2:CTRL,F1,", "5:CTRL,,"} << L{kCtrl, kF1}
                                      << L{} << 6 << 5 << L{kCtrl, kF1, kCtrl};
    QTest::newRow("held and tapped: hotkey only")
        << ctrlF2 << L{kCtrl} << L{kF2} << 2 << -1 << L{kCtrl, kF2};
    QTest::newRow("both held, one pressed too")
        << ctrlF2 << L{kCtrl, kF2} << L{kF2} << 2 << 1 << L{kCtrl, kF2};
    QTest::newRow("both tapped") << ctrlF2 << L{} << L{kCtrl, kF2} << 2 << 1 << L{kCtrl, kF2};
    QTest::newRow("ALT and PRINT")
        << QStringList{"7:ALT,PRINT,"} << L{kAlt, kPrint} << L{} << 8 << 7 << L{kAlt, kPrint};
    QTest::newRow("row 8 is not polled")
        << QStringList{"8:F5,,"} << L{kF5} << L{} << -1 << -1 << L{};
    // The first query takes the tap; the second row sees the key up.
    QTest::newRow("a tap counts for one row")
        << QStringList{"0:F5,,", "1:F5,,"} << L{} << L{kF5} << 1 << 0 << L{kF5, kF5};
}

void tst_key_polling::matching()
{
    QFETCH(QStringList, rows);
    QFETCH(QList<int>, down);
    QFETCH(QList<int>, pressed);
    QFETCH(int, hotkey);
    QFETCH(int, action);
    QFETCH(QList<int>, queries);

    TestApp t;
    RecordingKeyState &keys = installKeys(t.app);
    for (const QString &row : rows) {
        setRow(t.app.settings.Hotkeys, row);
        setRow(t.app.settings.Action, row);
    }
    const auto pressKeys = [&] {
        keys.down = QSet<int>(down.begin(), down.end());
        keys.pressedSince = QSet<int>(pressed.begin(), pressed.end());
        keys.queries.clear();
    };

    pressKeys();
    QCOMPARE(fnCheckHotkeys(t.app), hotkey);
    QCOMPARE(keys.queries, queries);
    pressKeys();
    QCOMPARE(fnCheckActionKeys(t.app), action);
    QCOMPARE(keys.queries, queries);
}

void tst_key_polling::actionRowPressesItsButton()
{
    CommandRoad road;
    QVERIFY(road.start());
    road.setAction(QStringLiteral("0:F9,,"), 'A');
    road.setAction(QStringLiteral("2:ALT,F3,"), 'C');
    mainform &mw = road.t.app.mainWindow();
    mw.DDESTRING()->setText(QStringLiteral("last output"));

    road.keys.press({kAlt, kF3});
    mw.Timer1_Timer();

    QCOMPARE(road.received(), QByteArray("\x1b"
                                         "C\r\n")); // button 11, row 2's command
    QVERIFY(mw.DDESTRING()->text().isEmpty());
}

void tst_key_polling::hotkeysComeFirst()
{
    CommandRoad road;
    QVERIFY(road.start());
    road.setAction(QStringLiteral("2:ALT,F3,"), 'C');
    setRow(road.t.app.settings.Hotkeys, QStringLiteral("0:ALT,F3,"));
    mainform &mw = road.t.app.mainWindow();

    road.keys.press({kAlt, kF3});
    mw.Timer1_Timer();

    QVERIFY(road.t.app.bSendNow); // button 1
    QVERIFY(road.received().isEmpty());
    QCOMPARE(road.keys.queries, (QList<int>{kAlt, kF3}));
}

// Held over three telegrams, Send sends one value; pressed again, one more.
void tst_key_polling::heldHotkeySendsOnce()
{
    TestApp t;
    RecordingKeyState &keys = installKeys(t.app);
    TcpInstrument instrument;
    QVERIFY(prepareTextFileRoad(t, instrument, QStringLiteral("HOTKEY")));
    setRow(t.app.settings.Hotkeys, QStringLiteral("0:CTRL,F5,"));
    mainform &mw = t.app.mainWindow();
    const QString values = t.path(QStringLiteral("werte.txt"));

    keys.press({kCtrl, kF5});
    for (const QByteArray value : {"1,0", "2,0", "3,0"})
        tickWith(mw, instrument, defaultTelegram('+', value, "g"));
    QCOMPARE(readFileBytes(values), QByteArray("1,0{TAB}g\r\n"));

    keys.releaseAll();
    tickWith(mw, instrument, defaultTelegram('+', "4,0", "g"));
    keys.press({kCtrl, kF5});
    tickWith(mw, instrument, defaultTelegram('+', "5,0", "g"));
    QCOMPARE(readFileBytes(values), QByteArray("1,0{TAB}g\r\n5,0{TAB}g\r\n"));
}

void tst_key_polling::heldActionKeySendsOnce()
{
    CommandRoad road;
    QVERIFY(road.start());
    road.setAction(QStringLiteral("0:F9,,"), 'T');
    mainform &mw = road.t.app.mainWindow();

    road.keys.press({kF9});
    tickTimes(mw, 3);
    QCOMPARE(road.received(), QByteArray("\x1bT\r\n"));

    road.keys.releaseAll();
    mw.Timer1_Timer();
    road.keys.press({kF9});
    mw.Timer1_Timer();
    QCOMPARE(road.received(), QByteArray("\x1bT\r\n"));
}

// A held hotkey must not press the button of an action row it also matches.
void tst_key_polling::heldHotkeyKeepsActionKeysUnread()
{
    CommandRoad road;
    QVERIFY(road.start());
    setRow(road.t.app.settings.Hotkeys, QStringLiteral("3:CTRL,F5,")); // button 4: reset only
    road.setAction(QStringLiteral("0:CTRL,,"), 'T');
    mainform &mw = road.t.app.mainWindow();

    road.keys.press({kCtrl, kF5});
    tickTimes(mw, 3);

    QVERIFY(road.received().isEmpty());
    QCOMPARE(road.keys.queries, (QList<int>{kCtrl, kF5, kCtrl, kF5, kCtrl, kF5}));
}

// The online/offline combination held across the switch toggles once; pressed
// again while offline (the main timer stopped), it brings the link back.
void tst_key_polling::onlineOfflineComboWorksBothWays()
{
    QTcpServer server; // each way online is one more connection to it
    QVERIFY(server.listen(QHostAddress::LocalHost));
    int connections = 0;
    const auto countConnections = [&] {
        while (server.nextPendingConnection()) // the server keeps the sockets
            ++connections;
        return connections;
    };
    TestApp t;
    RecordingKeyState &keys = installKeys(t.app);
    t.writeFile(QStringLiteral("language.ini"), "[SPRACHE]\r\naktuell=KEYS\r\n");
    t.writeFile(QStringLiteral("mondrelquist.ini"), "[waittime]\r\nm_waittime=0.05\r\n");
    t.writeFile(QStringLiteral("standard.cfg"),
                "[Port settings]\r\nportnum=TCP/IP\r\ntcpip=127.0.0.1\r\ntcpport=" +
                    QByteArray::number(server.serverPort()) + "\r\n[Mode]\r\nmodus=HOTKEY\r\n");
    mainform &mw = t.app.mainWindow();
    mw.Form_Load();
    setRow(t.app.settings.Hotkeys, QStringLiteral("6:CTRL,F7,"));
    QVERIFY(mw.isOnline());
    QTRY_COMPARE(countConnections(), 1);

    keys.press({kCtrl, kF7});
    QTRY_VERIFY(!mw.isOnline());
    QCOMPARE(mw.Timer1().interval(), 0);
    // Held: polled again and again, but no second toggle.
    QVERIFY(!QTest::qWaitFor([&] { return mw.isOnline() || countConnections() > 1; }, 500));

    keys.releaseAll();
    QTest::qWait(250);
    keys.press({kCtrl, kF7});
    QTRY_VERIFY(mw.isOnline());
    QCOMPARE(mw.Timer1().interval(), 10);
    QTRY_COMPARE(countConnections(), 2);
}

// Without a display the program runs on and says so once, not at every poll.
void tst_key_polling::unavailableKeysAreSaidOnce()
{
    TestApp t;
    RecordingKeyState &keys = installKeys(t.app);
    keys.unavailableText = QStringLiteral("Cannot open the X display \"\" to read the keys.");
    t.writeFile(QStringLiteral("language.ini"), "[SPRACHE]\r\naktuell=KEYS\r\n");
    t.writeFile(QStringLiteral("mondrelquist.ini"), "[ports]\r\nCOM3=/nonexistent/tty\r\n");
    t.writeFile(QStringLiteral("standard.cfg"), "[Port settings]\r\nportnum=3\r\n");
    mainform &mw = t.app.mainWindow();
    mw.Form_Load();

    QCOMPARE(mw.Status()->panelText(1),
             QStringLiteral("Start über 'online'; Hotkeys unavailable: ") + keys.unavailableText);
    setRow(t.app.settings.Hotkeys, QStringLiteral("0:F5,,"));
    setTag(mw.Command5(7), vb::BoolText(false)); // offline: the ticks read nothing
    mw.fnUpdateStatus(QString());
    tickTimes(mw, 2);
    QTest::qWait(250);
    QVERIFY(mw.Status()->panelText(1).isEmpty());
    QVERIFY(!keys.queries.isEmpty());
}

void tst_key_polling::noKeysPolledOnceExitBegun_data()
{
    QTest::addColumn<QString>("exit");
    QTest::newRow("button 8") << "button 8";
    QTest::newRow("File > Exit") << "quit";
    QTest::newRow("window closed") << "close";
}

// While the exit asks whether to save, an action key pressed meanwhile sends no
// command over the link the exit closed and opens no box over the question.
void tst_key_polling::noKeysPolledOnceExitBegun()
{
    QFETCH(QString, exit);
    CommandRoad road;
    QVERIFY(road.start());
    road.setAction(QStringLiteral("0:F9,,"), 'A');
    mainform &mw = road.t.app.mainWindow();
    mw.Timer1().setInterval(10); // online
    road.t.app.CfgPath.clear();  // without a settings file the exit always asks
    const QString question = road.t.app.texts.TextAenderungenSpeichern;
    road.t.prompts.messageAnswers = {Prompts::Answer::No};
    qsizetype queriesBefore = -1;
    road.t.prompts.onMessage = [&](const QString &text) {
        if (text != question)
            return;
        queriesBefore = road.keys.queries.size();
        road.keys.press({kF9});
        QTest::qWait(200); // ticks would run now
    };

    if (exit == QLatin1String("button 8"))
        mw.Command5_Click(8);
    else if (exit == QLatin1String("quit"))
        mw.quit_Click();
    else
        mw.close();
    QVERIFY(runUntilEnded(road.t.app));

    QVERIFY(queriesBefore >= 0);
    QCOMPARE(road.keys.queries.size(), queriesBefore);
    QCOMPARE(road.t.prompts.messages(), QStringList{question});
    QCOMPARE(road.received(), QByteArray());
}

QTEST_MAIN(tst_key_polling)
#include "tst_key_polling.moc"
