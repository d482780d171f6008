#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

// Delivers standard input line by line as it arrives, without blocking the event loop.
class StdinReader final : public QObject {
    Q_OBJECT
public:
    explicit StdinReader(QObject *parent = nullptr);

signals:
    void lineRead(const QByteArray &line); // without the line end
    void endOfInput();

private:
    void readAvailable();

    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_partial;
};
