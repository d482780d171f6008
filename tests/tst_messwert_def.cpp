// The telegram-template dialog on real links: the balance simulator and raw
// instrument sides on a pty pair and on TCP.

#include "core/mainform/control_tag.h"
#include "core/mainform/mainform.h"
#include "core/mainform/panel_bar.h"
#include "core/reception/telegram.h"
#include "core/settings/settings.h"
#include "dialogs/messwert_def.h"
#include "dialogs/tasten.h"
#include "platform/ports/serial_port.h"
#include "platform/ports/tcp_socket.h"
#include "platform/vb/cp1252.h"
#include "platform/vb/vb_caption.h"
#include "platform/vb/vb_runtime.h"
#include "platform/vb/vb_timer.h"
#include "tests/support/byte_flood.h"
#include "tests/support/dialog_checks.h"
#include "tests/support/instrument_simulator.h"
#include "tests/support/pty_pair.h"
#include "tests/support/tcp_instrument.h"
#include "tests/support/test_app.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace {

// What the simulator sends: value 0.0 in columns 11 to 16, CR LF at the end.
const QString kTelegram = QString::fromLatin1(defaultTelegram('+', "0.0", "g"));

// The instrument's side of the dialog's link, sending raw bytes: the far end of
// a pty pair, or a local server that talks to the newest connection.
class RawInstrument {
public:
    RawInstrument(const QString &transport, const QString &folder)
        : m_transport(transport)
        , m_pty(folder)
    {}

    bool start(App &app)
    {
        if (m_transport == u"tcp") {
            if (!m_server.listen(QHostAddress::LocalHost))
                return false;
            app.settings.portnum = QStringLiteral("TCP/IP");
            app.settings.tcpip = QStringLiteral("127.0.0.1");
            app.settings.tcpport = QString::number(m_server.serverPort());
            return true;
        }
        if (!m_pty.start() || !useComPort(app, m_pty.a))
            return false;
        m_far.setFileName(m_pty.b);
        return m_far.open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    }

    // Over TCP: the dialog's current connection is up and accepted here.
    bool ready(const messwert_def &dialog)
    {
        if (m_transport != u"tcp")
            return true;
        return QTest::qWaitFor([&] {
            while (m_server.hasPendingConnections())
                m_peers.emplace_back(m_server.nextPendingConnection());
            return dialog.Winsock1().State() == winsock::kConnected && !m_peers.empty() &&
                   m_peers.back()->peerPort() == dialog.Winsock1().localPort();
        });
    }

    void send(const QByteArray &bytes)
    {
        if (m_transport != u"tcp") {
            m_far.write(bytes);
            return;
        }
        m_peers.back()->write(bytes);
        m_peers.back()->flush();
    }
    // Over TCP: the instrument's end of the newest connection.
    qintptr descriptor() const { return m_peers.back()->socketDescriptor(); }

private:
    QString m_transport;
    PtyPair m_pty;
    QFile m_far;
    QTcpServer m_server;
    std::vector<std::unique_ptr<QTcpSocket>> m_peers;
};

// Default settings, texts as their keys; the dialog is the App's default instance.
struct Fixture {
    TestApp t;

    Fixture()
    {
        readSettingsRecord(t.app, QString());
        // No link unless a test sets one up.
        t.app.settings.portnum = QString();
        for (const QString &key : LanguageTexts::keys())
            *t.app.texts.text(key) = key;
    }
    mainform &mw() { return t.app.mainWindow(); }

    messwert_def &open()
    {
        messwert_def &dialog = t.app.form<messwert_def>();
        dialog.show();
        return dialog;
    }
    template <typename W = QLineEdit> W *child(const QString &name)
    {
        return t.app.form<messwert_def>().findChild<W *>(name);
    }
    QString text(const QString &box) { return child(box)->text(); }
    void click(const QString &name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }

    // Over TCP waits until the dialog's new connection is up and the simulator,
    // another process, has had time to take it.
    bool start()
    {
        click(QStringLiteral("cmdStart"));
        if (t.app.settings.portnum != u"TCP/IP")
            return true;
        const bool up = QTest::qWaitFor([&] { return isConnected(); });
        QTest::qWait(100);
        return up;
    }
    bool isConnected() { return t.app.form<messwert_def>().Winsock1().State() == 7; }

    // Selects length characters from the 1-based column with the keyboard.
    void select(int column, int length)
    {
        QLineEdit *box = child(QStringLiteral("txtScaleInput"));
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Home);
        for (int i = 1; i < column; ++i)
            QTest::keyClick(box, Qt::Key_Right);
        for (int i = 0; i < length; ++i)
            QTest::keyClick(box, Qt::Key_Right, Qt::ShiftModifier);
    }
};

