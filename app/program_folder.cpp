#include "app/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// Copies the installed data files that the folder does not have yet; files the
// user already has (changed settings, a chosen language) are never replaced.
void seedFrom(const QString &dataFolder, const QString &target)
{
    const QDir data(dataFolder);
    for (const QString &name : data.entryList(QDir::Files))
        if (!QFileInfo::exists(target + QLatin1Char('/') + name))
            QFile::copy(data.filePath(name), target + QLatin1Char('/') + name);
}

} // namespace

QString findProgramFolder(QString *errorText)
{
    const QString fromEnvironment = qEnvironmentVariable("MONDRELQUIST_HOME");
    if (!fromEnvironment.isEmpty())
        return QDir(fromEnvironment).absolutePath();

    const QString executableFolder = QCoreApplication::applicationDirPath();
    if (QFileInfo(executableFolder).isWritable() &&
        QFileInfo::exists(executableFolder + QStringLiteral("/language.ini")))
        return executableFolder;

    const QString home = QDir::homePath() + QStringLiteral("/.local/share/mondrelquist");
    if (!QDir().mkpath(home)) {
        *errorText = QStringLiteral("Cannot create the program folder %1").arg(home);
        return {};
    }
    seedFrom(executableFolder + QStringLiteral("/../share/mondrelquist"), home);
    return home;
}
