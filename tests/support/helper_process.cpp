#include "tests/support/helper_process.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>

#include <unistd.h>

HelperRun runHelper(const QStringList &args, bool asUser)
{
    const QString self = QCoreApplication::applicationFilePath();
    QProcess process;
    if (asUser && ::geteuid() == 0)
        process.start(QStringLiteral("setpriv"), QStringList{QStringLiteral("--reuid=nobody"),
                                                             QStringLiteral("--regid=nogroup"),
                                                             QStringLiteral("--clear-groups"), self,
                                                             QString::fromLatin1(kHelperFlag)} +
                                                     args);
    else
        process.start(self, QStringList{QString::fromLatin1(kHelperFlag)} + args);
    HelperRun run;
    run.finished = process.waitForFinished(30000);
    run.crashed = process.exitStatus() == QProcess::CrashExit;
    for (const QString &line : QString::fromUtf8(process.readAllStandardOutput()).split('\n')) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            run.output.insert(line.left(equals), line.mid(equals + 1));
    }
    return run;
}

bool canRunAsUser()
{
    return ::geteuid() != 0 || !QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty();
}
