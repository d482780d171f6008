// The balance simulator, run as the tests, demo and benchmarks run it: a child process
// talked to over a real TCP socket or its pty link opened as a serial port.

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <functional>
#include <memory>
#include <tuple>

namespace {

const QString kSimulator = QStringLiteral(MQ_BINARY_DIR "/tools/mq_instrument_sim");
constexpr int kWaitMs = 5000;
constexpr int kTelegramLength = 22;
const QByteArray kIdentReply = "I MQ-SIM,1.0\r\n";

// The simulator as a child process; start() waits for the line telling where it listens.
class Simulator {
public:
    ~Simulator()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!QTest::qWaitFor([this] { return process.state() == QProcess::NotRunning; }, 3000))
            process.kill();
        process.waitForFinished(1000);
    }

    // transport "tcp" or "pty"
    bool start(const QString &transport, QStringList args)
    {
        this->transport = transport;
        if (transport == u"pty")
            args << QStringLiteral("--pty") << linkPath;
        else
            args << QStringLiteral("--tcp") << QStringLiteral("0");
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(kSimulator, args);
        if (!QTest::qWaitFor([this] { return process.canReadLine() || !isRunning(); }, kWaitMs))
            return false;
        const QByteArray line = process.readLine().trimmed();
        if (transport == u"pty")
            return line == "pty " + QFile::encodeName(linkPath);
        if (!line.startsWith("port "))
            return false;
        port = line.mid(5).toUShort();
        return port != 0;
    }

    bool isRunning() const { return process.state() != QProcess::NotRunning; }
    bool waitForExit(int ms = kWaitMs)
    {
        return QTest::qWaitFor([this] { return !isRunning(); }, ms);
    }
    void writeInput(const QByteArray &lines) { process.write(lines); }

    QTemporaryDir dir;
    QString linkPath = dir.filePath(QStringLiteral("ttyA"));
    QString transport;
    quint16 port = 0;
    QProcess process;
};

// The receiving end of the line, recording when each byte arrived.
class LineClient {
public:
    bool open(const Simulator &sim)
    {
        if (sim.transport == u"pty") {
            auto port = std::make_unique<QSerialPort>();
            port->setPortName(sim.linkPath);
            port->setBaudRate(9600);
            port->setDataBits(QSerialPort::Data8);
            port->setParity(QSerialPort::NoParity);
            if (!port->open(QIODevice::ReadWrite))
                return false;
            m_device = std::move(port);
        } else {
            auto socket = std::make_unique<QTcpSocket>();
            socket->connectToHost(QHostAddress::LocalHost, sim.port);
            if (!QTest::qWaitFor([&] { return socket->state() == QAbstractSocket::ConnectedState; },
                                 kWaitMs))
                return false;
            m_device = std::move(socket);
        }
        m_clock.start();
        QObject::connect(m_device.get(), &QIODevice::readyRead, [this] {
            received += m_device->readAll();
            m_arrivals.append({m_clock.elapsed(), received.size()});
        });
        return true;
    }

    // Asks for the identification and waits for it, so the simulator has surely taken us
    // on as a client before the test makes it send; the reply is taken out again.
    bool sync()
    {
        write("\x1bI\r\n");
        if (!QTest::qWaitFor([this] { return received.contains(kIdentReply); }, kWaitMs))
            return false;
        received.remove(received.indexOf(kIdentReply), kIdentReply.size());
        return true;
    }

    void write(const QByteArray &bytes) { m_device->write(bytes); }
    bool waitForBytes(qsizetype n, int ms = kWaitMs)
    {
        return QTest::qWaitFor([&] { return received.size() >= n; }, ms);
    }
    // Milliseconds since open() at which byte number index (0-based) had arrived.
    qint64 arrivalMs(qsizetype index) const
    {
        for (const auto &[ms, size] : m_arrivals) {
            if (size > index)
                return ms;
        }
        return -1;
    }
    qint64 elapsedMs() const { return m_clock.elapsed(); }

