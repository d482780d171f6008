#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// A test binary's helper mode: the same executable started with kHelperFlag and
// arguments, for what must run as an ordinary user or must die half-way. The
// helper prints "key=value" lines.
inline constexpr char kHelperFlag[] = "--helper";

struct HelperRun {
    bool finished = false;
    bool crashed = false;
    QMap<QString, QString> output; // the "key=value" lines printed
};

// Runs this binary's helper mode with args; asUser drops root to nobody, for
// whom permissions count.
HelperRun runHelper(const QStringList &args, bool asUser);

// False when root cannot be dropped here (setpriv is missing).
bool canRunAsUser();
