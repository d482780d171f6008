#pragma once

#include <QProcess>
#include <QString>

// A pty pair made by socat: "a" is the program's side, "b" the instrument's.
class PtyPair {
public:
    explicit PtyPair(const QString &folder);
    ~PtyPair() { stop(); }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    // Starts socat and waits until both links exist.
    bool start();
    // SIGTERM: socat removes its links, and the ptys hang up.
    void stop();

    const QString a;
    const QString b;

private:
    QProcess m_socat;
};