    QByteArray received;

private:
    std::unique_ptr<QIODevice> m_device;
    QElapsedTimer m_clock;
    QList<QPair<qint64, qsizetype>> m_arrivals;
};

QByteArray telegram(const QByteArray &status, char sign, const QByteArray &value,
                    const QByteArray &unit)
{
    return status + ",GS," + sign + "   " + value + ' ' + unit + " \r\n";
}

QList<QByteArray> splitTelegrams(const QByteArray &bytes)
{
    QList<QByteArray> out;
    for (qsizetype i = 0; i + kTelegramLength <= bytes.size(); i += kTelegramLength)
        out.append(bytes.mid(i, kTelegramLength));
    return out;
}

void addForBothTransports(const char *name, const std::function<void(QTestData &)> &row)
{
    for (const char *transport : {"tcp", "pty"}) {
        QTestData &data = QTest::addRow("%s %s", transport, name) << QString::fromLatin1(transport);
        row(data);
    }
}

} // namespace

class InstrumentSimTest : public QObject {
    Q_OBJECT

private slots:
    void telegramColumns_data();
    void telegramColumns();
    void commandReplies_data();
    void commandReplies();
    void stdinValueWaitsForSend();
    void endsAfterCountOrInput_data();
    void endsAfterCountOrInput();
    void rateSpacesTelegrams();
    void pacingSpreadsTelegram_data();
    void pacingSpreadsTelegram();
    void ptySurvivesReopen();
    void terminationRemovesLink_data();
    void terminationRemovesLink();
    void staleLinkReplacedFileKept();
    void badOptionsRefused_data();
    void badOptionsRefused();
};

void InstrumentSimTest::telegramColumns_data()
{
    QTest::addColumn<QString>("transport");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("status"); // columns 1-2
    QTest::addColumn<char>("sign");         // column 7
    QTest::addColumn<QByteArray>("value");  // columns 11-16
    QTest::addColumn<QByteArray>("unit");   // columns 18-19

    const auto rows = {
        std::tuple{"positive", QStringList{}, "12.5", "ST", '+', "  12.5", "g "},
        std::tuple{"negative, own unit", QStringList{}, "-3.2 kg", "ST", '-', "   3.2", "kg"},
        // Unstable readings carry no unit, as such balances send them.
        std::tuple{"unstable", QStringList{}, "U 12.5", "US", '+', "  12.5", "  "},
        std::tuple{"unstable, own unit", QStringList{}, "U -3.2 kg", "US", '-', "   3.2", "  "},
        std::tuple{"stable, own unit", QStringList{}, "S -3.2 kg", "ST", '-', "   3.2", "kg"},
        std::tuple{"stable, all 6 columns", QStringList{}, "S 123.45", "ST", '+', "123.45", "g "},
        std::tuple{"plus sign written", QStringList{}, "+0.05", "ST", '+', "  0.05", "g "},
        std::tuple{"overload", QStringList{}, "OL", "OL", '+', "      ", "g "},
        std::tuple{"fixed decimals", QStringList{"--decimals", "2"}, "12.5", "ST", '+', " 12.50",
                   "g "},
        std::tuple{"decimals round", QStringList{"--decimals", "0"}, "-2.6", "ST", '-', "     3",
                   "g "},
        std::tuple{"decimal comma", QStringList{"--decimal-comma"}, "12.5", "ST", '+', "  12,5",
                   "g "},
        std::tuple{"default unit", QStringList{"--unit", "kg"}, "7", "ST", '+', "     7", "kg"},
        std::tuple{"line unit first", QStringList{"--unit", "kg"}, "7 g", "ST", '+', "     7",
                   "g "},
    };
    for (const auto &[name, options, line, status, sign, value, unit] : rows) {
        addForBothTransports(name, [&](QTestData &d) {
            d << options << QByteArray(line) << QByteArray(status) << sign << QByteArray(value)
              << QByteArray(unit);
        });
    }
}

