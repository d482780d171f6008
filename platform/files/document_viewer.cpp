#include "platform/files/document_viewer.h"

#include <QProcess>

void DocumentViewer::open(const QString &file)
{
    auto *process = new QProcess(this);
    process->setProgram(QStringLiteral("xdg-open"));
    process->setArguments({file});
    process->setStandardOutputFile(QProcess::nullDevice());
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        emit failed(QStringLiteral("xdg-open (package xdg-utils) is missing: ") +
                    process->errorString());
        process->deleteLater();
    });
    connect(process, &QProcess::finished, this, [this, process, file](int exitCode) {
        // xdg-open: 2 the file is missing, 3 no viewer found, 4 the viewer failed.
        if (exitCode != 0) {
            const QString said = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
            emit failed(QStringLiteral("No viewer opened %1 (xdg-open %2%3)")
                            .arg(file)
                            .arg(exitCode)
                            .arg(said.isEmpty() ? QString() : QStringLiteral(": ") + said));
        }
        process->deleteLater();
    });
    process->start();
}
