#include "app/program_folder.h"
#include "core/app.h"
#include "core/mainform/mainform.h"
#include "core/output/output_files.h"
#include "platform/clock.h"
#include "platform/prompts.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char **argv)
{
    ignoreFileSizeLimitSignal();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Mondrelquist"));
    QApplication::setApplicationVersion(QStringLiteral("4.2"));

    QString error;
    const QString folder = findProgramFolder(&error);
    if (folder.isEmpty()) {
        QMessageBox::critical(nullptr, QStringLiteral("Mondrelquist"), error);
        return 1;
    }

    WidgetPrompts prompts;
    SystemClock clock;
    App app(folder, prompts, clock);
    // The whole command line names the settings file, blanks included.
    app.commandLine = QApplication::arguments().mid(1).join(QLatin1Char(' '));

    mainform &window = app.mainWindow();
    window.Form_Load();
    if (app.hasEnded())
        return 1;
    window.show();
    return QApplication::exec();
}
