#pragma once

#include "platform/clock.h"

// A clock that moves only when the test says so.
class FakeClock final : public Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 3, 14), QTime(10, 0, 0)))
        : m_now(start)
    {}
    QDateTime now() const override { return m_now; }
    qint64 elapsedMs() const override { return m_elapsed; }
    void advanceMs(qint64 ms)
    {
        m_now = m_now.addMSecs(ms);
        m_elapsed += ms;
    }
    void setNow(const QDateTime &now) { m_now = now; }

private:
    QDateTime m_now;
    qint64 m_elapsed = 0;
};
