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

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace {

// A language whose section is missing: every text reads as its own key name.
const QByteArray kLanguageIni = "[SPRACHE]\r\naktuell=KEYS\r\n";

QByteArray settingsFile(const QByteArray &portSettings, const QByteArray &mode = "PRINT",
                        const QByteArray &activ = "0")
{
    return "[Port settings]\r\n" + portSettings + "[Mode]\r\nmodus=" + mode + "\r\nactiv=" + activ +
           "\r\n";
}

struct StartupFixture {
    TestApp t;
    std::unique_ptr<PtyPair> pty;

    // COM3 is the program's side of a pty pair; every other port number maps to nothing.
    bool withPty()
    {
        pty = std::make_unique<PtyPair>(t.folder.path());
        return pty->start();
    }
    void writeIni()
    {
        QByteArray ports = "[waittime]\r\nm_waittime=1\r\n[ports]\r\n";
        for (int n = 1; n <= 8; ++n)
            ports += "COM" + QByteArray::number(n) + "=" +
                     (n == 3 && pty ? pty->a.toUtf8() : QByteArray("/nonexistent/tty")) + "\r\n";
        t.writeFile(QStringLiteral("mondrelquist.ini"), ports);
        t.writeFile(QStringLiteral("language.ini"), kLanguageIni);
    }
    mainform &start(const QByteArray &settings, const QString &commandLine = {})
    {
        writeIni();
        t.writeFile(commandLine.isEmpty() ? QStringLiteral("standard.cfg") : commandLine, settings);
        t.app.commandLine = commandLine;
        mainform &mw = t.app.mainWindow();
        mw.Form_Load();
        return mw;
    }
};

QString statusText(const mainform &mw)
{
    return mw.Status()->panelText(1);
}

} // namespace

class tst_mainform_startup : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    void comPortOpens();
    void tcpConnectsAndReceives();
    void noPortStaysAtStart();
    void timerModeWithoutActiv();
    void timerStartsByItself_data();
    void timerStartsByItself();
    void commandLineNamesFile();
    void cancelledOpenStaysOffline();
    void menuCaptionsFromTexts();
    void statusIgnoresRepeat();
    void refusedConnectionIsShown();
    void unknownHostIsShown();
    void vanishedPortIsShown();
    void refusedSettingsAreShown();
    void instrumentEndsLink_data();
    void instrumentEndsLink();
};

void tst_mainform_startup::comPortOpens()
{
    StartupFixture f;
    QVERIFY(f.withPty());
    mainform &mw = f.start(settingsFile("portnum=3\r\nbaud=19200\r\nparity=n\r\ndatabit=8\r\n"));

    QVERIFY(mw.commport().portOpen());
    QCOMPARE(mw.commport().commPort(), 3);
    QCOMPARE(mw.commport().settings(), QStringLiteral("19200,N,8,1"));
    QVERIFY(mw.isOnline());
    QCOMPARE(mw.Command5(7)->text(), QStringLiteral("Offline"));
    QCOMPARE(mw.MesswertAnzeige()->text(), QStringLiteral("Online")); // a label shows no "&"
    QCOMPARE(statusText(mw), QStringLiteral("TextMessgeraetAktiviert COM3"));
    QCOMPARE(mw.Timer1().interval(), 10);
    QVERIFY(!mw.Command5(2)->isEnabled());
    QVERIFY(!mw.Command5(3)->isEnabled());
    QCOMPARE(mw.Status1()->panelText(1), QStringLiteral("TextStatus"));
    QVERIFY(mw.einheit()->text().isEmpty());

    mw.Timer1().setInterval(0); // the main loop would take the bytes first
    QFile instrument(f.pty->b);
    QVERIFY(instrument.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    instrument.write("+  12.5 g\r\n");
    QString received;
    QVERIFY(QTest::qWaitFor([&] {
        received += mw.commport().input().value_or(QString());
        return received.contains(QLatin1Char('\n'));
    }));
    QCOMPARE(received, QStringLiteral("+  12.5 g\r\n"));
}

void tst_mainform_startup::tcpConnectsAndReceives()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    StartupFixture f;
    mainform &mw = f.start(settingsFile("portnum=TCP/IP\r\ntcpip=127.0.0.1\r\ntcpport=" +
                                        QByteArray::number(server.serverPort()) + "\r\n"));

    // The state is read right after connecting: still connecting, or already connected.
    const QString status = statusText(mw);
    QVERIFY2(status == QStringLiteral("TextMessgeraetAktiviert TCP/IP  6") ||
                 status == QStringLiteral("TextMessgeraetAktiviert TCP/IP  7"),
             qPrintable(status));
    QVERIFY(mw.isOnline()); // polled from the first tick without pressing Online
    QCOMPARE(mw.Timer1().interval(), 10);

    mw.Timer1().setInterval(0); // the main loop would take the bytes first
    QVERIFY(QTest::qWaitFor([&] { return server.hasPendingConnections(); }));
    std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
    QVERIFY(QTest::qWaitFor([&] { return mw.Winsock1().State() == 7; }));
    f.t.app.strEmpfang.clear();
    peer->write("ST,+  0.50 g\r\n");
    QVERIFY(QTest::qWaitFor([&] { return f.t.app.strEmpfang.endsWith(QLatin1Char('\n')); }));
    QCOMPARE(f.t.app.strEmpfang, QStringLiteral("ST,+  0.50 g\r\n"));

    // Loading settings again does not close the connection; its status has one blank.
    Einstellungen_laden(f.t.app, f.t.app.CfgPath);
    QCOMPARE(mw.Winsock1().State(), 7);
    QCOMPARE(statusText(mw), QStringLiteral("TextMessgeraetAktiviert TCP/IP 7"));
}

