#include "tests/support/modal_script.h"

#include <QAbstractButton>
#include <QApplication>
#include <QWidget>

ModalScript::ModalScript()
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &ModalScript::poll);
}

ModalScript &ModalScript::then(const QString &windowName, Action action)
{
    m_steps.append({windowName, std::move(action)});
    m_timer.start();
    return *this;
}

void ModalScript::poll()
{
    QWidget *window = QApplication::activeModalWidget();
    if (!window || window == m_lastWindow || !window->isVisible())
        return;
    m_lastWindow = window;
    seen << window->objectName();
    Action action = [](QWidget *w) {
        w->close();
    };
    if (!m_steps.isEmpty() && m_steps.first().windowName == window->objectName())
        action = m_steps.takeFirst().action;
    else
        faults << QStringLiteral("unexpected window ") + window->objectName();
    QPointer<QWidget> target = window;
    QTimer::singleShot(0, this, [target, action] {
        if (target)
            action(target);
    });
}

ModalScript &ModalScript::click(const QString &windowName, const QString &button)
{
    return then(windowName, [this, button](QWidget *window) {
        auto *b = window->findChild<QAbstractButton *>(button);
        if (!b || !b->isEnabled()) {
            faults << window->objectName() + QStringLiteral(": no enabled button ") + button;
            window->close();
            return;
        }
        b->click();
    });
}

ModalScript &ModalScript::close(const QString &windowName)
{
    return then(windowName, [](QWidget *window) { window->close(); });
}
