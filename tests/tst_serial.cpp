#include "platform/ports/com_ports.h"
#include "platform/ports/serial_port.h"
#include "tests/support/pty_pair.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <memory>
#include <termios.h>
#include <unistd.h>

namespace {

QByteArray readBytes(QSerialPort &port, int count)
{
    QByteArray bytes;
    const auto complete = [&] {
        bytes += port.readAll();
        return bytes.size() >= count;
    };
    return QTest::qWaitFor(complete, 3000) ? bytes : bytes + "<timed out>";
}

} // namespace

class TstSerial : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<QSerialPort> m_peer;
    QString m_ini;

    // mondrelquist.ini with section "ports" holding these lines.
    QString writeIni(const QByteArray &ports)
    {
        QFile file(m_dir->filePath(QStringLiteral("mondrelquist.ini")));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write mondrelquist.ini");
        file.write("[waittime]\r\nm_waittime=1\r\n[ports]\r\n" + ports);
        return file.fileName();
    }
    QString writeFile(const QString &name)
    {
        QFile file(m_dir->filePath(name));
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(name));
        file.write("not a tty\n");
        return file.fileName();
    }
    // The program's side as COM3, opened with settings.
    bool openProgramSide(SerialPort &port, const QString &settings = QStringLiteral("9600,N,8,1"))
    {
        return port.setCommPort(3).ok() && port.setSettings(settings).ok() &&
               port.setPortOpen(true).ok();
    }
    bool openPeer()
    {
        m_peer = std::make_unique<QSerialPort>(m_pty->b);
        return m_peer->open(QIODevice::ReadWrite);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_pty = std::make_unique<PtyPair>(m_dir->path());
        QVERIFY2(m_pty->start(), "socat could not make a pty pair");
        m_ini = writeIni("COM3=" + m_pty->a.toUtf8() + "\r\n");
    }
    void cleanup()
    {
        m_peer.reset();
        m_pty.reset();
        m_dir.reset();
    }

    void devicePath_data()
    {
        QTest::addColumn<QByteArray>("ports");
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("expected");
        const QByteArray none;
        QTest::newRow("COM1") << none << 1 << "/dev/ttyS0";
        QTest::newRow("COM8") << none << 8 << "/dev/ttyS7";
        QTest::newRow("COM9") << none << 9 << "/dev/ttyUSB0";
        QTest::newRow("COM16") << none << 16 << "/dev/ttyUSB7";
        QTest::newRow("COM17") << none << 17 << "/dev/ttyACM0";
        QTest::newRow("COM24") << none << 24 << "/dev/ttyACM7";
        QTest::newRow("COM25") << none << 25 << "/dev/rfcomm0";
        QTest::newRow("COM32") << none << 32 << "/dev/rfcomm7";
        QTest::newRow("COM33") << none << 33 << "";
        QTest::newRow("COM0") << none << 0 << "";
        QTest::newRow("negative") << none << -1 << "";
        QTest::newRow("ini wins") << QByteArray("COM3=/dev/ttyUSB0\r\n") << 3 << "/dev/ttyUSB0";
        QTest::newRow("ini other key") << QByteArray("COM4=/dev/ttyUSB0\r\n") << 3 << "/dev/ttyS2";
        QTest::newRow("ini beyond table")
            << QByteArray("COM40=/dev/pts/7\r\n") << 40 << "/dev/pts/7";
        QTest::newRow("ini empty value") << QByteArray("COM2=\r\n") << 2 << "/dev/ttyS1";
        QTest::newRow("ini relative") << QByteArray("COM5=pty/ttyA\r\n") << 5 << "<dir>/pty/ttyA";
    }
    void devicePath()
    {
        QFETCH(QByteArray, ports);
        QFETCH(int, n);
        QFETCH(QString, expected);
        expected.replace(QStringLiteral("<dir>"), m_dir->path());
        QCOMPARE(comDevicePath(n, writeIni(ports)), expected);
        if (ports.isEmpty()) {
            QCOMPARE(comDevicePath(n, QString()), expected);
            QCOMPARE(comDevicePath(n, m_dir->filePath(QStringLiteral("missing.ini"))), expected);
        }
    }

    void portExists_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<bool>("exists");
        QTest::newRow("pty link") << "<pty>" << true;
        QTest::newRow("missing path") << "<dir>/ttyNone" << false;
        QTest::newRow("regular file") << "<file>" << false;
        QTest::newRow("folder") << "<dir>" << false;
        QTest::newRow("not a tty") << "/dev/null" << false;
        QTest::newRow("no mapping") << "" << false;
    }
    void portExists()
    {
        QFETCH(QString, device);
        QFETCH(bool, exists);
        device.replace(QStringLiteral("<pty>"), m_pty->a)
            .replace(QStringLiteral("<file>"), writeFile(QStringLiteral("plain.txt")))
            .replace(QStringLiteral("<dir>"), m_dir->path());
        // COM40 lies beyond the fixed table: without a key it maps to nothing.
        const QString ini = writeIni(device.isEmpty() ? QByteArray() : "COM40=" + device.toUtf8());
        QCOMPARE(comPortExists(40, ini), exists);
    }

    void portExistsWhileOpen()
    {
        SerialPort port(m_ini);
        QVERIFY(openProgramSide(port));
        QVERIFY(comPortExists(3, m_ini));
        // The probe must not disturb the open port.
        QVERIFY(openPeer());
        m_peer->write("x");
        QTRY_COMPARE(port.inBufferCount().value_or(-1), 1);
        QCOMPARE(port.input(), std::optional<QString>(QStringLiteral("x")));
    }

    void settingsText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("normalised"); // "" when refused
        QTest::newRow("program default") << " 9600,O, 7, 1"
                                         << "9600,O,7,1";
        QTest::newRow("lower-case parity") << "19200,n,8,1"
                                           << "19200,N,8,1";
        QTest::newRow("two stop bits") << "9600,E,7,2"
                                       << "9600,E,7,2";
        QTest::newRow("blanks everywhere") << "  1200 , m ,5 , 1.5 "
                                           << "1200,M,5,1.5";
        QTest::newRow("space parity") << "115200,S,6,1"
                                      << "115200,S,6,1";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("three parts") << "9600,O,7"
                                     << "";
        QTest::newRow("five parts") << "9600,O,7,1,1"
                                    << "";
        QTest::newRow("unknown parity") << "9600,X,7,1"
                                        << "";
        QTest::newRow("parity word") << "9600,ON,7,1"
                                     << "";
        QTest::newRow("no parity") << "9600,,7,1"
                                   << "";
        QTest::newRow("9 data bits") << "9600,O,9,1"
                                     << "";
        QTest::newRow("4 data bits") << "9600,O,4,1"
                                     << "";
        QTest::newRow("fraction data bits") << "9600,O,7.5,1"
                                            << "";
        QTest::newRow("3 stop bits") << "9600,O,7,3"
                                     << "";
        QTest::newRow("negative baud") << "-9600,O,7,1"
                                       << "";
        QTest::newRow("zero baud") << "0,N,8,1"
                                   << "";
        QTest::newRow("letters in baud") << "96a0,N,8,1"
                                         << "";
        QTest::newRow("blank inside baud") << "96 00,N,8,1"
                                           << "";
        QTest::newRow("semicolons") << "9600;O;7;1"
                                    << "";
    }
    void settingsText()
    {
        QFETCH(QString, text);
        QFETCH(QString, normalised);
        SerialPort port(m_ini);
        QVERIFY(port.setSettings(QStringLiteral("4800,E,8,2")).ok());
        const ControlStatus status = port.setSettings(text);
        if (normalised.isEmpty()) {
            QCOMPARE(status.error, 380);
            QCOMPARE(status.errorText, QStringLiteral("Invalid property value"));
            QCOMPARE(port.settings(), QStringLiteral("4800,E,8,2"));
        } else {
            QVERIFY2(status.ok(), qPrintable(status.errorText));
            QCOMPARE(port.settings(), normalised);
        }
    }

    void settingsReachDevice()
    {
        SerialPort port(m_ini);
        QVERIFY(openProgramSide(port, QStringLiteral("19200,E,7,2")));
        // A second descriptor on the same pty shows what the port was given.
        const int fd = ::open(QFile::encodeName(m_pty->a).constData(), O_RDWR | O_NOCTTY);
        if (fd < 0)
            QSKIP("the pty is held exclusively (not running as root)");
        termios tio{};
        QCOMPARE(::tcgetattr(fd, &tio), 0);
        QCOMPARE(cfgetospeed(&tio), speed_t(B19200));
        QVERIFY((tio.c_cflag & CRTSCTS) == 0);
        // The program's own text, with a change of baud rate while open.
        QVERIFY(port.setSettings(QStringLiteral(" 4800,O, 7, 1")).ok());
        QCOMPARE(::tcgetattr(fd, &tio), 0);
        QCOMPARE(cfgetospeed(&tio), speed_t(B4800));
        ::close(fd);
        QVERIFY(port.portOpen());
    }

    void openFailures_data()
    {
        QTest::addColumn<QByteArray>("ports");
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("errorText");
        QTest::newRow("missing device")
            << QByteArray("COM3=<dir>/ttyNone") << 3 << 68 << "Device unavailable";
        QTest::newRow("regular file")
            << QByteArray("COM3=<file>") << 3 << 68 << "Device unavailable";
        QTest::newRow("not a tty")
            << QByteArray("COM3=/dev/null") << 3 << 68 << "Device unavailable";
        QTest::newRow("no such port") << QByteArray() << 99 << 8002 << "Invalid port number";
    }
    void openFailures()
    {
        QFETCH(QByteArray, ports);
        QFETCH(int, n);
        QFETCH(int, error);
        QFETCH(QString, errorText);
        ports.replace("<dir>", m_dir->path().toUtf8())
            .replace("<file>", writeFile(QStringLiteral("plain.txt")).toUtf8());
        SerialPort port(writeIni(ports));
        QSignalSpy errors(&port, &SerialPort::errorOccurred);
        QVERIFY(port.setCommPort(n).ok());
        const ControlStatus status = port.setPortOpen(true);
        QCOMPARE(status.error, error);
        QCOMPARE(status.errorText, errorText);
        QVERIFY(!port.portOpen());
        QCoreApplication::processEvents();
        QCOMPARE(errors.count(), 0); // the caller has the status; no second report
    }

    void portStateRules()
    {
        SerialPort port(m_ini);
        QCOMPARE(port.setCommPort(0).error, 8002);
        QCOMPARE(port.setCommPort(256).error, 8002);
        QCOMPARE(port.commPort(), 1);

        ControlStatus status;
        QVERIFY(!port.input(&status));
        QCOMPARE(status.error, 8018);
        QVERIFY(!port.inBufferCount(&status));
        QCOMPARE(status.error, 8018);
        QCOMPARE(port.output(QStringLiteral("x")).error, 8018);
        QVERIFY(port.setPortOpen(false).ok()); // closing a closed port

        QVERIFY(openProgramSide(port));
        QCOMPARE(port.setPortOpen(true).error, 8005);
        QCOMPARE(port.setCommPort(4).error, 8000);
        QCOMPARE(port.commPort(), 3);

        SerialPort other(m_ini);
        QVERIFY(other.setCommPort(3).ok());
        const ControlStatus busy = other.setPortOpen(true);
        QCOMPARE(busy.error, 8005);
        QCOMPARE(busy.errorText, QStringLiteral("Port already open"));

        QVERIFY(port.setPortOpen(false).ok());
        QVERIFY(!port.portOpen());
        QVERIFY2(other.setPortOpen(true).ok(), "a closed port is free for the next");
    }

    void bytesAreCharacters_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("NUL") << QByteArray(1, '\0') << QString(QChar(0));
        QTest::newRow("a umlaut") << QByteArray("\xE4") << QStringLiteral("\u00E4");
        QTest::newRow("euro") << QByteArray("\x80") << QStringLiteral("\u20AC");
        QTest::newRow("undefined 0x81") << QByteArray("\x81") << QStringLiteral("\u0081");
        QTest::newRow("Y diaeresis 0x9F") << QByteArray("\x9F") << QStringLiteral("\u0178");
        QTest::newRow("y diaeresis 0xFF") << QByteArray("\xFF") << QStringLiteral("\u00FF");
        QTest::newRow("telegram") << QByteArray("\x02+  12,50 g \xB5\r\n")
                                  << QStringLiteral("\u0002+  12,50 g \u00B5\r\n");
    }
    void bytesAreCharacters()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        SerialPort port(m_ini);
        QVERIFY(openProgramSide(port));
        QVERIFY(openPeer());

        m_peer->write(bytes);
        QTRY_COMPARE(port.inBufferCount().value_or(-1), int(bytes.size()));
        QCOMPARE(port.input(), std::optional<QString>(text));
        QCOMPARE(port.inBufferCount(), std::optional<int>(0));
        QCOMPARE(port.input(), std::optional<QString>(QString()));

        QVERIFY(port.output(text).ok());
        QCOMPARE(readBytes(*m_peer, int(bytes.size())), bytes);
    }

    void outputOfForeignCharacters()
    {
        SerialPort port(m_ini);
        QVERIFY(openProgramSide(port));
        QVERIFY(openPeer());
        QVERIFY(port.output(QStringLiteral("a\u4E2Db\U0001F600c")).ok());
        QCOMPARE(readBytes(*m_peer, 5), QByteArray("a?b?c"));
    }

    void outputSurvivesClose()
    {
        SerialPort port(m_ini);
        QVERIFY(openProgramSide(port));
        QVERIFY(openPeer());
        const QString command = QStringLiteral("\x1BP\r\n").repeated(64);
        QVERIFY(port.output(command).ok());
        QVERIFY(port.setPortOpen(false).ok());
        QCOMPARE(readBytes(*m_peer, int(command.size())), command.toLatin1());
    }

    void onCommAtThreshold()
    {
        SerialPort port(m_ini);
        QCOMPARE(port.setRThreshold(-1).error, 380);
        QVERIFY(openProgramSide(port));
        QVERIFY(openPeer());
        QSignalSpy events(&port, &SerialPort::OnComm);

        // RThreshold 0: no events at all.
        m_peer->write("abc");
        QTRY_COMPARE(port.inBufferCount().value_or(-1), 3);
        QTest::qWait(50);
        QCOMPARE(events.count(), 0);

        QVERIFY(port.setRThreshold(5).ok());
        m_peer->write("d");
        QTRY_COMPARE(port.inBufferCount().value_or(-1), 4);
        QTest::qWait(50);
        QCOMPARE(events.count(), 0);

        m_peer->write("e");
        QTRY_VERIFY(events.count() >= 1);
        QCOMPARE(port.commEvent(), 2);
        QCOMPARE(port.input(), std::optional<QString>(QStringLiteral("abcde")));
    }

    void deviceVanishes()
    {
        SerialPort port(m_ini);
        QSignalSpy errors(&port, &SerialPort::errorOccurred);
        QVERIFY(openProgramSide(port));
        QVERIFY(openPeer());
        m_peer.reset();

        m_pty->stop();
        QTRY_COMPARE(errors.count(), 1);
        QVERIFY(!port.portOpen());
        QVERIFY(errors.first().first().toString().contains(m_pty->a));
        QTest::qWait(200);
        QCOMPARE(errors.count(), 1);

        QCOMPARE(port.output(QStringLiteral("x")).error, 8018);
        QVERIFY(!port.input());
        QCOMPARE(port.setPortOpen(true).error, 68);
        QCOMPARE(errors.count(), 1);
    }

    void deviceVanishesWhileSending()
    {
        SerialPort port(m_ini);
        QSignalSpy errors(&port, &SerialPort::errorOccurred);
        QVERIFY(openProgramSide(port));
        m_pty->stop();
        // Whatever the first write meets, the fault is reported once.
        for (int i = 0; i < 20 && port.portOpen(); ++i) {
            port.output(QStringLiteral("0123456789"));
            QTest::qWait(10);
        }
        QTRY_COMPARE(errors.count(), 1);
        QVERIFY(!port.portOpen());
        QTest::qWait(100);
        QCOMPARE(errors.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TstSerial)
#include "tst_serial.moc"