// The simulator's telegram in the box, over TCP.
bool receiveOverTcp(Fixture &f, InstrumentSimulator &simulator)
{
    if (!simulator.start(QStringLiteral("tcp")) || !simulator.configure(f.t.app))
        return false;
    f.open();
    if (!QTest::qWaitFor([&] { return f.isConnected(); }))
        return false;
    QTest::qWait(100);
    simulator.sendTelegram();
    return QTest::qWaitFor([&] { return f.text(QStringLiteral("txtScaleInput")) == kTelegram; });
}

// Runs act from the event loop once a serial read has begun (it turns the
// receive event off), so while the read waits.
void duringRead(messwert_def &dialog, std::function<void()> act)
{
    auto *poll = new QTimer(&dialog);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, &dialog, act] {
        if (dialog.commport().rThreshold() != 0)
            return;
        poll->stop();
        poll->deleteLater();
        act();
    });
    poll->start();
}

} // namespace

class tst_messwert_def : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    void controlsAndTexts_data();
    void controlsAndTexts();
    void loadShowsRecordAndTakesMainWindowOffline_data();
    void loadShowsRecordAndTakesMainWindowOffline();
    void oneTelegramPerStart();
    void tcpShowsAllAsItArrives_data();
    void tcpShowsAllAsItArrives();
    void tcpFloodShowsNewest();
    void rawBytesAndEndCharacter_data();
    void rawBytesAndEndCharacter();
    void leftoverOfMainWindowNotShown();
    void marking_data();
    void marking();
    void lengthButton();
    void okStoresCancelKeeps_data();
    void okStoresCancelKeeps();
    void closingDuringRead_data();
    void closingDuringRead();
    void startWaitsForRunningRead();
    void menuOpensModally();
    void wizardOkOpensTemplateEditor();
};

void tst_messwert_def::controlsAndTexts_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("German") << "DEUTSCH";
    QTest::newRow("English") << "ENGLISH";
}

// Fixed German texts in either language, none cut off; every box has an
// accessible name and no button takes Enter.
void tst_messwert_def::controlsAndTexts()
{
    QFETCH(QString, language);
    Fixture f;
    QVERIFY(loadShippedLanguage(f.t.app, language));
    messwert_def &dialog = f.open();

    QCOMPARE(dialog.windowTitle(), QStringLiteral("Dateneingang"));
    QCOMPARE(f.child<QLabel>(QStringLiteral("Label3"))->text(),
             QStringLiteral("Bitte Datenausgabe am Gerät auslösen:"));
    const std::pair<const char *, const char *> captions[] = {
        {"cmdStart", "&Start"},
        {"cmdStop", "&Stop"},
        {"cmdMesswert", "&Messwert"},
        {"cmdSign", "&Vorzeichen"},
        {"cmdUnit", "&Einheit"},
        {"cmdStable", "&Stillstandszeichen"},
        {"CmdLength", "Anzahl Zeichen"},
        {"cmdEndChar", "Abschlusszeichen"},
        {"cmdOK", "&Ok"},
        {"cmdCancel", "&Abbrechen"},
        {"cmdID(0)", "ID1"},
        {"cmdID(9)", "ID10"},
    };
    for (const auto &[name, caption] : captions) {
        const auto *button = f.child<QPushButton>(QString::fromLatin1(name));
        QVERIFY2(button, name);
        QCOMPARE(button->text(), QString::fromUtf8(caption));
    }
    const QStringList boxes = {
        "txtScaleInput", "txtMesswert",    "txtMesswertStart", "txtMesswertEnd", "txtSign",
        "txtSignStart",  "txtSignEnd",     "txtUnit",          "txtUnitStart",   "txtUnitEnd",
        "txtStable",     "txtStableStart", "txtStableEnd",     "txtID1",         "txtID10",
        "id_start(0)",   "id_end(9)",      "txt_reclen",       "txt_endchar"};
    for (const QString &name : boxes)
        QVERIFY2(f.child(name), qPrintable(name));
    for (const QLineEdit *box : dialog.findChildren<QLineEdit *>())
        QVERIFY2(!box->accessibleName().isEmpty(), qPrintable(box->objectName()));
    for (const QPushButton *button : dialog.findChildren<QPushButton *>())
        QVERIFY2(!button->autoDefault(), qPrintable(button->objectName()));
    QVERIFY(f.child(QStringLiteral("txtScaleInput"))->fontInfo().fixedPitch());
    QCOMPARE(cutOffTexts(&dialog), QStringList());
}

