#include "core/mainform/control_tag.h"
#include "core/mainform/mainform.h"
#include "core/mainform/panel_bar.h"
#include "core/settings/settings.h"
#include "platform/ports/serial_port.h"
#include "platform/ports/tcp_socket.h"
#include "platform/vb/vb_datetime.h"
#include "platform/vb/vb_runtime.h"
#include "platform/vb/vb_timer.h"
#include "tests/support/pty_pair.h"
#include "tests/support/tcp_instrument.h"
#include "tests/support/test_app.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {

// Default settings on COM3, the program's side of a pty pair; texts are their keys.
struct Fixture {
    TimedTestApp t;
    PtyPair pty{t.folder.path()};

    bool start(const QString &modus)
    {
        if (!pty.start())
            return false;
        QFile ini(t.path(QStringLiteral("mondrelquist.ini")));
        if (!ini.open(QIODevice::WriteOnly))
            return false;
        ini.write("[ports]\r\nCOM1=/nonexistent\r\nCOM3=" + pty.a.toUtf8() + "\r\n");
        ini.close();
        readSettingsRecord(t.app, QString());
        t.app.settings.portnum = QStringLiteral("3");
        t.app.settings.modus = modus;
        for (const QString &key : LanguageTexts::keys())
            *t.app.texts.text(key) = key;
        return t.app.mainWindow().commport().setCommPort(3).ok();
    }
    mainform &mw() { return t.app.mainWindow(); }
};

} // namespace

class tst_mainform_buttons : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    void anyButtonCancelsPendingSend();
    void onlineToggle();
    void resetOpensPortAndGoesOnline();
    void timerStartInPrintMode();
    void timerStartAndStopInTimerMode();
    void onlineAfterFailedConnectConnects();
    void linkThatDoesNotOpen_data();
    void linkThatDoesNotOpen();
    void resetKeepsWorkingTcpLink();
    void hideMinimises();
    void exitUnloads();
};

void tst_mainform_buttons::anyButtonCancelsPendingSend()
{
    Fixture f;
    QVERIFY(f.start(QStringLiteral("HOTKEY")));
    f.t.app.bSendNow = true;
    f.mw().Command5_Click(0);
    QVERIFY(!f.t.app.bSendNow);
    f.mw().Command5_Click(1);
    QVERIFY(f.t.app.bSendNow);
    f.mw().Command5_Click(5);
    QVERIFY(!f.t.app.bSendNow);
}

void tst_mainform_buttons::onlineToggle()
{
    Fixture f;
    QVERIFY(f.start(QStringLiteral("HOTKEY")));
    mainform &mw = f.mw();
    setTag(mw.Command5(7), QStringLiteral("False"));

    mw.Command5_Click(7);
    QVERIFY(mw.commport().portOpen());
    QVERIFY(mw.isOnline());
    QCOMPARE(mw.Timer1().interval(), 10);
    QCOMPARE(mw.Command5(7)->text(), QStringLiteral("O&ffline"));
    QCOMPARE(mw.MesswertAnzeige()->text(), QStringLiteral("Online"));
    QCOMPARE(mw.Status()->panelText(1), QStringLiteral("TextMessgeraetAktiviert COM3"));

    mw.Command5_Click(7);
    QVERIFY(!mw.commport().portOpen());
    QVERIFY(!mw.isOnline());
    QCOMPARE(mw.Timer1().interval(), 0);
    QCOMPARE(mw.Command5(7)->text(), QStringLiteral("O&nline"));
    QCOMPARE(mw.MesswertAnzeige()->text(), QStringLiteral("Offline"));
    QCOMPARE(mw.Status()->panelText(1), QStringLiteral("TextMessgeraetInaktiv"));
}

void tst_mainform_buttons::resetOpensPortAndGoesOnline()
{
    Fixture f;
    QVERIFY(f.start(QStringLiteral("HOTKEY")));
    mainform &mw = f.mw();
    setTag(mw.Command5(7), QStringLiteral("False"));
    mw.Timer1().setInterval(0);
    mw.Command5_Click(4);
    QVERIFY(mw.commport().portOpen());
    QVERIFY(mw.isOnline());
    QCOMPARE(mw.Status()->panelText(1), QStringLiteral("TextMessgeraetAktiviert"));
    QCOMPARE(mw.Timer1().interval(), 0); // the reset leaves the main timer alone
}

