#include "signal_watcher.h"

#include <QSocketNotifier>

#include <sys/signalfd.h>

#include <csignal>

namespace {
sigset_t terminationSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}
} // namespace

void SignalWatcher::blockTerminationSignals()
{
    const sigset_t set = terminationSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

SignalWatcher::SignalWatcher(QObject *parent)
    : QObject(parent)
{
    const sigset_t set = terminationSignals();
    m_fd.reset(::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
    if (!m_fd.isValid())
        return;
    m_notifier = new QSocketNotifier(m_fd.get(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatcher::readSignal);
}

void SignalWatcher::readSignal()
{
    signalfd_siginfo info{};
    while (::read(m_fd.get(), &info, sizeof info) == ssize_t(sizeof info))
        emit terminationRequested(int(info.ssi_signo));
}
