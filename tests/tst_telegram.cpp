#include "core/app.h"
#include "core/mainform/mainform.h"
#include "core/reception/telegram.h"
#include "platform/ports/serial_port.h"
#include "platform/ports/tcp_socket.h"
#include "platform/vb/cp1252.h"
#include "tests/support/byte_flood.h"
#include "tests/support/pty_pair.h"
#include "tests/support/test_app.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <sys/resource.h>

namespace {

// What the display and the DDE items show before a reading.
const QString kOldValue = QStringLiteral("old value");
const QString kOldSign = QStringLiteral("old sign");
const QString kOldUnit = QStringLiteral("old unit");
const QString kDdeValue = QStringLiteral("dde value");
const QString kDdeSign = QStringLiteral("dde sign");
const QString kDdeUnit = QStringLiteral("dde unit");
// strEinheit as the caller passes it in.
const QString kPresetUnit = QStringLiteral("preset");

// The template of the field cases, 14 characters ending in CR:
//   "-  12,50 g ST\r": sign 1, value 2..8, unit 10..11, stable flag 12..13.
void setFieldTemplate(SettingsRecord &s)
{
    s.str_len = QStringLiteral("14");
    s.str_endchar = QStringLiteral("13");
    s.str_noend.clear();
    s.mw_sign_anf = 1;
    s.mw_sign_end = 0;
    s.mw_start = 2;
    s.mw_end = 8;
    s.eh_start = 10;
    s.eh_end = 11;
    s.mw_still_anf = 12;
    s.mw_still_end = 13;
    s.st_kennung = QStringLiteral("ST");
    s.anzeigemodus = QStringLiteral("0");
    s.st_dichte = 1.0;
}

// Applies "key=value;key=value" to the template.
void applyTweaks(SettingsRecord &s, const QString &tweaks)
{
    const QHash<QString, qint16 *> columns{
        {QStringLiteral("mw_start"), &s.mw_start},
        {QStringLiteral("mw_end"), &s.mw_end},
        {QStringLiteral("mw_sign_anf"), &s.mw_sign_anf},
        {QStringLiteral("mw_sign_end"), &s.mw_sign_end},
        {QStringLiteral("eh_start"), &s.eh_start},
        {QStringLiteral("eh_end"), &s.eh_end},
        {QStringLiteral("mw_still_anf"), &s.mw_still_anf},
        {QStringLiteral("mw_still_end"), &s.mw_still_end},
    };
    const QHash<QString, QString *> texts{
        {QStringLiteral("str_len"), &s.str_len},
        {QStringLiteral("str_endchar"), &s.str_endchar},
        {QStringLiteral("str_noend"), &s.str_noend},
        {QStringLiteral("st_kennung"), &s.st_kennung},
        {QStringLiteral("anzeigemodus"), &s.anzeigemodus},
    };
    for (const QString &tweak : tweaks.split(u';', Qt::SkipEmptyParts)) {
        const QString key = tweak.section(u'=', 0, 0);
        const QString value = tweak.section(u'=', 1);
        if (columns.contains(key))
            *columns[key] = qint16(value.toInt());
        else if (texts.contains(key))
            *texts[key] = value;
        else if (key == QLatin1String("st_dichte"))
            s.st_dichte = value.toDouble();
        else
            qFatal("unknown template key %s", qPrintable(key));
    }
}

void pinLocale(const QString &name)
{
    QLocale::setDefault(name == QLatin1String("de") ? QLocale(QLocale::German, QLocale::Germany)
                                                    : QLocale::c());
}

qint64 threadCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

// The largest receive buffer and the largest memory it held, seen whenever
// bytes arrived.
struct BufferPeak {
    qsizetype size = 0;
    qsizetype capacity = 0;
};

struct Reading {
    double result = 0;
    bool isNumber = false;
    QString telegram;
    QString unit;
    qint64 ms = 0;
};

} // namespace

