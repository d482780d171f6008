#include "core/ipc/dde_client_link.h"

#include "core/app.h"
#include "core/mainform/mainform.h"
#include "core/mainform/program_title.h"
#include "platform/dbus/dde_bus.h"
#include "platform/prompts.h"
#include "platform/vb/vb_runtime.h"

#include <QChar>

void DDE_Verbindung(App &app)
{
    const SettingsRecord &s = app.settings;
    const ControlStatus status = dde::execute(s.anwend, s.topic, s.befehl);
    // A time-out passes silently: the server has the command and may still carry it out.
    if (status.ok() || status.error == dde::kTimeout)
        return;
    const QString text = status.errorText + vb::Str(status.error) + QChar(13) +
                         QStringLiteral("       Programm beenden?");
    if (app.prompts().message(text, programTitle(), Prompts::Buttons::YesNo) ==
        Prompts::Answer::Yes)
        app.mainWindow().quit_Click();
}
