// Buttons 9 to 16: instrument commands sent to the balance simulator over a pty
// and over TCP, their replies delivered to a text file.

#include "core/mainform/control_tag.h"
#include "core/mainform/instrument_command.h"
#include "core/mainform/mainform.h"
#include "core/mainform/panel_bar.h"
#include "core/settings/settings.h"
#include "platform/ports/serial_port.h"
#include "platform/ports/tcp_socket.h"
#include "platform/vb/vb_runtime.h"
#include "platform/vb/vb_timer.h"
#include "tests/support/file_bytes.h"
#include "tests/support/instrument_simulator.h"
#include "tests/support/test_app.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QtTest>

namespace {

// Default settings, language texts as their keys, replies to werte.txt; the
// window offline until connect().
struct Fixture {
    TestApp t;
    InstrumentSimulator simulator;
    QString transport;

    explicit Fixture(const QString &transport)
        : transport(transport)
    {
        readSettingsRecord(t.app, QString());
        for (const QString &key : LanguageTexts::keys())
            *t.app.texts.text(key) = key;
        SettingsRecord &s = t.app.settings;
        s.modus = QStringLiteral("HOTKEY");
        s.anwendung = QStringLiteral("Text-Datei");
        s.TextFile = t.path(QStringLiteral("werte.txt"));
        t.app.m_waittime = 1;
        setTag(mw().Command5(7), QStringLiteral("False"));
    }
    mainform &mw() { return t.app.mainWindow(); }

    // Button caption, command text and send-result flag of the Action row of button.
    void setAction(int button, const QString &command, const QString &flag = QStringLiteral("1"))
    {
        auto &row = t.app.settings.Action[std::size_t(button - 9)];
        row[4] = command;
        row[5] = QStringLiteral("Key");
        row[6] = flag;
    }

    bool startSimulator() { return simulator.start(transport) && simulator.configure(t.app); }

    // Online by button 7 with the link up; the main timer left stopped.
    bool connect()
    {
        mw().Command5_Click(7);
        mw().Timer1().setInterval(0);
        if (transport == u"tcp")
            return QTest::qWaitFor([&] { return mw().Winsock1().State() == winsock::kConnected; });
        return mw().commport().portOpen();
    }

    // Settings for a link that cannot open: a device that is not there, or a
    // local port nobody listens on.
    bool pointAtNothing()
    {
        if (transport == u"pty")
            return useComPort(t.app, t.path(QStringLiteral("no-such-tty")));
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost))
            return false;
        t.app.settings.portnum = QStringLiteral("TCP/IP");
        t.app.settings.tcpip = QStringLiteral("127.0.0.1");
        t.app.settings.tcpport = QString::number(probe.serverPort());
        return true;
    }

    QByteArray delivered() const { return readFileBytes(t.path(QStringLiteral("werte.txt"))); }
};

void addTransports()
{
    QTest::addColumn<QString>("transport");
    QTest::newRow("pty") << QStringLiteral("pty");
    QTest::newRow("tcp") << QStringLiteral("tcp");
}

} // namespace

class tst_instrument_commands : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    void commandText_data();
    void commandText();
    void replyIsDelivered_data();
    void replyIsDelivered();
    void noLineFeedTimesOut_data();
    void noLineFeedTimesOut();
    void withoutFlagNothingIsAwaited_data() { addTransports(); }
    void withoutFlagNothingIsAwaited();
    void offlineCommandReconnects_data() { addTransports(); }
    void offlineCommandReconnects();
    void linkThatDoesNotOpen_data();
    void linkThatDoesNotOpen();
    void secondCommandWaitsForFirst_data() { addTransports(); }
    void secondCommandWaitsForFirst();
    void rowWithoutCaptionSendsNothing();
};

void tst_instrument_commands::commandText_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("sent");
    const QString esc(QChar(27));
    QTest::newRow("ESC first") << "ESCP" << esc + "P\r\n";
    QTest::newRow("ESC inside") << "xESCy"
                                << "x" + esc + "y\r\n";
    QTest::newRow("only the first ESC") << "ESCTESC" << esc + "TESC\r\n";
    QTest::newRow("lower case is text") << "escP"
                                        << "escP\r\n";
    // Without "ESC" nothing of the command is lost.
    QTest::newRow("no ESC") << "SIR"
                            << "SIR\r\n";
    QTest::newRow("empty") << ""
                           << "\r\n";
}

void tst_instrument_commands::commandText()
{
    QFETCH(QString, command);
    QFETCH(QString, sent);
    QCOMPARE(instrumentCommandText(command), sent);
}