void tst_messwert_def::loadShowsRecordAndTakesMainWindowOffline_data()
{
    QTest::addColumn<QString>("transport");
    QTest::addColumn<bool>("portLeftOpen"); // the main window's serial port, over TCP
    QTest::addColumn<bool>("showsOffline");
    QTest::newRow("serial") << "pty" << false << true;
    QTest::newRow("TCP") << "tcp" << false << false;
    QTest::newRow("TCP, serial port left open") << "tcp" << true << true;
}

// The boxes show the record; the main window's timer stops and its tag says
// offline. On a serial link its display says so too; over TCP its socket stays
// up until Start and its captions and status stay, unless its serial port was
// still open and is closed here.
void tst_messwert_def::loadShowsRecordAndTakesMainWindowOffline()
{
    QFETCH(QString, transport);
    QFETCH(bool, portLeftOpen);
    QFETCH(bool, showsOffline);
    Fixture f;
    InstrumentSimulator simulator;
    QVERIFY(simulator.start(transport));
    QVERIFY(simulator.configure(f.t.app));
    SettingsRecord &s = f.t.app.settings;
    s.mw_start = 3;
    s.mw_sign_end = 9;
    s.eh_start = 12;
    s.mw_still_end = 20;
    s.ID_anf[1] = 4;
    s.ID_end[10] = 30;
    s.str_len = QStringLiteral(" 22x");
    s.str_endchar = QStringLiteral("13");

    // The main window online on the same link.
    mainform &mw = f.mw();
    PtyPair earlierPort(f.t.folder.path());
    if (transport == u"tcp") {
        mw.Winsock1().setRemoteHost(s.tcpip);
        mw.Winsock1().setRemotePort(simulator.port());
        QVERIFY(mw.Winsock1().Connect());
        QTRY_COMPARE(mw.Winsock1().State(), winsock::kConnected);
    } else {
        QVERIFY(mw.commport().setPortOpen(true));
    }
    if (portLeftOpen) {
        QVERIFY(earlierPort.start());
        QVERIFY(useComPort(f.t.app, earlierPort.a));
        QVERIFY(mw.commport().setPortOpen(true));
        QVERIFY(simulator.configure(f.t.app));
    }
    mw.Command5(7)->setText(QStringLiteral("O&ffline"));
    vb::setCaption(mw.MesswertAnzeige(), QStringLiteral("Online"));
    setTag(mw.Command5(7), vb::BoolText(true));
    mw.Timer1().setInterval(10);
    mw.fnUpdateStatus(QStringLiteral("online"));

    messwert_def &dialog = f.open();
    QCOMPARE(f.text(QStringLiteral("txtMesswertStart")), QStringLiteral("3"));
    QCOMPARE(f.text(QStringLiteral("txtMesswertEnd")), QString::number(s.mw_end));
    QCOMPARE(f.text(QStringLiteral("txtSignEnd")), QStringLiteral("9"));
    QCOMPARE(f.text(QStringLiteral("txtUnitStart")), QStringLiteral("12"));
    QCOMPARE(f.text(QStringLiteral("txtStableEnd")), QStringLiteral("20"));
    QCOMPARE(f.text(QStringLiteral("id_start(0)")), QStringLiteral("4"));
    QCOMPARE(f.text(QStringLiteral("id_end(9)")), QStringLiteral("30"));
    QCOMPARE(f.text(QStringLiteral("txt_reclen")), QStringLiteral(" 22x"));
    QCOMPARE(f.text(QStringLiteral("txt_endchar")), QStringLiteral("13"));
    QCOMPARE(f.text(QStringLiteral("txtScaleInput")), QString());

    QCOMPARE(mw.Timer1().interval(), 0);
    QCOMPARE(tagOf(mw.Command5(7)), QStringLiteral("False"));
    const auto shown = [showsOffline](const char *offline, const char *before) {
        return QString::fromLatin1(showsOffline ? offline : before);
    };
    QCOMPARE(mw.Command5(7)->text(), shown("O&nline", "O&ffline"));
    QCOMPARE(mw.MesswertAnzeige()->text(), shown("Offline", "Online"));
    QCOMPARE(mw.Status()->panelText(1), shown("TextMessgeraetInaktiv", "online"));
    QVERIFY(!mw.commport().portOpen());
    QCOMPARE(f.child<QPushButton>(QStringLiteral("cmdStart"))->isEnabled(), true);
    QCOMPARE(f.child<QPushButton>(QStringLiteral("cmdStop"))->isEnabled(), false);
    if (transport == u"tcp") {
        QTRY_VERIFY(f.isConnected());
        QCOMPARE(mw.Winsock1().State(), winsock::kConnected);
        QVERIFY(f.start());
        QCOMPARE(mw.Winsock1().State(), winsock::kClosed);
    } else {
        QVERIFY(dialog.commport().portOpen());
        QCOMPARE(dialog.commport().rThreshold(), 0);
    }
}