class tst_telegram : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QObject> m_timers; // owns the scheduled instrument writes
    std::unique_ptr<QTemporaryDir> m_ptyDir;
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<QFile> m_instrument;
    std::unique_ptr<ByteFlood> m_flood;
    std::unique_ptr<QTcpServer> m_server;
    std::unique_ptr<QTcpSocket> m_peer;
    std::unique_ptr<TestApp> m_t;

    App &app() { return m_t->app; }
    mainform &window() { return m_t->app.mainWindow(); }

    // COM3 on a pty pair, or a TCP connection to a local server.
    bool linkUp(const QString &link)
    {
        if (link == QLatin1String("serial")) {
            m_ptyDir = std::make_unique<QTemporaryDir>();
            m_pty = std::make_unique<PtyPair>(m_ptyDir->path());
            if (!m_pty->start())
                return false;
            m_t->writeFile(QStringLiteral("mondrelquist.ini"),
                           "[ports]\r\nCOM3=" + m_pty->a.toUtf8() + "\r\n");
            app().settings.portnum = QStringLiteral("3");
            if (!window().commport().setCommPort(3).ok() ||
                !window().commport().setPortOpen(true).ok())
                return false;
            m_instrument = std::make_unique<QFile>(m_pty->b);
            return m_instrument->open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        }
        m_server = std::make_unique<QTcpServer>();
        if (!m_server->listen(QHostAddress::LocalHost))
            return false;
        app().settings.portnum = QStringLiteral("TCP/IP");
        TcpSocket &socket = window().Winsock1();
        socket.setRemoteHost(QStringLiteral("127.0.0.1"));
        socket.setRemotePort(m_server->serverPort());
        if (!socket.Connect().ok() ||
            !QTest::qWaitFor([this] { return m_server->hasPendingConnections(); }))
            return false;
        m_peer.reset(m_server->nextPendingConnection());
        m_peer->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        return QTest::qWaitFor([&socket] { return socket.State() == winsock::kConnected; });
    }

    void send(const QByteArray &bytes)
    {
        if (m_instrument) {
            m_instrument->write(bytes);
        } else {
            m_peer->write(bytes);
            m_peer->flush();
        }
    }
    void sendLater(int ms, const QByteArray &bytes)
    {
        QTimer::singleShot(ms, m_timers.get(), [this, bytes] { send(bytes); });
    }
    // One chunk after the other, far enough apart to arrive apart.
    void sendChunks(const QByteArrayList &chunks)
    {
        for (int i = 0; i < chunks.size(); ++i)
            sendLater(40 + 80 * i, chunks[i]);
    }

    // Floods the link at full speed from another thread: `chunk` again and
    // again until `total` bytes went out (endless for -1), then `tail`.
    bool flood(const QByteArray &chunk, qint64 total, const QByteArray &tail)
    {
        if (m_instrument)
            m_flood = std::make_unique<ByteFlood>(m_pty->b, chunk, total, tail);
        else
            m_flood = std::make_unique<ByteFlood>(m_peer->socketDescriptor(), chunk, total, tail);
        return m_flood->start();
    }
    void stopFlood() { m_flood.reset(); }

    std::shared_ptr<BufferPeak> watchBufferPeak()
    {
        auto peak = std::make_shared<BufferPeak>();
        const auto sample = [this, peak] {
            peak->size = std::max(peak->size, app().strEmpfang.size());
            peak->capacity = std::max(peak->capacity, app().strEmpfang.capacity());
        };
        connect(&window().commport(), &SerialPort::dataReceived, m_timers.get(), sample);
        connect(&window().Winsock1(), &TcpSocket::DataArrival, m_timers.get(), sample);
        return peak;
    }

    void presetDisplay()
    {
        window().MesswertAnzeige()->setText(kOldValue);
        window().Vorzeichen()->setText(kOldSign);
        window().einheit()->setText(kOldUnit);
        window().DDEValue()->setText(kDdeValue);
        window().DDESign()->setText(kDdeSign);
        window().DDEUnit()->setText(kDdeUnit);
    }

    Reading read()
    {
        Reading r;
        r.unit = kPresetUnit;
        QElapsedTimer clock;
        clock.start();
        r.result = Telegramm_lesen(app(), r.telegram, r.unit, &r.isNumber);
        r.ms = clock.elapsed();
        return r;
    }

    void verifyDisplayUntouched()
    {
        QCOMPARE(window().MesswertAnzeige()->text(), kOldValue);
        QCOMPARE(window().Vorzeichen()->text(), kOldSign);
        QCOMPARE(window().einheit()->text(), kOldUnit);
        QCOMPARE(window().DDEValue()->text(), kDdeValue);
        QCOMPARE(window().DDESign()->text(), kDdeSign);
        QCOMPARE(window().DDEUnit()->text(), kDdeUnit);
    }

    static void addLinkColumn() { QTest::addColumn<QString>("link"); }
    static QStringList links() { return {QStringLiteral("serial"), QStringLiteral("tcp")}; }