void tst_mainform_startup::noPortStaysAtStart()
{
    StartupFixture f;
    mainform &mw = f.start(settingsFile("portnum=3\r\n"));
    QVERIFY(!mw.commport().portOpen());
    QCOMPARE(statusText(mw), QStringLiteral("Start über 'online'"));
    QCOMPARE(mw.Timer1().interval(), 1000);
    QCOMPARE(mw.Command5(7)->text(), QStringLiteral("O&ffline"));
    QCOMPARE(mw.MesswertAnzeige()->text(), QStringLiteral("00000000.00"));
}

void tst_mainform_startup::timerModeWithoutActiv()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    StartupFixture f;
    mainform &mw = f.start(settingsFile("portnum=TCP/IP\r\ntcpip=127.0.0.1\r\ntcpport=" +
                                            QByteArray::number(server.serverPort()) + "\r\n",
                                        "TIMER"));
    QCOMPARE(mw.Timer1().interval(), 1000);
    QVERIFY(!mw.Command5(1)->isEnabled());
    QVERIFY(mw.Command5(2)->isEnabled());
    QVERIFY(!mw.Command5(3)->isEnabled());
    QCOMPARE(tagOf(mw.Command5(2)), QStringLiteral("True"));
    QCOMPARE(mw.Command5(7)->text(), QStringLiteral("O&ffline"));
}

void tst_mainform_startup::timerStartsByItself_data()
{
    QTest::addColumn<QByteArray>("timerSettings");
    QTest::addColumn<bool>("sendNow");
    const QByteArray yesterday = QDate::currentDate().addDays(-1).toString("dd.MM.yyyy").toLatin1();
    const QByteArray tomorrow = QDate::currentDate().addDays(1).toString("dd.MM.yyyy").toLatin1();
    QTest::newRow("count") << QByteArray("int_modus=1\r\nanz_mess=3\r\n") << true;
    QTest::newRow("inside window")
        << "int_modus=0\r\nd_start=" + yesterday + "\r\nt_start=00:00:00\r\nd_end=" + tomorrow +
               "\r\nt_end=00:00:00\r\n"
        << true;
    QTest::newRow("window not begun")
        << "int_modus=0\r\nd_start=" + tomorrow + "\r\nt_start=00:00:00\r\nd_end=" + tomorrow +
               "\r\nt_end=23:00:00\r\n"
        << false;
}

void tst_mainform_startup::timerStartsByItself()
{
    QFETCH(QByteArray, timerSettings);
    QFETCH(bool, sendNow);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    StartupFixture f;
    mainform &mw = f.start("[Port settings]\r\nportnum=TCP/IP\r\ntcpip=127.0.0.1\r\ntcpport=" +
                           QByteArray::number(server.serverPort()) +
                           "\r\n[Mode]\r\nmodus=TIMER\r\nactiv=1\r\n" + timerSettings);
    QVERIFY(f.t.app.bTimerAktiv);
    QVERIFY(!mw.Command5(1)->isEnabled());
    QVERIFY(!mw.Command5(2)->isEnabled());
    QVERIFY(mw.Command5(3)->isEnabled());
    QCOMPARE(mw.Timer1().interval(), 10);
    QCOMPARE(f.t.app.bSendNow, sendNow);
    if (sendNow) {
        const auto next = vb::CDateTime(f.t.app.dtNaechsteMessung);
        QVERIFY(next && qAbs(next->secsTo(QDateTime::currentDateTime())) < 5);
    }
}