// On a serial port each Start shows one telegram, and the previews cut it;
// further telegrams are not appended until Stop and Start.
void tst_messwert_def::oneTelegramPerStart()
{
    Fixture f;
    InstrumentSimulator simulator;
    QVERIFY(simulator.start(QStringLiteral("pty")));
    QVERIFY(simulator.configure(f.t.app));
    f.t.app.settings.ID_anf[2] = 1;
    f.t.app.settings.ID_end[2] = 2;
    messwert_def &dialog = f.open();

    for (int round = 0; round < 2; ++round) {
        QVERIFY(f.start());
        QCOMPARE(f.child<QPushButton>(QStringLiteral("cmdStart"))->isEnabled(), false);
        QCOMPARE(f.child<QPushButton>(QStringLiteral("cmdStop"))->isEnabled(), true);
        simulator.sendTelegram();
        QTRY_COMPARE(f.text(QStringLiteral("txtScaleInput")), kTelegram);
        QTRY_COMPARE(f.text(QStringLiteral("txtMesswert")), QStringLiteral("   0.0"));
        QCOMPARE(f.text(QStringLiteral("txtSign")), QStringLiteral("+"));
        QCOMPARE(f.text(QStringLiteral("txtUnit")), QStringLiteral("g "));
        QCOMPARE(f.text(QStringLiteral("txtStable")), QStringLiteral("g "));
        QCOMPARE(f.text(QStringLiteral("txtID2")), QStringLiteral("ST"));
        QCOMPARE(f.text(QStringLiteral("txtID1")), QString());

        // A telegram after the first is not shown.
        simulator.sendTelegram();
        QTest::qWait(1200);
        QCOMPARE(f.text(QStringLiteral("txtScaleInput")), kTelegram);
        QCOMPARE(dialog.commport().rThreshold(), 0);
        QCOMPARE(f.child<QPushButton>(QStringLiteral("cmdStart"))->isEnabled(), false);

        f.click(QStringLiteral("cmdStop"));
        QCOMPARE(f.child<QPushButton>(QStringLiteral("cmdStart"))->isEnabled(), true);
        QCOMPARE(f.child<QPushButton>(QStringLiteral("cmdStop"))->isEnabled(), false);
        QCOMPARE(dialog.Winsock1().State(), winsock::kClosed);
    }
}

void tst_messwert_def::tcpShowsAllAsItArrives_data()
{
    QTest::addColumn<QByteArray>("leftover"); // in the receive buffer before loading
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<QString>("reclen");
    QTest::addColumn<QByteArray>("shown");

    const QByteArray telegram = defaultTelegram('+', "1.5", "g");
    QTest::newRow("pieces past the length")
        << QByteArray() << QByteArrayList{telegram.left(9), telegram.mid(9), telegram.left(9)}
        << "22" << telegram + telegram.left(9);
    QTest::newRow("no length") << QByteArray() << QByteArrayList{telegram.left(9), telegram.mid(9)}
                               << "" << telegram;
    QTest::newRow("telegram after telegram")
        << QByteArray() << QByteArrayList{telegram, telegram, "US"} << "5"
        << telegram + telegram + "US";
    QTest::newRow("after what the main window left")
        << QByteArray("OLD\r\n") << QByteArrayList{telegram} << "22"
        << "OLD\r\n" + telegram;
    QTest::newRow("beyond the box: the newest")
        << QByteArray() << QByteArrayList{QByteArray(700, 'x'), QByteArray(700, 'y')} << "5000"
        << QByteArray(messwert_def::kMaxTelegram - 700, 'x') + QByteArray(700, 'y');
}

// Over TCP the box shows everything received since the receive buffer was last
// emptied, from the loading on and without Start, whatever the length box says.
void tst_messwert_def::tcpShowsAllAsItArrives()
{
    QFETCH(QByteArray, leftover);
    QFETCH(QByteArrayList, chunks);
    QFETCH(QString, reclen);
    QFETCH(QByteArray, shown);
    Fixture f;
    RawInstrument instrument(QStringLiteral("tcp"), f.t.folder.path());
    QVERIFY(instrument.start(f.t.app));
    f.t.app.settings.str_len = reclen;
    f.t.app.strEmpfang = QString::fromLatin1(leftover);
    messwert_def &dialog = f.open();
    QVERIFY(instrument.ready(dialog));
    QCOMPARE(f.text(QStringLiteral("txtScaleInput")), QString());
    QByteArray sent = leftover;
    for (const QByteArray &chunk : chunks) {
        instrument.send(chunk);
        sent += chunk;
        QTRY_COMPARE(f.text(QStringLiteral("txtScaleInput")),
                     QString::fromLatin1(sent.right(messwert_def::kMaxTelegram)));
    }
    QCOMPARE(f.text(QStringLiteral("txtScaleInput")), QString::fromLatin1(shown));
    QCOMPARE(f.child<QPushButton>(QStringLiteral("cmdStart"))->isEnabled(), true);
}

