#include "core/delivery/send_keys.h"
#include "core/mainform/key_polling.h"
#include "core/mainform/mainform.h"
#include "core/settings/settings.h"
#include "platform/vb/vb_timer.h"
#include "platform/x11/key_state.h"
#include "tests/support/test_app.h"
#include "tests/support/test_keys.h"

#include <QScopeGuard>
#include <QTcpServer>
#include <QtTest>

#include <tuple>

// X11 last: its macros (None, Bool, Status) break Qt headers.
#include <X11/keysym.h>

namespace {

constexpr quint16 kDown = keystate::kDown;
constexpr quint16 kPressed = keystate::kPressedSince;

} // namespace

// Key states on the test's own Xvfb, with keys pressed on Xvfb's keyboard (a
// user's typing), through XTest by another client (an on-screen keyboard, a
// VNC server) and by this program's own typing.
class tst_x11_key_state : public QObject {
    Q_OBJECT

    std::unique_ptr<TestKeys> m_keys;

    // Presses or releases a key on Xvfb's keyboard or as another client.
    bool press(bool byOtherClient, quint32 keysym, bool down)
    {
        return byOtherClient ? m_keys->injected(keysym, down) : m_keys->user(keysym, down);
    }

    // Lets go of every key the tests press, also after a failed test.
    void releaseAll()
    {
        for (const quint32 sym : {XK_Shift_L, XK_Shift_R, XK_Control_L, XK_Control_R, XK_Alt_L,
                                  XK_Alt_R, XK_Escape, XK_Print, XK_F1, XK_F2, XK_F7, XK_F12}) {
            m_keys->user(sym, false);
            m_keys->injected(sym, false);
        }
    }

private slots:
    void initTestCase()
    {
        m_keys = std::make_unique<TestKeys>();
        QVERIFY2(m_keys->error().isEmpty(), qPrintable(m_keys->error()));
    }
    void cleanup() { releaseAll(); }

    void keysCount_data();
    void keysCount();
    void ownTypingFiresNoHotkey_data();
    void ownTypingFiresNoHotkey();
    void pressBeforeOwnTypingCounts();
    void heldCombinationTogglesOnce();
    void noDisplay();
};

void tst_x11_key_state::keysCount_data()
{
    QTest::addColumn<bool>("byOtherClient");
    QTest::addColumn<int>("virtualKey");
    QTest::addColumn<quint32>("keysym");
    const std::tuple<const char *, int, quint32> keys[] = {
        {"left Shift", 16, XK_Shift_L},
        {"right Shift", 16, XK_Shift_R},
        {"left Ctrl", 17, XK_Control_L},
        {"right Ctrl", 17, XK_Control_R},
        {"left Alt", 18, XK_Alt_L},
        {"right Alt", 18, XK_Alt_R},
        {"Esc", 27, XK_Escape},
        {"Print", 44, XK_Print},
        {"F1", 112, XK_F1},
        {"F12", 123, XK_F12},
    };
    for (const bool byOtherClient : {false, true}) {
        for (const auto &[name, virtualKey, keysym] : keys) {
            QTest::addRow("%s, %s", name, byOtherClient ? "other client" : "keyboard")
                << byOtherClient << virtualKey << keysym;
        }
    }
}

// Down while held, pressed-since once per press, also for a tap between two
// queries; another client's XTest keys count as the keyboard's.
void tst_x11_key_state::keysCount()
{
    QFETCH(bool, byOtherClient);
    QFETCH(int, virtualKey);
    QFETCH(quint32, keysym);
    X11KeyState keys;
    QVERIFY2(keys.unavailable().isEmpty(), qPrintable(keys.unavailable()));
    QCOMPARE(keys.GetAsyncKeyState(virtualKey), quint16(0));

    QVERIFY(press(byOtherClient, keysym, true));
    QCOMPARE(keys.GetAsyncKeyState(virtualKey), quint16(kDown | kPressed));
    QCOMPARE(keys.GetAsyncKeyState(virtualKey), kDown);
    QVERIFY(press(byOtherClient, keysym, false));
    QCOMPARE(keys.GetAsyncKeyState(virtualKey), quint16(0));

    QVERIFY(press(byOtherClient, keysym, true));
    QVERIFY(press(byOtherClient, keysym, false));
    QCOMPARE(keys.GetAsyncKeyState(virtualKey), kPressed);
    QCOMPARE(keys.GetAsyncKeyState(virtualKey), quint16(0));
    // Another key's query leaves this key's press for its own query.
    QVERIFY(press(byOtherClient, keysym, true));
    QVERIFY(press(byOtherClient, keysym, false));
    QCOMPARE(keys.GetAsyncKeyState(virtualKey == 112 ? 113 : 112), quint16(0));
    QCOMPARE(keys.GetAsyncKeyState(virtualKey), kPressed);
}