void InstrumentSimTest::telegramColumns()
{
    QFETCH(QString, transport);
    QFETCH(QStringList, options);
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, status);
    QFETCH(char, sign);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, unit);

    Simulator sim;
    QVERIFY(sim.start(transport, options << QStringLiteral("--stdin-values")));
    LineClient client;
    QVERIFY(client.open(sim));
    QVERIFY(client.sync());
    sim.writeInput(line + '\n');
    QVERIFY(client.waitForBytes(kTelegramLength));

    const QByteArray t = client.received;
    QCOMPARE(t.size(), kTelegramLength);
    QCOMPARE(t.mid(0, 2), status);
    QCOMPARE(t.mid(2, 4), QByteArray(",GS,"));
    QCOMPARE(t.at(6), sign);
    QCOMPARE(t.mid(7, 3), QByteArray("   "));
    QCOMPARE(t.mid(10, 6), value);
    QCOMPARE(t.at(16), ' ');
    QCOMPARE(t.mid(17, 2), unit);
    QCOMPARE(t.at(19), ' ');
    QCOMPARE(t.mid(20), QByteArray("\r\n"));
}

void InstrumentSimTest::commandReplies_data()
{
    QTest::addColumn<QString>("transport");
    QTest::addColumn<QByteArrayList>("writes");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray first = telegram("ST", '+', "  12.5", "g ");
    const QByteArray second = telegram("US", '-', "   1.0", "  ");
    const auto rows = {
        std::tuple{"tare", QByteArrayList{"\x1bT\r\n"}, QByteArray("T OK\r\n")},
        std::tuple{"zero", QByteArrayList{"\x1bZ\r\n"}, QByteArray("Z OK\r\n")},
        std::tuple{"unknown", QByteArrayList{"\x1bX\r\n"}, QByteArray("ES\r\n")},
        std::tuple{"lower case is unknown", QByteArrayList{"\x1bt\r\n"}, QByteArray("ES\r\n")},
        std::tuple{"without ESC", QByteArrayList{"T\r\n"}, QByteArray("T OK\r\n")},
        std::tuple{"setting without reply", QByteArrayList{"\x1bK\r\n", "\x1bT\r\n"},
                   QByteArray("T OK\r\n")},
        std::tuple{"reply ended by CR alone",
                   QByteArrayList{"\x1b"
                                  "C\r\n"},
                   QByteArray("C OK\r")},
        std::tuple{"split over writes", QByteArrayList{"\x1b", "T\r", "\n"},
                   QByteArray("T OK\r\n")},
        std::tuple{"two in one write", QByteArrayList{"\x1bT\r\n\x1bX\r\n"},
                   QByteArray("T OK\r\nES\r\n")},
        std::tuple{"print cycles the values", QByteArrayList{"\x1bP\r\n", "\x1bP\r\n", "\x1bP\r\n"},
                   first + second + first},
    };
    for (const auto &[name, writes, expected] : rows)
        addForBothTransports(name, [&](QTestData &d) { d << writes << expected; });
}

void InstrumentSimTest::commandReplies()
{
    QFETCH(QString, transport);
    QFETCH(QByteArrayList, writes);
    QFETCH(QByteArray, expected);

    Simulator sim;
    QVERIFY(sim.start(transport, {"--on-request", "--values", "12.5,U -1.0"}));
    LineClient client;
    QVERIFY(client.open(sim));
    QVERIFY(client.sync());
    for (const QByteArray &bytes : writes) {
        client.write(bytes);
        QTest::qWait(20);
    }
    QVERIFY(client.waitForBytes(expected.size()));
    // Nothing more comes: one reply per command, and no telegram unasked.
    QTest::qWait(200);
    QCOMPARE(client.received, expected);
}

