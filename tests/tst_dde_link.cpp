#include "core/ipc/dde_client_link.h"
#include "core/ipc/dde_source.h"
#include "core/mainform/control_tag.h"
#include "core/mainform/mainform.h"
#include "core/mainform/panel_bar.h"
#include "core/settings/settings.h"
#include "platform/ports/tcp_socket.h"
#include "platform/vb/vb_timer.h"
#include "tests/support/dbus_client.h"
#include "tests/support/dde_fixtures.h"
#include "tests/support/dde_peer.h"
#include "tests/support/instrument_simulator.h"
#include "tests/support/measurement_road.h"
#include "tests/support/tcp_instrument.h"
#include "tests/support/test_app.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

namespace {

// Read after QTEST_MAIN has made the application.
QString service()
{
    return ownDdeService();
}
const QString kQuestion = QStringLiteral("\r       Programm beenden?");

} // namespace

Q_DECLARE_METATYPE(Prompts::Answer)

class tst_dde_link : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void itemsFollowTelegrams();
    void unknownItemIsRefused();
    void executePressesButtons_data();
    void executePressesButtons();
    void executeAnswersBeforePressing();
    void clientLink_data();
    void clientLink();
    void clientLinkTimeOut();
    void buttonReplyRunsClientLink();
    void pollingLoopRunsClientLink();
    // Last: the program's end stops every later event loop of this process
    // but the application's own.
    void exitByExecute();
    void executeRefusedOnceExitBegun_data();
    void executeRefusedOnceExitBegun();
};

void tst_dde_link::itemsFollowTelegrams()
{
    ServedWindow w;
    QVERIFY(w.start(QStringLiteral("PRINT")));
    DdeItemWatcher watcher;
    QVERIFY(watcher.ready());

    tickWith(*w.mw, w.instrument, defaultTelegram('-', "12,50", "g"));
    tickWith(*w.mw, w.instrument, defaultTelegram('+', "3,25", "kg"));

    const QMap<QString, QString> expected{
        {QStringLiteral("DDEValue"), QStringLiteral("3,25")},
        {QStringLiteral("DDESign"), QStringLiteral("+")},
        {QStringLiteral("DDEUnit"), QStringLiteral("kg")},
        {QStringLiteral("DDESTRING"), QStringLiteral("3,25{TAB}kg")},
        {QStringLiteral("DDEDirect"), QString::fromLatin1(defaultTelegram('+', "3,25", "kg"))}};
    // Each change reaches the watcher, the last one of each item being the current text.
    QMap<QString, QString> seen;
    QStringList values;
    QVERIFY(QTest::qWaitFor([&] {
        seen.clear();
        values.clear();
        for (const QString &line : watcher.signalLines()) {
            const QJsonObject changed = QJsonDocument::fromJson(line.toUtf8()).object();
            for (auto it = changed.begin(); it != changed.end(); ++it) {
                seen[it.key()] = it.value().toString();
                if (it.key() == QLatin1String("DDEValue"))
                    values << it.value().toString();
            }
        }
        return seen == expected;
    }));
    QCOMPARE(values, (QStringList{QStringLiteral("-12,5"), QStringLiteral("3,25")}));

    const DBusClientResult read = readDdeItems(service());
    QVERIFY(read.finished);
    QStringList items;
    for (auto it = expected.begin(); it != expected.end(); ++it)
        items << it.key() + QStringLiteral("=\"") +
                     QString(it.value())
                         .replace(QLatin1Char('\r'), QLatin1String("\\r"))
                         .replace(QLatin1Char('\n'), QLatin1String("\\n")) +
                     QLatin1Char('"');
    QCOMPARE(read.output, items.join(QLatin1Char('\n')));
    QCOMPARE(callDdeTopic(service(), QStringLiteral("Request"), QStringLiteral("DDEUnit")).output,
             QStringLiteral("ok kg"));
}

void tst_dde_link::unknownItemIsRefused()
{
    ServedWindow w;
    QVERIFY(w.start(QStringLiteral("HOTKEY")));
    const DBusClientResult r =
        callDdeTopic(service(), QStringLiteral("Request"), QStringLiteral("Gewicht"));
    QVERIFY(r.finished);
    QVERIFY2(r.output.startsWith(QStringLiteral(
                 "error org.freedesktop.DBus.Error.InvalidArgs no item \"Gewicht\"")),
             qPrintable(r.output));
}

