#include "platform/ports/tcp_socket.h"

#include "tests/support/byte_flood.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <memory>

#include <sys/socket.h>

namespace {

// A port on 127.0.0.1 that nothing listens on.
quint16 closedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        qFatal("cannot listen on 127.0.0.1");
    return probe.serverPort();
}

QByteArray readBytes(QTcpSocket &socket, int count)
{
    QByteArray bytes;
    const auto complete = [&] {
        bytes += socket.readAll();
        return bytes.size() >= count;
    };
    return QTest::qWaitFor(complete, 3000) ? bytes : bytes + "<timed out>";
}

// Byte i of a stream that shows a lost, doubled or reordered piece: printable
// ASCII in a prime period, so the chunk size never lines up with it.
char streamByte(qint64 i)
{
    return char(' ' + i % 89);
}

QByteArray streamChunk()
{
    QByteArray chunk(89 * 46, 0);
    for (qsizetype i = 0; i < chunk.size(); ++i)
        chunk[i] = streamByte(i);
    return chunk;
}

// How many characters of text continue the stream from offset on.
qsizetype streamMatch(const QString &text, qint64 offset)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char(streamByte(offset + i)))
        ++i;
    return i;
}

} // namespace

class TstTcp : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTcpServer> m_server;

    void aimAt(TcpSocket &socket, quint16 port, const QString &host = QStringLiteral("127.0.0.1"))
    {
        socket.setRemoteHost(host);
        QVERIFY(socket.setRemotePort(port).ok());
        QVERIFY(socket.setLocalPort(0).ok());
    }
    // Connects socket to the server; returns the server's end.
    QTcpSocket *connectToServer(TcpSocket &socket)
    {
        aimAt(socket, m_server->serverPort());
        if (!socket.Connect().ok() || !QTest::qWaitFor([&] { return socket.State() == 7; }, 3000) ||
            !QTest::qWaitFor([&] { return m_server->hasPendingConnections(); }, 3000))
            return nullptr;
        return m_server->nextPendingConnection();
    }