void InstrumentSimTest::stdinValueWaitsForSend()
{
    Simulator sim;
    QVERIFY(sim.start(QStringLiteral("tcp"), {"--stdin-values", "--on-request"}));
    LineClient client;
    QVERIFY(client.open(sim));
    QVERIFY(client.sync());

    sim.writeInput("-4.75 kg\n");
    QTest::qWait(200);
    QCOMPARE(client.received, QByteArray());
    sim.writeInput("SEND\n");
    QVERIFY(client.waitForBytes(kTelegramLength));
    QCOMPARE(client.received, telegram("ST", '-', "  4.75", "kg"));
}

void InstrumentSimTest::endsAfterCountOrInput_data()
{
    QTest::addColumn<QString>("transport");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("closeInput");
    QTest::addColumn<QByteArrayList>("values"); // columns 11-16 of the telegrams expected

    QTest::newRow("tcp count of stdin values")
        << "tcp" << QStringList{"--stdin-values", "--count", "3"} << QByteArray("1\n2\n3\n4\n")
        << false << QByteArrayList{"     1", "     2", "     3"};
    QTest::newRow("pty count at a rate")
        << "pty" << QStringList{"--rate", "50", "--values", "1,2", "--count", "5"} << QByteArray()
        << false << QByteArrayList{"     1", "     2", "     1", "     2", "     1"};
    QTest::newRow("tcp end of input")
        << "tcp" << QStringList{"--stdin-values"} << QByteArray("5\n6\n") << true
        << QByteArrayList{"     5", "     6"};
    QTest::newRow("pty end of input")
        << "pty" << QStringList{"--stdin-values"} << QByteArray("5\n6\n") << true
        << QByteArrayList{"     5", "     6"};
}

void InstrumentSimTest::endsAfterCountOrInput()
{
    QFETCH(QString, transport);
    QFETCH(QStringList, options);
    QFETCH(QByteArray, input);
    QFETCH(bool, closeInput);
    QFETCH(QByteArrayList, values);

    Simulator sim;
    QVERIFY(sim.start(transport, options));
    LineClient client;
    QVERIFY(client.open(sim));
    if (transport == u"tcp")
        QVERIFY(client.sync());
    sim.writeInput(input);
    if (closeInput)
        sim.process.closeWriteChannel();

    QVERIFY(sim.waitForExit());
    QCOMPARE(sim.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process.exitCode(), 0);
    // Whatever was sent before the exit arrives; nothing beyond the count.
    QTest::qWait(100);
    const QList<QByteArray> telegrams = splitTelegrams(client.received);
    QCOMPARE(client.received.size(), values.size() * kTelegramLength);
    for (qsizetype i = 0; i < values.size(); ++i)
        QCOMPARE(telegrams[i], telegram("ST", '+', values[i], "g "));
}

void InstrumentSimTest::rateSpacesTelegrams()
{
    // 5 telegrams at 20 Hz: the last one comes no sooner than 250 ms after the start.
    Simulator sim;
    QElapsedTimer sinceStart;
    sinceStart.start();
    QVERIFY(sim.start(QStringLiteral("pty"), {"--rate", "20", "--values", "3", "--count", "5"}));
    LineClient client;
    QVERIFY(client.open(sim));
    const qint64 openedAt = sinceStart.elapsed();
    QVERIFY(client.waitForBytes(5 * kTelegramLength));
    const qint64 lastAt = openedAt + client.arrivalMs(5 * kTelegramLength - 1);
    QVERIFY2(lastAt >= 200, qPrintable(QString::number(lastAt)));
    QVERIFY2(lastAt < 2000, qPrintable(QString::number(lastAt)));
    QVERIFY(sim.waitForExit());
    QCOMPARE(sim.process.exitCode(), 0);
}

void InstrumentSimTest::pacingSpreadsTelegram_data()
{
    QTest::addColumn<QString>("transport");
    addForBothTransports("1200 baud", [](QTestData &) {});
}

