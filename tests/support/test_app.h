#pragma once

#include "core/app.h"
#include "tests/support/fake_clock.h"
#include "tests/support/scripted_prompts.h"

#include <QTemporaryDir>

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
