#include "core/delivery/send_keys.h"
#include "tests/support/recording_keyboard.h"

#include <QTest>

// Event notation of RecordingKeyboard: "vk:scan:flags" in hex, flags 1 extended,
// 2 key up; "U+xxxx" a character typed on a spare key, "map:U+xxxx,..." the
// characters put on spare keys, "unmap" the spare keys given back, "begin" and
// "end" the typing of the text.
class TstSendKeys : public QObject {
    Q_OBJECT

private slots:
    void sendsEventsInOrder_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("events");
        // Whatever the text sends is one typing.
        const auto row = [](const char *name, const char *text, const char *events) {
            const QString sent = QString::fromLatin1(events);
            QTest::newRow(name) << QString::fromUtf8(text)
                                << (sent.isEmpty() ? sent : "begin " + sent + " end");
        };
        const char *enter = "0d:1c:0 0d:1c:2";
        row("empty", "", "");
        row("ENTER", "{ENTER}", enter);
        row("enter lower case", "{enter}", enter);
        row("Enter mixed case then x", "{Enter}x", "0d:1c:0 0d:1c:2 58:2d:0 58:2d:2");
        row("BS", "{BS}", "08:0e:0 08:0e:2");
        row("BKSP", "{BKSP}", "08:0e:0 08:0e:2");
        row("BACKSPACE", "{BACKSPACE}", "08:0e:0 08:0e:2");
        row("F10 before F1", "{F10}", "79:44:1 79:44:3");
        row("F1", "{F1}", "70:3b:1 70:3b:3");
        row("F12", "{F12}", "7b:58:1 7b:58:3");
        row("F16 without scan code", "{F16}", "7f:00:1 7f:00:3");
        row("ENTER without brace skips one", "{ENTERxy", "0d:1c:0 0d:1c:2 59:15:0 59:15:2");
        row("ENTER without brace at end", "{ENTER", enter);
        row("DELETE before DEL", "{DELETE}", "2e:53:1 2e:53:3");
        row("DEL", "{DEL}1", "2e:53:1 2e:53:3 31:02:0 31:02:2");
        row("INSERT before INS", "{INSERT}", "2d:52:1 2d:52:3");
        row("TAB between values", "1{TAB}2", "31:02:0 31:02:2 09:0f:0 09:0f:2 32:03:0 32:03:2");
        row("plus taps Shift", "+", "10:2a:1 10:2a:3");
        row("percent taps Alt", "%", "12:38:1 12:38:3");
        row("caret taps Ctrl", "^", "11:1d:1 11:1d:3");
        row("plus does not shift the next", "+5", "10:2a:1 10:2a:3 35:06:0 35:06:2");
        row("upper-case letter", "A", "10:00:0 41:00:1 41:00:3 10:00:2");
        row("lower-case letter", "a", "41:1e:0 41:1e:2");
        row("digit", "1", "31:02:0 31:02:2");
        row("shifted punctuation", ":", "10:00:0 ba:00:1 ba:00:3 10:00:2");
        row("question mark is a layout key", "?", "10:00:0 bf:00:1 bf:00:3 10:00:2");
        row("value with unit", "2,5 g",
            "32:03:0 32:03:2 bc:33:0 bc:33:2 35:06:0 35:06:2 20:39:0 20:39:2 47:22:0 47:22:2");
        row("micro sign off the layout", "µ", "map:U+00B5 U+00B5 unmap");
        row("umlaut and euro off the layout", "ä€", "map:U+00E4,U+20AC U+00E4 U+20AC unmap");
        row("character outside the code page", "Ω", "map:U+03A9 U+03A9 unmap");
        row("character outside 16 bits", "\xF0\x9F\x98\x80", "map:U+1F600 U+1F600 unmap");
        row("CR, TAB and BS are their keys", "\r\t\b",
            "0d:1c:0 0d:1c:2 09:0f:0 09:0f:2 08:0e:0 08:0e:2");
        row("unknown name types the brace", "{x}",
            "10:00:0 db:00:1 db:00:3 10:00:2 58:2d:0 58:2d:2 10:00:0 dd:00:1 dd:00:3 10:00:2");
        row("brace at end", "{", "10:00:0 db:00:1 db:00:3 10:00:2");
    }
    void sendsEventsInOrder()
    {
        QFETCH(QString, text);
        QFETCH(QString, events);
        RecordingKeyboard keyboard;
        QVERIFY(SendKeysEx(keyboard, text).ok());
        QCOMPARE(keyboard.events.join(QLatin1Char(' ')), events);
    }

    // Every name of the key table, in any case, presses its own virtual key once.
    void namesPressTheirKey_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("virtualKey");
        const std::pair<const char *, int> names[] = {
            {"BACKSPACE", 0x08}, {"BS", 0x08},         {"BKSP", 0x08},    {"BREAK", 0x13},
            {"CAPSLOCK", 0x14},  {"DELETE", 0x2E},     {"DEL", 0x2E},     {"DOWN", 0x28},
            {"UP", 0x26},        {"LEFT", 0x25},       {"RIGHT", 0x27},   {"END", 0x23},
            {"ENTER", 0x0D},     {"HOME", 0x24},       {"ESC", 0x1B},     {"HELP", 0x2F},
            {"INSERT", 0x2D},    {"INS", 0x2D},        {"NUMLOCK", 0x90}, {"PGUP", 0x21},
            {"PGDN", 0x22},      {"SCROLLLOCK", 0x91}, {"TAB", 0x09},     {"F1", 0x70},
            {"F2", 0x71},        {"F3", 0x72},         {"F4", 0x73},      {"F5", 0x74},
            {"F6", 0x75},        {"F7", 0x76},         {"F8", 0x77},      {"F9", 0x78},
            {"F10", 0x79},       {"F11", 0x7A},        {"F12", 0x7B},     {"F13", 0x7C},
            {"F14", 0x7D},       {"F15", 0x7E},        {"F16", 0x7F},     {"WIN", 0x5B},
            {"APPS", 0x5D},      {"PRINT", 0x2C},
        };
        for (const auto &[name, virtualKey] : names) {
            QTest::newRow(name) << QString::fromLatin1(name) << virtualKey;
            QTest::addRow("%s lower", name) << QString::fromLatin1(name).toLower() << virtualKey;
        }
    }
    void namesPressTheirKey()
    {
        QFETCH(QString, name);
        QFETCH(int, virtualKey);
        RecordingKeyboard keyboard;
        QVERIFY(SendKeysEx(keyboard, QLatin1Char('{') + name + QLatin1Char('}')).ok());
        QCOMPARE(keyboard.events.size(), 4);
        const QString key = QStringLiteral("%1:").arg(virtualKey, 2, 16, QLatin1Char('0'));
        QVERIFY2(keyboard.events.at(1).startsWith(key), qPrintable(keyboard.events.join(' ')));
        QVERIFY(keyboard.events.at(2).startsWith(key));
    }

    // Characters off the layout are mapped once per run of the text, before
    // the first of them, and keep their place among the other keys.
    void mapsSpareKeysPerRun_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("spareKeys");
        QTest::addColumn<QString>("events");
        const auto row = [](const char *name, const char *text, int spareKeys, const char *events) {
            QTest::newRow(name) << QString::fromUtf8(text) << spareKeys
                                << QString::fromLatin1(events);
        };
        row("one mapping for the string", "1µ2äµ", 8,
            "begin 31:02:0 31:02:2 map:U+00B5,U+00E4 U+00B5 32:03:0 32:03:2 U+00E4 U+00B5 unmap "
            "end");
        row("runs as long as the spare keys", "äöüß", 2,
            "begin map:U+00E4,U+00F6 U+00E4 U+00F6 unmap map:U+00FC,U+00DF U+00FC U+00DF unmap "
            "end");
        row("a run maps again what comes back", "äöä", 1,
            "begin map:U+00E4 U+00E4 unmap map:U+00F6 U+00F6 unmap map:U+00E4 U+00E4 unmap end");
        row("key names between", "ä{TAB}ä", 8,
            "begin map:U+00E4 U+00E4 09:0f:0 09:0f:2 U+00E4 unmap end");
    }
    void mapsSpareKeysPerRun()
    {
        QFETCH(QString, text);
        QFETCH(int, spareKeys);
        QFETCH(QString, events);
        RecordingKeyboard keyboard;
        keyboard.spareKeys = spareKeys;
        QVERIFY(SendKeysEx(keyboard, text).ok());
        QCOMPARE(keyboard.events.join(QLatin1Char(' ')), events);
    }

    // A hotkey still held (Ctrl+F1 that started the send) is released before
    // the first key and not pressed again; nothing is sent for an empty text.
    void releasesHeldModifiersFirst_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("events");
        QTest::newRow("value") << QStringLiteral("1")
                               << "begin a2:00:2 a5:00:2 31:02:0 31:02:2 end";
        QTest::newRow("empty") << QString() << "";
    }
    void releasesHeldModifiersFirst()
    {
        QFETCH(QString, text);
        QFETCH(QString, events);
        RecordingKeyboard keyboard;
        keyboard.heldModifiers = {0xA2, 0xA5};
        QVERIFY(SendKeysEx(keyboard, text).ok());
        QCOMPARE(keyboard.events.join(QLatin1Char(' ')), events);
    }

    void unavailableKeyboardSendsNothing()
    {
        RecordingKeyboard keyboard;
        keyboard.unavailable = QStringLiteral("Cannot open the X display \":9\" to send keys.");
        const KeyboardStatus status = SendKeysEx(keyboard, QStringLiteral("12.5 g{ENTER}"));
        QCOMPARE(status.error, keyboard.unavailable);
        QVERIFY(keyboard.events.isEmpty());
    }

    // A key the keyboard lacks is skipped and the rest of the text typed; no
    // Shift is left held; the status names the first key that failed.
    void missingKeyIsSkipped_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("events");
        QTest::addColumn<QString>("error");
        QTest::newRow("shifted letter")
            << QStringLiteral("aBc") << "begin 41:1e:0 41:1e:2 10:00:0 10:00:2 43:2e:0 43:2e:2 end"
            << "no key for 0x42";
        QTest::newRow("key name") << QStringLiteral("1{F7}2")
                                  << "begin 31:02:0 31:02:2 32:03:0 32:03:2 end"
                                  << "no key for 0x76";
        QTest::newRow("between spare keys")
            << QString::fromUtf8("ä{F7}ö") << "begin map:U+00E4,U+00F6 U+00E4 U+00F6 unmap end"
            << "no key for 0x76";
        QTest::newRow("first of two")
            << QStringLiteral("{F7}xB") << "begin 58:2d:0 58:2d:2 10:00:0 10:00:2 end"
            << "no key for 0x76";
    }
    void missingKeyIsSkipped()
    {
        QFETCH(QString, text);
        QFETCH(QString, events);
        QFETCH(QString, error);
        RecordingKeyboard keyboard;
        keyboard.missingKeys = {0x42, 0x76};
        QCOMPARE(SendKeysEx(keyboard, text).error, error);
        QCOMPARE(keyboard.events.join(QLatin1Char(' ')), events);
    }
};

QTEST_MAIN(TstSendKeys)
#include "tst_send_keys.moc"
