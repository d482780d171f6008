#include "stdin_reader.h"

#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

StdinReader::StdinReader(QObject *parent)
    : QObject(parent)
{
    if (::fcntl(STDIN_FILENO, F_GETFL) < 0) {
        // No standard input at all: report its end once the event loop runs.
        QTimer::singleShot(0, this, &StdinReader::endOfInput);
        return;
    }
    m_notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StdinReader::readAvailable);
}

void StdinReader::readAvailable()
{
    // One read per notification: the descriptor stays blocking, as it is shared with
    // whoever started us, and the notifier only fires when a read will not block.
    char buffer[4096];
    ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        m_notifier->setEnabled(false);
        if (!m_partial.isEmpty())
            emit lineRead(std::exchange(m_partial, {}));
        emit endOfInput();
        return;
    }
    m_partial.append(buffer, n);
    qsizetype end;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        QByteArray line = m_partial.left(end);
        m_partial.remove(0, end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        emit lineRead(line);
    }
}
