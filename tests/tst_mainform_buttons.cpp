#include "core/mainform/control_tag.h"
#include "core/mainform/mainform.h"
#include "core/mainform/panel_bar.h"
#include "core/settings/settings.h"
#include "platform/ports/serial_port.h"
#include "platform/ports/tcp_socket.h"
#include "platform/vb/vb_datetime.h"
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

    // A port that does not open: the window still goes online, and says why.
    f.pty.stop();
    mw.Command5_Click(7);
    mw.Command5_Click(5);
    QVERIFY(!mw.commport().portOpen());
    QVERIFY(mw.isOnline());
    QVERIFY(!mw.Status()->panelText(1).startsWith(QStringLiteral("TextMessgeraet")));
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