private slots:
    void init()
    {
        QLocale::setDefault(QLocale::c());
        m_timers = std::make_unique<QObject>();
        m_t = std::make_unique<TestApp>();
        QVERIFY(m_t->folder.isValid());
        app().m_waittime = 2.0;
        presetDisplay();
    }
    void cleanup()
    {
        stopFlood();
        m_timers.reset();
        m_peer.reset();
        m_server.reset();
        m_t.reset();
        m_instrument.reset();
        m_pty.reset();
        m_ptyDir.reset();
        QLocale::setDefault(QLocale::c());
    }

    void framing_data();
    void framing();
    void fields_data();
    void fields();
    void timeout_data();
    void timeout();
    void floodEndsAtDeadline_data();
    void floodEndsAtDeadline();
    void floodKeepsBufferBounded_data();
    void floodKeepsBufferBounded();
    void floodBetweenReadingsKeepsBufferBounded();
    void appendKeepsNewest_data();
    void appendKeepsNewest();
    void earlierDataIsDiscarded_data();
    void earlierDataIsDiscarded();
    void failuresEndAtOnce_data();
    void failuresEndAtOnce();
    void portClosedWhileWaiting();
    void windowUnloadedWhileWaiting();
    void nestedCallReturnsAtOnce();
    void idleWhileWaiting();
};

void tst_telegram::framing_data()
{
    addLinkColumn();
    QTest::addColumn<QString>("strLen");
    QTest::addColumn<QString>("endChar");
    QTest::addColumn<QString>("noEnd");
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<QByteArray>("expected"); // "" for no telegram

    const QString five = QStringLiteral("5");
    const QString cr = QStringLiteral("13");
    for (const QString &link : links()) {
        const auto row = [&link](const char *name) {
            return &QTest::newRow(qPrintable(link + QStringLiteral(": ") + QLatin1String(name)));
        };
        *row("end char at L") << link << five << cr << "" << QByteArrayList{"abcd\rxyz"}
                              << QByteArray("abcd\r");
        *row("starts mid-telegram")
            << link << five << cr << "" << QByteArrayList{"a\rbcde\r"} << QByteArray("bcde\r");
        *row("mid-telegram, rest later")
            << link << five << cr << "" << QByteArrayList{"a\rbcd", "e\r"} << QByteArray("bcde\r");
        *row("end char before L, next telegram later")
            << link << five << cr << "" << QByteArrayList{"ab\rcd", "efg\r"}
            << QByteArray("defg\r");
        *row("end char before L, nothing more")
            << link << five << cr << "" << QByteArrayList{"ab\rcd"} << QByteArray();
        *row("endchar 0: whole buffer")
            << link << five << "0"
            << "" << QByteArrayList{"abcdefgh"} << QByteArray("abcdefgh");
        *row("endchar empty: whole buffer")
            << link << five << ""
            << "" << QByteArrayList{"abcdefgh"} << QByteArray("abcdefgh");
        *row("endchar 0 finds a NUL")
            << link << five << "0"
            << "" << QByteArrayList{QByteArray("abcd\0xyz", 8)} << QByteArray("abcd\0", 5);
        *row("endchar 128 is the euro byte")
            << link << five << "128"
            << "" << QByteArrayList{"abcd\x80xy"} << QByteArray("abcd\x80");
        *row("noend 2, L 22") << link << "22"
                              << "10"
                              << "2" << QByteArrayList{"ABCDEFGHIJKLMNOPQRST\r\n"}
                              << QByteArray("ABCDEFGHIJKLMNOPQRST");
        *row("noend 2 after a tail") << link << "22"
                                     << "10"
                                     << "2" << QByteArrayList{"T\r\nABCDEFGHIJKLMNOPQRST\r\n"}
                                     << QByteArray("ABCDEFGHIJKLMNOPQRST");
        *row("str_len with fraction")
            << link << "5.9" << cr << "" << QByteArrayList{"abcd\r"} << QByteArray("abcd\r");
    }
}

