#include "core/delivery/find_application.h"

#include "core/app.h"
#include "platform/x11/window_list.h"

QString fnFindeAnwendung(App &app)
{
    app.strAnwendungTitel.clear();
    for (const TopLevelWindow &window : app.windows().topLevelWindows()) {
        if (!window.title.isEmpty() && window.title.contains(app.settings.anwendung)) {
            app.strAnwendungTitel = window.title;
            break;
        }
    }
    return app.strAnwendungTitel;
}