void tst_mainform_buttons::linkThatDoesNotOpen_data()
{
    QTest::addColumn<QString>("transport");
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("online"); // before the press
    QTest::addColumn<QString>("status");
    const QString gone = QStringLiteral("TextMessgeraetInaktiv (COM3: Device unavailable)");
    const QString refused = QStringLiteral(
        "TextMessgeraetInaktiv (TCP/IP 127.0.0.1:%1: Connection is forcefully rejected)");
    for (const int button : {1, 4, 6}) {
        QTest::addRow("COM, reset %d", button) << "com" << button << true << gone;
        QTest::addRow("TCP, reset %d", button) << "tcp" << button << true << refused;
    }
    QTest::newRow("COM, reset while offline") << "com" << 5 << false << gone;
    QTest::newRow("COM, online button") << "com" << 7 << false << gone;
    QTest::newRow("TCP, online button") << "tcp" << 7 << false << refused;
}

// The window never claims a link that did not open: it stays offline, says why,
// and (buttons 1 to 7 skip failures silently) shows no message.
void tst_mainform_buttons::linkThatDoesNotOpen()
{
    QFETCH(QString, transport);
    QFETCH(int, button);
    QFETCH(bool, online);
    QFETCH(QString, status);
    Fixture f;
    QVERIFY(f.start(QStringLiteral("HOTKEY")));
    mainform &mw = f.mw();
    if (transport == u"com") {
        f.pty.stop();
    } else {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        f.t.app.settings.portnum = QStringLiteral("TCP/IP");
        f.t.app.settings.tcpip = QStringLiteral("127.0.0.1");
        f.t.app.settings.tcpport = QString::number(probe.serverPort());
    }
    setTag(mw.Command5(7), vb::BoolText(online));

    mw.Command5_Click(button);
    // A connection is refused by the event loop or at once.
    QTRY_COMPARE(mw.Status()->panelText(1),
                 status.replace(QStringLiteral("%1"), f.t.app.settings.tcpport));
    QVERIFY(!mw.isOnline());
    QCOMPARE(mw.Command5(7)->text(), QStringLiteral("O&nline"));
    QCOMPARE(mw.MesswertAnzeige()->text(), QStringLiteral("Offline"));
    QCOMPARE(f.t.prompts.messages(), QStringList());
    // Offline, so one press of Online tries again.
    if (transport == u"com") {
        QVERIFY(f.pty.start());
        mw.Command5_Click(7);
        QVERIFY(mw.commport().portOpen());
        QVERIFY(mw.isOnline());
    }
}

// Connect refuses a socket that is up; the reset must not take that for a failure.
void tst_mainform_buttons::resetKeepsWorkingTcpLink()
{
    TimedTestApp t;
    readSettingsRecord(t.app, QString());
    for (const QString &key : LanguageTexts::keys())
        *t.app.texts.text(key) = key;
    TcpInstrument instrument;
    QVERIFY(instrument.connect(t.app));
    mainform &mw = t.app.mainWindow();

    mw.Command5_Click(4);
    QCOMPARE(mw.Winsock1().State(), 7);
    QVERIFY(mw.isOnline());
    QCOMPARE(mw.Status()->panelText(1), QStringLiteral("TextMessgeraetAktiviert TCP/IP  7"));
    t.app.strEmpfang.clear();
    instrument.send("+  1.5 g\r\n");
    QTRY_COMPARE(t.app.strEmpfang, QStringLiteral("+  1.5 g\r\n"));
}

void tst_mainform_buttons::hideMinimises()
{
    Fixture f;
    QVERIFY(f.start(QStringLiteral("HOTKEY")));
    f.mw().show();
    f.mw().Command5_Click(6);
    QVERIFY(f.mw().isMinimized());
    QVERIFY(f.mw().commport().portOpen()); // after the reset
}