void tst_telegram::framing()
{
    QFETCH(QString, link);
    QFETCH(QString, strLen);
    QFETCH(QString, endChar);
    QFETCH(QString, noEnd);
    QFETCH(QByteArrayList, chunks);
    QFETCH(QByteArray, expected);
    QVERIFY(linkUp(link));
    app().settings.str_len = strLen;
    app().settings.str_endchar = endChar;
    app().settings.str_noend = noEnd;
    app().m_waittime = 0.6;

    sendChunks(chunks);
    const Reading r = read();

    const QString telegram = cp1252::decode(expected);
    QCOMPARE(r.telegram, telegram);
    QCOMPARE(r.result, 0.0);
    QVERIFY(r.isNumber);
    if (expected.isEmpty()) {
        // Time-out: what came stays in the buffer.
        QCOMPARE(app().strEmpfang, cp1252::decode(chunks.join()));
        QVERIFY(r.ms >= 600);
    } else {
        QCOMPARE(app().strEmpfang, telegram);
    }
}

void tst_telegram::fields_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QByteArray>("telegram");
    QTest::addColumn<QString>("tweaks");
    QTest::addColumn<double>("result");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<QString>("strEinheit");
    QTest::addColumn<QString>("anzeige");
    QTest::addColumn<QString>("vorzeichen");
    QTest::addColumn<QString>("einheit");
    QTest::addColumn<QString>("ddeValue");
    QTest::addColumn<QString>("ddeSign");
    QTest::addColumn<QString>("ddeUnit");

    const QByteArray minus = "-  12,50 g ST\r";
    QTest::newRow("comma, minus, German") << "de" << minus << "" << -12.5 << true << "g"
                                          << "12.50"
                                          << "-"
                                          << "g"
                                          << "-12,5"
                                          << "-"
                                          << "g";
    QTest::newRow("comma, minus, C") << "C" << minus << "" << -12.5 << true << "g"
                                     << "12.50"
                                     << "-"
                                     << "g"
                                     << "-12.5"
                                     << "-"
                                     << "g";
    QTest::newRow("point, plus, German")
        << "de" << QByteArray("+  12.50 g ST\r") << "" << 12.5 << true << "g"
        << "12.50"
        << "+"
        << "g"
        << "12,5"
        << "+"
        << "g";
    QTest::newRow("sign column end wins")
        << "C" << minus << "mw_sign_anf=1;mw_sign_end=9" << 12.5 << true << "g"
        << "12.50"
        << " "
        << "g"
        << "12.5"
        << " "
        << "g";
    QTest::newRow("no sign columns") << "C" << minus << "mw_sign_anf=0" << 12.5 << true << "g"
                                     << "12.50"
                                     << ""
                                     << "g"
                                     << "12.5"
                                     << ""
                                     << "g";
    QTest::newRow("letters") << "C" << QByteArray("- abcdef g ST\r") << "" << kKeinZahlwert << false
                             << "g" << kOldValue << kOldSign << kOldUnit << kDdeValue << kDdeSign
                             << kDdeUnit;
    QTest::newRow("blanks") << "de" << QByteArray("-        g ST\r") << "" << kKeinZahlwert << false
                            << "g" << kOldValue << kOldSign << kOldUnit << kDdeValue << kDdeSign
                            << kDdeUnit;
    QTest::newRow("empty value cut")
        << "C" << minus << "mw_end=1" << kKeinZahlwert << false << "g" << kOldValue << kOldSign
        << kOldUnit << kDdeValue << kDdeSign << kDdeUnit;
    QTest::newRow("mw_start 0") << "C" << minus << "mw_start=0" << 0.0 << true << "g" << kOldValue
                                << kOldSign << kOldUnit << "0" << kOldSign << kOldUnit;
    QTest::newRow("volume 12, German") << "de" << QByteArray("+     12 g ST\r")
                                       << "anzeigemodus=1;st_dichte=0.8" << 12.0 << true << "g"
                                       << "15,00"
                                       << "+"
                                       << "ml"
                                       << "12"
                                       << "+"
                                       << "ml";
    QTest::newRow("volume 12, C") << "C" << QByteArray("-     12 g ST\r")
                                  << "anzeigemodus=1;st_dichte=0.8" << -12.0 << true << "g"
                                  << "15.00"
                                  << "-"
                                  << "ml"
                                  << "-12"
                                  << "-"
                                  << "ml";
    QTest::newRow("volume 12,5, German") << "de" << QByteArray("+   12,5 g ST\r")
                                         << "anzeigemodus=1;st_dichte=0.8" << 12.5 << true << "g"
                                         << "15,6"
                                         << "+"
                                         << "ml"
                                         << "12,5"
                                         << "+"
                                         << "ml";
    // The decimals count from the text's own decimal point, "." here.
    QTest::newRow("volume 12.5, C") << "C" << QByteArray("+   12,5 g ST\r")
                                    << "anzeigemodus=1;st_dichte=0.8" << 12.5 << true << "g"
                                    << "15.6"
                                    << "+"
                                    << "ml"
                                    << "12.5"
                                    << "+"
                                    << "ml";
    QTest::newRow("flow mode writes no label")
        << "de" << minus << "anzeigemodus=2" << -12.5 << true << "g" << kOldValue << kOldSign
        << kOldUnit << "-12,5" << kOldSign << kOldUnit;
    QTest::newRow("no unit columns, unstable")
        << "C" << QByteArray("-  12,50 g US\r") << "eh_start=0" << -12.5 << true << kPresetUnit
        << "12.50"
        << "-" << kPresetUnit << "-12.5"
        << "-" << kPresetUnit;
    QTest::newRow("stable flag is not trimmed")
        << "C" << minus << "eh_start=0;mw_still_anf=11" << -12.5 << true << kPresetUnit << "12.50"
        << "-" << kPresetUnit << "-12.5"
        << "-" << kPresetUnit;
    QTest::newRow("no unit columns, stable: failure")
        << "C" << minus << "eh_start=0" << 0.0 << true << kPresetUnit << kOldValue << kOldSign
        << kOldUnit << kDdeValue << kDdeSign << kDdeUnit;
    QTest::newRow("value cut of negative length")
        << "C" << minus << "mw_end=0" << 0.0 << true << "g" << kOldValue << kOldSign << kOldUnit
        << kDdeValue << kDdeSign << kDdeUnit;
    QTest::newRow("unit cut of negative length")
        << "C" << minus << "eh_end=8" << 0.0 << true << kPresetUnit << kOldValue << kOldSign
        << kOldUnit << kDdeValue << kDdeSign << kDdeUnit;
    // The sign is shown before the division fails.
    QTest::newRow("volume, density 0")
        << "C" << minus << "anzeigemodus=1;st_dichte=0" << 0.0 << true << "g" << kOldValue << "-"
        << kOldUnit << kDdeValue << kDdeSign << kDdeUnit;
    QTest::newRow("NUL and 0xE4 keep their columns")
        << "C" << QByteArray("+  12,50\0\xE4 ST\r", 14) << "" << 12.5 << true << "\u00e4"
        << "12.50"
        << "+"
        << "\u00e4"
        << "12.5"
        << "+"
        << "\u00e4";
    QTest::newRow("telegram shorter than the columns")
        << "C" << QByteArray("+12") << "str_len=3;str_endchar=" << 12.0 << true << ""
        << "12"
        << "+"
        << ""
        << "12"
        << "+"
        << "";
}

