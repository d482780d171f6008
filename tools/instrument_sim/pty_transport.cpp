#include "pty_transport.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>
#include <cstring>

namespace {
// We keep the slave open ourselves so that the line survives the program closing and
// reopening the port; unread telegrams then pile up in the slave's queue. A real line
// loses them, so beyond this much the stale ones are dropped.
constexpr int kStaleLimit = 1024;
constexpr qint64 kSettleMs = 50;

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}
} // namespace

PtyTransport::PtyTransport(QObject *parent)
    : LineTransport(parent)
{}

PtyTransport::~PtyTransport()
{
    removeLink();
}

bool PtyTransport::open(const QString &linkPath, QString *error)
{
    termios raw{};
    cfmakeraw(&raw);
    cfsetispeed(&raw, B9600);
    cfsetospeed(&raw, B9600);
    int master = -1;
    int slave = -1;
    char name[128] = {};
    if (::openpty(&master, &slave, name, &raw, nullptr) != 0) {
        *error = QStringLiteral("openpty failed: %1").arg(errnoText());
        return false;
    }
    m_master.reset(master);
    m_slave.reset(slave);
    m_slaveName = QString::fromLocal8Bit(name);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    const QByteArray link = QFile::encodeName(linkPath);
    const QFileInfo existing(linkPath);
    if (existing.isSymLink()) {
        // Left behind by a simulator that was killed.
        qInfo("replacing the existing link %s", link.constData());
        ::unlink(link.constData());
    } else if (existing.exists()) {
        *error = QStringLiteral("%1 exists and is not a symlink").arg(linkPath);
        return false;
    }
    if (::symlink(name, link.constData()) != 0) {
        *error = QStringLiteral("cannot create the link %1: %2").arg(linkPath, errnoText());
        return false;
    }
    m_linkPath = linkPath;

    m_notifier = new QSocketNotifier(master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyTransport::readMaster);
    return true;
}

void PtyTransport::write(int, const QByteArray &bytes)
{
    if (unreadBytes() > kStaleLimit) {
        if (!m_droppedBefore)
            qInfo("nobody reads the pty; dropping unread telegrams");
        m_droppedBefore = true;
        ::tcflush(m_slave.get(), TCIFLUSH);
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master.get(), bytes.constData() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // queue full: the rest is lost, as on a line nobody listens to
        done += n;
    }
    m_sinceWrite.start();
}

bool PtyTransport::isDrained() const
{
    // Exiting hangs up the slave and discards what its reader has not read yet, also bytes
    // still on their way from the master to the slave's queue, which the queue count does
    // not show for a moment after a write.
    return unreadBytes() == 0 && (!m_sinceWrite.isValid() || m_sinceWrite.elapsed() >= kSettleMs);
}

qint64 PtyTransport::unreadBytes() const
{
    int n = 0;
    if (!m_slave.isValid() || ::ioctl(m_slave.get(), FIONREAD, &n) != 0)
        return 0;
    return n;
}

void PtyTransport::readMaster()
{
    QByteArray bytes;
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_master.get(), buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            // Cannot happen while we hold the slave; stop rather than spin on the error.
            qWarning("reading the pty failed: %s", std::strerror(errno));
            m_notifier->setEnabled(false);
        }
        break;
    }
    if (!bytes.isEmpty())
        emit received(0, bytes);
}

void PtyTransport::removeLink()
{
    if (m_linkPath.isEmpty())
        return;
    // Only our own link: another simulator may have taken the name over meanwhile.
    if (QFileInfo(m_linkPath).symLinkTarget() == QFileInfo(m_slaveName).absoluteFilePath())
        QFile::remove(m_linkPath);
    m_linkPath.clear();
}