// Button 8 ends the program through the window's unloading, which asks to save
// changed settings.
void tst_mainform_buttons::exitUnloads()
{
    Fixture f;
    QVERIFY(f.start(QStringLiteral("HOTKEY")));
    f.t.app.texts.TextAenderungenSpeichern = QStringLiteral("TextAenderungenSpeichern");
    f.t.prompts.messageAnswers = {Prompts::Answer::No};
    f.mw().Command5_Click(8);
    QVERIFY(runUntilEnded(f.t.app));
    QVERIFY(!f.t.app.hasMainWindow());
    QCOMPARE(f.t.prompts.messages(), QStringList{QStringLiteral("TextAenderungenSpeichern")});
}

void tst_mainform_buttons::timerStartInPrintMode()
{
    Fixture f;
    QVERIFY(f.start(QStringLiteral("PRINT")));
    mainform &mw = f.mw();
    f.t.app.dtNaechsteMessung = QStringLiteral("kept");
    mw.Command5_Click(2);
    QCOMPARE(mw.Timer1().interval(), 10);
    QVERIFY(mw.isOnline());
    QVERIFY(!f.t.app.bTimerAktiv);
    QCOMPARE(f.t.app.dtNaechsteMessung, QStringLiteral("kept"));
}

void tst_mainform_buttons::timerStartAndStopInTimerMode()
{
    Fixture f;
    QVERIFY(f.start(QStringLiteral("TIMER")));
    mainform &mw = f.mw();
    SettingsRecord &s = f.t.app.settings;
    s.d_start = QStringLiteral("01.02.2026"); // in the past: still the first due moment
    s.t_start = QStringLiteral("08:30:00");
    f.t.app.lMesswertZaehler = 4;

    mw.Command5_Click(2);
    QVERIFY(f.t.app.bTimerAktiv);
    QCOMPARE(f.t.app.lMesswertZaehler, 0);
    QCOMPARE(f.t.app.dtNaechsteMessung, QStringLiteral("01.02.2026 08:30:00"));
    QCOMPARE(mw.Status()->panelText(1), QStringLiteral("TextTimerAktivStart01.02.2026 08:30:00"));
    QVERIFY(!mw.Command5(2)->isEnabled());
    QVERIFY(mw.Command5(3)->isEnabled());

    mw.Command5_Click(3);
    QVERIFY(!f.t.app.bTimerAktiv);
    QVERIFY(f.t.app.dtNaechsteMessung.isEmpty());
    QVERIFY(mw.Command5(2)->isEnabled());
    QVERIFY(!mw.Command5(3)->isEnabled());
    QVERIFY(mw.isOnline());
    QCOMPARE(mw.Timer1().interval(), 10);
}

void tst_mainform_buttons::onlineAfterFailedConnectConnects()
{
    TimedTestApp t;
    readSettingsRecord(t.app, QString());
    TcpInstrument instrument;
    QVERIFY(instrument.connect(t.app));
    mainform &mw = t.app.mainWindow();
    mw.Winsock1().Close();

    // Offline, with the socket still in the error state of a refused connection.
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    mw.Winsock1().setRemotePort(closedPort);
    QVERIFY(mw.Winsock1().Connect().ok());
    QTRY_COMPARE(mw.Winsock1().State(), 9);
    setTag(mw.Command5(7), QStringLiteral("False"));

    mw.Command5_Click(7);
    QCOMPARE(mw.Timer1().interval(), 10);
    mw.Timer1().setInterval(0); // the main loop would take the bytes first
    QVERIFY(instrument.acceptNext());
    QTRY_COMPARE(mw.Winsock1().State(), 7);
    QVERIFY(mw.isOnline());
    t.app.strEmpfang.clear();
    instrument.send("+  1.5 g\r\n");
    QTRY_COMPARE(t.app.strEmpfang, QStringLiteral("+  1.5 g\r\n"));
}

QTEST_MAIN(tst_mainform_buttons)
#include "tst_mainform_buttons.moc"
