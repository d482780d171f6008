#include "simulator.h"

#include "command_table.h"
#include "line_transport.h"
#include "stdin_reader.h"

#include <cmath>

namespace {

// Command bytes as a log can show them.
QByteArray printable(const QByteArray &bytes)
{
    QByteArray out;
    for (const char c : bytes) {
        if (c >= 0x20 && c < 0x7f)
            out += c;
        else
            out += "\\x" + QByteArray::number(uchar(c), 16).rightJustified(2, '0');
    }
    return out;
}

// A paced line cannot carry more than it carries; beyond this backlog telegrams are skipped.
constexpr qint64 kMaxBacklog = 4 * kTelegramLength;
// How long the exit waits for the receiver to take what was sent.
constexpr qint64 kDrainDeadlineMs = 2000;

} // namespace

Simulator::Simulator(const SimOptions &options, LineTransport &transport, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_transport(transport)
    , m_writer(transport, options.paceBaud)
    , m_current(options.values.first())
{
    connect(&m_transport, &LineTransport::received, this, &Simulator::handleReceived);
    connect(&m_transport, &LineTransport::peerGone, this,
            [this](int peer) { m_framers.erase(peer); });

    m_rateTimer.setTimerType(Qt::PreciseTimer);
    m_rateTimer.setInterval(std::max(1, int(std::lround(1000.0 / options.rateHz))));
    connect(&m_rateTimer, &QTimer::timeout, this,
            [this] { sendTelegram(LineTransport::kAllPeers); });

    m_drainTimer.setInterval(10);
    connect(&m_drainTimer, &QTimer::timeout, this, &Simulator::checkDrained);
}

void Simulator::start()
{
    m_stdin = new StdinReader(this);
    connect(m_stdin, &StdinReader::lineRead, this, &Simulator::handleStdinLine);
    connect(m_stdin, &StdinReader::endOfInput, this, &Simulator::handleStdinEnd);
    if (m_options.trigger == SimOptions::Trigger::Rate) {
        const double lineHz = m_options.paceBaud / 10.0 / kTelegramLength;
        if (m_options.paceBaud > 0 && m_options.rateHz > lineHz)
            qWarning("%g Hz is more than %d baud carries (%.1f Hz); telegrams will be skipped",
                     m_options.rateHz, m_options.paceBaud, lineHz);
        m_rateTimer.start();
    }
}

void Simulator::handleStdinLine(const QByteArray &line)
{
    const QString text = QString::fromLatin1(line).trimmed();
    if (text.isEmpty())
        return;
    if (text.compare(u"SEND", Qt::CaseInsensitive) == 0) {
        sendTelegram(LineTransport::kAllPeers);
        return;
    }
    if (!m_options.stdinValues) {
        qWarning("ignored input \"%s\": without --stdin-values only SEND is understood",
                 qPrintable(text));
        return;
    }
    const ReadingResult r = parseReading(text, m_options.style);
    if (!r.error.isEmpty()) {
        qWarning("ignored input \"%s\": %s", qPrintable(text), qPrintable(r.error));
        return;
    }
    m_current = r.reading;
    if (m_options.trigger == SimOptions::Trigger::EachStdinValue)
        sendTelegram(LineTransport::kAllPeers);
}

void Simulator::handleStdinEnd()
{
    if (m_options.stdinValues && m_options.trigger == SimOptions::Trigger::EachStdinValue) {
        qInfo("end of the values on standard input");
        finish();
    }
}

void Simulator::handleReceived(int peer, const QByteArray &bytes)
{
    for (const QByteArray &command : m_framers[peer].feed(bytes))
        handleCommand(peer, command);
}

void Simulator::handleCommand(int peer, const QByteArray &command)
{
    const QString from = m_transport.peerName(peer);
    if (m_finishing) {
        qInfo("command \"%s\" from %s ignored while exiting", printable(command).constData(),
              qPrintable(from));
        return;
    }
    const CommandAnswer answer = answerCommand(command);
    if (answer.kind == CommandAnswer::Kind::Telegram) {
        qInfo("command \"%s\" from %s: telegram", printable(command).constData(), qPrintable(from));
        sendTelegram(peer);
        return;
    }
    if (answer.kind == CommandAnswer::Kind::Silent) {
        qInfo("command \"%s\" from %s: no reply", printable(command).constData(), qPrintable(from));
        return;
    }
    qInfo("command \"%s\" from %s: %s", printable(command).constData(), qPrintable(from),
          answer.reply.constData());
    m_writer.write(peer, answer.reply + answer.lineEnd);
}

void Simulator::sendTelegram(int peer)
{
    if (m_finishing)
        return;
    if (m_writer.queuedBytes() > kMaxBacklog) {
        if (!m_overrunReported)
            qWarning("the paced line is behind; skipping telegrams");
        m_overrunReported = true;
        return;
    }
    const QByteArray telegram = composeTelegram(nextReading());
    m_writer.write(peer, telegram);
    ++m_sent;
    if (m_options.verbose)
        qInfo("telegram %d to %s: %s", m_sent,
              peer == LineTransport::kAllPeers ? "all" : qPrintable(m_transport.peerName(peer)),
              printable(telegram).constData());
    if (m_options.count > 0 && m_sent >= m_options.count) {
        qInfo("%d telegrams sent", m_sent);
        finish();
    }
}

Reading Simulator::nextReading()
{
    if (m_options.stdinValues)
        return m_current;
    const Reading r = m_options.values.at(m_nextValue);
    m_nextValue = (m_nextValue + 1) % m_options.values.size();
    return r;
}

void Simulator::finish()
{
    if (m_finishing)
        return;
    m_finishing = true;
    m_rateTimer.stop();
    m_drainClock.start();
    m_drainTimer.start();
    checkDrained();
}

void Simulator::checkDrained()
{
    const bool drained = m_writer.queuedBytes() == 0 && m_transport.isDrained();
    if (!drained && m_drainClock.elapsed() < kDrainDeadlineMs)
        return;
    m_drainTimer.stop();
    emit finished(0);
}