// An endless stream at full speed: the box shows its newest characters and the
// receive buffer stays within its bound; what comes after the flood shows.
void tst_messwert_def::tcpFloodShowsNewest()
{
    Fixture f;
    RawInstrument instrument(QStringLiteral("tcp"), f.t.folder.path());
    QVERIFY(instrument.start(f.t.app));
    f.t.app.settings.str_len = QStringLiteral("22");
    const qsizetype bound = 22 + kEmpfangReserve;
    messwert_def &dialog = f.open();
    QVERIFY(instrument.ready(dialog));
    qsizetype largestCapacity = 0;
    connect(&dialog.Winsock1(), &TcpSocket::DataArrival, &dialog,
            [&] { largestCapacity = std::max(largestCapacity, f.t.app.strEmpfang.capacity()); });

    const QByteArray telegram = defaultTelegram('+', "1.5", "g");
    ByteFlood flood(instrument.descriptor(), QByteArray(4096, 'x'), 4 * 1024 * 1024, telegram);
    QVERIFY(flood.start());
    QVERIFY(QTest::qWaitFor(
        [&] { return f.text(QStringLiteral("txtScaleInput")).endsWith(QLatin1String(telegram)); },
        10000));

    const QString box = f.text(QStringLiteral("txtScaleInput"));
    QCOMPARE(box.size(), messwert_def::kMaxTelegram);
    QCOMPARE(box.left(box.size() - telegram.size()),
             QString(messwert_def::kMaxTelegram - telegram.size(), QLatin1Char('x')));
    QCOMPARE(f.t.app.strEmpfang.size(), bound);
    QVERIFY2(largestCapacity <= 2 * bound, qPrintable(QString::number(largestCapacity)));
}

void tst_messwert_def::rawBytesAndEndCharacter_data()
{
    QTest::addColumn<QString>("transport");
    QTest::addColumn<QByteArray>("telegram");
    QTest::addColumn<QString>("endChar");

    const QByteArray controls("\x02"
                              "A\0B\rC\x80\r\n",
                              9);
    QTest::newRow("serial: STX, NUL, CR, 0x80, CR LF") << "pty" << controls << "10";
    QTest::newRow("TCP: STX, NUL, CR, 0x80, CR LF") << "tcp" << controls << "10";
    QTest::newRow("TCP: ends in 0x80") << "tcp" << QByteArray("12.5 \x80") << "128";
    QTest::newRow("serial: ends in 0xFF") << "pty" << QByteArray("12.5 \xff") << "255";
}

// The box keeps every byte as one character; the end-character button gives
// the last one's Windows-1252 code, and does nothing with a selection.
void tst_messwert_def::rawBytesAndEndCharacter()
{
    QFETCH(QString, transport);
    QFETCH(QByteArray, telegram);
    QFETCH(QString, endChar);
    Fixture f;
    RawInstrument instrument(transport, f.t.folder.path());
    QVERIFY(instrument.start(f.t.app));
    f.t.app.settings.str_len = QString::number(telegram.size());
    f.t.app.settings.str_endchar = QStringLiteral("3");
    messwert_def &dialog = f.open();
    f.click(QStringLiteral("cmdStart"));
    QVERIFY(instrument.ready(dialog));

    instrument.send(telegram);
    QTRY_COMPARE(f.text(QStringLiteral("txtScaleInput")), cp1252::decode(telegram));
    QCOMPARE(f.text(QStringLiteral("txtScaleInput")).size(), telegram.size());

    f.select(2, 1);
    f.click(QStringLiteral("cmdEndChar"));
    QCOMPARE(f.text(QStringLiteral("txt_endchar")), QStringLiteral("3"));
    f.child(QStringLiteral("txtScaleInput"))->deselect();
    f.click(QStringLiteral("cmdEndChar"));
    QCOMPARE(f.text(QStringLiteral("txt_endchar")), endChar);
    // Stored on OK only.
    QCOMPARE(f.t.app.settings.str_endchar, QStringLiteral("3"));
}

