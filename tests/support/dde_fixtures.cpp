#include "tests/support/dde_fixtures.h"

#include "core/ipc/dde_source.h"
#include "tests/support/measurement_road.h"

bool ServedWindow::start(const QString &modus)
{
    if (!prepareTextFileRoad(t, instrument, modus))
        return false;
    mw = &t.app.mainWindow();
    return (new DdeSource(*mw))->serve().isEmpty();
}

void aimLinkAtPeer(App &app)
{
    app.settings.anwend = QStringLiteral("Excel Test");
    app.settings.topic = QStringLiteral("Tabelle 1");
    app.settings.befehl = QStringLiteral("[Wert übernehmen(\"Z1S1\")]");
}

bool servePeer(DdePeer &peer)
{
    return peer.serve(QStringLiteral("org.mondrelquist.dde.Excel_Test"),
                      QStringLiteral("/Tabelle_1"));
}