void tst_telegram::fields()
{
    QFETCH(QString, locale);
    QFETCH(QByteArray, telegram);
    QFETCH(QString, tweaks);
    QVERIFY(linkUp(QStringLiteral("serial")));
    pinLocale(locale);
    setFieldTemplate(app().settings);
    applyTweaks(app().settings, tweaks);

    sendLater(40, telegram);
    const Reading r = read();

    QCOMPARE(r.telegram, cp1252::decode(telegram));
    QTEST(r.result, "result");
    QTEST(r.isNumber, "isNumber");
    QTEST(r.unit, "strEinheit");
    QTEST(window().MesswertAnzeige()->text(), "anzeige");
    QTEST(window().Vorzeichen()->text(), "vorzeichen");
    QTEST(window().einheit()->text(), "einheit");
    QTEST(window().DDEValue()->text(), "ddeValue");
    QTEST(window().DDESign()->text(), "ddeSign");
    QTEST(window().DDEUnit()->text(), "ddeUnit");
}

void tst_telegram::timeout_data()
{
    addLinkColumn();
    QTest::addColumn<QByteArray>("partial");
    for (const QString &link : links()) {
        QTest::newRow(qPrintable(link + QStringLiteral(": silent"))) << link << QByteArray();
        QTest::newRow(qPrintable(link + QStringLiteral(": less than L")))
            << link << QByteArray("+ 12");
    }
}