// Data the main window's socket left in the receive buffer never precede the
// telegram of a TCP Start.
void tst_messwert_def::leftoverOfMainWindowNotShown()
{
    Fixture f;
    InstrumentSimulator simulator;
    QVERIFY(simulator.start(QStringLiteral("tcp")));
    QVERIFY(simulator.configure(f.t.app));
    mainform &mw = f.mw();
    mw.Winsock1().setRemoteHost(f.t.app.settings.tcpip);
    mw.Winsock1().setRemotePort(simulator.port());
    QVERIFY(mw.Winsock1().Connect());
    QTRY_COMPARE(mw.Winsock1().State(), winsock::kConnected);
    simulator.sendTelegram();
    QTRY_COMPARE(f.t.app.strEmpfang, kTelegram);

    f.open();
    QVERIFY(f.start());
    QCOMPARE(f.t.app.strEmpfang, QString());
    simulator.sendTelegram();
    QTRY_COMPARE(f.text(QStringLiteral("txtScaleInput")), kTelegram);
    QTest::qWait(100);
    QCOMPARE(f.text(QStringLiteral("txtScaleInput")), kTelegram);
}

void tst_messwert_def::marking_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("column"); // 0: no selection
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("preview");
    QTest::addColumn<QString>("startBox");
    QTest::addColumn<QString>("endBox");
    QTest::addColumn<QString>("shown"); // preview, first column, last column

    QTest::newRow("value 11..16") << "cmdMesswert" << 11 << 6 << "txtMesswert"
                                  << "txtMesswertStart"
                                  << "txtMesswertEnd"
                                  << "   0.0|11|16";
    QTest::newRow("sign 7") << "cmdSign" << 7 << 1 << "txtSign"
                            << "txtSignStart"
                            << "txtSignEnd"
                            << "+|7|7";
    QTest::newRow("unit 18..19") << "cmdUnit" << 18 << 2 << "txtUnit"
                                 << "txtUnitStart"
                                 << "txtUnitEnd"
                                 << "g |18|19";
    QTest::newRow("stable 1..2") << "cmdStable" << 1 << 2 << "txtStable"
                                 << "txtStableStart"
                                 << "txtStableEnd"
                                 << "ST|1|2";
    QTest::newRow("ID4 with CR LF") << "cmdID(3)" << 21 << 2 << "txtID4"
                                    << "id_start(3)"
                                    << "id_end(3)"
                                    << "\r\n|21|22";
    QTest::newRow("value, no selection: nothing") << "cmdMesswert" << 0 << 0 << "txtMesswert"
                                                  << "txtMesswertStart"
                                                  << "txtMesswertEnd"
                                                  << "old|5|8";
    QTest::newRow("ID1, no selection: cleared") << "cmdID(0)" << 0 << 0 << "txtID1"
                                                << "id_start(0)"
                                                << "id_end(0)"
                                                << "|0|0";
}

// A field button previews and stores the current selection, also one made with
// the keyboard after a click elsewhere; the record changes at once.
void tst_messwert_def::marking()
{
    QFETCH(QString, button);
    QFETCH(int, column);
    QFETCH(int, length);
    QFETCH(QString, preview);
    QFETCH(QString, startBox);
    QFETCH(QString, endBox);
    QFETCH(QString, shown);
    Fixture f;
    SettingsRecord &s = f.t.app.settings;
    s.mw_start = 5;
    s.mw_end = 8;
    s.ID_anf[1] = 5;
    s.ID_end[1] = 8;
    InstrumentSimulator simulator;
    QVERIFY(receiveOverTcp(f, simulator));
    f.child(preview)->setText(QStringLiteral("old"));

    QLineEdit *box = f.child(QStringLiteral("txtScaleInput"));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
    if (column > 0)
        f.select(column, length);
    else
        box->deselect();
    f.click(button);

    const QStringList expected = shown.split(u'|');
    QCOMPARE(f.text(preview), expected[0]);
    QCOMPARE(f.text(startBox), expected[1]);
    QCOMPARE(f.text(endBox), expected[2]);
    const bool isId = button.startsWith(u"cmdID");
    const int n = isId ? button.mid(6, 1).toInt() + 1 : 0;
    const std::map<QString, std::pair<qint16, qint16>> stored = {
        {QStringLiteral("cmdMesswert"), {s.mw_start, s.mw_end}},
        {QStringLiteral("cmdSign"), {s.mw_sign_anf, s.mw_sign_end}},
        {QStringLiteral("cmdUnit"), {s.eh_start, s.eh_end}},
        {QStringLiteral("cmdStable"), {s.mw_still_anf, s.mw_still_end}},
    };
    const auto [first, last] =
        isId ? std::pair{s.ID_anf[std::size_t(n)], s.ID_end[std::size_t(n)]} : stored.at(button);
    QCOMPARE(QString::number(first), expected[1]);
    QCOMPARE(QString::number(last), expected[2]);
}

