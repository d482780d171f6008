#pragma once

#include "core/app.h"
#include "tests/support/fake_clock.h"
#include "tests/support/scripted_prompts.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>

// A fresh App in a temporary program folder, with scripted prompts.
struct TestApp {
    QTemporaryDir folder;
    ScriptedPrompts prompts;
    SystemClock clock;
    App app{folder.path(), prompts, clock};

    QString path(const QString &name) const { return folder.filePath(name); }
    // Writes a file in the program folder; returns its path.
    QString writeFile(const QString &name, const QByteArray &content) const;
};

// A fresh App whose clock moves only when the test says so.
struct TimedTestApp {
    QTemporaryDir folder;
    ScriptedPrompts prompts;
    FakeClock clock;
    App app{folder.path(), prompts, clock};

    QString path(const QString &name) const { return folder.filePath(name); }
};

// Runs the application's own loop until the program ends (at most timeoutMs).
// Returns false when it did not end.
inline bool runUntilEnded(App &app, int timeoutMs = 10000)
{
    QTimer::singleShot(timeoutMs, qApp, [] { QCoreApplication::exit(99); });
    QCoreApplication::exec();
    return app.hasEnded();
}