void tst_dde_link::executePressesButtons_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("button");   // -1: none
    QTest::addColumn<QString>("echo"); // the start of a refused command, as the refusal quotes it

    QTest::newRow("3 stops the timer") << "3" << 3 << "";
    QTest::newRow("leading blanks") << "  3" << 3 << "";
    QTest::newRow("1 requests a send") << "1" << 1 << "";
    QTest::newRow("16") << "16" << 16 << "";
    QTest::newRow("15.6 rounds up") << "15.6" << 16 << "";
    QTest::newRow("8.6 rounds to 9") << "8.6" << 9 << "";
    QTest::newRow("2.5 to the even 2") << "2.5" << 2 << "";
    QTest::newRow("2 and letters") << "2abc" << 2 << "";
    QTest::newRow("0.7 is button 1") << "0.7" << 1 << "";
    QTest::newRow("0.4 rounds to no button") << "0.4" << -1 << "0.4";
    QTest::newRow("0.5 to the even 0") << "0.5" << -1 << "0.5";
    QTest::newRow("16.4 beyond 16") << "16.4" << -1 << "16.4";
    QTest::newRow("17") << "17" << -1 << "17";
    QTest::newRow("0") << "0" << -1 << "0";
    QTest::newRow("-1") << "-1" << -1 << "-1";
    QTest::newRow("no number") << "abc" << -1 << "abc";
    QTest::newRow("empty") << "" << -1 << "";
    const QString forty(40, QLatin1Char('x'));
    QTest::newRow("40 characters quoted whole") << forty << -1 << forty;
    QTest::newRow("1 MB of text: its start")
        << QString(1 << 20, QLatin1Char('x')) << -1 << forty + QStringLiteral("...");
    // U+1F600 takes two UTF-16 units, the first one the 40th.
    QTest::newRow("a character across the cut stays whole")
        << QString(39, QLatin1Char('x')) + QStringLiteral("\U0001F600") + forty << -1
        << QString(39, QLatin1Char('x')) + QStringLiteral("...");
}

// A pressed button leaves its mark: every button cancels a pending send (1 sets
// it again), 2 starts the main timer, 3 stops the measurement timer.
void tst_dde_link::executePressesButtons()
{
    QFETCH(QString, command);
    QFETCH(int, button);
    QFETCH(QString, echo);
    QCOMPARE(linkExecuteButton(command).value_or(-1), button);

    ServedWindow w;
    QVERIFY(w.start(QStringLiteral("HOTKEY")));
    w.mw->Timer1().setInterval(0);
    w.t.app.bSendNow = button != 1;
    w.t.app.bTimerAktiv = true;

    const DBusClientResult r = callDdeTopic(service(), QStringLiteral("Execute"), command);
    QVERIFY(r.finished);
    if (button == -1)
        QCOMPARE(r.output, QStringLiteral("error org.mondrelquist.DdeTopic.Error.Refused \"%1\" "
                                          "presses no button: the commands are the numbers 1 "
                                          "to 16")
                               .arg(echo));
    else
        QCOMPARE(r.output, QStringLiteral("ok"));
    QTest::qWait(50);
    QCOMPARE(w.t.app.bSendNow, button == -1 || button == 1);
    QCOMPARE(w.t.app.bTimerAktiv, button != 3);
    QCOMPARE(w.mw->Timer1().interval(), button == 2 ? 10 : 0);
    QCOMPARE(w.t.prompts.messages(), QStringList());
}

void tst_dde_link::executeAnswersBeforePressing()
{
    ServedWindow w;
    QVERIFY(w.start(QStringLiteral("HOTKEY")));
    w.t.app.bTimerAktiv = true;
    bool Cancel = true;
    Form_LinkExecute(*w.mw, QStringLiteral("3"), Cancel);
    QVERIFY(!Cancel);
    QVERIFY(w.t.app.bTimerAktiv); // the caller answers first
    QTRY_VERIFY(!w.t.app.bTimerAktiv);

    // A press still due when the window goes is dropped with it.
    w.t.app.bTimerAktiv = true;
    Form_LinkExecute(*w.mw, QStringLiteral("3"), Cancel);
    w.t.app.unloadMainWindow();
    QTest::qWait(20);
    QVERIFY(w.t.app.bTimerAktiv);
}