// The length button shows the selection's length, for OK to store; without a
// selection it does nothing, nor does the end-character button on an empty box.
void tst_messwert_def::lengthButton()
{
    Fixture f;
    InstrumentSimulator simulator;
    QVERIFY(receiveOverTcp(f, simulator));
    f.child(QStringLiteral("txtScaleInput"))->deselect();
    f.click(QStringLiteral("CmdLength"));
    QCOMPARE(f.text(QStringLiteral("txt_reclen")), QStringLiteral("22"));
    f.select(3, 17);
    f.click(QStringLiteral("CmdLength"));
    QCOMPARE(f.text(QStringLiteral("txt_reclen")), QStringLiteral("17"));
    QCOMPARE(f.t.app.settings.str_len, QStringLiteral("22"));

    f.child(QStringLiteral("txt_endchar"))->setText(QStringLiteral("x"));
    f.child(QStringLiteral("txtScaleInput"))->clear();
    f.click(QStringLiteral("cmdEndChar"));
    QCOMPARE(f.text(QStringLiteral("txt_endchar")), QStringLiteral("x"));
}

void tst_messwert_def::okStoresCancelKeeps_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("typed"); // into txtMesswertStart and id_end(4)
    QTest::addColumn<int>("stored");    // mw_start and ID_end(5) afterwards

    QTest::newRow("OK: a number") << "cmdOK"
                                  << "12" << 12;
    QTest::newRow("OK: rounded") << "cmdOK"
                                 << "12.5" << 12;
    QTest::newRow("OK: empty keeps") << "cmdOK"
                                     << "" << 3;
    QTest::newRow("OK: no number keeps") << "cmdOK"
                                         << "x1" << 3;
    QTest::newRow("OK: beyond 16 bits keeps") << "cmdOK"
                                              << "40000" << 3;
    QTest::newRow("Cancel keeps") << "cmdCancel"
                                  << "12" << 3;
}

// OK stores the boxes as the record's types allow and the length and end
// character as typed; Cancel keeps what the buttons stored. Both unload.
void tst_messwert_def::okStoresCancelKeeps()
{
    QFETCH(QString, button);
    QFETCH(QString, typed);
    QFETCH(int, stored);
    Fixture f;
    SettingsRecord &s = f.t.app.settings;
    s.portnum = QString();
    s.mw_start = 3;
    s.ID_end[5] = 3;
    s.ID_anf[2] = 4;
    s.ID_end[2] = 6;
    QPointer<messwert_def> dialog = &f.open();
    f.child(QStringLiteral("txtSignStart"))->setText(QStringLiteral("9"));
    f.child(QStringLiteral("txtMesswertStart"))->setText(typed);
    f.child(QStringLiteral("id_end(4)"))->setText(typed);
    f.child(QStringLiteral("txt_reclen"))->setText(QString());
    f.child(QStringLiteral("txt_endchar"))->setText(QStringLiteral(" 13 "));
    f.click(QStringLiteral("cmdID(1)")); // no selection: ID2 cleared at once

    f.click(button);

    QCOMPARE(int(s.mw_start), stored);
    QCOMPARE(int(s.ID_end[5]), stored);
    QCOMPARE(s.ID_anf[2], qint16(0));
    QCOMPARE(s.ID_end[2], qint16(0));
    const bool ok = button == u"cmdOK";
    QCOMPARE(s.mw_sign_anf, qint16(ok ? 9 : 7));
    QCOMPARE(s.str_len, ok ? QString() : QStringLiteral("22"));
    QCOMPARE(s.str_endchar, ok ? QStringLiteral(" 13 ") : QStringLiteral("10"));
    QVERIFY(!f.t.app.isLoaded<messwert_def>());
    QTRY_VERIFY(dialog.isNull());
}

void tst_messwert_def::closingDuringRead_data()
{
    QTest::addColumn<bool>("unload"); // unloaded outright instead of closed
    QTest::newRow("closed") << false;
    QTest::newRow("unloaded") << true;
}

// A serial read waiting when the window closes ends at once and leaves the
// window alone: the window goes long before the read's wait would have ended.
void tst_messwert_def::closingDuringRead()
{
    QFETCH(bool, unload);
    Fixture f;
    InstrumentSimulator simulator;
    QVERIFY(simulator.start(QStringLiteral("pty")));
    QVERIFY(simulator.configure(f.t.app));
    QPointer<messwert_def> dialog = &f.open();
    QVERIFY(f.start());
    QElapsedTimer elapsed;
    duringRead(*dialog, [&] {
        elapsed.start();
        if (unload)
            f.t.app.unload<messwert_def>();
        else
            dialog->close();
    });
    simulator.sendTelegram();
    QTRY_VERIFY_WITH_TIMEOUT(dialog.isNull(), 3000);
    QVERIFY(elapsed.isValid());
    QVERIFY2(elapsed.elapsed() < 300, qPrintable(QString::number(elapsed.elapsed())));
    QVERIFY(!f.t.app.isLoaded<messwert_def>());
    // Whatever the read would have done afterwards has had its time.
    QTest::qWait(1200);

    // A new window reads again.
    f.open();
    QVERIFY(f.start());
    simulator.sendTelegram();
    QTRY_COMPARE(f.text(QStringLiteral("txtScaleInput")), kTelegram);
}