void tst_instrument_commands::replyIsDelivered_data()
{
    QTest::addColumn<QString>("transport");
    QTest::addColumn<QString>("command");
    for (const char *transport : {"pty", "tcp"}) {
        QTest::addRow("%s, ESCT", transport) << QString::fromLatin1(transport) << "ESCT";
        QTest::addRow("%s, T without ESC", transport) << QString::fromLatin1(transport) << "T";
    }
}

// The polling loop runs and a telegram came just before: neither the loop nor
// the telegram's tail may take the reply's place.
void tst_instrument_commands::replyIsDelivered()
{
    QFETCH(QString, transport);
    QFETCH(QString, command);
    Fixture f(transport);
    QVERIFY(f.startSimulator());
    QVERIFY(f.connect());
    // The target's row in the application list is not what decides the delivery.
    f.t.app.settings.AppList = {{QString(), QStringLiteral("*DDE*"), QStringLiteral("dde.exe")}};
    f.setAction(12, command);

    f.simulator.sendTelegram();
    if (transport == u"tcp")
        QTRY_VERIFY(f.t.app.strEmpfang.endsWith(QStringLiteral("\r\n")));
    else
        QTRY_VERIFY(f.mw().commport().inBufferCount().value_or(0) > 0);
    f.t.app.strEmpfang.chop(2); // the tail of a telegram cut short
    f.mw().Timer1().setInterval(10);
    f.mw().Command5_Click(12);

    QCOMPARE(f.t.prompts.messages(), QStringList());
    QCOMPARE(f.delivered(), QByteArray("T OK\r\r\n")); // the CR before the line feed stays
    QCOMPARE(f.t.app.strAusgabe, QStringLiteral("T OK\r"));
    QCOMPARE(f.mw().Status1()->panelText(2), f.t.app.settings.TextFile);
    QCOMPARE(f.mw().Status1()->panelText(3), QStringLiteral("T OK\r"));
    QVERIFY(f.mw().isOnline());
}

void tst_instrument_commands::noLineFeedTimesOut_data()
{
    QTest::addColumn<QString>("transport");
    QTest::addColumn<QString>("command");
    QTest::addColumn<double>("waittime");
    QTest::addColumn<int>("expectedMs"); // the 0.2 s, then the time-out
    for (const char *transport : {"pty", "tcp"}) {
        const QString tr = QString::fromLatin1(transport);
        QTest::addRow("%s, no reply", transport) << tr << "ESCK" << 1.5 << 1700;
        QTest::addRow("%s, reply ended by CR only", transport) << tr << "ESCC" << 1.0 << 1200;
        // Shorter than a second would cut off slow instruments.
        QTest::addRow("%s, short waittime", transport) << tr << "ESCK" << 0.1 << 1200;
    }
}

void tst_instrument_commands::noLineFeedTimesOut()
{
    QFETCH(QString, transport);
    QFETCH(QString, command);
    QFETCH(double, waittime);
    QFETCH(int, expectedMs);
    Fixture f(transport);
    QVERIFY(f.startSimulator());
    QVERIFY(f.connect());
    f.t.app.m_waittime = waittime;
    f.t.app.strAusgabe = QStringLiteral("before");
    f.mw().einheit()->setText(QStringLiteral("g"));
    f.mw().fnUpdateStatus(QStringLiteral("status"));
    f.setAction(9, command);

    QElapsedTimer clock;
    clock.start();
    f.mw().Command5_Click(9);
    const qint64 elapsed = clock.elapsed();

    QVERIFY2(elapsed >= expectedMs - 20 && elapsed < expectedMs + 500,
             qPrintable(QString::number(elapsed)));
    QCOMPARE(f.t.prompts.messages(), QStringList{"TextSchnittstellentimeout"});
    QCOMPARE(f.t.app.strAusgabe, QStringLiteral("before"));
    QVERIFY(f.mw().einheit()->text().isEmpty());
    QVERIFY(f.mw().Status()->panelText(1).isEmpty());
    QVERIFY(!QFile::exists(f.t.app.settings.TextFile));
}

void tst_instrument_commands::withoutFlagNothingIsAwaited()
{
    QFETCH(QString, transport);
    Fixture f(transport);
    QVERIFY(f.startSimulator());
    QVERIFY(f.connect());
    f.setAction(16, QStringLiteral("ESCT"), QString());

    QElapsedTimer clock;
    clock.start();
    f.mw().Command5_Click(16);
    QVERIFY(clock.elapsed() < 150);
    // The command went out: its reply arrives, and nobody took it.
    if (transport == u"tcp")
        QTRY_COMPARE(f.t.app.strEmpfang, QStringLiteral("T OK\r\n"));
    else
        QTRY_COMPARE(f.mw().commport().inBufferCount().value_or(0), 6);
    QCOMPARE(f.t.prompts.messages(), QStringList());
    QVERIFY(!QFile::exists(f.t.app.settings.TextFile));
}