void tst_telegram::timeout()
{
    QFETCH(QString, link);
    QFETCH(QByteArray, partial);
    QVERIFY(linkUp(link));
    setFieldTemplate(app().settings);
    app().m_waittime = 0.3;
    if (!partial.isEmpty())
        sendLater(40, partial);

    const Reading r = read();

    QCOMPARE(r.result, 0.0);
    QVERIFY(r.telegram.isEmpty());
    QCOMPARE(r.unit, kPresetUnit);
    QVERIFY2(r.ms >= 300 && r.ms < 600, qPrintable(QString::number(r.ms)));
    QCOMPARE(window().einheit()->text(), QString());
    QCOMPARE(window().Vorzeichen()->text(), QString());
    QCOMPARE(window().MesswertAnzeige()->text(), kOldValue);
    QCOMPARE(window().DDEValue()->text(), kDdeValue);
    QCOMPARE(window().DDESign()->text(), kDdeSign);
    QCOMPARE(window().DDEUnit()->text(), kDdeUnit);
    QCOMPARE(app().strEmpfang, QString::fromLatin1(partial));
}

void tst_telegram::floodEndsAtDeadline_data()
{
    addLinkColumn();
    for (const QString &link : links())
        QTest::newRow(qPrintable(link)) << link;
}

// Far more than L characters, none of them the end character: framed again and
// again, yet the first deadline still ends the reading.
void tst_telegram::floodEndsAtDeadline()
{
    QFETCH(QString, link);
    QVERIFY(linkUp(link));
    app().settings.str_len = QStringLiteral("5");
    app().settings.str_endchar = QStringLiteral("13");
    app().m_waittime = 0.5;
    // A lone end character first, at a position that frames nothing.
    sendLater(20, "ab\r");
    QTimer flood;
    connect(&flood, &QTimer::timeout, this, [this] { send(QByteArray(64, 'x')); });
    QTimer::singleShot(40, &flood, [&flood] { flood.start(10); });
    // Without the deadline the reading would outlast the flood.
    QTimer::singleShot(2000, &flood, &QTimer::stop);

    const Reading r = read();
    flood.stop();

    QCOMPARE(r.result, 0.0);
    QVERIFY(r.telegram.isEmpty());
    QVERIFY2(r.ms >= 500 && r.ms < 800, qPrintable(QString::number(r.ms)));
    QVERIFY2(app().strEmpfang.size() > 500, qPrintable(QString::number(app().strEmpfang.size())));
    QCOMPARE(window().einheit()->text(), QString());
}

void tst_telegram::floodKeepsBufferBounded_data()
{
    addLinkColumn();
    QTest::addColumn<qint64>("total"); // -1: endless
    QTest::addColumn<QByteArray>("expected");
    for (const QString &link : links()) {
        QTest::newRow(qPrintable(link + QStringLiteral(": endless")))
            << link << qint64(-1) << QByteArray();
        QTest::newRow(qPrintable(link + QStringLiteral(": 1 MiB, then a telegram")))
            << link << qint64(1024 * 1024) << QByteArray("abcd\r");
    }
}

// Bytes without an end character at full speed: the buffer keeps only the
// newest characters in no more than twice their memory, and a telegram after
// the flood still frames as it would.
void tst_telegram::floodKeepsBufferBounded()
{
    QFETCH(QString, link);
    QFETCH(qint64, total);
    QFETCH(QByteArray, expected);
    QVERIFY(linkUp(link));
    app().settings.str_len = QStringLiteral("5");
    app().settings.str_endchar = QStringLiteral("13");
    app().m_waittime = expected.isEmpty() ? 1.0 : 10.0;
    const qsizetype bound = 5 + kEmpfangReserve;
    const std::shared_ptr<BufferPeak> peak = watchBufferPeak();

    QVERIFY(flood(QByteArray(4096, 'x'), total, expected));
    const Reading r = read();
    const qint64 sentDuringReading = m_flood->written();
    stopFlood();

    QCOMPARE(r.telegram, QString::fromLatin1(expected));
    QVERIFY2(peak->size <= bound, qPrintable(QString::number(peak->size)));
    QVERIFY2(peak->capacity <= 2 * bound, qPrintable(QString::number(peak->capacity)));
    QVERIFY(app().strEmpfang.size() <= bound);
    if (expected.isEmpty()) {
        // Enough to have grown far beyond the bound.
        QVERIFY2(sentDuringReading > 8 * bound, qPrintable(QString::number(sentDuringReading)));
        QCOMPARE(app().strEmpfang.size(), bound);
    }
}

