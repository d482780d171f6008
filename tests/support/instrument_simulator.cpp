#include "tests/support/instrument_simulator.h"

#include "core/app.h"
#include "core/mainform/mainform.h"
#include "platform/ports/serial_port.h"

#include <QFile>
#include <QTest>

namespace {
const QString kSimulator = QStringLiteral(MQ_BINARY_DIR "/tools/mq_instrument_sim");
}

bool InstrumentSimulator::start(const QString &transport)
{
    m_transport = transport;
    QStringList args{QStringLiteral("--on-request")};
    if (transport == u"pty")
        args << QStringLiteral("--pty") << m_link;
    else
        args << QStringLiteral("--tcp") << QStringLiteral("0");
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(kSimulator, args);
    if (!QTest::qWaitFor([this] { return m_process.canReadLine(); }, 5000))
        return false;
    const QByteArray line = m_process.readLine().trimmed();
    if (transport == u"pty")
        return line == "pty " + QFile::encodeName(m_link);
    m_port = line.startsWith("port ") ? line.mid(5).toUShort() : 0;
    return m_port != 0;
}

bool InstrumentSimulator::configure(App &app) const
{
    if (m_transport == u"pty")
        return useComPort(app, m_link);
    app.settings.portnum = QStringLiteral("TCP/IP");
    app.settings.tcpip = QStringLiteral("127.0.0.1");
    app.settings.tcpport = QString::number(m_port);
    return true;
}

void InstrumentSimulator::sendTelegram()
{
    m_process.write("SEND\n");
}

void InstrumentSimulator::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
}

bool useComPort(App &app, const QString &device)
{
    QFile ini(app.programFile(QStringLiteral("mondrelquist.ini")));
    if (!ini.open(QIODevice::WriteOnly))
        return false;
    ini.write("[ports]\r\nCOM3=" + QFile::encodeName(device) + "\r\n");
    ini.close();
    app.settings.portnum = QStringLiteral("3");
    return app.mainWindow().commport().setCommPort(3).ok();
}
