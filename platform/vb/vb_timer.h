#pragma once

#include <QObject>
#include <QTimer>

// A timer with Basic semantics: an interval of 0 means stopped (a QTimer with
// interval 0 would fire whenever the event loop is idle), and setting the
// interval of an enabled timer restarts its count.
class VbTimer : public QObject {
    Q_OBJECT
public:
    explicit VbTimer(QObject *parent = nullptr)
        : QObject(parent)
    {
        connect(&m_timer, &QTimer::timeout, this, &VbTimer::Timer);
    }

    int interval() const { return m_interval; }
    void setInterval(int ms)
    {
        m_interval = ms;
        update();
    }

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled)
    {
        m_enabled = enabled;
        update();
    }

    bool isRunning() const { return m_timer.isActive(); }

signals:
    void Timer();

private:
    void update()
    {
        if (m_enabled && m_interval > 0)
            m_timer.start(m_interval);
        else
            m_timer.stop();
    }

    QTimer m_timer;
    int m_interval = 0;
    bool m_enabled = true;
};