private slots:
    void init()
    {
        m_server = std::make_unique<QTcpServer>();
        QVERIFY(m_server->listen(QHostAddress::LocalHost));
    }
    void cleanup() { m_server.reset(); }

    void connectStates()
    {
        TcpSocket socket;
        QSignalSpy errors(&socket, &TcpSocket::Error);
        QCOMPARE(socket.State(), 0);
        aimAt(socket, m_server->serverPort());
        QVERIFY(socket.Connect().ok());
        QCOMPARE(socket.State(), 6);
        QTRY_COMPARE(socket.State(), 7);
        QTRY_VERIFY(m_server->hasPendingConnections());

        const ControlStatus again = socket.Connect();
        QCOMPARE(again.error, 40020);
        QCOMPARE(again.errorText, QStringLiteral("Invalid operation at current state"));
        QCOMPARE(socket.State(), 7);

        socket.Close();
        QCOMPARE(socket.State(), 0);
        QCOMPARE(errors.count(), 0);
    }

    void portProperties()
    {
        TcpSocket socket;
        QCOMPARE(socket.setRemotePort(65536).error, 380);
        QCOMPARE(socket.setRemotePort(-1).error, 380);
        QCOMPARE(socket.setLocalPort(70000).error, 380);
        QVERIFY(socket.setRemotePort(65535).ok());
        QCOMPARE(socket.remotePort(), 65535);

        // A fixed local port is the one the server sees.
        const quint16 local = closedPort();
        aimAt(socket, m_server->serverPort());
        QVERIFY(socket.setLocalPort(local).ok());
        QVERIFY(socket.Connect().ok());
        QTRY_COMPARE(socket.State(), 7);
        QTRY_VERIFY(m_server->hasPendingConnections());
        QCOMPARE(m_server->nextPendingConnection()->peerPort(), local);
        QCOMPARE(socket.localPort(), int(local));
    }

    void dataBothWays_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("NUL, a umlaut, euro")
            << QByteArray("\0\xE4\x80", 3) << QStringLiteral("\u0000\u00E4\u20AC");
        QTest::newRow("undefined 0x9D") << QByteArray("\x9D") << QStringLiteral("\u009D");
        QTest::newRow("telegram") << QByteArray("\x02+  12,50 g \xB5\r\n")
                                  << QStringLiteral("\u0002+  12,50 g \u00B5\r\n");
    }
    void dataBothWays()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        TcpSocket socket;
        QSignalSpy arrivals(&socket, &TcpSocket::DataArrival);
        QTcpSocket *peer = connectToServer(socket);
        QVERIFY(peer);

        peer->write(bytes);
        QTRY_COMPARE(socket.BytesReceived(), bytes.size());
        QCOMPARE(arrivals.last().first().toLongLong(), bytes.size());
        ControlStatus status;
        QCOMPARE(socket.GetData(&status), text);
        QVERIFY(status.ok());
        QCOMPARE(socket.BytesReceived(), 0);
        QCOMPARE(socket.GetData(), QString());

        QVERIFY(socket.SendData(text).ok());
        QCOMPARE(readBytes(*peer, int(bytes.size())), bytes);
    }

    void arrivalsAccumulate()
    {
        TcpSocket socket;
        QSignalSpy arrivals(&socket, &TcpSocket::DataArrival);
        QTcpSocket *peer = connectToServer(socket);
        QVERIFY(peer);
        peer->write("AB");
        QTRY_COMPARE(arrivals.count(), 1);
        peer->write("CD");
        QTRY_COMPARE(socket.BytesReceived(), 4);
        // bytesTotal counts what has not been taken yet.
        QCOMPARE(arrivals.last().first().toLongLong(), 4);
        QCOMPARE(socket.GetData(), QStringLiteral("ABCD"));
    }

    // An instrument sending at full speed: bytes nobody takes stop at the bound
    // (the sender is held back, not dropped), and taken as they arrive even
    // after a long busy spell, no chunk exceeds it; the stream arrives whole.
    void floodWaitsInBoundedBuffer()
    {
        TcpSocket socket;
        QTcpSocket *peer = connectToServer(socket);
        QVERIFY(peer);
        constexpr qint64 total = 24 * 1024 * 1024;
        ByteFlood flood(peer->socketDescriptor(), streamChunk(), total);
        QVERIFY(flood.start());

        QTest::qWait(300);
        QCOMPARE(socket.BytesReceived(), TcpSocket::kReadBufferBytes);
        QVERIFY2(flood.written() < total, qPrintable(QString::number(flood.written())));

        qint64 received = 0;
        qint64 largest = 0;
        bool intact = true;
        QEventLoop loop;
        const auto take = [&] {
            const QString data = socket.GetData();
            largest = std::max<qint64>(largest, data.size());
            intact = intact && streamMatch(data, received) == data.size();
            received += data.size();
            if (received == total || !intact)
                loop.quit();
        };
        take();
        connect(&socket, &TcpSocket::DataArrival, &loop, take);
        // Busy: the kernel gathers far more than the bound meanwhile.
        QThread::msleep(300);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        loop.exec();
        QVERIFY(intact);
        QCOMPARE(received, total);
        QCOMPARE(largest, TcpSocket::kReadBufferBytes);
    }

    void foreignCharactersSendAsQuestionMarks()
    {
        TcpSocket socket;
        QTcpSocket *peer = connectToServer(socket);
        QVERIFY(peer);
        QVERIFY(socket.SendData(QStringLiteral("a\u4E2Db")).ok());
        QCOMPARE(readBytes(*peer, 3), QByteArray("a?b"));
    }

    void refusedConnection()
    {
        TcpSocket socket;
        QSignalSpy errors(&socket, &TcpSocket::Error);
        aimAt(socket, closedPort());
        QVERIFY(socket.Connect().ok());
        QCOMPARE(errors.count(), 0); // never from inside Connect()
        QTRY_COMPARE(errors.count(), 1);
        QCOMPARE(errors.first().at(0).toInt(), 10061);
        QCOMPARE(errors.first().at(1).toString(),
                 QStringLiteral("Connection is forcefully rejected"));
        QCOMPARE(socket.State(), 9);

        // An error stands until Close().
        QCOMPARE(socket.Connect().error, 40020);
        QCOMPARE(socket.SendData(QStringLiteral("x")).error, 40006);
        QCOMPARE(socket.State(), 9);
        socket.Close();
        QCOMPARE(socket.State(), 0);

        // After Close() the socket connects again.
        aimAt(socket, m_server->serverPort());
        QVERIFY(socket.Connect().ok());
        QTRY_COMPARE(socket.State(), 7);
        QCOMPARE(errors.count(), 1);
    }

    void closeDropsPendingReport()
    {
        TcpSocket socket;
        QSignalSpy errors(&socket, &TcpSocket::Error);
        aimAt(socket, closedPort());
        QVERIFY(socket.Connect().ok());
        socket.Close();
        QTest::qWait(200);
        QCOMPARE(errors.count(), 0);
        QCOMPARE(socket.State(), 0);
    }

    void unknownHost()
    {
        TcpSocket socket;
        QSignalSpy errors(&socket, &TcpSocket::Error);
        aimAt(socket, 4001, QStringLiteral("no-such-host.invalid"));
        QVERIFY(socket.Connect().ok());
        QCOMPARE(socket.State(), 6); // the lookup counts as connecting
        QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 15000);
        QCOMPARE(errors.first().at(0).toInt(), 11001);
        QCOMPARE(socket.State(), 9);
        socket.Close();
        QCOMPARE(socket.State(), 0);
    }

    void serverCloses_data()
    {
        QTest::addColumn<bool>("reset");
        QTest::newRow("close") << false;
        QTest::newRow("reset") << true;
    }
    void serverCloses()
    {
        QFETCH(bool, reset);
        TcpSocket socket;
        QSignalSpy errors(&socket, &TcpSocket::Error);
        QSignalSpy closes(&socket, &TcpSocket::PeerClosed);
        QTcpSocket *peer = connectToServer(socket);
        QVERIFY(peer);
        peer->write("bye\r\n");
        if (reset) {
            QTRY_COMPARE(socket.BytesReceived(), 5);
            const linger noLinger{1, 0}; // abort() then sends RST, not FIN
            QCOMPARE(::setsockopt(int(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &noLinger,
                                  sizeof noLinger),
                     0);
            peer->abort();
        } else {
            peer->disconnectFromHost();
        }
        QTRY_COMPARE(socket.State(), 8);
        QTRY_COMPARE(closes.count(), 1);
        QTest::qWait(50);
        QCOMPARE(closes.count(), 1); // once, though Qt reports both the error and the disconnect
        QCOMPARE(errors.count(), 0);
        // What came before the close is still there.
        QCOMPARE(socket.GetData(), QStringLiteral("bye\r\n"));
        QCOMPARE(socket.SendData(QStringLiteral("x")).error, 40006);
        QCOMPARE(socket.Connect().error, 40020);
        socket.Close();
        QCOMPARE(socket.State(), 0);
    }

    void closeByProgram()
    {
        TcpSocket socket;
        QSignalSpy closes(&socket, &TcpSocket::PeerClosed);
        QTcpSocket *peer = connectToServer(socket);
        QVERIFY(peer);
        peer->write("late");
        QTRY_COMPARE(socket.BytesReceived(), 4);

        // The last command still reaches the peer; unread bytes are gone.
        QVERIFY(socket.SendData(QStringLiteral("last\r\n")).ok());
        socket.Close();
        QCOMPARE(socket.State(), 0);
        QCOMPARE(socket.BytesReceived(), 0);
        QCOMPARE(readBytes(*peer, 6), QByteArray("last\r\n"));
        QTRY_COMPARE(peer->state(), QAbstractSocket::UnconnectedState);
        QTest::qWait(50);
        QCOMPARE(closes.count(), 0); // our own close is no news

        ControlStatus status;
        QCOMPARE(socket.GetData(&status), QString());
        QCOMPARE(status.error, 40006);
        QCOMPARE(socket.SendData(QStringLiteral("x")).error, 40006);
        socket.Close(); // closing twice is harmless
        QCOMPARE(socket.State(), 0);
    }
};

QTEST_GUILESS_MAIN(TstTcp)
#include "tst_tcp.moc"