// Offline, the command first brings the link up; over TCP it waits for the
// connection instead of sending into a socket still connecting.
void tst_instrument_commands::offlineCommandReconnects()
{
    QFETCH(QString, transport);
    Fixture f(transport);
    QVERIFY(f.startSimulator());
    f.setAction(10, QStringLiteral("ESCI"));

    f.mw().Command5_Click(10);
    QCOMPARE(f.t.prompts.messages(), QStringList());
    QCOMPARE(f.delivered(), QByteArray("I MQ-SIM,1.0\r\r\n"));
    QVERIFY(f.mw().isOnline());
    QCOMPARE(f.mw().Command5(7)->text(), QStringLiteral("O&ffline"));
    QCOMPARE(f.mw().Timer1().interval(), 0); // the reconnect leaves the main timer alone
}

void tst_instrument_commands::linkThatDoesNotOpen_data()
{
    QTest::addColumn<QString>("transport");
    QTest::addColumn<bool>("online"); // the window claims online with the link closed
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("status"); // "" when the status is not the point
    QTest::newRow("pty, offline") << "pty" << false << "Device unavailable"
                                  << "TextMessgeraetInaktiv (COM3: Device unavailable)";
    QTest::newRow("tcp, offline") << "tcp" << false << "Connection is forcefully rejected"
                                  << "TextMessgeraetInaktiv (TCP/IP 127.0.0.1:%1: "
                                     "Connection is forcefully rejected)";
    QTest::newRow("pty, online") << "pty" << true << "Operation valid only when the port is open"
                                 << "";
    QTest::newRow("tcp, online")
        << "tcp" << true
        << "Wrong protocol or connection state for the requested transaction or request"
        << "";
}

// One message with the control's text, the window offline with the reason, and
// no time-out after it: nothing was sent, so nothing is awaited.
void tst_instrument_commands::linkThatDoesNotOpen()
{
    QFETCH(QString, transport);
    QFETCH(bool, online);
    QFETCH(QString, message);
    QFETCH(QString, status);
    Fixture f(transport);
    QVERIFY(f.pointAtNothing());
    setTag(f.mw().Command5(7), vb::BoolText(online));
    f.setAction(11, QStringLiteral("ESCT"));

    f.mw().Command5_Click(11);
    QCOMPARE(f.t.prompts.messages(), QStringList{message});
    if (!status.isEmpty()) {
        QCOMPARE(f.mw().Status()->panelText(1),
                 QString(status).replace(QStringLiteral("%1"), f.t.app.settings.tcpport));
        QVERIFY(!f.mw().isOnline());
        QCOMPARE(f.mw().MesswertAnzeige()->text(), QStringLiteral("Offline"));
    }
    QVERIFY(!QFile::exists(f.t.app.settings.TextFile));
}

// A command pressed while another waits for its reply runs after it: each gets
// its own reply, in the order pressed.
void tst_instrument_commands::secondCommandWaitsForFirst()
{
    QFETCH(QString, transport);
    Fixture f(transport);
    QVERIFY(f.startSimulator());
    QVERIFY(f.connect());
    f.setAction(9, QStringLiteral("ESCT"));
    f.setAction(10, QStringLiteral("ESCI"));

    QTimer::singleShot(50, f.mw().Command5(10), &QPushButton::click);
    f.mw().Command5_Click(9);
    QCOMPARE(f.t.prompts.messages(), QStringList());
    QCOMPARE(f.delivered(), QByteArray("T OK\r\r\nI MQ-SIM,1.0\r\r\n"));
}

void tst_instrument_commands::rowWithoutCaptionSendsNothing()
{
    Fixture f(QStringLiteral("tcp"));
    QVERIFY(f.startSimulator());
    QVERIFY(f.connect());
    f.setAction(13, QStringLiteral("ESCT"));
    f.t.app.settings.Action[4][5] = QStringLiteral("  ");

    f.mw().Command5_Click(13);
    QTest::qWait(300);
    QCOMPARE(f.t.app.strEmpfang, QString());
    QCOMPARE(f.t.prompts.messages(), QStringList());
}

QTEST_MAIN(tst_instrument_commands)
#include "tst_instrument_commands.moc"
