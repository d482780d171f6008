#pragma once

#include "core/mainform/mainform.h"
#include "tests/support/dde_peer.h"
#include "tests/support/tcp_instrument.h"
#include "tests/support/test_app.h"

#include <QCoreApplication>

// The service of the test program's own items.
inline QString ownDdeService()
{
    return QStringLiteral("org.mondrelquist.dde.") + QCoreApplication::applicationName();
}

// A window online over TCP (the text-file road in modus), its items served to
// other programs.
struct ServedWindow {
    TestApp t;
    TcpInstrument instrument;
    mainform *mw = nullptr;

    bool start(const QString &modus);
};

// The client link's settings, aimed at the peer "Excel Test" | "Tabelle 1".
void aimLinkAtPeer(App &app);
// Serves the peer as "Excel Test" | "Tabelle 1" under the bus's character rule.
bool servePeer(DdePeer &peer);
