#include "core/delivery/send_keys.h"
#include "platform/x11/keyboard.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <memory>

// X11 last: its macros (None, Bool, Status) break Qt headers.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

// The test's own view of the server's keyboard mapping.
class MappingProbe {
public:
    MappingProbe()
        : m_display(XOpenDisplay(nullptr))
    {
        if (m_display)
            XDisplayKeycodes(m_display, &m_min, &m_max);
    }
    ~MappingProbe()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }
    MappingProbe(const MappingProbe &) = delete;
    MappingProbe &operator=(const MappingProbe &) = delete;

    bool isOpen() const { return m_display != nullptr; }

    // Keysyms per keycode first, then every keycode's keysyms.
    QList<quint64> snapshot() const
    {
        int perKeycode = 0;
        KeySym *syms =
            XGetKeyboardMapping(m_display, KeyCode(m_min), m_max - m_min + 1, &perKeycode);
        QList<quint64> result{quint64(perKeycode)};
        for (int i = 0; i < (m_max - m_min + 1) * perKeycode; ++i)
            result << syms[i];
        XFree(syms);
        return result;
    }

    QList<quint64> keysyms(int keycode) const
    {
        const QList<quint64> all = snapshot();
        const int perKeycode = int(all.first());
        return all.mid(1 + (keycode - m_min) * perKeycode, perKeycode);
    }

    void setKeysyms(int keycode, const QList<quint64> &keysyms)
    {
        std::vector<KeySym> syms(keysyms.begin(), keysyms.end());
        XChangeKeyboardMapping(m_display, keycode, int(syms.size()), syms.data(), 1);
        XSync(m_display, False);
    }

    // Writes back a snapshot, in one change.
    void restore(const QList<quint64> &snapshot)
    {
        std::vector<KeySym> syms(snapshot.begin() + 1, snapshot.end());
        XChangeKeyboardMapping(m_display, m_min, int(snapshot.first()), syms.data(),
                               m_max - m_min + 1);
        XSync(m_display, False);
    }

    // Gives every keycode without keysyms one, so that no spare key is left.
    void fillEmptyKeycodes()
    {
        QList<quint64> all = snapshot();
        const auto perKeycode = qsizetype(all.first());
        for (qsizetype row = 1; row < all.size(); row += perKeycode) {
            const auto keysyms = all.sliced(row, perKeycode);
            if (std::all_of(keysyms.begin(), keysyms.end(), [](quint64 s) { return s == 0; }))
                all[row] = XK_VoidSymbol;
        }
        restore(all);
    }

    int keycodeOf(KeySym keysym) const { return XKeysymToKeycode(m_display, keysym); }

    // Presses or releases a key as the user would.
    void setKeyDown(int keycode, bool down)
    {
        XTestFakeKeyEvent(m_display, unsigned(keycode), down ? True : False, CurrentTime);
        XSync(m_display, False);
    }

    bool isKeyDown(int keycode) const
    {
        char keys[32] = {};
        XQueryKeymap(m_display, keys);
        return keys[keycode / 8] & (1 << (keycode % 8));
    }

    // Switches the layout to XKB group (0 the first), as a layout switch key does.
    void lockGroup(int group)
    {
        XkbLockGroup(m_display, XkbUseCoreKbd, unsigned(group));
        XSync(m_display, False);
    }

    // The modifier a lock key locks (Lock for Caps Lock, Mod2 for Num Lock here).
    unsigned int modifierOf(KeySym lockKey) const
    {
        return XkbKeysymToModifiers(m_display, lockKey);
    }

    // Locks exactly the modifiers of mask among those of affected.
    void setLocks(unsigned int affected, unsigned int mask)
    {
        XkbLockModifiers(m_display, XkbUseCoreKbd, affected, mask);
        XSync(m_display, False);
    }

    unsigned int locks() const
    {
        XkbStateRec state{};
        XkbGetState(m_display, XkbUseCoreKbd, &state);
        return state.locked_mods;
    }

private:
    Display *m_display = nullptr;
    int m_min = 0;
    int m_max = 0;
};

