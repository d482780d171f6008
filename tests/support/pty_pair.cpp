#include "tests/support/pty_pair.h"

#include <QFileInfo>
#include <QTest>

PtyPair::PtyPair(const QString &folder)
    : a(folder + QStringLiteral("/ttyA"))
    , b(folder + QStringLiteral("/ttyB"))
{}

bool PtyPair::start()
{
    m_socat.start(QStringLiteral("socat"), {QStringLiteral("-d"), QStringLiteral("-d"),
                                            QStringLiteral("pty,raw,echo=0,link=") + a,
                                            QStringLiteral("pty,raw,echo=0,link=") + b});
    if (!m_socat.waitForStarted(5000))
        return false;
    return QTest::qWaitFor([this] { return QFileInfo::exists(a) && QFileInfo::exists(b); }, 5000);
}

void PtyPair::stop()
{
    if (m_socat.state() == QProcess::NotRunning)
        return;
    m_socat.terminate();
    if (!QTest::qWaitFor([this] { return m_socat.state() == QProcess::NotRunning; }, 5000)) {
        m_socat.kill();
        m_socat.waitForFinished(1000);
    }
}