// Over TCP the socket's bytes reach the buffer also while no reading runs.
void tst_telegram::floodBetweenReadingsKeepsBufferBounded()
{
    QVERIFY(linkUp(QStringLiteral("tcp")));
    app().settings.str_len = QStringLiteral("5");
    const qsizetype bound = 5 + kEmpfangReserve;
    const std::shared_ptr<BufferPeak> peak = watchBufferPeak();

    QVERIFY(flood(QByteArray(4096, 'x'), 4 * 1024 * 1024, "end"));
    QVERIFY(
        QTest::qWaitFor([this] { return app().strEmpfang.endsWith(QLatin1String("end")); }, 10000));

    QCOMPARE(m_flood->written(), 4 * 1024 * 1024 + 3);
    QVERIFY2(peak->size <= bound, qPrintable(QString::number(peak->size)));
    QVERIFY2(peak->capacity <= 2 * bound, qPrintable(QString::number(peak->capacity)));
    QCOMPARE(app().strEmpfang.size(), bound);
}

void tst_telegram::appendKeepsNewest_data()
{
    QTest::addColumn<qsizetype>("before");   // characters in the buffer
    QTest::addColumn<qsizetype>("reserved"); // memory the buffer has grown to elsewhere
    QTest::addColumn<QList<qsizetype>>("chunks");

    const qsizetype bound = 22 + kEmpfangReserve;
    QTest::newRow("below the bound") << qsizetype(10) << qsizetype(0) << QList<qsizetype>{100, 200};
    QTest::newRow("up to the bound exactly")
        << qsizetype(0) << qsizetype(0) << QList<qsizetype>{bound - 1, 1};
    QTest::newRow("small chunks past the bound")
        << qsizetype(bound - 3) << qsizetype(0) << QList<qsizetype>(40, 1000);
    QTest::newRow("one chunk far beyond the bound")
        << qsizetype(50) << qsizetype(0) << QList<qsizetype>{16 * bound, 7};
    QTest::newRow("a chunk of exactly the bound")
        << qsizetype(bound) << qsizetype(0) << QList<qsizetype>{bound};
    QTest::newRow("a buffer grown elsewhere")
        << qsizetype(100) << qsizetype(8 * bound) << QList<qsizetype>{10};
}

// Whatever comes, the buffer holds the newest characters up to the bound
// (telegram length plus reserve) and its memory stays within twice that.
void tst_telegram::appendKeepsNewest()
{
    QFETCH(qsizetype, before);
    QFETCH(qsizetype, reserved);
    QFETCH(QList<qsizetype>, chunks);
    app().settings.str_len = QStringLiteral("22");
    const qsizetype bound = 22 + kEmpfangReserve;
    // Character i of the stream, so that any lost or doubled piece shows.
    const auto stream = [](qsizetype from, qsizetype count) {
        QString text(count, Qt::Uninitialized);
        for (qsizetype i = 0; i < count; ++i)
            text[i] = QChar(char16_t(u'0' + (from + i) % 71));
        return text;
    };
    QString &buffer = app().strEmpfang;
    if (reserved > 0)
        buffer.reserve(reserved);
    buffer.append(stream(0, before));
    qsizetype sent = before;
    for (const qsizetype size : chunks) {
        appendReceived(app(), stream(sent, size));
        sent += size;
        QVERIFY2(buffer.capacity() <= 2 * bound, qPrintable(QString::number(buffer.capacity())));
    }

    const qsizetype kept = std::min(sent, bound);
    QCOMPARE(buffer.size(), kept);
    QCOMPARE(buffer, stream(sent - kept, kept));
}

void tst_telegram::earlierDataIsDiscarded_data()
{
    floodEndsAtDeadline_data();
}

void tst_telegram::earlierDataIsDiscarded()
{
    QFETCH(QString, link);
    QVERIFY(linkUp(link));
    app().settings.str_len = QStringLiteral("5");
    app().settings.str_endchar = QStringLiteral("13");

    send("OLD1\r");
    if (link == QLatin1String("serial"))
        QVERIFY(QTest::qWaitFor([this] { return window().commport().inBufferCount() == 5; }));
    else
        QVERIFY(QTest::qWaitFor([this] { return app().strEmpfang.endsWith(u'\r'); }));
    sendLater(40, "NEW1\r");

    const Reading r = read();

    QCOMPARE(r.telegram, QStringLiteral("NEW1\r"));
}