// Stop during a serial read leaves Start disabled until that read has ended,
// so no second read runs into the same box.
void tst_messwert_def::startWaitsForRunningRead()
{
    Fixture f;
    InstrumentSimulator simulator;
    QVERIFY(simulator.start(QStringLiteral("pty")));
    QVERIFY(simulator.configure(f.t.app));
    messwert_def &dialog = f.open();
    QVERIFY(f.start());
    auto *start = f.child<QPushButton>(QStringLiteral("cmdStart"));
    bool acted = false;
    bool startEnabled = true;
    int threshold = -1;
    duringRead(dialog, [&] {
        acted = true;
        f.click(QStringLiteral("cmdStop"));
        startEnabled = start->isEnabled();
        QTest::mouseClick(start, Qt::LeftButton);
        threshold = dialog.commport().rThreshold();
    });
    simulator.sendTelegram();
    QTRY_VERIFY(acted);
    QVERIFY(!startEnabled);
    QCOMPARE(threshold, 0);
    QTRY_VERIFY(start->isEnabled());
    QVERIFY(!f.child<QPushButton>(QStringLiteral("cmdStop"))->isEnabled());
    QCOMPARE(f.text(QStringLiteral("txtScaleInput")), kTelegram);
    QCOMPARE(dialog.commport().rThreshold(), 0);
}

// The menu item shows the window modally; it stops the main timer and shows
// the main window offline with the online tag False; closing it unloads it.
void tst_messwert_def::menuOpensModally()
{
    Fixture f;
    mainform &mw = f.mw();
    mw.Timer1().setInterval(10);
    mw.Command5(7)->setText(QStringLiteral("O&ffline"));
    mw.MesswertAnzeige()->setText(QStringLiteral("12.5"));
    mw.einheit()->setText(QStringLiteral("g"));
    bool seen = false;
    QTimer driver;
    driver.setInterval(20);
    connect(&driver, &QTimer::timeout, this, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != u"messwert_def")
            return;
        seen = true;
        driver.stop();
        QTest::mouseClick(modal->findChild<QPushButton *>(QStringLiteral("cmdCancel")),
                          Qt::LeftButton);
    });
    driver.start();
    mw.menuItem(QStringLiteral("m_KonfigDatenIn"))->trigger();
    QVERIFY(seen);
    QVERIFY(!f.t.app.isLoaded<messwert_def>());
    QVERIFY(!mw.Timer1().isRunning());
    QCOMPARE(mw.Command5(7)->text(), QStringLiteral("O&nline"));
    QCOMPARE(mw.MesswertAnzeige()->text(), QStringLiteral("Offline"));
    QCOMPARE(mw.einheit()->text(), QStringLiteral("g"));
    QCOMPARE(tagOf(mw.Command5(7)), QStringLiteral("False"));
}

// Opened by the wizard's target page, OK stores, closes this window and shows
// the output-template editor modally.
void tst_messwert_def::wizardOkOpensTemplateEditor()
{
    Fixture f;
    messwert_def &dialog = f.t.app.form<messwert_def>();
    setTag(&dialog, QStringLiteral("select_target"));
    f.child(QStringLiteral("txtMesswertStart"))->setText(QStringLiteral("4"));
    QStringList seen;
    bool closedFirst = false;
    QTimer driver;
    driver.setInterval(20);
    connect(&driver, &QTimer::timeout, this, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || (!seen.isEmpty() && seen.last() == modal->objectName()))
            return;
        seen << modal->objectName();
        if (modal->objectName() == u"messwert_def") {
            // Queued: the editor's modal loop must not run inside this timer's slot.
            QMetaObject::invokeMethod(modal->findChild<QPushButton *>(QStringLiteral("cmdOK")),
                                      &QPushButton::click, Qt::QueuedConnection);
            return;
        }
        closedFirst = !f.t.app.isLoaded<messwert_def>();
        driver.stop();
        QTest::mouseClick(modal->findChild<QPushButton *>(QStringLiteral("Command3")),
                          Qt::LeftButton);
    });
    driver.start();
    dialog.exec();
    QCOMPARE(seen, QStringList({"messwert_def", "Tasten"}));
    QVERIFY(closedFirst);
    QCOMPARE(f.t.app.settings.mw_start, qint16(4));
    QVERIFY(!f.t.app.isLoaded<Tasten>());
}

QTEST_MAIN(tst_messwert_def)
#include "tst_messwert_def.moc"