void tst_mainform_startup::commandLineNamesFile()
{
    StartupFixture f;
    f.start(settingsFile("portnum=5\r\nbaud=2400\r\n"), QStringLiteral("x.cfg"));
    QCOMPARE(f.t.app.CfgPath, f.t.path(QStringLiteral("x.cfg")));
    QCOMPARE(f.t.app.settings.baud, QStringLiteral("2400"));

    StartupFixture g;
    QTemporaryDir elsewhere;
    const QString absolute = elsewhere.filePath(QStringLiteral("abs.cfg"));
    QFile file(absolute);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(settingsFile("portnum=5\r\nbaud=1200\r\n"));
    file.close();
    g.writeIni();
    g.t.app.commandLine = absolute;
    g.t.app.mainWindow().Form_Load();
    QCOMPARE(g.t.app.CfgPath, absolute);
    QCOMPARE(g.t.app.settings.baud, QStringLiteral("1200"));
}

void tst_mainform_startup::cancelledOpenStaysOffline()
{
    StartupFixture f;
    f.writeIni();
    mainform &mw = f.t.app.mainWindow();
    mw.Form_Load(); // no standard.cfg; the scripted open dialog is cancelled
    QCOMPARE(f.t.prompts.messages(), QStringList{QStringLiteral("TextStandardCfgNichtVorhanden")});
    QCOMPARE(f.t.prompts.shown.last().kind, QStringLiteral("open"));
    QVERIFY(f.t.app.CfgPath.isEmpty());
    QCOMPARE(f.t.app.settings.baud, QStringLiteral("9600"));
    QCOMPARE(f.t.app.settings.portnum, QStringLiteral("2"));
    QVERIFY(!mw.isOnline());
    QCOMPARE(mw.Winsock1().State(), 0);
    QVERIFY(!mw.commport().portOpen());
    QCOMPARE(mw.MesswertAnzeige()->text(), QStringLiteral("Offline"));
    QCOMPARE(mw.Timer1().interval(), 1000);
}

void tst_mainform_startup::menuCaptionsFromTexts()
{
    StartupFixture f;
    f.t.writeFile(QStringLiteral("language.ini"), {});
    f.writeIni();
    f.t.writeFile(QStringLiteral("language.ini"),
                  "[SPRACHE]\r\naktuell=ENGLISH\r\n[ENGLISH]\r\nTextMenuDatei_=&File\r\n"
                  "TextMenuoptions_=&Input\r\nTextMenuEinstellungen_=&Settings\r\n");
    f.t.writeFile(QStringLiteral("standard.cfg"), settingsFile("portnum=5\r\n"));
    mainform &mw = f.t.app.mainWindow();
    mw.Form_Load();
    QCOMPARE(mw.menuItem(QStringLiteral("datei"))->text(), QStringLiteral("&File"));
    // "options" is captioned twice; the second text stays.
    QCOMPARE(mw.menuItem(QStringLiteral("options"))->text(), QStringLiteral("&Input"));
    QCOMPARE(mw.menuItem(QStringLiteral("dde_conn"))->text(), QStringLiteral("TextMenum_VerbAppl"));
    QCOMPARE(mw.menuItem(QStringLiteral("inst_assi"))->text(),
             QStringLiteral("&Installationsassistent"));
}

void tst_mainform_startup::statusIgnoresRepeat()
{
    TestApp t;
    mainform &mw = t.app.mainWindow();
    QVERIFY(mw.fnUpdateStatus(QString()));
    mw.Status()->setPanelText(1, QStringLiteral("direct"));
    mw.fnUpdateStatus(QString()); // same as the remembered text: not written
    QCOMPARE(statusText(mw), QStringLiteral("direct"));
    mw.fnUpdateStatus(QStringLiteral("a"));
    mw.Status()->setPanelText(1, QStringLiteral("direct"));
    mw.fnUpdateStatus(QStringLiteral("a"));
    QCOMPARE(statusText(mw), QStringLiteral("direct"));
    mw.fnUpdateStatus(QStringLiteral("b"));
    QCOMPARE(statusText(mw), QStringLiteral("b"));
}

void tst_mainform_startup::refusedConnectionIsShown()
{
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    StartupFixture f;
    mainform &mw = f.start(settingsFile(
        "portnum=TCP/IP\r\ntcpip=127.0.0.1\r\ntcpport=" + QByteArray::number(closedPort) + "\r\n"));
    QVERIFY(QTest::qWaitFor([&] { return mw.Winsock1().State() == 9; }));
    QVERIFY(QTest::qWaitFor([&] { return !statusText(mw).startsWith("TextMessgeraetAktiviert"); }));
    QVERIFY(!statusText(mw).isEmpty());
}