void tst_telegram::failuresEndAtOnce_data()
{
    QTest::addColumn<bool>("closePort");
    QTest::addColumn<QString>("tweaks");
    QTest::addColumn<QString>("bufferAfter");
    QTest::newRow("port closed") << true << ""
                                 << "stale";
    QTest::newRow("str_len 0") << false << "str_len=0"
                               << "";
    QTest::newRow("str_len below 1") << false << "str_len=0.9"
                                     << "";
    QTest::newRow("str_len no number") << false << "str_len=abc"
                                       << "";
    QTest::newRow("str_len empty") << false << "str_len="
                                   << "";
    QTest::newRow("str_endchar no number") << false << "str_endchar=x"
                                           << "";
    QTest::newRow("str_endchar 256") << false << "str_endchar=256"
                                     << "";
    QTest::newRow("str_endchar -1") << false << "str_endchar=-1"
                                    << "";
}

// Unlike a time-out, a failure leaves the labels as they were.
void tst_telegram::failuresEndAtOnce()
{
    QFETCH(bool, closePort);
    QFETCH(QString, tweaks);
    QVERIFY(linkUp(QStringLiteral("serial")));
    setFieldTemplate(app().settings);
    applyTweaks(app().settings, tweaks);
    if (closePort)
        QVERIFY(window().commport().setPortOpen(false).ok());
    app().strEmpfang = QStringLiteral("stale");
    sendLater(20, "-  12,50 g ST\r");

    const Reading r = read();

    QCOMPARE(r.result, 0.0);
    QVERIFY(r.telegram.isEmpty());
    QCOMPARE(r.unit, kPresetUnit);
    QVERIFY2(r.ms < 100, qPrintable(QString::number(r.ms)));
    verifyDisplayUntouched();
    QTEST(app().strEmpfang, "bufferAfter");
}

void tst_telegram::portClosedWhileWaiting()
{
    QVERIFY(linkUp(QStringLiteral("serial")));
    setFieldTemplate(app().settings);
    app().m_waittime = 0.5;
    sendLater(20, "-  12");
    QTimer::singleShot(80, m_timers.get(), [this] { window().commport().setPortOpen(false); });

    const Reading r = read();

    QCOMPARE(r.result, 0.0);
    QVERIFY(r.telegram.isEmpty());
    QVERIFY2(r.ms < 800, qPrintable(QString::number(r.ms)));
    verifyDisplayUntouched();
}

void tst_telegram::windowUnloadedWhileWaiting()
{
    QVERIFY(linkUp(QStringLiteral("serial")));
    setFieldTemplate(app().settings);
    QTimer::singleShot(50, m_timers.get(), [this] { app().unloadMainWindow(); });

    const Reading r = read();

    QCOMPARE(r.result, 0.0);
    QVERIFY(r.telegram.isEmpty());
    QVERIFY(!app().hasMainWindow());
    QVERIFY2(r.ms < 500, qPrintable(QString::number(r.ms))); // woken, not timed out
}

void tst_telegram::nestedCallReturnsAtOnce()
{
    QVERIFY(linkUp(QStringLiteral("serial")));
    app().settings.str_len = QStringLiteral("5");
    app().settings.str_endchar = QStringLiteral("13");
    sendLater(30, "ab");
    Reading nested;
    QString bufferBefore;
    QTimer::singleShot(120, m_timers.get(), [&] {
        bufferBefore = app().strEmpfang;
        nested = read();
    });
    sendLater(200, "cd\r");

    const Reading outer = read();

    QCOMPARE(bufferBefore, QStringLiteral("ab"));
    QCOMPARE(nested.result, 0.0);
    QVERIFY(nested.telegram.isEmpty());
    QVERIFY2(nested.ms < 20, qPrintable(QString::number(nested.ms)));
    QCOMPARE(outer.telegram, QStringLiteral("abcd\r"));
    // The guard ends with the reading.
    sendLater(40, "efgh\r");
    QCOMPARE(read().telegram, QStringLiteral("efgh\r"));
}

// With no data, a reading sleeps until its deadline: no polling, no spinning.
void tst_telegram::idleWhileWaiting()
{
    QVERIFY(linkUp(QStringLiteral("serial")));
    setFieldTemplate(app().settings);
    app().m_waittime = 1.0;
    int wakeUps = 0;
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, m_timers.get(),
            [&wakeUps] { ++wakeUps; });
    const qint64 cpuBefore = threadCpuMs();

    const Reading r = read();

    const qint64 cpu = threadCpuMs() - cpuBefore;
    QVERIFY(r.telegram.isEmpty());
    QVERIFY(r.ms >= 1000);
    QVERIFY2(cpu < 30, qPrintable(QString::number(cpu)));
    QVERIFY2(wakeUps < 10, qPrintable(QString::number(wakeUps)));
}

QTEST_MAIN(tst_telegram)
#include "tst_telegram.moc"