// A line edit that takes the function keys pressed in it for itself, in
// order (on X11, Qt's line edit would undo at F14).
class LineEdit : public QLineEdit {
public:
    QList<int> functionKeys;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() >= Qt::Key_F1 && event->key() <= Qt::Key_F35)
            functionKeys << event->key();
        else
            QLineEdit::keyPressEvent(event);
    }
};

} // namespace

// Types with XTest into real Qt widgets of this process, on the test's own Xvfb.
class TstX11Keyboard : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> m_window;
    LineEdit *m_line = nullptr;
    QPlainTextEdit *m_plain = nullptr;
    std::unique_ptr<X11Keyboard> m_keyboard;
    std::unique_ptr<MappingProbe> m_probe;

    bool focus(QWidget *widget)
    {
        widget->setFocus();
        return QTest::qWaitFor([&] { return widget->hasFocus(); });
    }

    // Types text and a marker into the line edit and waits for the marker, which
    // shows that everything before it has been read; the mapping is the same
    // afterwards. error: a text the status must hold, "" for success.
    void typeIntoLine(const QString &text, const QString &shown, const QString &error = {})
    {
        m_line->clear();
        QVERIFY(focus(m_line));
        const QList<quint64> before = m_probe->snapshot();
        const KeyboardStatus status = SendKeysEx(*m_keyboard, text + QStringLiteral("#"));
        if (error.isEmpty())
            QVERIFY2(status, qPrintable(status.error));
        else
            QVERIFY2(!status && status.error.contains(error), qPrintable(status.error));
        QTRY_COMPARE(m_line->text(), shown + QStringLiteral("#"));
        QCOMPARE(m_probe->snapshot(), before);
    }