void tst_mainform_startup::unknownHostIsShown()
{
    StartupFixture f;
    QElapsedTimer clock;
    clock.start();
    mainform &mw =
        f.start(settingsFile("portnum=TCP/IP\r\ntcpip=no-such-host.invalid\r\ntcpport=4001\r\n"));
    QVERIFY(clock.elapsed() < 2000); // start-up never waits for the name lookup
    QVERIFY(QTest::qWaitFor([&] { return mw.Winsock1().State() == 9; }, 20000));
    QVERIFY2(QTest::qWaitFor([&] { return !statusText(mw).startsWith("TextMessgeraetAktiviert"); }),
             qPrintable(statusText(mw)));
}

void tst_mainform_startup::vanishedPortIsShown()
{
    StartupFixture f;
    QVERIFY(f.withPty());
    mainform &mw = f.start(settingsFile("portnum=3\r\n"));
    QVERIFY(mw.commport().portOpen());
    f.pty->stop();
    QVERIFY(QTest::qWaitFor([&] { return !mw.commport().portOpen(); }));
    QVERIFY(QTest::qWaitFor([&] { return statusText(mw) != "TextMessgeraetAktiviert COM3"; }));
    QVERIFY(!statusText(mw).isEmpty());
}

void tst_mainform_startup::refusedSettingsAreShown()
{
    StartupFixture f;
    QVERIFY(f.withPty());
    mainform &mw = f.start(settingsFile("portnum=3\r\nbaud=schnell\r\nparity=x\r\n"));
    // The port opens with the control's previous settings, and the window says so.
    QVERIFY(mw.commport().portOpen());
    QVERIFY2(statusText(mw).startsWith(QStringLiteral("COM3 \" 0,X, 7, 1\": ")),
             qPrintable(statusText(mw)));
}

void tst_mainform_startup::instrumentEndsLink_data()
{
    QTest::addColumn<bool>("reset");
    QTest::newRow("instrument closes") << false;
    QTest::newRow("instrument resets") << true;
}

void tst_mainform_startup::instrumentEndsLink()
{
    QFETCH(bool, reset);
    TestApp t;
    readSettingsRecord(t.app, QString());
    t.app.settings.modus = QStringLiteral("HOTKEY"); // nothing is delivered
    for (const QString &key : LanguageTexts::keys())
        *t.app.texts.text(key) = key;
    t.app.m_waittime = 0.2;
    TcpInstrument instrument;
    QVERIFY(instrument.connect(t.app));
    mainform &mw = t.app.mainWindow();
    mw.Timer1().setInterval(10); // online and polling, as after start-up

    // The end arrives while a tick waits for a telegram.
    if (reset)
        instrument.reset();
    else
        instrument.close();
    const QString closed =
        QStringLiteral("TCP/IP 127.0.0.1:%1: the instrument closed the connection")
            .arg(t.app.settings.tcpport);
    QTRY_COMPARE(statusText(mw), closed);
    // Offline exactly as by button 7.
    QVERIFY(!mw.isOnline());
    QCOMPARE(tagOf(mw.Command5(7)), QStringLiteral("False"));
    QCOMPARE(mw.Command5(7)->text(), QStringLiteral("O&nline"));
    QCOMPARE(mw.MesswertAnzeige()->text(), QStringLiteral("Offline"));
    QCOMPARE(mw.Timer1().interval(), 0);
    QCOMPARE(mw.Winsock1().State(), 0);
    QTest::qWait(300);
    QCOMPARE(mw.Winsock1().State(), 0); // no reconnecting by itself

    // One click connects again, and values flow to the display.
    QTest::mouseClick(mw.Command5(7), Qt::LeftButton);
    QVERIFY(instrument.acceptNext());
    QTRY_COMPARE(mw.Winsock1().State(), 7);
    QVERIFY(mw.isOnline());
    QCOMPARE(mw.Timer1().interval(), 10);
    QTimer balance; // sends like a balance: a telegram read in no tick is simply gone
    connect(&balance, &QTimer::timeout, this,
            [&] { instrument.send(defaultTelegram('+', "12,50", "g")); });
    balance.start(50);
    QTRY_COMPARE(mw.MesswertAnzeige()->text(), QStringLiteral("12.50"));
}

QTEST_MAIN(tst_mainform_startup)
#include "tst_mainform_startup.moc"
