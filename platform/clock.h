#pragma once

#include <QDateTime>
#include <QElapsedTimer>

// Time as the program sees it; tests install a clock they move by hand.
class Clock {
public:
    virtual ~Clock() = default;
    // Wall-clock date and time (Now).
    virtual QDateTime now() const = 0;
    // Monotonic milliseconds since an arbitrary start (GetTickCount without wrap);
    // every wait and time-out is measured with it, never with the day clock.
    virtual qint64 elapsedMs() const = 0;
};

class SystemClock final : public Clock {
public:
    SystemClock() { m_timer.start(); }
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    qint64 elapsedMs() const override { return m_timer.elapsed(); }

private:
    QElapsedTimer m_timer;
};
