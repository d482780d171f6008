#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>

class QWidget;

// Answers modal windows as they open, for tests of windows that open one
// another from their handlers. Each step waits for the active modal window to
// be the one with its objectName and then acts on it; a modal window that no
// step expects is recorded and closed with its close button, so a test never
// hangs. Actions run queued, outside the polling timer, since the nested loop
// of a window they open would hold that timer otherwise.
class ModalScript : public QObject {
    Q_OBJECT
public:
    using Action = std::function<void(QWidget *window)>;

    ModalScript();

    // Adds a step; the script starts with the first.
    ModalScript &then(const QString &windowName, Action action);
    // Steps that click the window's button of that objectName (a fault when it
    // is missing or disabled), or close the window as its close button does.
    ModalScript &click(const QString &windowName, const QString &button);
    ModalScript &close(const QString &windowName);

    // objectNames of the modal windows met, in order (expected or not).
    QStringList seen;
    // Unexpected modal windows, and steps whose button was missing.
    QStringList faults;
    bool allStepsDone() const { return m_steps.isEmpty(); }

private:
    void poll();

    struct Step {
        QString windowName;
        Action action;
    };
    QList<Step> m_steps;
    QPointer<QWidget> m_lastWindow;
    QTimer m_timer;
};