private slots:
    void initTestCase()
    {
        m_window = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(m_window.get());
        m_line = new LineEdit;
        m_plain = new QPlainTextEdit;
        layout->addWidget(m_line);
        layout->addWidget(m_plain);
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        m_keyboard = std::make_unique<X11Keyboard>();
        QVERIFY2(m_keyboard->available(), qPrintable(m_keyboard->available().error));
        m_probe = std::make_unique<MappingProbe>();
        QVERIFY(m_probe->isOpen());
    }
    void cleanupTestCase()
    {
        m_keyboard.reset();
        m_window.reset();
    }

    // The text arrives exactly, also characters the US layout lacks, and the
    // keyboard mapping is the same afterwards.
    void typesIntoLineEdit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char *text, const char *shown) {
            QTest::newRow(text) << QString::fromUtf8(text) << QString::fromUtf8(shown);
        };
        row("Ab1,5 g", "Ab1,5 g");
        row("12.50 \xC2\xB5g", "12.50 \xC2\xB5g");
        row("\xC3\xA4\xE2\x82\xAC\xC3\x9F", "\xC3\xA4\xE2\x82\xAC\xC3\x9F");
        row("\xC3\x84\xC3\x96\xC3\x9C", "\xC3\x84\xC3\x96\xC3\x9C");
        row("1\xC2\xB5"
            "2\xC3\xA4"
            "3\xC2\xB5",
            "1\xC2\xB5"
            "2\xC3\xA4"
            "3\xC2\xB5");
        row("\xCE\xA9 \xE2\x80\x93 \xF0\x9F\x98\x80", "\xCE\xA9 \xE2\x80\x93 \xF0\x9F\x98\x80");
        row("[];'\\,./`-=", "[];'\\,./`-=");
        row("!@#$&*()_|:\"<>?~", "!@#$&*()_|:\"<>?~");
        row("{x}{DEL}", "{x}");
        row("bc{HOME}a{END}x{LEFT}{BS}{END}", "abx");
        row("+%^", "");
    }
    void typesIntoLineEdit()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        typeIntoLine(text, shown);
    }

    void enterAndTabReachPlainText()
    {
        m_plain->clear();
        QVERIFY(focus(m_plain));
        QVERIFY(SendKeysEx(*m_keyboard, QStringLiteral("1{ENTER}2{TAB}3{enter}")));
        QTRY_COMPARE(m_plain->toPlainText(), QStringLiteral("1\n2\t3\n"));
    }

    // A layout changed while the program runs (here Y and Z swapped, as on a
    // German keyboard) is used for the next keys.
    void followsLayoutChange()
    {
        const int y = m_probe->keycodeOf(XK_y);
        const int z = m_probe->keycodeOf(XK_z);
        const QList<quint64> ySyms = m_probe->keysyms(y);
        const QList<quint64> zSyms = m_probe->keysyms(z);
        m_probe->setKeysyms(y, zSyms);
        m_probe->setKeysyms(z, ySyms);
        const auto restore = qScopeGuard([&] {
            m_probe->setKeysyms(y, ySyms);
            m_probe->setKeysyms(z, zSyms);
        });
        m_line->clear();
        QVERIFY(focus(m_line));
        QVERIFY(SendKeysEx(*m_keyboard, QStringLiteral("zyZY")));
        QTRY_COMPARE(m_line->text(), QStringLiteral("zyZY"));
    }

    // A hotkey the user still holds (Ctrl+F1 that started the send) does
    // not turn the value into shortcuts; the key is up afterwards.
    void releasesHeldModifiers_data()
    {
        QTest::addColumn<quint64>("keysym");
        QTest::newRow("Control_L") << quint64(XK_Control_L);
        QTest::newRow("Control_R") << quint64(XK_Control_R);
        QTest::newRow("Shift_L") << quint64(XK_Shift_L);
        QTest::newRow("Alt_L") << quint64(XK_Alt_L);
    }
    void releasesHeldModifiers()
    {
        QFETCH(quint64, keysym);
        const int keycode = m_probe->keycodeOf(keysym);
        QVERIFY(keycode != 0);
        m_line->clear();
        QVERIFY(focus(m_line));
        m_probe->setKeyDown(keycode, true);
        const auto release = qScopeGuard([&] { m_probe->setKeyDown(keycode, false); });
        QVERIFY(m_probe->isKeyDown(keycode));
        QVERIFY(SendKeysEx(*m_keyboard, QStringLiteral("12,5")));
        QTRY_COMPARE(m_line->text(), QStringLiteral("12,5"));
        QVERIFY(!m_probe->isKeyDown(keycode));
    }

    // The layout is read in the active XKB group: with a second group that
    // swaps Y and Z and has an o-umlaut where the US layout has ";", the
    // keys of that group are pressed, and ";" (not in it) still arrives.
    void followsActiveGroup()
    {
        const int y = m_probe->keycodeOf(XK_y);
        const int z = m_probe->keycodeOf(XK_z);
        const int semicolon = m_probe->keycodeOf(XK_semicolon);
        const QList<QList<quint64>> rows{m_probe->keysyms(y), m_probe->keysyms(z),
                                         m_probe->keysyms(semicolon)};
        const auto withGroup2 = [](QList<quint64> row, KeySym lower, KeySym upper) {
            row[2] = lower;
            row[3] = upper;
            return row;
        };
        m_probe->setKeysyms(y, withGroup2(rows[0], XK_z, XK_Z));
        m_probe->setKeysyms(z, withGroup2(rows[1], XK_y, XK_Y));
        m_probe->setKeysyms(semicolon, withGroup2(rows[2], XK_odiaeresis, XK_Odiaeresis));
        m_probe->lockGroup(1);
        const auto restore = qScopeGuard([&] {
            m_probe->lockGroup(0);
            m_probe->setKeysyms(y, rows[0]);
            m_probe->setKeysyms(z, rows[1]);
            m_probe->setKeysyms(semicolon, rows[2]);
        });
        m_line->clear();
        QVERIFY(focus(m_line));
        QCOMPARE(m_keyboard->VkKeyScanA(char(0xF6)), qint16(0xBA));
        QVERIFY(SendKeysEx(*m_keyboard, QString::fromUtf8("zyZY\xC3\xB6\xC3\x96;")));
        QTRY_COMPARE(m_line->text(), QString::fromUtf8("zyZY\xC3\xB6\xC3\x96;"));
    }

    // Control characters and the left and right modifier keys have their
    // Windows virtual keys.
    void mapsVirtualKeys_data()
    {
        QTest::addColumn<int>("character");
        QTest::addColumn<int>("key");
        QTest::newRow("CR") << 13 << 0x0D;
        QTest::newRow("TAB") << 9 << 0x09;
        QTest::newRow("BS") << 8 << 0x08;
        QTest::newRow("ESC") << 27 << 0x1B;
        QTest::newRow("a") << int('a') << 0x41;
        QTest::newRow("A with Shift") << int('A') << 0x141;
        QTest::newRow("colon with Shift") << int(':') << 0x1BA;
        QTest::newRow("o-umlaut off the layout") << 0xF6 << -1;
    }
    void mapsVirtualKeys()
    {
        QFETCH(int, character);
        QFETCH(int, key);
        QCOMPARE(m_keyboard->VkKeyScanA(char(character)), qint16(key));
    }
    void knowsLeftAndRightModifiers_data()
    {
        QTest::addColumn<int>("virtualKey");
        QTest::addColumn<quint64>("keysym");
        QTest::newRow("VK_LSHIFT") << 0xA0 << quint64(XK_Shift_L);
        QTest::newRow("VK_RSHIFT") << 0xA1 << quint64(XK_Shift_R);
        QTest::newRow("VK_LCONTROL") << 0xA2 << quint64(XK_Control_L);
        QTest::newRow("VK_RCONTROL") << 0xA3 << quint64(XK_Control_R);
        QTest::newRow("VK_LMENU") << 0xA4 << quint64(XK_Alt_L);
        QTest::newRow("VK_RMENU") << 0xA5 << quint64(XK_Alt_R);
    }
    void knowsLeftAndRightModifiers()
    {
        QFETCH(int, virtualKey);
        QFETCH(quint64, keysym);
        const int keycode = m_probe->keycodeOf(keysym);
        QVERIFY(keycode != 0);
        QCOMPARE(m_keyboard->MapVirtualKeyA(quint32(virtualKey), 0), quint32(keycode - 8));
        QVERIFY(m_keyboard->keybd_event(quint8(virtualKey), 0, 0));
        const auto release =
            qScopeGuard([&] { m_keyboard->keybd_event(quint8(virtualKey), 0, KEYEVENTF_KEYUP); });
        QTRY_VERIFY(m_probe->isKeyDown(keycode));
    }

    // Letters arrive as written with Caps Lock or Num Lock on; the locks are
    // as before afterwards, each toggled by a tap of its key in the text.
    void typesAsWrittenWhateverTheLocks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("locksBefore");
        QTest::addColumn<QStringList>("locksAfter");
        const QStringList none;
        const QStringList caps{QStringLiteral("Caps")};
        const QStringList num{QStringLiteral("Num")};
        const QStringList both = caps + num;
        const auto row = [](const char *name, const char *text, const char *shown,
                            const QStringList &before, const QStringList &after) {
            QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(shown) << before
                                << after;
        };
        row("Caps Lock", "Abc XyZ 12,5 g", "Abc XyZ 12,5 g", caps, caps);
        row("Num Lock", "Ab 7.5/2", "Ab 7.5/2", num, num);
        row("both", "aBc 1,5 KG", "aBc 1,5 KG", both, both);
        row("Caps Lock and spare keys", "\xC3\xA4 Ab \xC2\xB5g C", "\xC3\xA4 Ab \xC2\xB5g C", caps,
            caps);
        row("{CAPSLOCK} locks it at the end", "ab{CAPSLOCK}Cd", "abCd", none, caps);
        row("{CAPSLOCK} unlocks it at the end", "ab{CAPSLOCK}Cd", "abCd", caps, none);
        row("{NUMLOCK} with Caps Lock on", "a{NUMLOCK}B", "aB", caps, both);
    }
    void typesAsWrittenWhateverTheLocks()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QFETCH(QStringList, locksBefore);
        QFETCH(QStringList, locksAfter);
        const unsigned int capsLock = m_probe->modifierOf(XK_Caps_Lock);
        const unsigned int numLock = m_probe->modifierOf(XK_Num_Lock);
        QVERIFY(capsLock != 0 && numLock != 0 && capsLock != numLock);
        const auto maskOf = [&](const QStringList &locks) {
            return (locks.contains(QStringLiteral("Caps")) ? capsLock : 0) |
                   (locks.contains(QStringLiteral("Num")) ? numLock : 0);
        };
        const unsigned int both = capsLock | numLock;
        m_probe->setLocks(both, maskOf(locksBefore));
        const auto unlock = qScopeGuard([&] { m_probe->setLocks(both, 0); });
        QCOMPARE(m_probe->locks() & both, maskOf(locksBefore));
        typeIntoLine(text, shown);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(m_probe->locks() & both, maskOf(locksAfter));
    }

    // Function keys the layout has no keysym for (F13..F16 on the PC layout,
    // F7 once taken off it) go out on spare keys, and the text goes on; the
    // mapping is the same afterwards.
    void typesKeysTheLayoutLacks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QList<int>>("functionKeys");
        QTest::addColumn<quint64>("takenOff"); // a keysym removed from the layout first
        QTest::newRow("F13 to F16")
            << QStringLiteral("1{F13}2{F14}3{F15}4{F16}5") << QStringLiteral("12345")
            << QList<int>{Qt::Key_F13, Qt::Key_F14, Qt::Key_F15, Qt::Key_F16} << quint64(0);
        QTest::newRow("F13 twice, Shift, spare characters")
            << QString::fromUtf8("\xC3\xA4{F13}+{F13}X\xC3\xA4{f13}")
            << QString::fromUtf8("\xC3\xA4X\xC3\xA4")
            << QList<int>{Qt::Key_F13, Qt::Key_F13, Qt::Key_F13} << quint64(0);
        QTest::newRow("F7 taken off the layout")
            << QString::fromUtf8("1\xC3\xA4{F7}\xC3\xB6") << QString::fromUtf8("1\xC3\xA4\xC3\xB6")
            << QList<int>{Qt::Key_F7} << quint64(XK_F7);
    }
    void typesKeysTheLayoutLacks()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QFETCH(QList<int>, functionKeys);
        QFETCH(quint64, takenOff);
        const QList<quint64> layout = m_probe->snapshot();
        const auto restore = qScopeGuard([&] { m_probe->restore(layout); });
        if (takenOff != 0) {
            const int keycode = m_probe->keycodeOf(takenOff);
            m_probe->setKeysyms(keycode, QList<quint64>(m_probe->keysyms(keycode).size(), 0));
        }
        m_line->functionKeys.clear();
        typeIntoLine(text, shown);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(m_line->functionKeys, functionKeys);
    }

    // With no keycode left for a spare key, what cannot be typed is skipped,
    // the rest arrives and the status says what was missing.
    void typesTheRestWithoutSpareKeys_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("error");
        QTest::newRow("F13") << QStringLiteral("a{F13}b") << QStringLiteral("ab")
                             << QStringLiteral("virtual key 0x7c");
        QTest::newRow("character") << QString::fromUtf8("a\xC3\xA4{F1}B") << QStringLiteral("aB")
                                   << QString::fromUtf8("\"\xC3\xA4\"");
    }
    void typesTheRestWithoutSpareKeys()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QFETCH(QString, error);
        const QList<quint64> layout = m_probe->snapshot();
        m_probe->fillEmptyKeycodes();
        const auto restore = qScopeGuard([&] { m_probe->restore(layout); });
        typeIntoLine(text, shown, error);
    }

    void unreachableDisplayIsReported()
    {
        X11Keyboard keyboard(QStringLiteral(":4711"));
        QVERIFY(!keyboard.available());
        QVERIFY2(keyboard.available().error.contains(QLatin1String(":4711")),
                 qPrintable(keyboard.available().error));
        QCOMPARE(SendKeysEx(keyboard, QStringLiteral("1")).error, keyboard.available().error);
        QCOMPARE(keyboard.VkKeyScanA('1'), qint16(-1));
    }
};

QTEST_MAIN(TstX11Keyboard)
#include "tst_x11_keyboard.moc"