void tst_x11_key_state::ownTypingFiresNoHotkey_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("combination"); // a Hotkeys and an Action row
    QTest::addColumn<QList<quint32>>("userKeys");
    QTest::addColumn<bool>("byOtherClient");
    for (const bool byOtherClient : {false, true}) {
        const char *source = byOtherClient ? "other client" : "keyboard";
        QTest::addRow("F2, %s", source) << "{F2}"
                                        << "F2,," << QList<quint32>{XK_F2} << byOtherClient;
        QTest::addRow("Shift F2, %s", source)
            << "+{F2}"
            << "SHIFT,F2," << QList<quint32>{XK_Shift_L, XK_F2} << byOtherClient;
        QTest::addRow("Ctrl Alt F12, %s", source)
            << "^%{F12}"
            << "CTRL,ALT,F12" << QList<quint32>{XK_Control_L, XK_Alt_L, XK_F12} << byOtherClient;
    }
}

// The program's own typing of the combination fires nothing; the user's does,
// on the keyboard or through another client.
void tst_x11_key_state::ownTypingFiresNoHotkey()
{
    QFETCH(QString, typed);
    QFETCH(QString, combination);
    QFETCH(QList<quint32>, userKeys);
    QFETCH(bool, byOtherClient);
    TestApp t;
    const QStringList names = combination.split(QLatin1Char(','));
    for (int column = 1; column <= 3; ++column) {
        t.app.settings.Hotkeys[1][std::size_t(column)] = names[column - 1];
        t.app.settings.Action[1][std::size_t(column)] = names[column - 1];
    }
    QVERIFY(t.app.keyState().unavailable().isEmpty());
    fnCheckHotkeys(t.app); // the layer listens from here on

    const KeyboardStatus typing = SendKeysEx(t.app.keyboard(), typed);
    QVERIFY2(typing.ok(), qPrintable(typing.error));
    QCOMPARE(fnCheckHotkeys(t.app), -1);
    QCOMPARE(fnCheckActionKeys(t.app), -1);

    for (const quint32 sym : userKeys)
        QVERIFY(press(byOtherClient, sym, true));
    for (const quint32 sym : userKeys)
        QVERIFY(press(byOtherClient, sym, false));
    QCOMPARE(fnCheckHotkeys(t.app), 2);
    for (const quint32 sym : userKeys)
        QVERIFY(press(byOtherClient, sym, true));
    QCOMPARE(fnCheckActionKeys(t.app), 1);
}

// Another client's tap just before the program types, read by no poll yet,
// still counts once; the typed key after it adds no press of its own.
void tst_x11_key_state::pressBeforeOwnTypingCounts()
{
    TestApp t;
    t.app.settings.Hotkeys[1][1] = QStringLiteral("F2");
    QVERIFY(t.app.keyState().unavailable().isEmpty());
    QCOMPARE(fnCheckHotkeys(t.app), -1);

    QVERIFY(m_keys->injected(XK_F2, true));
    QVERIFY(m_keys->injected(XK_F2, false));
    const KeyboardStatus typing = SendKeysEx(t.app.keyboard(), QStringLiteral("{F2}"));
    QVERIFY2(typing.ok(), qPrintable(typing.error));
    QCOMPARE(fnCheckHotkeys(t.app), 2);
    QCOMPARE(fnCheckHotkeys(t.app), -1);
}

// Ctrl+F7 held over four ticks takes the link offline once, and not back.
void tst_x11_key_state::heldCombinationTogglesOnce()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    TestApp t;
    readSettingsRecord(t.app, QString());
    SettingsRecord &s = t.app.settings;
    s.modus = QStringLiteral("HOTKEY");
    s.portnum = QStringLiteral("TCP/IP");
    s.tcpip = QStringLiteral("127.0.0.1");
    s.tcpport = QString::number(server.serverPort());
    s.Hotkeys[6][1] = QStringLiteral("CTRL");
    s.Hotkeys[6][2] = QStringLiteral("F7");
    t.app.m_waittime = 0.05;
    mainform &mw = t.app.mainWindow();
    QVERIFY(mw.isOnline());
    mw.Timer1_Timer(); // the layer listens from here on

    QVERIFY(m_keys->user(XK_Control_R, true));
    QVERIFY(m_keys->user(XK_F7, true));
    for (int tick = 0; tick < 4; ++tick)
        mw.Timer1_Timer();
    QVERIFY(!mw.isOnline());
    QCOMPARE(mw.Timer1().interval(), 0);

    QVERIFY(m_keys->user(XK_F7, false));
    mw.Timer1_Timer();
    QVERIFY(m_keys->user(XK_F7, true));
    mw.Timer1_Timer();
    QVERIFY(mw.isOnline());
    QCOMPARE(mw.Timer1().interval(), 10);
}

void tst_x11_key_state::noDisplay()
{
    X11KeyState keys(QStringLiteral(":4242"));
    QVERIFY(keys.unavailable().contains(QStringLiteral(":4242")));
    QCOMPARE(keys.GetAsyncKeyState(112), quint16(0));
}

QTEST_MAIN(tst_x11_key_state)
#include "tst_x11_key_state.moc"