// An instrument command's reply for the target "*DDE*" runs the client link
// instead of a delivery.
void tst_dde_link::buttonReplyRunsClientLink()
{
    TestApp t;
    readSettingsRecord(t.app, QString());
    for (const QString &key : LanguageTexts::keys())
        *t.app.texts.text(key) = key;
    t.app.settings.modus = QStringLiteral("HOTKEY");
    t.app.settings.anwendung = QStringLiteral("*DDE*");
    t.app.m_waittime = 1;
    auto &row = t.app.settings.Action[3]; // button 12
    row[4] = QStringLiteral("ESCT");
    row[5] = QStringLiteral("Key");
    row[6] = QStringLiteral("1");
    aimLinkAtPeer(t.app);
    DdePeer peer;
    QVERIFY(servePeer(peer));
    InstrumentSimulator simulator;
    QVERIFY(simulator.start(QStringLiteral("tcp")) && simulator.configure(t.app));
    mainform &mw = t.app.mainWindow();
    setTag(mw.Command5(7), QStringLiteral("False"));
    mw.Command5_Click(7);
    mw.Timer1().setInterval(0);
    QTRY_COMPARE(mw.Winsock1().State(), int(winsock::kConnected));

    mw.Command5_Click(12);

    QCOMPARE(t.app.strAusgabe, QStringLiteral("T OK\r"));
    QCOMPARE(peer.received, QStringList{t.app.settings.befehl});
    QCOMPARE(t.prompts.messages(), QStringList());
}

void tst_dde_link::pollingLoopRunsClientLink()
{
    ServedWindow w;
    QVERIFY(w.start(QStringLiteral("PRINT")));
    w.t.app.settings.anwendung = QStringLiteral("*DDE*");
    aimLinkAtPeer(w.t.app);
    DdePeer peer;
    QVERIFY(servePeer(peer));
    w.mw->Status1()->setPanelText(2, QStringLiteral("panel 2"));
    w.mw->Status1()->setPanelText(3, QStringLiteral("panel 3"));

    tickWith(*w.mw, w.instrument, defaultTelegram('+', "7,5", "g"));

    QCOMPARE(peer.received, QStringList{w.t.app.settings.befehl});
    QCOMPARE(w.mw->DDESTRING()->text(), QStringLiteral("7,5{TAB}g"));
    QCOMPARE(w.mw->Status1()->panelText(2), QStringLiteral("panel 2"));
    QCOMPARE(w.mw->Status1()->panelText(3), QStringLiteral("panel 3"));
    QVERIFY(!QFile::exists(w.t.path(QStringLiteral("werte.txt")))); // no Wert_senden
    QCOMPARE(w.mw->Status()->panelText(1), QString());
    QVERIFY(!w.t.app.bSendNow);
}

void tst_dde_link::exitByExecute()
{
    ServedWindow w;
    QVERIFY(w.start(QStringLiteral("HOTKEY")));
    QPointer<mainform> window = w.mw;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));

    QCOMPARE(callDdeTopic(service(), QStringLiteral("Execute"), QStringLiteral("8")).output,
             QStringLiteral("ok"));
    // The program's own event loop, in which leaving the window may finish.
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
        if (!window || !window->isVisible() || w.t.app.hasEnded())
            loop.quit();
    });
    poll.start(10);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    QVERIFY(!window || !window->isVisible());
}

void tst_dde_link::clientLink_data()
{
    QTest::addColumn<bool>("peerRuns");
    QTest::addColumn<DdePeer::Mode>("mode");
    QTest::addColumn<QString>("message"); // "" for none
    QTest::addColumn<Prompts::Answer>("answer");

    const QString refused =
        "Foreign application won't perform DDE method or operation 285" + kQuestion;
    QTest::newRow("carried out") << true << DdePeer::Mode::CarryOut << "" << Prompts::Answer::No;
    QTest::newRow("refused") << true << DdePeer::Mode::Refuse << refused << Prompts::Answer::No;
    QTest::newRow("refused, end the program")
        << true << DdePeer::Mode::Refuse << refused << Prompts::Answer::Yes;
    QTest::newRow("no such application")
        << false << DdePeer::Mode::CarryOut
        << "No foreign application responded to a DDE initiate 282" + kQuestion
        << Prompts::Answer::No;
}