void InstrumentSimTest::pacingSpreadsTelegram()
{
    // At 1200 baud a byte takes 8.3 ms: the 22nd byte comes 175 ms after the first.
    QFETCH(QString, transport);
    Simulator sim;
    QVERIFY(sim.start(transport, {"--stdin-values", "--pace-baud", "1200"}));
    LineClient client;
    QVERIFY(client.open(sim));
    QVERIFY(client.sync());
    const qsizetype before = client.received.size();
    QCOMPARE(before, 0);
    sim.writeInput("12.5\n");
    QVERIFY(client.waitForBytes(kTelegramLength));
    QCOMPARE(client.received, telegram("ST", '+', "  12.5", "g "));
    const qint64 spread = client.arrivalMs(kTelegramLength - 1) - client.arrivalMs(0);
    QVERIFY2(spread >= 140, qPrintable(QString::number(spread)));
}

void InstrumentSimTest::ptySurvivesReopen()
{
    // The program closes and reopens its port when it goes offline and online again.
    Simulator sim;
    QVERIFY(sim.start(QStringLiteral("pty"), {"--on-request", "--values", "8"}));
    {
        LineClient first;
        QVERIFY(first.open(sim));
        QVERIFY(first.sync());
    }
    QTest::qWait(100);
    QVERIFY(sim.isRunning());
    LineClient second;
    QVERIFY(second.open(sim));
    QVERIFY(second.sync());
    second.write("\x1bP\r\n");
    QVERIFY(second.waitForBytes(kTelegramLength));
    QCOMPARE(second.received, telegram("ST", '+', "     8", "g "));
}

void InstrumentSimTest::terminationRemovesLink_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void InstrumentSimTest::terminationRemovesLink()
{
    QFETCH(int, signalNumber);
    Simulator sim;
    QVERIFY(sim.start(QStringLiteral("pty"), {"--rate", "10"}));
    const QFileInfo link(sim.linkPath);
    QVERIFY(link.isSymLink());
    QVERIFY2(link.symLinkTarget().startsWith(u"/dev/pts/"), qPrintable(link.symLinkTarget()));

    ::kill(pid_t(sim.process.processId()), signalNumber);
    QVERIFY(sim.waitForExit());
    QCOMPARE(sim.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process.exitCode(), 0);
    QVERIFY(!QFileInfo(sim.linkPath).isSymLink());
    QVERIFY(!QFileInfo::exists(sim.linkPath));
}

void InstrumentSimTest::staleLinkReplacedFileKept()
{
    {
        // A link left by a killed simulator is taken over.
        Simulator sim;
        QVERIFY(QFile::link(QStringLiteral("/dev/pts/nonexistent"), sim.linkPath));
        QVERIFY(sim.start(QStringLiteral("pty"), {"--on-request"}));
        LineClient client;
        QVERIFY(client.open(sim));
        QVERIFY(client.sync());
    }
    {
        // Anything else at that path is not ours to delete.
        Simulator sim;
        QFile file(sim.linkPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("keep");
        file.close();
        QVERIFY(!sim.start(QStringLiteral("pty"), {"--on-request"}));
        QVERIFY(sim.waitForExit());
        QCOMPARE(sim.process.exitCode(), 1);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("keep"));
    }
}

void InstrumentSimTest::badOptionsRefused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no transport") << QStringList{"--rate", "5"};
    QTest::newRow("two transports") << QStringList{"--tcp", "0", "--pty", "/tmp/x"};
    QTest::newRow("rate and on request")
        << QStringList{"--tcp", "0", "--rate", "5", "--on-request"};
    QTest::newRow("value not a number") << QStringList{"--tcp", "0", "--values", "1,abc"};
    QTest::newRow("value too wide") << QStringList{"--tcp", "0", "--values", "1234567"};
    QTest::newRow("unit too wide") << QStringList{"--tcp", "0", "--unit", "kgs"};
}

void InstrumentSimTest::badOptionsRefused()
{
    QFETCH(QStringList, arguments);
    QProcess process;
    process.start(kSimulator, arguments);
    QVERIFY(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, kWaitMs));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
    QVERIFY(!process.readAllStandardError().isEmpty());
}

QTEST_GUILESS_MAIN(InstrumentSimTest)
#include "tst_instrument_sim.moc"