void tst_dde_link::clientLink()
{
    QFETCH(bool, peerRuns);
    QFETCH(DdePeer::Mode, mode);
    QFETCH(QString, message);
    QFETCH(Prompts::Answer, answer);

    TestApp t;
    aimLinkAtPeer(t.app);
    t.prompts.messageAnswers = {answer};
    t.app.mainWindow().Timer1().setInterval(10);
    DdePeer peer;
    peer.mode = mode;
    if (peerRuns)
        QVERIFY(servePeer(peer));

    DDE_Verbindung(t.app);

    QCOMPARE(peer.received, peerRuns ? QStringList{t.app.settings.befehl} : QStringList());
    QCOMPARE(t.prompts.messages(), message.isEmpty() ? QStringList() : QStringList{message});
    if (!message.isEmpty())
        QCOMPARE(t.prompts.shown.first().title, QStringLiteral("Mondrelquist"));
    // Yes runs the exit: the polling stops at once and the window is unloaded once
    // the stack has unwound (not here: the App goes first).
    QCOMPARE(t.app.mainWindow().Timer1().interval(), answer == Prompts::Answer::Yes ? 0 : 10);
    QVERIFY(!t.app.hasEnded());
}

// A server that never answers: the link gives up after five seconds without a
// message, and the window's events run meanwhile.
void tst_dde_link::clientLinkTimeOut()
{
    TestApp t;
    aimLinkAtPeer(t.app);
    DdePeer peer;
    peer.mode = DdePeer::Mode::NeverAnswer;
    QVERIFY(servePeer(peer));
    int beats = 0;
    QTimer heartbeat;
    connect(&heartbeat, &QTimer::timeout, [&] { ++beats; });
    heartbeat.start(100);

    QElapsedTimer clock;
    clock.start();
    DDE_Verbindung(t.app);
    const qint64 elapsed = clock.elapsed();

    QVERIFY2(elapsed >= 4900 && elapsed < 6500, qPrintable(QString::number(elapsed)));
    QVERIFY2(beats >= 40, qPrintable(QString::number(beats)));
    QCOMPARE(peer.received, QStringList{t.app.settings.befehl});
    QCOMPARE(t.prompts.messages(), QStringList());
}

void tst_dde_link::executeRefusedOnceExitBegun_data()
{
    QTest::addColumn<QString>("exit");

    QTest::newRow("Execute 8") << "Execute 8";
    QTest::newRow("File > Exit") << "quit";
    QTest::newRow("window closed") << "close";
}

// While the exit asks whether to save, a command for button 9 is refused: it
// sends nothing to the instrument and opens no box over the question.
void tst_dde_link::executeRefusedOnceExitBegun()
{
    QFETCH(QString, exit);
    ServedWindow w;
    QVERIFY(w.start(QStringLiteral("HOTKEY")));
    w.mw->Timer1().setInterval(0);
    auto &row = w.t.app.settings.Action[0]; // button 9
    row[4] = QStringLiteral("T");
    row[5] = QStringLiteral("Key");
    row[6] = QStringLiteral("0");
    w.t.app.CfgPath.clear(); // without a settings file the exit always asks
    const QString question = w.t.app.texts.TextAenderungenSpeichern;
    w.t.prompts.messageAnswers = {Prompts::Answer::No};
    DBusClientResult duringQuestion;
    w.t.prompts.onMessage = [&](const QString &text) {
        if (text != question)
            return;
        duringQuestion = callDdeTopic(service(), QStringLiteral("Execute"), QStringLiteral("9"));
        QTest::qWait(100); // the box stays up a moment: a press would run now
    };

    if (exit == QLatin1String("Execute 8"))
        QCOMPARE(callDdeTopic(service(), QStringLiteral("Execute"), QStringLiteral("8")).output,
                 QStringLiteral("ok"));
    else if (exit == QLatin1String("quit"))
        w.mw->quit_Click();
    else
        w.mw->close();
    QVERIFY(w.t.app.hasEnded() || runUntilEnded(w.t.app));

    QVERIFY(duringQuestion.finished);
    QCOMPARE(duringQuestion.output,
             QStringLiteral("error org.mondrelquist.DdeTopic.Error.Refused the program is ending: "
                            "no button is pressed any more"));
    QCOMPARE(w.t.prompts.messages(), QStringList{question});
    QCOMPARE(w.instrument.received(), QByteArray());
}

QTEST_MAIN(tst_dde_link)
#include "tst_dde_link.moc"
